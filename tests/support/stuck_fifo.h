#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

// A parallel printer that stopped taking data: a FIFO whose reader holds it open and never
// reads, with its pipe buffer already full, so that a writer can put nothing more into it.
class StuckFifo {
 public:
  explicit StuckFifo(std::string path) : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0600) != 0) {
      return;
    }
    reader_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int writer = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader_ < 0 || writer < 0) {
      return;
    }
    const std::vector<char> block(4096, 'x');
    ssize_t written = 0;
    do {
      written = ::write(writer, block.data(), block.size());
    } while (written > 0);
    full_ = written < 0 && errno == EAGAIN;
    ::close(writer);
  }
  ~StuckFifo() {
    if (reader_ >= 0) {
      ::close(reader_);
    }
  }
  StuckFifo(const StuckFifo&) = delete;
  StuckFifo& operator=(const StuckFifo&) = delete;

  bool Ready() const { return reader_ >= 0 && full_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int reader_ = -1;
  bool full_ = false;
};
