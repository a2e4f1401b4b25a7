#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "netsetup/remote_ip_change.h"
#include "support/loopback_udp_printer.h"
#include "support/window_harness.h"

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;
using Answer = LoopbackUdpPrinter::Answer;
using Served = LoopbackUdpPrinter::Served;

double Seconds(SteadyClock::duration d) {
  return std::chrono::duration<double>(d).count();
}

std::uint16_t CommandOf(const std::string& request) {
  if (request.size() < 10) {
    return 0;
  }
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(request[8]) << 8 |
                                    static_cast<std::uint8_t>(request[9]));
}
constexpr std::uint16_t Discover = 2;
constexpr std::uint16_t ReadBlock = 3;
constexpr std::uint16_t WriteBlock = 4;

// --- Datagrams ---

constexpr std::size_t ReceiveBuffer = 2048;  // what the window reads of one datagram
const std::string ValidName = "Matrix printer in the long hall, " + std::string(67, 'n');

void PutIp(std::string& d, std::size_t at, int a, int b, int c, int e) {
  for (int value : {a, b, c, e}) {
    d[at++] = static_cast<char>(value);
  }
}

// A whole discovery reply of ReceiveBuffer bytes whose MAC and address carry `tag`: state 3
// with flag 0x04 ("Paper Empty"), model "Q73580-M", a 100-character name, zeros after it.
std::string ValidReply(std::uint32_t tag) {
  std::string d(ReceiveBuffer, '\0');
  const std::string header = {0x00, 0x20, 0x00, 0x01, 0x00, 0x01, 0x08, 0x00, 0x00, 0x02};
  d.replace(0, header.size(), header);
  const std::string mac = {
      0x02, 0x51, static_cast<char>(tag >> 16), static_cast<char>(tag >> 8), static_cast<char>(tag),
      0x00};
  d.replace(22, 6, mac);
  d[40] = 3;
  d[41] = 0x04;
  PutIp(d, 44, 10, 20, static_cast<int>(tag >> 8 & 0xFF), static_cast<int>(tag & 0xFF));
  d.replace(52, 8, "Q73580-M");
  d.replace(84, ValidName.size(), ValidName);
  return d;
}

std::string Garbage(std::size_t length, std::uint32_t seed) {
  std::string d(length, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char& c : d) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return d;
}

enum class Kind { Truncated, HeaderThenGarbage, Garbage };

std::string Datagram(Kind kind, std::size_t length) {
  const auto tag = static_cast<std::uint32_t>(length);
  switch (kind) {
    case Kind::Truncated: {
      std::string d = ValidReply(tag);
      d.resize(length, '\0');  // longer than the buffer: zeros the window never reads
      return d;
    }
    case Kind::HeaderThenGarbage: {
      std::string d = Garbage(length, tag);
      d.replace(0, std::min<std::size_t>(length, 32), ValidReply(tag), 0,
                std::min<std::size_t>(length, 32));
      return d;
    }
    case Kind::Garbage:
      break;
  }
  return Garbage(length, tag + 7777);
}

// A list row as its five columns: name, MAC, IP address, model, status.
using Row = std::vector<QString>;

QString Latin1(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The text at `at` up to its NUL, the end of its field or the end of what was read.
QString TextAt(const std::string& d, std::size_t at, std::size_t field) {
  if (at >= d.size()) {
    return {};
  }
  std::string text = d.substr(at, field);
  return Latin1(text.substr(0, text.find('\0')));
}

// The row a datagram must give: the fields at their offsets, a field the datagram is too short
// for empty. The status text is checked only for the replies whose state this test chose; for
// noise only that there is one ("?").
Row ExpectedRow(std::string d, Kind kind) {
  d.resize(std::min(d.size(), ReceiveBuffer));
  auto byte = [&d](std::size_t at) {
    return static_cast<unsigned>(static_cast<std::uint8_t>(d[at]));
  };
  const QString mac = QString::asprintf("%02X:%02X:%02X:%02X:%02X:%02X", byte(22), byte(23),
                                        byte(24), byte(25), byte(26), byte(27));
  const QString ip =
      d.size() >= 48
          ? QStringLiteral("%1.%2.%3.%4").arg(byte(44)).arg(byte(45)).arg(byte(46)).arg(byte(47))
          : QString();
  QString status;
  if (d.size() >= 42) {
    status = kind == Kind::Truncated ? QStringLiteral("Paper Empty") : QStringLiteral("?");
  }
  return {TextAt(d, 84, d.size()), mac, ip, TextAt(d, 52, 32), status};
}

Row ListedRow(QTreeWidget& list, int index, bool withStatus) {
  QTreeWidgetItem* item = list.topLevelItem(index);
  Row row;
  for (int column = 0; column < 5; ++column) {
    row.push_back(item->text(column));
  }
  if (!withStatus) {
    row[4] = row[4].isEmpty() ? QString() : QStringLiteral("?");
  }
  return row;
}

// --- The main window, its "Setup" for ETHERNET, and the TCP/IP Setup window ---

class DiscoveryTest : public ::testing::Test, public MainWindowHarness {
 protected:
  void TearDown() override { window_.reset(); }

  // The main window without printer links, its discovery aimed at `port` on this host.
  void OpenMainWindow(quint16 port) {
    ASSERT_NE(port, 0);
    TFormMain::Services services;
    services.discoveryDestination = QHostAddress(QHostAddress::LocalHost);
    services.discoveryPort = port;
    // Never a broadcast from here: the requests stay on this host.
    ASSERT_TRUE(services.discoveryDestination.isLoopback());
    ASSERT_EQ(services.discoveryDestination.toIPv4Address(), 0x7F000001u);
    OpenWindow(std::make_unique<LinkFacade>(LinkPorts{}), std::move(services));
    Find<QComboBox>("ComboBoxInterFace")->setCurrentIndex(static_cast<int>(LinkKind::Ethernet));
  }

  // "Setup"; `inside` runs once the TCP/IP Setup window is up (its first discovery done), then
  // "Exit" closes it.
  void RunSetupWindow(const std::function<void(TFormNetSetup&)>& inside) {
    const bool shown = WithModal(
        "FormNetSetup",
        [&](QWidget* window) {
          auto& setup = static_cast<TFormNetSetup&>(*window);
          inside(setup);
          Named<QPushButton>(&setup, "ButtonSet")->click();
          if (setup.isVisible()) {
            ADD_FAILURE() << "\"Exit\" did not close the window";
            setup.reject();
          }
        },
        [this] { Find<QPushButton>("ButtonInterFace")->click(); }, 3000);
    EXPECT_TRUE(shown) << "the TCP/IP Setup window never came up";
    EXPECT_TRUE(window_->InputEnabled());
  }

  static QTreeWidget& List(TFormNetSetup& setup) {
    return *Named<QTreeWidget>(&setup, "ListView1");
  }
  // Clicks "Discover Device" and returns when that discovery ended.
  static SteadyClock::time_point Discover(TFormNetSetup& setup) {
    Named<QPushButton>(&setup, "ButtonDiscover")->click();
    return SteadyClock::now();
  }
  static bool CanDiscover(TFormNetSetup& setup) {
    return Named<QPushButton>(&setup, "ButtonDiscover")->isEnabled();
  }
};

// Every length from 0 to the receive buffer (and two beyond it), as a truncated reply, as a
// header followed by noise and as pure noise: each datagram of a header's length or more is one
// row with the fields it holds, shorter ones are not listed, and every run ends one second after
// its last datagram.
TEST_F(DiscoveryTest, DatagramsOfEveryLength_ListExactlyThoseOfAHeaderOrMore) {
  struct Batch {
    Kind kind;
    std::size_t from, to;  // lengths, inclusive
  };
  std::vector<Batch> batches;
  for (Kind kind : {Kind::Truncated, Kind::HeaderThenGarbage, Kind::Garbage}) {
    // At most 700 rows each, below the 1000 answers that end a run early.
    batches.push_back({kind, 0, 699});
    batches.push_back({kind, 700, 1399});
    batches.push_back({kind, 1400, 2048});
  }
  auto lengths = [](const Batch& b) {
    std::vector<std::size_t> all;
    for (std::size_t length = b.from; length <= b.to; ++length) {
      all.push_back(length);
    }
    if (b.to == ReceiveBuffer) {
      all.insert(all.end(), {ReceiveBuffer + 1, 4000});  // cut at the buffer
    }
    return all;
  };
  std::atomic<int> request{0};
  LoopbackUdpPrinter printer([&](const std::string&) {
    const int index = request++;
    Answer answer;
    if (index == 0 || index > static_cast<int>(batches.size())) {
      return answer;  // the window's first discovery hears nothing
    }
    const Batch& b = batches[static_cast<std::size_t>(index - 1)];
    for (std::size_t length : lengths(b)) {
      answer.datagrams.push_back(Datagram(b.kind, length));
    }
    return answer;
  });
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow(printer.Port()));

  QString lastFirstAddress;
  RunSetupWindow([&](TFormNetSetup& setup) {
    EXPECT_EQ(List(setup).topLevelItemCount(), 0);
    for (std::size_t i = 0; i < batches.size(); ++i) {
      const Batch& b = batches[i];
      SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(b.kind) << ", lengths "
                                      << b.from << " to " << b.to);
      const auto start = SteadyClock::now();
      const SteadyClock::time_point ended = Discover(setup);
      const std::vector<Served> served = printer.WaitForAnswers(i + 2);
      ASSERT_EQ(served.size(), i + 2);
      const Served& answer = served.back();
      ASSERT_EQ(answer.drops, 0u) << "datagrams were lost on the way; the counts cannot hold";

      std::vector<Row> expected;
      for (std::size_t length : lengths(b)) {
        if (std::min(length, ReceiveBuffer) >= 32) {
          expected.push_back(ExpectedRow(Datagram(b.kind, length), b.kind));
        }
      }
      QTreeWidget& list = List(setup);
      ASSERT_EQ(list.topLevelItemCount(), static_cast<int>(expected.size()));
      for (int row = 0; row < list.topLevelItemCount(); ++row) {
        ASSERT_EQ(ListedRow(list, row, b.kind == Kind::Truncated),
                  expected[static_cast<std::size_t>(row)])
            << "row " << row;
      }
      // One second of quiet after the last datagram ends the run; well inside the 10 s cap.
      const double quiet = Seconds(ended - answer.sent.back());
      EXPECT_GE(quiet, 0.95);
      EXPECT_LT(quiet, 1.6);
      EXPECT_LT(Seconds(ended - start), 10.5);
      EXPECT_TRUE(CanDiscover(setup));
      lastFirstAddress = list.topLevelItem(0)->text(2);
    }
  });
  // The last run's first row became the host.
  EXPECT_EQ(QString::fromLatin1(window_->Target().Host.View()), lastFirstAddress);
  EXPECT_TRUE(messages_.empty());
}

// A printer that answers with more than the run takes: the first 1000 answers are listed, in
// order, and the run ends at the 1000th without waiting for a quiet second.
TEST_F(DiscoveryTest, MoreThanAThousandAnswers_ListTheFirstThousandAndEndAtOnce) {
  std::atomic<int> request{0};
  LoopbackUdpPrinter printer([&](const std::string&) {
    const int index = request++;
    Answer answer;
    const std::uint32_t count = index == 1 ? 1500 : index == 2 ? 1 : 0;
    for (std::uint32_t tag = 0; tag < count; ++tag) {
      std::string reply = ValidReply(tag);
      reply.resize(128);  // the name cut at 44 characters
      answer.datagrams.push_back(reply);
    }
    return answer;
  });
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow(printer.Port()));

  RunSetupWindow([&](TFormNetSetup& setup) {
    const auto start = SteadyClock::now();
    const SteadyClock::time_point ended = Discover(setup);
    const std::vector<Served> served = printer.WaitForAnswers(2);
    ASSERT_EQ(served.size(), 2u);
    QTreeWidget& list = List(setup);
    ASSERT_EQ(list.topLevelItemCount(), 1000);
    for (int row = 0; row < 1000; ++row) {
      ASSERT_EQ(list.topLevelItem(row)->text(1),
                QString::asprintf("02:51:00:%02X:%02X:00", row >> 8, row & 0xFF));
    }
    // The 1000th answer ends the run: no quiet second after it.
    ASSERT_GE(served[1].sent.size(), 1000u);
    EXPECT_LT(Seconds(ended - served[1].sent[999]), 0.5);
    EXPECT_LT(Seconds(ended - start), 10.5);

    // The window goes on: the next run lists the one printer that answers it.
    Discover(setup);
    EXPECT_EQ(list.topLevelItemCount(), 1);
  });
  EXPECT_EQ(window_->Target().Host, "10.20.0.0");
}

// Datagrams too short to list still count as activity, so a device that keeps sending them is
// only stopped by the 10 s cap; the list stays empty and the window goes on.
TEST_F(DiscoveryTest, EndlessShortDatagrams_EndAtTheTenSecondCap) {
  std::atomic<int> request{0};
  LoopbackUdpPrinter printer([&](const std::string&) {
    Answer answer;
    if (request++ == 1) {
      // 14 s at one every 20 ms, unless the window's socket goes first.
      answer.datagrams.assign(700, Garbage(31, 1));
      answer.gap = 20ms;
    }
    return answer;
  });
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow(printer.Port()));

  RunSetupWindow([&](TFormNetSetup& setup) {
    const auto start = SteadyClock::now();
    const SteadyClock::time_point ended = Discover(setup);
    EXPECT_GE(Seconds(ended - start), 9.8);
    EXPECT_LT(Seconds(ended - start), 11.0);
    EXPECT_EQ(List(setup).topLevelItemCount(), 0);
    EXPECT_TRUE(CanDiscover(setup));
  });
  EXPECT_EQ(window_->Target().Host, "");
}

// The virtual printer answering twice, after a short datagram, and then as a flood: each answer
// is a row of its own, in the order sent, short datagrams are not listed, and a flood fills the
// list up to the 1000 rows a run takes at most.
TEST_F(DiscoveryTest, VirtualPrinterDuplicatesShortRepliesAndFlood) {
  printer_sim::SimServerConfig config = Printers(3);
  config.faults.duplicateReplies = true;
  config.faults.shortReply = true;
  VirtualPrinter sim(UdpOnly, config);
  ASSERT_TRUE(sim.Running()) << sim.Error();
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow(sim.UdpPort()));
  const std::vector<printer_sim::PrinterState> printers = sim->Printers();
  ASSERT_EQ(printers.size(), 3u);

  RunSetupWindow([&](TFormNetSetup& setup) {
    QTreeWidget& list = List(setup);
    ASSERT_EQ(list.topLevelItemCount(), 6);
    for (int row = 0; row < 6; ++row) {
      const printer_sim::PrinterState& printer = printers[static_cast<std::size_t>(row / 2)];
      EXPECT_EQ(list.topLevelItem(row)->text(0).toStdString(), printer.name) << row;
      EXPECT_EQ(list.topLevelItem(row)->text(1).toStdString(), printer.mac) << row;
    }

    printer_sim::FaultSwitches flood = config.faults;
    flood.floodReplies = 400;  // 3 x 402 answers
    sim->SetFaults(flood);
    const auto start = SteadyClock::now();
    Discover(setup);
    EXPECT_LT(Seconds(SteadyClock::now() - start), 10.5);
    // Sent as fast as the virtual printer can, some may be lost on the way; never more than
    // 1000 rows, each a whole answer, in the order of the printers.
    const int rows = list.topLevelItemCount();
    EXPECT_GT(rows, 0);
    EXPECT_LE(rows, 1000);
    std::size_t printer = 0;
    for (int row = 0; row < rows; ++row) {
      const std::string mac = list.topLevelItem(row)->text(1).toStdString();
      while (printer < printers.size() && printers[printer].mac != mac) {
        ++printer;
      }
      ASSERT_LT(printer, printers.size()) << "row " << row << " is out of order: " << mac;
      EXPECT_FALSE(list.topLevelItem(row)->text(4).isEmpty()) << row;
    }
    EXPECT_TRUE(CanDiscover(setup));
  });
  EXPECT_TRUE(window_->InputEnabled());
}

// --- The remote address change's block reads ---

constexpr std::size_t ReadAddressEnd = 81;  // the gateway's last byte is at 80
constexpr std::size_t AddressModeAt = 942;

// A read reply holding block 4 (address, mask, gateway; the address carries `tag`) and block 5
// (DHCP), cut to `length`.
std::string BlockReply(std::size_t length) {
  std::string d(ReceiveBuffer, '\0');
  d[1] = 0x20;
  const auto tag = static_cast<int>(length);
  PutIp(d, 69, 10, 40, tag >> 8 & 0xFF, tag & 0xFF);
  PutIp(d, 73, 255, 255, 252, 0);
  PutIp(d, 77, 10, 40, 0, 1);
  d[AddressModeAt] = 8;
  d.resize(length, '\0');
  return d;
}

const std::string PrinterMacText = "02:51:00:01:00:00";  // ValidReply(0x0100)

// A printer that lists itself once and answers each block read with a reply of `length` bytes.
LoopbackUdpPrinter::Script BlockReadPrinter(const std::atomic<std::size_t>& length) {
  return [&length](const std::string& request) {
    Answer answer;
    if (CommandOf(request) == Discover) {
      std::string reply = ValidReply(0x0100);
      reply.resize(128);
      answer.datagrams.push_back(reply);
    } else if (CommandOf(request) == ReadBlock) {
      answer.datagrams.push_back(BlockReply(length));
    }
    return answer;
  };
}

// Every length of reply to the two block reads: the fields it holds are taken, a field it is too
// short for stays empty, and each change takes its own two answers.
TEST(RemoteChangeBlockReads, RepliesOfEveryLength_FillOnlyTheFieldsTheyHold) {
  std::atomic<std::size_t> length{0};
  LoopbackUdpPrinter printer(BlockReadPrinter(length));
  ASSERT_NE(printer.Port(), 0);
  const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), printer.Port());

  for (std::size_t n = 0; n <= ReceiveBuffer + 1; ++n) {
    length = n;
    // A datagram shorter than a header is no answer: both waits run out, so they are short
    // here. Longer ones are answers and end their wait at once.
    const bool answered = n >= 32;
    const int waitMs = answered ? 3000 : 100;
    NetConfigRecord seen;
    const auto start = SteadyClock::now();
    const bool written = RunRemoteIpChange(
                             exchange, 7, RemoteChangeTarget{PrinterMacText, "Sweep"},
                             [&seen](NetConfigRecord& record) { seen = record; }, waitMs)
                             .written;
    const double seconds = Seconds(SteadyClock::now() - start);
    ASSERT_LT(seconds, answered ? 1.0 : 2 * 0.1 + 0.5) << n;
    if (!answered) {
      ASSERT_GE(seconds, 2 * 0.1 - 0.01) << n;
    }
    ASSERT_FALSE(written);  // not accepted: nothing written
    const bool addresses = std::min(n, ReceiveBuffer) >= ReadAddressEnd;
    const std::string ip =
        addresses ? "10.40." + std::to_string(n >> 8 & 0xFF) + "." + std::to_string(n & 0xFF) : "";
    ASSERT_EQ(seen.ip, ip) << n;
    ASSERT_EQ(seen.lastUsedIp, ip) << n;
    ASSERT_EQ(seen.mask, addresses ? "255.255.252.0" : "") << n;
    ASSERT_EQ(seen.gateway, addresses ? "10.40.0.1" : "") << n;
    ASSERT_EQ(seen.dhcp, std::min(n, ReceiveBuffer) > AddressModeAt ? 1 : 0) << n;
    ASSERT_EQ(seen.netName, "Sweep") << n;
  }
  // Two reads per change, one discovery never.
  EXPECT_EQ(printer.WaitForAnswers(2 * (ReceiveBuffer + 2)).size(), 2 * (ReceiveBuffer + 2));
}

// The virtual printer sending a 31-byte datagram before each answer (or not, to compare): the
// change still reads the printer's own settings, and what it writes reaches the printer. (A
// printer answering twice is left out: answers are not matched to requests, so a second copy
// that comes after the next request has gone out passes for its answer.)
class RemoteChangeNoisyAnswers : public ::testing::TestWithParam<bool> {};

TEST_P(RemoteChangeNoisyAnswers, ReadsThePrintersOwnSettingsAndWritesTheNewOnes) {
  printer_sim::SimServerConfig config;
  config.initialState.dhcp = true;
  config.initialState.lastUsedIp = "10.7.7.7";
  config.initialState.dhcpLeaseIp = "10.7.7.7";
  config.initialState.mask = "255.255.0.0";
  config.initialState.gateway = "10.7.0.1";
  config.faults.shortReply = GetParam();
  VirtualPrinter sim(UdpOnly, config);
  ASSERT_TRUE(sim.Running()) << sim.Error();
  const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), sim.UdpPort());

  NetConfigRecord seen;
  const auto start = SteadyClock::now();
  const bool written = RunRemoteIpChange(
                           exchange, 9, RemoteChangeTarget{sim->State().mac, "Noisy"},
                           [&seen](NetConfigRecord& record) {
                             seen = record;
                             record.dhcp = 0;
                             record.ip.Assign("10.8.8.8");
                             record.mask.Assign("255.255.255.0");
                             record.gateway.Assign("10.8.8.1");
                             record.netName.Assign("Quiet");
                             record.accepted = 1;
                           },
                           3000)
                           .written;
  // Every request is answered at once: nowhere near the six waits of 3 s.
  EXPECT_LT(Seconds(SteadyClock::now() - start), 3.0);
  EXPECT_TRUE(written);
  EXPECT_EQ(seen.ip, "10.7.7.7");
  EXPECT_EQ(seen.mask, "255.255.0.0");
  EXPECT_EQ(seen.gateway, "10.7.0.1");
  EXPECT_EQ(seen.dhcp, 1);

  ASSERT_TRUE(sim->WaitUntil([&] { return sim->State().name == "Quiet"; }, 5s));
  const printer_sim::PrinterState state = sim->State();
  EXPECT_FALSE(state.dhcp);
  EXPECT_EQ(state.ip, "10.8.8.8");
  EXPECT_EQ(state.mask, "255.255.255.0");
  EXPECT_EQ(state.gateway, "10.8.8.1");
}

INSTANTIATE_TEST_SUITE_P(Answers, RemoteChangeNoisyAnswers, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ShortFirst" : "Plain"; });

// The same through the window: the Ethernet Setup dialog opens with what the replies held.
TEST_F(DiscoveryTest, ChangeIp_DialogShowsWhatTheBlockRepliesHeld) {
  std::atomic<std::size_t> length{0};
  LoopbackUdpPrinter printer(BlockReadPrinter(length));
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow(printer.Port()));

  struct Shown {
    QString ip, mask;
    bool dhcp = false;
  };
  RunSetupWindow([&](TFormNetSetup& setup) {
    ASSERT_EQ(List(setup).topLevelItemCount(), 1);
    ASSERT_EQ(List(setup).topLevelItem(0)->text(1).toStdString(), PrinterMacText);
    // Only the two short datagrams leave the waits to run out.
    setup.SetRemoteWait(300);
    for (std::size_t n : {std::size_t{0}, std::size_t{31}, ReadAddressEnd - 1, ReadAddressEnd,
                          AddressModeAt + 1, ReceiveBuffer}) {
      length = n;
      Shown shown;
      const auto start = SteadyClock::now();
      const bool opened = WithModal(
          "FormEthernetSetup",
          [&shown](QWidget* dialog) {
            shown = Shown{Named<QLineEdit>(dialog, "EditIP")->text(),
                          Named<QLineEdit>(dialog, "EditMask")->text(),
                          Named<QRadioButton>(dialog, "RadioDHCP")->isChecked()};
            Named<QPushButton>(dialog, "ButtonCancel")->click();
          },
          [&setup] { Named<QPushButton>(&setup, "ButtonChangeIP")->click(); });
      EXPECT_LT(Seconds(SteadyClock::now() - start), 2 * 0.3 + 1.0) << n;
      ASSERT_TRUE(opened) << n;
      const bool addresses = n >= ReadAddressEnd;
      EXPECT_EQ(shown.ip,
                addresses ? QStringLiteral("10.40.%1.%2").arg(n >> 8).arg(n & 0xFF) : QString())
          << n;
      EXPECT_EQ(shown.mask, addresses ? QStringLiteral("255.255.252.0") : QString()) << n;
      EXPECT_EQ(shown.dhcp, n > AddressModeAt) << n;
      // "Cancel" writes nothing and keeps the list.
      EXPECT_EQ(List(setup).topLevelItemCount(), 1);
    }
  });
  EXPECT_TRUE(messages_.empty());
}

// A printer that lists itself once, answers only the read of block 5 (with DHCP) and never a
// write; the writes it gets are kept in `writes`.
LoopbackUdpPrinter::Script DhcpPrinterWithoutAddresses(std::mutex& mu,
                                                       std::vector<std::string>& writes) {
  return [&mu, &writes](const std::string& request) {
    Answer answer;
    if (CommandOf(request) == Discover) {
      std::string reply = ValidReply(0x0100);
      reply.resize(128);
      answer.datagrams.push_back(reply);
    } else if (CommandOf(request) == ReadBlock && request.size() > 32 && request[32] == 5) {
      answer.datagrams.push_back(BlockReply(ReceiveBuffer));
    } else if (CommandOf(request) == WriteBlock) {
      const std::lock_guard lock(mu);
      writes.push_back(request);
    }
    return answer;
  };
}

// Block 4 unread under DHCP and no write answered: "Set" goes through with the greyed-out
// addresses empty, writes 0.0.0.0 for them, empties the list and says once that the printer
// did not confirm the change.
TEST_F(DiscoveryTest, ChangeIp_DhcpWithoutAddressesAndNoWriteAnswered_WritesZerosAndSaysSo) {
  std::mutex mu;
  std::vector<std::string> writes;
  LoopbackUdpPrinter printer(DhcpPrinterWithoutAddresses(mu, writes));
  std::vector<QString> errors;
  const RecordErrors recordErrors(errors);
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow(printer.Port()));

  RunSetupWindow([&](TFormNetSetup& setup) {
    ASSERT_EQ(List(setup).topLevelItemCount(), 1);
    setup.SetRemoteWait(100);
    const bool opened = WithModal(
        "FormEthernetSetup",
        [](QWidget* dialog) {
          EXPECT_TRUE(Named<QRadioButton>(dialog, "RadioDHCP")->isChecked());
          EXPECT_EQ(Named<QLineEdit>(dialog, "EditIP")->text(), "");
          // A refusal would show an error box and keep the dialog open.
          QTest::mouseClick(Named<QPushButton>(dialog, "ButtonOK"), Qt::LeftButton);
          if (dialog->isVisible()) {
            ADD_FAILURE() << "\"Set\" was refused";
            Named<QPushButton>(dialog, "ButtonCancel")->click();
          }
        },
        [&setup] { Named<QPushButton>(&setup, "ButtonChangeIP")->click(); });
    ASSERT_TRUE(opened);
    EXPECT_EQ(List(setup).topLevelItemCount(), 0);
  });
  EXPECT_TRUE(errors.empty()) << errors.front().toStdString();
  EXPECT_EQ(messages_, std::vector<QString>{"The printer did not confirm the change. \"Discover "
                                            "Device\" shows its settings as they are now."});
  // The discovery, two reads and four writes.
  printer.WaitForAnswers(7);
  const std::lock_guard lock(mu);
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[1].substr(69, 12), std::string(12, '\0'));  // block 4
  EXPECT_EQ(static_cast<int>(writes[2][942]), 8);              // block 5: DHCP
}

}  // namespace
