// The main window over the links the program itself makes, against the Linux virtual printer
// that tests/windows/with-virtual-printer starts beside this program: TCP on loopback, a COM port
// linked to its pseudo-terminal and an LPT port linked to its FIFO.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/printer_rules.h"
#include "gui/ui_translations.h"
#include "support/expected_commands.h"
#include "support/window_harness.h"

namespace {

// The PC's clock as the window sees it: far from the printer's, which is the real time.
const QDateTime PcNow(QDate(2001, 2, 3), QTime(4, 5, 6));

QString Beside(const char* variable) {
  return QString::fromLocal8Bit(qgetenv(variable));
}

// A logged line's bytes: the log writes \r, \n, \t, \\, \" and other bytes as \xNN.
std::string Unescaped(const QByteArray& text) {
  std::string bytes;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    const char code = text[++i];
    if (code == 'x' && i + 2 < text.size()) {
      bytes += static_cast<char>(text.mid(i + 1, 2).toInt(nullptr, 16));
      i += 2;
    } else {
      bytes += code == 'r' ? '\r' : code == 'n' ? '\n' : code == 't' ? '\t' : code;
    }
  }
  return bytes;
}

// The lines the printer logged as received on `transport` ("tcp", "pty", "fifo"), in order.
std::vector<std::string> LoggedReceived(const char* transport) {
  std::vector<std::string> lines;
  QFile log(Beside("Q73580_WINE_PRINTER_LOG"));
  if (!log.open(QIODevice::ReadOnly)) {
    return lines;
  }
  const QByteArray channel = QByteArray(" ") + transport + '#';
  for (const QByteArray& line : log.readAll().split('\n')) {
    const qsizetype from = line.indexOf(" <- \"");
    const qsizetype to = line.lastIndexOf('"');
    if (line.contains(channel) && from > 0 && to > from + 4) {
      lines.push_back(Unescaped(line.mid(from + 5, to - from - 5)));
    }
  }
  return lines;
}

// A write gets no reply, so its arrival is seen in the log; a few seconds at most.
std::vector<std::string> LoggedAfter(const char* transport, std::size_t before, std::size_t count) {
  std::vector<std::string> lines = LoggedReceived(transport);
  for (int tries = 0; lines.size() < before + count && tries < 500; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    lines = LoggedReceived(transport);
  }
  return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(before, lines.size())), lines.end()};
}

class MainWindowOverSystemLinks : public ::testing::Test, public MainWindowHarness {
 protected:
  void SetUp() override {
    for (const char* variable : {"Q73580_WINE_PRINTER_TCP", "Q73580_WINE_PRINTER_COM",
                                 "Q73580_WINE_PRINTER_LPT", "Q73580_WINE_PRINTER_LOG"}) {
      ASSERT_FALSE(Beside(variable).isEmpty())
          << variable << " is not set: run through tests/windows/with-virtual-printer";
    }
  }
  void TearDown() override { window_.reset(); }

  // The window over every link of this platform, as the program makes them.
  void Open(std::optional<NetTarget> startTarget = std::nullopt) {
    TFormMain::Services services = ClockAt(PcNow);
    services.startTarget = startTarget;
    OpenWindow(std::make_unique<LinkFacade>(MakeSystemPorts()), std::move(services));
  }

  // Only the wrapper's printer on loopback: never another host.
  static NetTarget PrinterTarget() {
    const HostPortReading reading = ReadHostPort(Beside("Q73580_WINE_PRINTER_TCP"));
    if (!reading.target || reading.target->host != QLatin1String("127.0.0.1")) {
      ADD_FAILURE() << "no loopback printer in Q73580_WINE_PRINTER_TCP";
      return LoopbackTarget(0);
    }
    return LoopbackTarget(static_cast<quint16>(reading.target->port));
  }

  void Select(LinkKind kind) {
    Find<QComboBox>("ComboBoxInterFace")->setCurrentIndex(static_cast<int>(kind));
    window_->Serial().PortName.Assign(Beside("Q73580_WINE_PRINTER_COM").toStdString());
    window_->LptDevice().Assign(Beside("Q73580_WINE_PRINTER_LPT").toStdString());
  }

  QDateTime ShownClock() const {
    auto number = [this](const char* edit) { return Text(edit).trimmed().toInt(); };
    return {QDate(number("EditYear"), number("EditMonth"), number("EditDate")),
            QTime(number("EditHour"), number("EditMinute"), number("EditSecond"))};
  }
  void TypeClock(const QDateTime& at) {
    const std::pair<const char*, int> fields[] = {
        {"EditYear", at.date().year()},     {"EditMonth", at.date().month()},
        {"EditDate", at.date().day()},      {"EditHour", at.time().hour()},
        {"EditMinute", at.time().minute()}, {"EditSecond", at.time().second()}};
    for (const auto& [edit, value] : fields) {
      Find<QLineEdit>(edit)->setText(QString::number(value));
    }
  }
  // The cause shown under the first message, for a failure's text.
  std::string Cause() const { return details_.empty() ? std::string() : details_[0].toStdString(); }
  // The printer's clock is the real time: a read shows it, not the PC's.
  void ExpectPrintersClock() const {
    const QDateTime shown = ShownClock();
    EXPECT_LE(qAbs(shown.secsTo(QDateTime::currentDateTime())), 5)
        << shown.toString(Qt::ISODate).toStdString();
  }
};

TEST_F(MainWindowOverSystemLinks, StartedOnEthernet_ShowsThePrintersClockAndNetwork) {
  Open(PrinterTarget());
  EXPECT_EQ(messages_, std::vector<QString>{}) << Cause();
  ExpectPrintersClock();
  EXPECT_TRUE(Find<QRadioButton>("RadioStaticIP")->isChecked());
  EXPECT_EQ(Text("EditIP"), "192.168.7.50");
  EXPECT_EQ(Text("EditMask"), "255.255.0.0");
  EXPECT_EQ(Text("EditGateWay"), "192.168.7.1");
  // Latin-1 on the wire, whatever the system's code page.
  EXPECT_EQ(Text("EditPrinterName"), QString::fromUtf8(Q73580_WINE_PRINTER_NAME));
}

struct SetCase {
  const char* name;
  LinkKind kind;
  const char* transport;  // as the printer logs it
};

void PrintTo(const SetCase& row, std::ostream* os) {
  *os << row.name;
}

class ClockOverPort : public MainWindowOverSystemLinks,
                      public ::testing::WithParamInterface<SetCase> {};

// The serial link reads back too; the parallel one only writes.
TEST_P(ClockOverPort, ReadTakesThePrintersClockAndSetReachesThePrinter) {
  Open();
  Select(GetParam().kind);
  if (GetParam().kind == LinkKind::Com) {
    Click("ButtonRTCRead");
    EXPECT_EQ(messages_, std::vector<QString>{}) << Cause();
    ExpectPrintersClock();
  }

  const QDateTime at = QDateTime::currentDateTime();
  TypeClock(at);
  const std::size_t before = LoggedReceived(GetParam().transport).size();
  Click("ButtonOk");
  EXPECT_EQ(messages_, std::vector<QString>{}) << Cause();
  EXPECT_EQ(LoggedAfter(GetParam().transport, before, 1),
            std::vector<std::string>{expected::SetClock(
                at.toString(QStringLiteral("MM,dd,yy,HH,mm,ss")).toStdString())});
}

INSTANTIATE_TEST_SUITE_P(Ports, ClockOverPort,
                         ::testing::Values(SetCase{"Com", LinkKind::Com, "pty"},
                                           SetCase{"Lpt", LinkKind::Lpt, "fifo"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The translation is compiled into the program, so that it needs no file beside it.
TEST_F(MainWindowOverSystemLinks, GermanTranslation_IsBuiltIn) {
  const UiTranslations german(QLocale(QLocale::German, QLocale::Germany));
  ASSERT_TRUE(german.Loaded());
  Open();
  EXPECT_EQ(Find<QPushButton>("ButtonRTCRead")->text(), QStringLiteral("Lesen"));
  Select(LinkKind::Com);
  window_->Serial().PortName.Assign("COM200");
  Click("ButtonRTCRead");
  EXPECT_EQ(messages_,
            std::vector<QString>{QStringLiteral("Fehler beim Öffnen der Schnittstelle")});
}

}  // namespace
