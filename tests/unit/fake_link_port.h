#pragma once

#include <cstdint>
#include <deque>
#include <map>
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
  // What the port saw in the owner's records at an open.
  struct OpenSeen {
    std::string serialPort;
    std::string lptDevice;
    std::string host;
    std::int32_t port = 0;
  };

  LinkHandle openResult = 7;
  std::deque<std::uint32_t> chunkResults;  // counts taken per chunk; all bytes once empty
  std::deque<std::string> fills;           // one block per Fill; silence once empty

  std::vector<OpenSeen> opens;
  std::vector<std::string> chunks;
  int fillCalls = 0;
  int closeCalls = 0;
  std::vector<std::string> events;  // "open", "write", "fill", "close" in call order

  LinkHandle Open(const LinkTargets& targets) override {
    events.push_back("open");
    opens.push_back({std::string(targets.serial->PortName.View()),
                     std::string(targets.lptDevice->View()), std::string(targets.net->Host.View()),
                     targets.net->Port});
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

  std::string Written() const {
    std::string all;
    for (const std::string& chunk : chunks) {
      all += chunk;
    }
    return all;
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
