// Discovery replies through TFormNetSetup::AddPrinterRow, on the offscreen platform: the row
// it adds must show what the reply carries, and its MAC and IP texts must convert back to the
// bytes that the remote address change and the network link then use.
//
// Input: one datagram as the exchange hands it over (at most 2048 bytes).
#include <QApplication>
#include <QByteArray>
#include <QTreeWidget>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dialogs/net_setup_window.h"
#include "gui/layout_scale.h"
#include "netsetup/discovery_protocol.h"
#include "protocol/address_text.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "discovery_reply: %s\n", what);
    std::abort();
  }
}

TFormNetSetup* window = nullptr;
QTreeWidget* list = nullptr;

// The Status column as the printers define it; the first matching line wins.
std::string ReferenceStatus(std::uint8_t state, std::uint8_t flags) {
  if (state == 1) {
    return "Printing";
  }
  if (state == 2) {
    return "Pause";
  }
  if (state != 3) {
    return "Ready";
  }
  if (flags & 0x01) {
    return "Carriage Open";
  }
  if (flags & 0xC0) {
    return "Over Heat";
  }
  if (flags & 0x02) {
    return "Paper Jam";
  }
  if (flags & 0x04) {
    return "Paper Empty";
  }
  if (flags & 0x18) {
    return "Ribbon Error";
  }
  if (flags & 0x20) {
    return "Cutter Error";
  }
  return "Error";
}

// Bytes from `offset` up to a NUL, `end` or the end of what arrived.
std::string TextBetween(const std::uint8_t* data, std::size_t size, std::size_t offset,
                        std::size_t end) {
  std::string text;
  for (std::size_t i = offset; i < std::min(size, end) && data[i] != 0; ++i) {
    text += static_cast<char>(data[i]);
  }
  return text;
}

// A cell as bytes; a character outside Latin-1 would not come back as it was shown.
std::string Cell(QTreeWidgetItem* row, int column) {
  const QString text = row->text(column);
  for (const QChar c : text) {
    Require(c.unicode() <= 0xFF, "a cell holds a character outside Latin-1");
  }
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

// fontconfig keeps a few blocks of its configuration until the process ends.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Kept until the process ends: destroying it at exit would leave its font caches behind.
  new QApplication(*argc, *argv);
  // Never sends: no discovery runs here, and the destination is this host anyway.
  window = new TFormNetSetup(
      LayoutScale(), NetSetupExchange(QHostAddress(QHostAddress::LocalHost)), [](const QUrl&) {},
      nullptr);
  list = window->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
  Require(list != nullptr, "no ListView1");
  // Qt fills its font caches with the first row and keeps them for good: let that happen here,
  // so that the leak check of every input sees only what the input itself allocated.
  std::array<std::uint8_t, 128> warmUp{};
  window->AddPrinterRow(warmUp.data(), warmUp.size());
  list->clear();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  size = std::min(size, MaxDatagram);
  list->clear();
  window->AddPrinterRow(data, size);
  if (size < NetSetupHeaderSize) {
    Require(list->topLevelItemCount() == 0, "a reply shorter than a header added a row");
    return 0;
  }
  Require(list->topLevelItemCount() == 1, "a reply did not add exactly one row");
  QTreeWidgetItem* row = list->topLevelItem(0);

  MacBytes mac{};
  std::copy_n(data + 22, mac.size(), mac.begin());
  const std::string macText = Cell(row, 1);
  Require(macText == MacToText(mac), "the MAC column is not the reply's MAC");
  Require(TextToMac(macText) == mac, "the MAC column does not convert back to its bytes");

  const std::string ipText = Cell(row, 2);
  if (size >= 48) {
    const IpBytes ip = {data[44], data[45], data[46], data[47]};
    Require(ipText == IpToText(ip), "the IP Address column is not the reply's address");
    Require(TextToIp(ipText) == ip, "the IP Address column does not convert back");
  } else {
    Require(ipText.empty(), "an IP address shown that did not arrive");
  }

  const std::string status = Cell(row, 4);
  if (size >= 42) {
    Require(status == ReferenceStatus(data[40], data[41]), "the Status column is wrong");
  } else {
    Require(status.empty(), "a status shown that did not arrive");
  }

  Require(Cell(row, 3) == TextBetween(data, size, 52, 84), "the Model Name column is wrong");
  Require(Cell(row, 0) == TextBetween(data, size, 84, size), "the Printer Name column is wrong");
  list->clear();
  // No event loop runs here; deliver what the list posted, as a shown window would.
  QCoreApplication::sendPostedEvents();
  return 0;
}
