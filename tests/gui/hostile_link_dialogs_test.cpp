#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <array>
#include <memory>
#include <string>

#include "dialogs/parallel_port_dialog.h"
#include "dialogs/serial_settings_dialog.h"
#include "hostile_input.h"

namespace {

// The serial and parallel dialogs have no edits: every list takes a choice of its items only.
// Whatever is typed at a list can at most choose one of them, and "Set" writes a record made of
// the lists' items and nothing else.
struct ListRow {
  const char* list;
  const char* input;  // a HostileText name; typed key by key
  const char* shown;  // the item the list shows afterwards (a new search starts below the choice)
};

void PrintTo(const ListRow& row, std::ostream* os) {
  *os << row.list << " typed '" << row.input << "'";
}

class TypingAtLists : public ::testing::TestWithParam<ListRow> {
 protected:
  void SetUp() override {
    // However slow the machine, the keys of one row make one search.
    interval_ = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(60000);
  }
  void TearDown() override { QApplication::setKeyboardInputInterval(interval_); }

  // Types the row's input at the list of a shown dialog; what the list shows then.
  static QString TypeAt(QDialog& dialog, const ListRow& row) {
    dialog.show();
    auto* list = dialog.findChild<QComboBox*>(QLatin1String(row.list));
    EXPECT_NE(list, nullptr);
    if (list == nullptr) {
      return {};
    }
    EXPECT_FALSE(list->isEditable());
    TypeKeys(list, HostileText(row.input));
    EXPECT_GE(list->currentIndex(), 0);
    EXPECT_LT(list->currentIndex(), list->count());
    return list->currentText();
  }

  int interval_ = 0;
};

TEST_P(TypingAtLists, ChoosesAnItemOrNothingAndSetWritesOnlyItems) {
  const ListRow& row = GetParam();
  const std::string list = row.list;
  if (list == "ComboBoxLPT") {
    LptDeviceName name{"LPT1"};
    TFormLPTSetup dialog(LayoutScale(), nullptr);
    dialog.AttachSettings(name);
    EXPECT_EQ(TypeAt(dialog, row), QLatin1String(row.shown));
    dialog.findChild<QPushButton*>(QStringLiteral("ButtonSet"))->click();
    EXPECT_EQ(name, row.shown);
    return;
  }
  SerialSettings settings;
  TFormRs232Setup dialog(LayoutScale(), nullptr);
  dialog.AttachSettings(settings);
  EXPECT_EQ(TypeAt(dialog, row), QLatin1String(row.shown));
  dialog.findChild<QPushButton*>(QStringLiteral("ButtonSet"))->click();
  const QString port =
      dialog.findChild<QComboBox*>(QStringLiteral("ComboBoxComPort"))->currentText();
  EXPECT_EQ(settings.PortName.View(), port.toStdString());
  // Every index names an item of its list.
  const std::array<std::pair<const char*, std::int32_t>, 6> fields = {{
      {"ComboBoxBaudRate", settings.BaudIndex},
      {"ComboBoxDataBit", settings.DataBitsIndex},
      {"ComboBoxParity", settings.ParityIndex},
      {"ComboBoxStopBit", settings.StopBitsIndex},
      {"ComboBoxHdShak", settings.HardwareHandshake},
      {"ComboBoxSWShak", settings.SoftwareHandshake},
  }};
  for (const auto& [name, index] : fields) {
    auto* shown = dialog.findChild<QComboBox*>(QLatin1String(name));
    EXPECT_EQ(index, shown->currentIndex()) << name;
    EXPECT_GE(index, 0) << name;
    EXPECT_LT(index, shown->count()) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(SerialDialog, TypingAtLists,
                         ::testing::Values(ListRow{"ComboBoxComPort", "=COM12", "COM12"},
                                           ListRow{"ComboBoxComPort", "=com3", "COM3"},
                                           ListRow{"ComboBoxComPort", "letters1000", "COM1"},
                                           ListRow{"ComboBoxComPort", "=\"COM5", "COM1"},
                                           ListRow{"ComboBoxComPort", "=COM99999999999", "COM9"},
                                           ListRow{"ComboBoxComPort", "crlf-tail", "COM1"},
                                           ListRow{"ComboBoxComPort", "latin1", "COM1"},
                                           ListRow{"ComboBoxComPort", "cyrillic", "COM1"},
                                           ListRow{"ComboBoxComPort", "emoji", "COM1"},
                                           ListRow{"ComboBoxBaudRate", "=115200", "115200"},
                                           ListRow{"ComboBoxBaudRate", "=-9600", "9600"},
                                           ListRow{"ComboBoxStopBit", "=1.5", "1.5"},
                                           ListRow{"ComboBoxHdShak", "=RTS/CTS", "RTS/CTS"},
                                           ListRow{"ComboBoxSWShak", "cjk", "None"}));

INSTANTIATE_TEST_SUITE_P(ParallelDialog, TypingAtLists,
                         ::testing::Values(ListRow{"ComboBoxLPT", "=LPT3", "LPT3"},
                                           ListRow{"ComboBoxLPT", "=lpt4", "LPT4"},
                                           ListRow{"ComboBoxLPT", "=LPT9", "LPT2"},
                                           ListRow{"ComboBoxLPT", "letters1000", "LPT1"},
                                           ListRow{"ComboBoxLPT", "quote", "LPT1"},
                                           ListRow{"ComboBoxLPT", "latin1", "LPT1"},
                                           ListRow{"ComboBoxLPT", "emoji", "LPT2"}));

// A record that names no item (a device path, a number out of range, bytes beyond ASCII) opens
// with no port chosen and goes back unchanged: "Set" never writes a name of its own making.
TEST(LinkDialogRecords, ANameThatIsNoItemIsKeptAsItWas) {
  for (const char* odd : {"COM0", "COM31", "COM-1", "COM99999999999999999999", "COM\xdc\xff",
                          "/dev/pts/77777777777777777", "COM\"1"}) {
    SerialSettings settings;
    settings.PortName.Assign(odd);
    const std::string before(settings.PortName.View());
    TFormRs232Setup serial(LayoutScale(), nullptr);
    serial.AttachSettings(settings);
    EXPECT_EQ(serial.findChild<QComboBox*>(QStringLiteral("ComboBoxComPort"))->currentIndex(), -1)
        << odd;
    serial.findChild<QPushButton*>(QStringLiteral("ButtonSet"))->click();
    EXPECT_EQ(settings.PortName.View(), before) << odd;

    LptDeviceName name(std::string("LPT") + (odd + 3));
    const std::string lptBefore(name.View());
    TFormLPTSetup parallel(LayoutScale(), nullptr);
    parallel.AttachSettings(name);
    EXPECT_EQ(parallel.findChild<QComboBox*>(QStringLiteral("ComboBoxLPT"))->currentIndex(), -1)
        << odd;
    parallel.findChild<QPushButton*>(QStringLiteral("ButtonSet"))->click();
    EXPECT_EQ(name.View(), lptBefore) << odd;
  }
}

}  // namespace
