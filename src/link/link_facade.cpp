#include "link/link_facade.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "common/trace.h"

namespace {

// The Ethernet link keeps its connection inside the port; its handle is only a token.
constexpr LinkHandle EthernetHandle = 1;

using TraceClock = std::chrono::steady_clock;

long long MsSince(TraceClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TraceClock::now() - start).count();
}

// What an open of `kind` is aimed at, as the trace names it.
std::string TargetText(LinkKind kind, const LinkTargets& targets) {
  switch (kind) {
    case LinkKind::Com:
      return TraceEscaped(targets.serial->PortName.View());
    case LinkKind::Lpt:
      return TraceEscaped(targets.lptDevice->View());
    case LinkKind::Ethernet:
      return TraceEscaped(targets.net->Host.View()) + ":" +
             std::to_string(targets.net->Port & 0xFFFF);
    case LinkKind::Usb:
      break;
  }
  return "the first printer";
}

TransferFailure FailureOf(TransferFailureCause cause) {
  TransferFailure failure;
  failure.cause = cause;
  return failure;
}

}  // namespace

void LinkPort::WaitForData(LinkHandle, std::chrono::milliseconds timeout) {
  std::this_thread::sleep_for(timeout);
}

LinkFacade::LinkFacade(LinkPorts ports) : ports_(std::move(ports)), processEvents_([] {}) {
  // A missing port behaves like one this build cannot drive.
  for (auto* port : {&ports_.usb, &ports_.com, &ports_.lpt, &ports_.ethernet}) {
    if (!*port) {
      *port = std::make_unique<UnavailablePort>();
    }
  }
}

LinkFacade::~LinkFacade() = default;

void LinkFacade::SetLinkTargets(SerialSettings& serial, LptDeviceName& lptDevice, NetTarget& net) {
  targets_ = LinkTargets{&serial, &lptDevice, &net};
}

void LinkFacade::SetProcessEventsHook(std::function<void()> hook) {
  processEvents_ = hook ? std::move(hook) : [] {};
}

void LinkFacade::SetPauseHook(std::function<void(std::chrono::milliseconds)> hook) {
  pause_ = std::move(hook);
}

LinkPort* LinkFacade::PortOf(LinkKind kind) const {
  switch (kind) {
    case LinkKind::Usb:
      return ports_.usb.get();
    case LinkKind::Com:
      return ports_.com.get();
    case LinkKind::Lpt:
      return ports_.lpt.get();
    case LinkKind::Ethernet:
      return ports_.ethernet.get();
  }
  return nullptr;
}

ReceiveBuffer* LinkFacade::BufferOf(LinkKind kind) {
  switch (kind) {
    case LinkKind::Usb:
      return &usbBuffer_;
    case LinkKind::Com:
      return &comBuffer_;
    case LinkKind::Ethernet:
      return &netBuffer_;
    case LinkKind::Lpt:
      break;
  }
  return nullptr;
}

LinkHandle LinkFacade::OpenLink(LinkKind kind) {
  LinkPort* port = PortOf(kind);
  lastOpenFailure_ = {};
  lastOpenNote_.clear();
  lastTransferFailure_ = {};
  if (port == nullptr) {
    lastOpenFailure_ = {OpenFailureCause::NoSettings, "no such interface"};
    return InvalidLink;
  }
  // Without the owner's records there is nothing to open.
  if (!targets_.IsSet()) {
    lastOpenFailure_ = {OpenFailureCause::NoSettings, "no port settings were handed over"};
    return InvalidLink;
  }
  port->ForgetOpenFailure();
  qCDebug(TraceLink, "%s: opening %s", LinkKindName(kind), TargetText(kind, targets_).c_str());
  const auto start = TraceClock::now();
  LinkHandle handle = port->Open(targets_);
  if (handle == InvalidLink) {
    lastOpenFailure_ = port->LastOpenFailure();
    if (!lastOpenFailure_.Failed()) {
      lastOpenFailure_ = {OpenFailureCause::Other, "the port could not be opened"};
    }
    qCDebug(TraceLink, "%s: open failed after %lld ms: %s (%s)", LinkKindName(kind), MsSince(start),
            OpenFailureCauseName(lastOpenFailure_.cause),
            TraceEscaped(lastOpenFailure_.detail).c_str());
    return InvalidLink;
  }
  lastOpenNote_ = port->LastOpenNote();
  qCDebug(TraceLink, "%s: open after %lld ms%s%s", LinkKindName(kind), MsSince(start),
          lastOpenNote_.empty() ? "" : "; ", TraceEscaped(lastOpenNote_).c_str());
  if (ReceiveBuffer* buffer = BufferOf(kind)) {
    buffer->Clear();
  }
  return kind == LinkKind::Ethernet ? EthernetHandle : handle;
}

std::uint32_t LinkFacade::WriteChunked(LinkPort& port, LinkHandle handle, const std::uint8_t* data,
                                       std::uint32_t length, std::uint32_t chunkSize) {
  std::uint32_t sent = 0;
  while (sent < length) {
    const std::uint32_t chunk = std::min(length - sent, chunkSize);
    const std::uint32_t took = port.WriteChunk(handle, data + sent, chunk);
    if (took != chunk) {
      return sent + std::min(took, chunk);
    }
    sent += chunk;
    processEvents_();
  }
  return sent;
}

bool LinkFacade::WriteLink(LinkHandle handle, LinkKind kind, const void* data,
                           std::uint32_t length) {
  LinkPort* port = PortOf(kind);
  if (port == nullptr || (data == nullptr && length != 0)) {
    return false;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  qCDebug(TraceWire, "%s > %s", LinkKindName(kind),
          TraceEscaped({static_cast<const char*>(data), length}).c_str());
  std::uint32_t sent = 0;
  switch (kind) {
    case LinkKind::Usb:
      sent = WriteChunked(*port, handle, bytes, length, UsbChunkSize);
      break;
    case LinkKind::Com:
      sent = WriteChunked(*port, handle, bytes, length, ComChunkSize);
      break;
    case LinkKind::Ethernet:
      sent = WriteChunked(*port, handle, bytes, length, EthernetChunkSize);
      break;
    case LinkKind::Lpt:
      // The parallel port takes the whole text in one write, even an empty one.
      sent = std::min(port->WriteChunk(handle, bytes, length), length);
      if (sent == length) {
        processEvents_();
      }
      break;
  }
  if (sent != length) {
    qCDebug(TraceLink, "%s: the write failed after %u of %u bytes", LinkKindName(kind), sent,
            length);
    lastTransferFailure_ = FailureOf(TransferFailureCause::WriteStopped);
    lastTransferFailure_.sent = sent;
    lastTransferFailure_.total = length;
    return false;
  }
  return true;
}

bool LinkFacade::ReadLinkByte(LinkHandle handle, LinkKind kind, std::uint8_t& byte) {
  LinkPort* port = PortOf(kind);
  ReceiveBuffer* buffer = BufferOf(kind);
  if (port == nullptr || buffer == nullptr) {
    // the parallel port cannot read, and other values are no link
    lastTransferFailure_ = FailureOf(TransferFailureCause::CannotReceive);
    return false;
  }
  if (buffer->Unread() == 0) {
    // Bytes were dropped for want of room, or one arrived damaged: what follows would not be
    // the printer's reply.
    if (buffer->Dropped() || buffer->Damaged()) {
      qCDebug(TraceLink, "%s: the receive stopped: %s", LinkKindName(kind),
              buffer->Dropped() ? "bytes were dropped for want of room" : "a byte came damaged");
      lastTransferFailure_ = FailureOf(TransferFailureCause::ReceiveBroken);
      return false;
    }
    const auto start = TraceClock::now();
    if (kind == LinkKind::Com) {
      // The serial read returns at once, so the wait is made of short pauses between fills;
      // a pause ends early when a byte arrives.
      for (int attempt = 0; attempt < ComFillAttempts; ++attempt) {
        port->Fill(handle, *buffer);
        if (buffer->Unread() != 0) {
          break;
        }
        if (pause_) {
          pause_(ComFillPause);
        } else {
          port->WaitForData(handle, ComFillPause);
        }
      }
    } else {
      port->Fill(handle, *buffer);
    }
    if (buffer->Unread() != 0) {
      qCDebug(TraceLink, "%s: %u bytes came after %lld ms", LinkKindName(kind), buffer->Unread(),
              MsSince(start));
    } else {
      const long long waited = MsSince(start);
      qCDebug(TraceLink, "%s: nothing came within %lld ms", LinkKindName(kind), waited);
      lastTransferFailure_ = FailureOf(TransferFailureCause::NoReply);
      lastTransferFailure_.waited = std::chrono::milliseconds(waited);
    }
  }
  return buffer->TakeByte(byte);
}

void LinkFacade::CloseLink(LinkKind kind, LinkHandle handle) {
  if (LinkPort* port = PortOf(kind)) {
    port->Close(handle);
    qCDebug(TraceLink, "%s: closed", LinkKindName(kind));
  }
}
