#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "link/link_facade.h"

inline void PrintTo(LinkKind kind, std::ostream* out) {
  *out << "LinkKind " << static_cast<std::int32_t>(kind);
}

// A port that records every call and plays back scripted results.
class FakeLinkPort : public LinkPort {
 public:
  LinkHandle openResult = 7;
  std::deque<std::uint32_t> chunkResults;  // counts taken per chunk; all bytes once empty
  std::deque<std::string> fills;           // one block per Fill; silence once empty

  std::vector<LinkTargets> opens;  // the owner's records as handed to each open
  std::vector<std::string> chunks;
  int fillCalls = 0;
  int closeCalls = 0;
  std::vector<std::string> events;  // "open", "write", "fill", "close" in call order

  LinkHandle Open(const LinkTargets& targets) override {
    events.push_back("open");
    opens.push_back(targets);
    return openResult;
  }

  std::uint32_t WriteChunk(LinkHandle, const std::uint8_t* data, std::uint32_t count) override {
    events.push_back("write");
    chunks.emplace_back(reinterpret_cast<const char*>(data), count);
    std::uint32_t taken = count;
    if (!chunkResults.empty()) {
      taken = chunkResults.front();
      chunkResults.pop_front();
    }
    if (taken == count) {
      OnChunkTaken(chunks.back());
    }
    return taken;
  }

  bool Fill(LinkHandle, ReceiveBuffer& buffer) override {
    events.push_back("fill");
    ++fillCalls;
    if (fills.empty()) {
      return false;
    }
    const std::string block = std::move(fills.front());
    fills.pop_front();
    buffer.Append(reinterpret_cast<const std::uint8_t*>(block.data()),
                  static_cast<std::uint32_t>(block.size()));
    return true;
  }

  void Close(LinkHandle) override {
    events.push_back("close");
    ++closeCalls;
  }

 protected:
  virtual void OnChunkTaken(const std::string&) {}
};

// A printer behind a fake port: collects written text into "\r\n" lines and queues the frame
// its table holds for each line. A line missing from the table goes unanswered.
class ScriptedPrinter : public FakeLinkPort {
 public:
  std::map<std::string, std::string> answers;  // command without "\r\n" -> wire bytes
  std::string refuseWriteOf;                   // a chunk starting with this is not taken
  std::vector<std::string> commands;           // complete lines received, with "\r\n"

  std::uint32_t WriteChunk(LinkHandle handle, const std::uint8_t* data,
                           std::uint32_t count) override {
    const std::string_view text(reinterpret_cast<const char*>(data), count);
    if (!refuseWriteOf.empty() && text.starts_with(refuseWriteOf)) {
      chunkResults.push_front(0);
    }
    return FakeLinkPort::WriteChunk(handle, data, count);
  }

 protected:
  void OnChunkTaken(const std::string& chunk) override {
    pending_ += chunk;
    for (std::size_t end = pending_.find("\r\n"); end != std::string::npos;
         end = pending_.find("\r\n")) {
      const std::string line = pending_.substr(0, end);
      commands.push_back(line + "\r\n");
      pending_.erase(0, end + 2);
      if (auto it = answers.find(line); it != answers.end()) {
        fills.push_back(it->second);
      }
    }
  }

 private:
  std::string pending_;
};

// A facade whose four ports are fakes of type P, with the owner's records set. Pauses of the
// serial waiting rule and runs of the event hook are counted, not waited for.
template <typename P>
class FakePortsTest : public ::testing::Test {
 protected:
  FakePortsTest() {
    auto make = [this](LinkKind kind) {
      auto port = std::make_unique<P>();
      ports_[static_cast<std::size_t>(kind)] = port.get();
      return port;
    };
    facade_ = std::make_unique<LinkFacade>(LinkPorts{
        make(LinkKind::Usb), make(LinkKind::Com), make(LinkKind::Lpt), make(LinkKind::Ethernet)});
    facade_->SetLinkTargets(serial_, lptDevice_, net_);
    facade_->SetProcessEventsHook([this] { ++processEvents_; });
    facade_->SetPauseHook([this](std::chrono::milliseconds ms) { pauses_.push_back(ms); });
  }

  P& Port(LinkKind kind = LinkKind::Usb) { return *ports_[static_cast<std::size_t>(kind)]; }

  SerialSettings serial_;
  LptDeviceName lptDevice_{DefaultLptDeviceName};
  NetTarget net_;
  std::array<P*, 4> ports_{};
  std::unique_ptr<LinkFacade> facade_;
  int processEvents_ = 0;
  std::vector<std::chrono::milliseconds> pauses_;
};

// Text of `size` bytes in which a shifted or repeated block shows.
inline std::string Pattern(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    text[i] = static_cast<char>('a' + i % 26);
  }
  return text;
}
