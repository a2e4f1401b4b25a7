#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDateTime>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <optional>
#include <variant>
#include <vector>

#include "gui/layout_scale.h"
#include "panels/panel_host.h"
#include "support/window_harness.h"

// One RunPanelOperation as the panel asked for it, with a copy of the record it passed.
struct HostCall {
  PrinterOperation operation;
  std::variant<std::monostate, ClockRecord, NetConfigRecord> record;
};

// Stands in for the main window: runs every operation against the virtual printer over TCP,
// unless told to answer with a fixed result without touching the link.
class FakePanelHost : public PanelHost {
 public:
  explicit FakePanelHost(std::unique_ptr<LinkFacade>& link) : link_(link) {}

  CommandResult RunPanelOperation(PrinterOperation operation, OperationRecord record) override {
    HostCall call{operation, std::monostate{}};
    if (auto* clock = std::get_if<ClockRecord*>(&record); clock != nullptr && *clock != nullptr) {
      call.record = **clock;
    } else if (auto* net = std::get_if<NetConfigRecord*>(&record); net != nullptr && *net) {
      call.record = **net;
    }
    calls.push_back(call);
    if (answer) {
      return *answer;
    }
    return RunPrinterOperation(*link_, operation, LinkKind::Ethernet, record);
  }

  QDateTime Now() const override { return now; }
  void ShowInputError(const QString& text) override { inputErrors.push_back(text); }

  std::optional<CommandResult> answer;  // set: returned without a printer
  QDateTime now;
  std::vector<HostCall> calls;
  std::vector<QString> inputErrors;  // the error boxes the panel asked for

 private:
  std::unique_ptr<LinkFacade>& link_;  // the fixture replaces it when it restarts the printer
};

#ifndef _WIN32
// A panel under test, shown offscreen, with the host behind it and the virtual printer on
// loopback TCP behind the host.
class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override { StartSim({}); }

  // Starts the virtual printer afresh with `config`, and a new link to it.
  void StartSim(printer_sim::SimServerConfig config) {
    link_.reset();
    ASSERT_TRUE(sim_.Start({}, std::move(config))) << sim_.Error();
    link_ = TcpOnlyLink();
    link_->SetLinkTargets(serial_, lptDevice_, target_);
    target_ = LoopbackTarget(sim_.TcpPort());
  }

  QLineEdit* Edit(const char* name) const { return Named<QLineEdit>(panel_.get(), name); }
  QAbstractButton* Button(const char* name) const {
    return Named<QAbstractButton>(panel_.get(), name);
  }
  QString Text(const char* name) const { return Edit(name)->text(); }

  // Replaces an edit's text by typing, as the user would; the edit's limit applies.
  void Type(const char* name, const QString& text) const {
    QLineEdit* edit = Edit(name);
    edit->clear();
    QTest::keyClicks(edit, text);
  }
  // Replaces an edit's text at once, as a paste does; for characters a key click cannot give.
  void Paste(const char* name, const QString& text) const { Edit(name)->setText(text); }

  // Clicks and returns the text of the one error box the click must ask the host for.
  QString ClickRefused(const char* button) {
    const std::size_t before = host_.inputErrors.size();
    Button(button)->click();
    if (host_.inputErrors.size() != before + 1) {
      ADD_FAILURE() << button << " showed " << host_.inputErrors.size() - before
                    << " error boxes, not one";
      return {};
    }
    return host_.inputErrors.back();
  }

  // Waits for `count` lines in all to reach the printer; writes get no reply to wait for.
  std::vector<std::string> ReceivedAfter(std::uint64_t count) {
    EXPECT_TRUE(sim_.WaitReceived(count));
    return sim_.Received();
  }

  void Show(std::unique_ptr<QWidget> panel) {
    panel_ = std::move(panel);
    panel_->show();
  }

  SerialSettings serial_;
  LptDeviceName lptDevice_ = DefaultLptDeviceName;
  NetTarget target_;
  VirtualPrinter sim_;
  std::unique_ptr<LinkFacade> link_;
  FakePanelHost host_{link_};
  LayoutScale scale_;
  std::unique_ptr<QWidget> panel_;
};
#endif
