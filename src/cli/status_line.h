#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

// One line on the terminal that says what a long wait is waiting for. It appears only once the
// wait has lasted `delay`, follows each new text, and is erased again by Clear, so that the
// normal output is the same with or without it. A blocking wait cannot draw, so a thread of its
// own does.
class StatusLine {
 public:
  // Where the line's bytes go; standard error in the program.
  using Sink = std::function<void(std::string_view)>;

  explicit StatusLine(Sink sink, std::chrono::milliseconds delay = std::chrono::seconds(1));
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;
  ~StatusLine();

  // The wait's text now; the first text after a Clear starts the delay.
  void Show(std::string text);
  // Erases the line if it was drawn. The next Show begins a new wait.
  void Clear();

  // True when standard error is a terminal, the only place the line belongs.
  static bool StderrIsTerminal();
  static Sink StderrSink();

 private:
  void Draw(std::stop_token stop);

  Sink sink_;
  std::chrono::milliseconds delay_;
  std::mutex mutex_;
  std::condition_variable_any changed_;
  std::uint64_t generation_ = 0;  // counts Show and Clear, so the thread sees every change
  std::optional<std::chrono::steady_clock::time_point> since_;  // set while a wait lasts
  std::string text_;
  std::string drawn_;  // what the terminal shows; empty when nothing
  std::jthread thread_;
};

// Runs Clear when a wait ends, however it ends; does nothing without a status line.
class StatusWait {
 public:
  StatusWait(StatusLine* line, std::string text) : line_(line) { Show(std::move(text)); }
  StatusWait(const StatusWait&) = delete;
  StatusWait& operator=(const StatusWait&) = delete;
  ~StatusWait() {
    if (line_ != nullptr) {
      line_->Clear();
    }
  }
  void Show(std::string text) {
    if (line_ != nullptr) {
      line_->Show(std::move(text));
    }
  }

 private:
  StatusLine* line_;
};
