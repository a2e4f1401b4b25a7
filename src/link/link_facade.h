#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "link/link_port.h"
#include "link/link_settings.h"
#include "link/link_types.h"
#include "link/receive_buffer.h"
#include "link/transfer_failure.h"

// The ports behind the facade, one per kind.
struct LinkPorts {
  std::unique_ptr<LinkPort> usb;
  std::unique_ptr<LinkPort> com;
  std::unique_ptr<LinkPort> lpt;
  std::unique_ptr<LinkPort> ethernet;
};

// The ports this build drives on this platform; the USB port looks for `usbVendorId` (four
// lower-case hex digits), the build's vendor id when empty.
LinkPorts MakeSystemPorts(std::string_view usbVendorId = {});

// Everything said to the printer and heard back passes through here. Links are short-lived:
// open, write, read byte by byte, close. Only one link is open at a time.
class LinkFacade {
 public:
  // How long the serial waiting rule pauses between fills, and how many fills it tries.
  static constexpr std::chrono::milliseconds ComFillPause{200};
  static constexpr int ComFillAttempts = 6;
  static constexpr std::uint32_t UsbChunkSize = 64;
  static constexpr std::uint32_t ComChunkSize = 64;
  static constexpr std::uint32_t EthernetChunkSize = 1024;

  explicit LinkFacade(LinkPorts ports = MakeSystemPorts());
  LinkFacade(const LinkFacade&) = delete;
  LinkFacade& operator=(const LinkFacade&) = delete;
  ~LinkFacade();

  // Keeps references to the owner's records; what is written into them later takes effect
  // at the next open.
  void SetLinkTargets(SerialSettings& serial, LptDeviceName& lptDevice, NetTarget& net);

  LinkHandle OpenLink(LinkKind kind);
  bool WriteLink(LinkHandle handle, LinkKind kind, const void* data, std::uint32_t length);
  bool ReadLinkByte(LinkHandle handle, LinkKind kind, std::uint8_t& byte);
  void CloseLink(LinkKind kind, LinkHandle handle);

  // Why the last OpenLink returned InvalidLink; cause None after an open that worked.
  const OpenFailure& LastOpenFailure() const { return lastOpenFailure_; }
  // What the last OpenLink that worked had to go without; empty when nothing (see LinkPort).
  const std::string& LastOpenNote() const { return lastOpenNote_; }
  // Why the last WriteLink or ReadLinkByte that failed since the last open did; the protocol adds
  // what only it can tell (the command, what was wrong with a frame) through NoteTransferFailure.
  const TransferFailure& LastTransferFailure() const { return lastTransferFailure_; }
  void NoteTransferFailure(TransferFailure failure) { lastTransferFailure_ = std::move(failure); }

  // Runs once after every chunk written so that timers and painting go on during a long write.
  // A no-op until a GUI installs its event processing.
  void SetProcessEventsHook(std::function<void()> hook);
  // The pause of the serial waiting rule; tests replace the port's wait for data.
  void SetPauseHook(std::function<void(std::chrono::milliseconds)> hook);

 private:
  LinkPort* PortOf(LinkKind kind) const;
  ReceiveBuffer* BufferOf(LinkKind kind);
  // How many bytes went out before the port stopped taking them; `length` when all did.
  std::uint32_t WriteChunked(LinkPort& port, LinkHandle handle, const std::uint8_t* data,
                             std::uint32_t length, std::uint32_t chunkSize);

  LinkPorts ports_;
  LinkTargets targets_;
  ReceiveBuffer usbBuffer_;
  ReceiveBuffer comBuffer_;
  ReceiveBuffer netBuffer_;
  OpenFailure lastOpenFailure_;
  std::string lastOpenNote_;
  TransferFailure lastTransferFailure_;
  std::function<void()> processEvents_;
  std::function<void(std::chrono::milliseconds)> pause_;
};
