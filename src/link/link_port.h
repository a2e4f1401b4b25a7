#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

#include "link/link_settings.h"
#include "link/link_types.h"
#include "link/open_failure.h"
#include "link/receive_buffer.h"

// One kind of port behind the link facade. The facade decides chunk sizes and waiting rules;
// a port only opens, moves one chunk or one receive, and closes.
class LinkPort {
 public:
  virtual ~LinkPort() = default;

  // Opens the device the current settings name; InvalidLink when it cannot be opened, with the
  // cause left in LastOpenFailure().
  virtual LinkHandle Open(const LinkTargets& targets) = 0;

  // Sends one chunk and returns how many of its bytes the port took; anything short of
  // `count` is a failed chunk.
  virtual std::uint32_t WriteChunk(LinkHandle handle, const std::uint8_t* data,
                                   std::uint32_t count) = 0;

  // Waits for one receive and appends what it brought to `buffer`; true when the receive
  // completed. The facade looks at the buffer, not at this result, to decide whether a byte came.
  virtual bool Fill(LinkHandle handle, ReceiveBuffer& buffer) = 0;

  virtual void Close(LinkHandle handle) = 0;

  // Waits up to `timeout` for received data; returns at once when some arrives. Ports that
  // cannot tell simply wait the whole time.
  virtual void WaitForData(LinkHandle handle, std::chrono::milliseconds timeout);

  // Why the last Open failed; the facade forgets it before every open.
  const OpenFailure& LastOpenFailure() const { return openFailure_; }
  // What the last Open that worked had to go without ("/dev/ttyUSB0: flow control not kept:
  // ..."); empty when it got everything. Forgotten with the failure.
  const std::string& LastOpenNote() const { return openNote_; }
  void ForgetOpenFailure() {
    openFailure_ = {};
    openNote_.clear();
  }

 protected:
  LinkHandle FailOpen(OpenFailure failure) {
    openFailure_ = std::move(failure);
    return InvalidLink;
  }
  void NoteOpen(std::string note) { openNote_ = std::move(note); }

 private:
  OpenFailure openFailure_;
  std::string openNote_;
};

// A port kind that this build cannot drive: every open fails, so nothing pretends to work.
class UnavailablePort final : public LinkPort {
 public:
  LinkHandle Open(const LinkTargets&) override {
    return FailOpen({OpenFailureCause::Other, "this build cannot drive this kind of port"});
  }
  std::uint32_t WriteChunk(LinkHandle, const std::uint8_t*, std::uint32_t) override { return 0; }
  bool Fill(LinkHandle, ReceiveBuffer&) override { return false; }
  void Close(LinkHandle) override {}
};
