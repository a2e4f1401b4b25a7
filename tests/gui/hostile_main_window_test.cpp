#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostile_input.h"

namespace {

using namespace std::chrono_literals;

// The main window on "ETHERNET", pointed at the virtual printer.
class HostileMainWindowTest : public MainWindowOverTcp {
 protected:
  // Starts the window (it reads the printer) and forgets what the start sent.
  void OpenOnThePrinter() {
    Open(true);
    ASSERT_TRUE(messages_.empty());
    sim_->ClearLog();
  }
  QLineEdit* EditNamed(const char* name) {
    if (std::string(name) == "ComboBoxInterFace") {
      return Find<QComboBox>(name)->lineEdit();
    }
    return Find<QLineEdit>(name);
  }

  // Good values in every field, a static address chosen, so that only the row's input counts.
  void FillGoodValues() {
    Find<QRadioButton>("RadioStaticIP")->click();  // rewrites the address edits, so it goes first
    static const std::pair<const char*, const char*> Good[] = {{"EditYear", "2026"},
                                                               {"EditMonth", "12"},
                                                               {"EditDate", "7"},
                                                               {"EditHour", "11"},
                                                               {"EditMinute", "5"},
                                                               {"EditSecond", "9"},
                                                               {"EditIP", "192.168.7.50"},
                                                               {"EditMask", "255.255.0.0"},
                                                               {"EditGateWay", "192.168.7.1"},
                                                               {"EditPrinterName", "Bench-2"}};
    for (const auto& [edit, text] : Good) {
      Find<QLineEdit>(edit)->setText(QLatin1String(text));
    }
  }

  // Every line the printer received until a final command of our own arrived. Commands that
  // get no reply cannot be waited for; the one after them can, and lines arrive in order.
  std::vector<std::string> ReceivedUpToSentinel() {
    NetConfigRecord sentinel;
    sentinel.netName.Assign("end of test");
    EXPECT_EQ(RunPrinterOperation(*link_, PrinterOperation::SetPrinterName, LinkKind::Ethernet,
                                  &sentinel),
              CommandResult::Ok);
    const bool arrived = sim_->WaitUntil(
        [&] {
          const auto entries = sim_->ReceivedCommands();
          return !entries.empty() && entries.back().raw == Sentinel;
        },
        5s);
    EXPECT_TRUE(arrived) << "the sentinel command did not arrive";
    std::vector<std::string> lines = Received();
    if (!lines.empty() && lines.back() == Sentinel) {
      lines.pop_back();
    }
    return lines;
  }

  static constexpr const char* Sentinel = "NET NAME \"end of test\"\r\n";
};

class HostileMainWindowInput : public HostileMainWindowTest,
                               public ::testing::WithParamInterface<InputRow> {};

// The value a record holds for the field behind `edit`, as text, to see that a refusal left it.
std::string RecordField(const TFormMain& window, const std::string& edit) {
  const ClockRecord& clock = window.ClockValues();
  const NetConfigRecord& net = window.NetworkValues();
  const std::map<std::string, std::string> fields = {
      {"EditYear", std::to_string(clock.year)},
      {"EditMonth", std::to_string(clock.month)},
      {"EditDate", std::to_string(clock.date)},
      {"EditHour", std::to_string(clock.hour)},
      {"EditMinute", std::to_string(clock.minute)},
      {"EditSecond", std::to_string(clock.second)},
      {"EditIP", std::string(net.ip.View())},
      {"EditMask", std::string(net.mask.View())},
      {"EditGateWay", std::string(net.gateway.View())},
      {"EditPrinterName", std::string(net.netName.View())},
  };
  const auto found = fields.find(edit);
  return found != fields.end() ? found->second : std::string();
}

// How a refusal names the field behind an edit ("{field}" in a row's message).
QString FieldCaption(const std::string& edit) {
  const std::map<std::string, QString> captions = {
      {"EditIP", QStringLiteral("IP address")},
      {"EditMask", QStringLiteral("Mask")},
      {"EditGateWay", QStringLiteral("Gateway")},
      {"EditPrinterName", QStringLiteral("Printer name")}};
  const auto found = captions.find(edit);
  return found != captions.end() ? found->second : QString();
}

TEST_P(HostileMainWindowInput, ReachesThePrinterWholeOrIsRefusedWithAMessage) {
  const InputRow& row = GetParam();
  OpenOnThePrinter();
  FillGoodValues();
  const QString input = HostileText(row.input);
  QLineEdit* edit = EditNamed(row.edit);
  Enter(edit, input, row.entry);
  const bool combo = std::string(row.edit) == "ComboBoxInterFace";
  if (!combo) {
    // The edit holds the input, at most cut to its limit; the limit is what the user sees.
    EXPECT_EQ(edit->text(), input.left(edit->maxLength()));
  }
  const std::string fieldBefore = RecordField(*window_, row.edit);
  const QString expected = ExpectedText(row.expected, edit->text())
                               .replace(QStringLiteral("{field}"), FieldCaption(row.edit));

  Click(row.button);
  EXPECT_TRUE(window_->InputEnabled());
  const std::vector<std::string> received = ReceivedUpToSentinel();

  switch (row.outcome) {
    case Outcome::Sent:
      EXPECT_EQ(received, std::vector<std::string>{row.expected});
      EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
      EXPECT_TRUE(messages_.empty()) << messages_.front().toStdString();
      break;
    case Outcome::Refused:
      EXPECT_TRUE(received.empty()) << received.front();
      EXPECT_EQ(errors_, std::vector<QString>{expected});
      EXPECT_TRUE(messages_.empty());
      EXPECT_EQ(RecordField(*window_, row.edit), fieldBefore) << "a refused text was stored";
      break;
    case Outcome::Failed:
      EXPECT_TRUE(received.empty()) << received.front();
      EXPECT_EQ(messages_, std::vector<QString>{expected});
      EXPECT_TRUE(errors_.empty());
      break;
  }
}

constexpr const char* NotAnInteger = "'{text}' is not a valid integer value.";

// The clock: four and three characters, whole 32-bit numbers, sent as typed.
INSTANTIATE_TEST_SUITE_P(
    ClockEdits, HostileMainWindowInput,
    ::testing::ValuesIn(Rows(
        "ButtonOk",
        {
            {"EditYear", "digits1000", AnyEntry, Sent, "TS12,07,77,11,05,09\r\n"},
            {"EditMonth", "digits1000", Clipboard, Sent, "TS777,07,26,11,05,09\r\n"},
            {"EditDate", "digits1000", Paste, Sent, "TS12,777,26,11,05,09\r\n"},
            {"EditHour", "digits1000", Keys, Sent, "TS12,07,26,777,05,09\r\n"},
            {"EditMinute", "digits1000", Paste, Sent, "TS12,07,26,11,777,09\r\n"},
            {"EditSecond", "digits1000", Clipboard, Sent, "TS12,07,26,11,05,777\r\n"},
            {"EditYear", "=2147483648", Paste, Sent, "TS12,07,47,11,05,09\r\n"},
            {"EditMonth", "empty", Paste, Refused, NotAnInteger},
            {"EditMonth", "blanks", Paste, Refused, NotAnInteger},
            {"EditDate", "quote", Paste, Refused, NotAnInteger},
            {"EditHour", "=5\r\n", Clipboard, Refused, NotAnInteger},
            {"EditHour", "=\t5", Paste, Refused, NotAnInteger},
            {"EditMinute", "digit-nul", Paste, Refused, NotAnInteger},
            {"EditMinute", "=5\x7f", Paste, Refused, NotAnInteger},
            {"EditSecond", "=5\xc2\x85", Paste, Refused, NotAnInteger},
            {"EditMonth", "latin1", Keys, Refused, NotAnInteger},
            {"EditMonth", "=\xd9\xa1\xd9\xa2", Keys, Refused, NotAnInteger},  // Arabic-Indic 12
            {"EditDate", "=\xef\xbc\x91\xef\xbc\x92", Paste, Refused, NotAnInteger},  // full-width
            {"EditHour", "=\xf0\x9f\x95\x90", Keys, Refused, NotAnInteger},  // a clock face
            {"EditMonth", "=+5", Keys, Sent, "TS05,07,26,11,05,09\r\n"},
            {"EditMonth", "=-5", Keys, Sent, "TS-5,07,26,11,05,09\r\n"},
            {"EditMonth", "=+-5", Keys, Refused, NotAnInteger},
            {"EditHour", "=999", Keys, Sent, "TS12,07,26,999,05,09\r\n"},
            {"EditSecond", "= 7", Keys, Sent, "TS12,07,26,11,05,07\r\n"},
            {"EditSecond", "=7 ", Keys, Refused, NotAnInteger},
        })));

// "Set IP" with the good values but the one given.
std::string NetIp(const std::string& ip, const std::string& mask = "255.255.0.0",
                  const std::string& gateway = "192.168.7.1") {
  return "NET IP \"" + ip + "\",\"" + mask + "\",\"" + gateway + "\"\r\n";
}
std::string NetName(const std::string& name) {
  return "NET NAME \"" + name + "\"\r\n";
}
constexpr const char* NotAQuad =
    "{field} must be four numbers from 0 to 255 joined by dots, such as 192.168.1.50.";
constexpr const char* Marks = "{field} may not contain quotation marks or control characters.";
std::string CannotTake(const char* utf8) {
  return std::string("{field} contains '") + utf8 + "', which the printer cannot take.";
}

// The addresses take 63 characters, the name 15; a quotation mark, a control character or a
// character without a single-byte form is refused, naming the field.
INSTANTIATE_TEST_SUITE_P(
    EthernetEdits, HostileMainWindowInput,
    ::testing::ValuesIn(
        Rows("ButtonSetIP",
             {
                 // With "Static IP" only dotted quads go out.
                 {"EditIP", "letters1000", Paste | Keys, Refused, NotAQuad},
                 {"EditMask", "letters1000", Clipboard, Refused, NotAQuad},
                 {"EditGateWay", "letters1000", Keys, Refused, NotAQuad},
                 {"EditIP", "empty", Paste, Refused, NotAQuad},
                 {"EditGateWay", "blanks", Paste, Refused, NotAQuad},
                 {"EditIP", "latin1", Keys, Refused, NotAQuad},
                 {"EditIP", "=192.168.007.050", Keys, Sent, NetIp("192.168.007.050")},
                 {"EditIP", "quote", Keys, Refused, Marks},
                 {"EditMask", "cr", Paste, Refused, Marks},
                 {"EditGateWay", "lf", Clipboard, Refused, Marks},
                 {"EditIP", "crlf-tail", Clipboard, Refused, Marks},
                 {"EditMask", "tab", Paste, Refused, Marks},
                 {"EditGateWay", "nul", Paste, Refused, Marks},
                 {"EditIP", "esc", Paste, Refused, Marks},
                 {"EditIP", "del", Clipboard, Refused, Marks},
                 {"EditMask", "c1", Paste, Refused, Marks},
                 {"EditIP", "cyrillic", Keys, Refused, CannotTake("\xd0\x9f")},
                 {"EditGateWay", "cjk", Clipboard, Refused, CannotTake("\xe6\x89\x93")},
                 // "Set IP" takes the name too, and refuses it before the addresses go out.
                 {"EditPrinterName", "emoji", Paste, Refused, CannotTake("\xf0\x9f\x96\xa8")},
             })));

INSTANTIATE_TEST_SUITE_P(
    PrinterNameEdit, HostileMainWindowInput,
    ::testing::ValuesIn(
        Rows("ButtonSetPrinterName",
             {
                 {"EditPrinterName", "letters1000", AnyEntry, Sent, NetName(Letters15)},
                 {"EditPrinterName", "empty", Paste, Sent, NetName("")},
                 {"EditPrinterName", "blanks", Keys, Sent, NetName("   ")},
                 {"EditPrinterName", "latin1", Keys, Sent, NetName(Latin1Bytes)},
                 {"EditPrinterName", "quote", Keys, Refused, Marks},
                 {"EditPrinterName", "cr", Paste, Refused, Marks},
                 {"EditPrinterName", "crlf-tail", Clipboard, Refused, Marks},
                 {"EditPrinterName", "nul", Paste, Refused, Marks},
                 {"EditPrinterName", "del", Paste, Refused, Marks},
                 {"EditPrinterName", "c1", Clipboard, Refused, Marks},
                 {"EditPrinterName", "cyrillic", Keys, Refused, CannotTake("\xd0\x9f")},
                 {"EditPrinterName", "cjk", Keys, Refused, CannotTake("\xe6\x89\x93")},
                 {"EditPrinterName", "emoji", Keys, Refused, CannotTake("\xf0\x9f\x96\xa8")},
             })));

constexpr const char* OpenPortError = "Open Port Error";

// Typed text selects the item it names (blanks around it and case aside); anything else selects
// no link, and every printer button then fails to open one.
INSTANTIATE_TEST_SUITE_P(
    InterfaceList, HostileMainWindowInput,
    ::testing::ValuesIn(Rows(
        "ButtonFactoryDefault",
        {
            {"ComboBoxInterFace", "letters1000", Paste | Keys, Failed, OpenPortError},
            {"ComboBoxInterFace", "empty", Paste, Failed, OpenPortError},
            {"ComboBoxInterFace", "blanks", Keys, Failed, OpenPortError},
            {"ComboBoxInterFace", "=ETHERNET\"", Keys, Failed, OpenPortError},
            {"ComboBoxInterFace", "nul", Clipboard, Failed, OpenPortError},
            {"ComboBoxInterFace", "=ETHER\tNET", Paste, Failed, OpenPortError},
            {"ComboBoxInterFace", "=\xd0\x95\xd0\xa2\xd0\x9d\xd0\x95RN\xd0\x95\xd0\xa2", Keys,
             Failed, OpenPortError},  // Cyrillic look-alikes
            {"ComboBoxInterFace",
             "=\xef\xbc\xa5\xef\xbc\xb4\xef\xbc\xa8\xef\xbc\xa5\xef\xbc\xb2\xef\xbc\xae\xef\xbc"
             "\xa5\xef\xbc\xb4",
             Paste, Failed, OpenPortError},  // full-width
            {"ComboBoxInterFace", "emoji", Keys, Failed, OpenPortError},
            {"ComboBoxInterFace", "=LPTx", Keys, Failed, OpenPortError},
            {"ComboBoxInterFace", "=ETHERNET\r\n", Clipboard, Sent, "INITIALPRINTER\r\n"},
            {"ComboBoxInterFace", "=ethernet", Keys, Sent, "INITIALPRINTER\r\n"},
        })));

// A name the printer reports is shown whole, even past what can be typed, so that sending it
// back does not rename the printer.
TEST_F(HostileMainWindowTest, NameLongerThanTheEditTakes_IsShownAndSentBackWhole) {
  auto state = sim_->State();
  state.name = "Warehouse-Printer-North";
  sim_->SetState(state);
  OpenOnThePrinter();
  EXPECT_EQ(Find<QLineEdit>("EditPrinterName")->text(), "Warehouse-Printer-North");
  Click("ButtonSetPrinterName");
  EXPECT_EQ(ReceivedUpToSentinel(), std::vector<std::string>{NetName("Warehouse-Printer-North")});
  EXPECT_TRUE(errors_.empty());

  // What replaces it is held to the typed limit again, typed or pasted.
  Enter(Find<QLineEdit>("EditPrinterName"), HostileText("letters1000"), Keys);
  EXPECT_EQ(Find<QLineEdit>("EditPrinterName")->text(), Letters15);
  Enter(Find<QLineEdit>("EditPrinterName"), HostileText("letters1000"), Clipboard);
  EXPECT_EQ(Find<QLineEdit>("EditPrinterName")->text(), Letters15);

  // A short name read later brings the typing limit back.
  state.name = "Lab-3";
  sim_->SetState(state);
  Click("ButtonEtherRead");
  Enter(Find<QLineEdit>("EditPrinterName"), HostileText("letters1000"), Keys);
  EXPECT_EQ(Find<QLineEdit>("EditPrinterName")->text(), Letters15);
  EXPECT_TRUE(messages_.empty());
}

// A Latin-1 name goes out as single bytes and reads back as it was typed.
TEST_F(HostileMainWindowTest, Latin1Name_ReachesThePrinterAsSingleBytesAndReadsBackTheSame) {
  OpenOnThePrinter();
  Enter(Find<QLineEdit>("EditPrinterName"), HostileText("latin1"), Keys);
  Click("ButtonSetPrinterName");
  ASSERT_TRUE(sim_->WaitUntil([&] { return sim_->ReceivedCount() >= 1; }, 5s));
  EXPECT_EQ(sim_->State().name, Latin1Bytes);
  Find<QLineEdit>("EditPrinterName")->clear();
  Click("ButtonEtherRead");
  EXPECT_EQ(Find<QLineEdit>("EditPrinterName")->text(), HostileText("latin1"));
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(errors_.empty());
}

}  // namespace
