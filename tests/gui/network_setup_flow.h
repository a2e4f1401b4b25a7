#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "support/window_harness.h"

// What a technician does: "ETHERNET", "Setup", the printers are listed, the first one is taken,
// its port entered, "Exit"; then "Read" reads the printer's clock over TCP.
struct NetworkSetupFlow {
  int rowsListed = -1;
  QString firstRowAddress;
  std::vector<QString> messages;
};

inline NetworkSetupFlow RunNetworkSetupFlow(TFormMain::Services services, quint16 printerTcpPort) {
  NetworkSetupFlow flow;
  MainWindowHarness harness;
  TFormMain& window = harness.OpenWindow(std::make_unique<LinkFacade>(), std::move(services));
  harness.Find<QComboBox>("ComboBoxInterFace")->setEditText("ETHERNET");
  // The window runs its discovery before it shows, so it is looked for until it is up.
  WithModal(
      "FormNetSetup",
      [&](QWidget* setup) {
        auto* list = Named<QTreeWidget>(setup, "ListView1");
        flow.rowsListed = list->topLevelItemCount();
        if (flow.rowsListed > 0) {
          flow.firstRowAddress = list->topLevelItem(0)->text(2);
        }
        Named<QLineEdit>(setup, "EditPort")->setText(QString::number(printerTcpPort));
        Named<QPushButton>(setup, "ButtonSet")->click();
      },
      [&] { harness.Find<QPushButton>("ButtonInterFace")->click(); });
  EXPECT_EQ(window.Target().Host.View(), flow.firstRowAddress.toStdString());
  EXPECT_EQ(window.Target().Port, printerTcpPort);
  // The network target is never shown in the status bar.
  EXPECT_EQ(window.StatusPanelText(1), "COM1 9600,N,8,1 RTS ");

  harness.Find<QLineEdit>("EditYear")->setText("1999");
  harness.Find<QPushButton>("ButtonRTCRead")->click();
  EXPECT_NE(harness.Text("EditYear"), "1999");
  EXPECT_TRUE(window.InputEnabled());
  flow.messages = harness.messages_;
  return flow;
}
