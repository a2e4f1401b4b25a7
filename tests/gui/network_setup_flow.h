#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "app/main_window.h"
#include "support/virtual_printer.h"

// What a technician does: "ETHERNET", "Setup", the printers are listed, the first one is taken,
// its port entered, "Exit"; then "Read" reads the printer's clock over TCP.
struct NetworkSetupFlow {
  int rowsListed = -1;
  QString firstRowAddress;
  std::vector<QString> messages;
};

inline NetworkSetupFlow RunNetworkSetupFlow(TFormMain::Services services, quint16 printerTcpPort) {
  NetworkSetupFlow flow;
  services.showMessage = [&flow](QWidget*, const QString& text, MessageKind) {
    flow.messages.push_back(text);
  };
  LinkFacade link;
  TFormMain window(link, services);
  window.findChild<QComboBox*>(QStringLiteral("ComboBoxInterFace"))->setEditText("ETHERNET");
  // The window runs its discovery before it shows, so look for it until it is up (bounded).
  std::function<void(int)> answer = [&](int triesLeft) {
    QWidget* setup = QApplication::activeModalWidget();
    if (setup == nullptr) {
      if (triesLeft > 0) {
        QTimer::singleShot(50, [&answer, triesLeft] { answer(triesLeft - 1); });
      }
      return;
    }
    auto* list = setup->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    flow.rowsListed = list->topLevelItemCount();
    if (flow.rowsListed > 0) {
      flow.firstRowAddress = list->topLevelItem(0)->text(2);
    }
    setup->findChild<QLineEdit*>(QStringLiteral("EditPort"))
        ->setText(QString::number(printerTcpPort));
    setup->findChild<QPushButton*>(QStringLiteral("ButtonSet"))->click();
  };
  QTimer::singleShot(50, [&answer] { answer(200); });
  window.findChild<QPushButton*>(QStringLiteral("ButtonInterFace"))->click();
  EXPECT_EQ(window.Target().Host.View(), flow.firstRowAddress.toStdString());
  EXPECT_EQ(window.Target().Port, printerTcpPort);
  // The network target is never shown in the status bar.
  EXPECT_EQ(window.StatusPanelText(1), "COM1 9600,N,8,1 RTS ");

  window.findChild<QLineEdit*>(QStringLiteral("EditYear"))->setText("1999");
  window.findChild<QPushButton*>(QStringLiteral("ButtonRTCRead"))->click();
  EXPECT_NE(window.findChild<QLineEdit*>(QStringLiteral("EditYear"))->text(), "1999");
  EXPECT_TRUE(window.InputEnabled());
  return flow;
}
