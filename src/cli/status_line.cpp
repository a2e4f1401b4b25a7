#include "cli/status_line.h"

#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Back to the start of the line, and everything to its end erased.
constexpr std::string_view EraseLine = "\r\x1b[K";

}  // namespace

StatusLine::StatusLine(Sink sink, std::chrono::milliseconds delay)
    : sink_(std::move(sink)), delay_(delay) {
  if (sink_) {
    thread_ = std::jthread([this](std::stop_token stop) { Draw(std::move(stop)); });
  }
}

StatusLine::~StatusLine() {
  Clear();
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

void StatusLine::Show(std::string text) {
  if (!sink_) {
    return;
  }
  const std::lock_guard lock(mutex_);
  if (!since_) {
    since_ = std::chrono::steady_clock::now();
  }
  text_ = std::move(text);
  ++generation_;
  changed_.notify_all();
}

void StatusLine::Clear() {
  if (!sink_) {
    return;
  }
  const std::lock_guard lock(mutex_);
  if (!drawn_.empty()) {
    sink_(EraseLine);
    drawn_.clear();
  }
  since_.reset();
  ++generation_;
  changed_.notify_all();
}

void StatusLine::Draw(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    const std::uint64_t seen = generation_;
    const auto changed = [&] { return generation_ != seen; };
    if (!since_) {
      changed_.wait(lock, stop, changed);
      continue;
    }
    const auto due = *since_ + delay_;
    if (std::chrono::steady_clock::now() < due) {
      changed_.wait_until(lock, stop, due, changed);
      continue;
    }
    if (text_ != drawn_) {
      sink_("\r" + text_ + "\x1b[K");
      drawn_ = text_;
    }
    changed_.wait(lock, stop, changed);
  }
}

bool StatusLine::StderrIsTerminal() {
#ifdef _WIN32
  // The line is drawn with escape sequences, which a console follows only once told to; one
  // that cannot be told (older than Windows 10) gets no status line.
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err == INVALID_HANDLE_VALUE || GetConsoleMode(err, &mode) == 0) {
    return false;
  }
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

StatusLine::Sink StatusLine::StderrSink() {
  return [](std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
  };
}
