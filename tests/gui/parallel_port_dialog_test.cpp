#include "dialogs/parallel_port_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include "support/window_harness.h"

namespace {

QComboBox* PortList(QWidget* dialog) {
  return dialog->findChild<QComboBox*>(QStringLiteral("ComboBoxLPT"));
}

TEST(ParallelDialog, OpensOnTheCurrentNameWithSetFocused) {
  LptDeviceName name{"LPT3"};
  TFormLPTSetup dialog(LayoutScale(), nullptr);
  dialog.AttachSettings(name);
  EXPECT_EQ(PortList(&dialog)->currentText(), "LPT3");
  EXPECT_FALSE(PortList(&dialog)->isEditable());
  EXPECT_EQ(PortList(&dialog)->count(), 4);
  EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("ButtonSet"))->hasFocus() ||
              dialog.focusWidget() == dialog.findChild<QPushButton*>(QStringLiteral("ButtonSet")));
}

TEST(ParallelDialog, CancelAndTheCloseBoxLeaveTheName) {
  for (const bool closeBox : {false, true}) {
    LptDeviceName name{"LPT2"};
    TFormLPTSetup dialog(LayoutScale(), nullptr);
    dialog.AttachSettings(name);
    dialog.show();
    PortList(&dialog)->setCurrentIndex(3);
    if (closeBox) {
      dialog.close();
    } else {
      dialog.findChild<QPushButton*>(QStringLiteral("ButtonCancel"))->click();
    }
    EXPECT_FALSE(dialog.isVisible()) << closeBox;
    EXPECT_EQ(name, "LPT2") << closeBox;
  }
}

TEST(ParallelDialogFromMainWindow, SetWritesTheNameAndPanelZeroFollows) {
  MainWindowHarness harness;
  TFormMain& window = harness.OpenWindow(std::make_unique<LinkFacade>(LinkPorts{}));
  harness.Find<QComboBox>("ComboBoxInterFace")->setEditText("LPT");
  QString shownOnOpen;
  WithModal(
      "FormLPTSetup",
      [&](QWidget* dialog) {
        shownOnOpen = PortList(dialog)->currentText();
        PortList(dialog)->setCurrentIndex(2);
        Named<QPushButton>(dialog, "ButtonSet")->click();
      },
      [&] { harness.Find<QPushButton>("ButtonInterFace")->click(); });
  EXPECT_EQ(shownOnOpen, "LPT1");
  EXPECT_EQ(window.LptDevice(), "LPT3");
  EXPECT_EQ(window.StatusPanelText(0), "LPT3");
}

}  // namespace
