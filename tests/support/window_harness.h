#pragma once

// What the window tests share: readable texts in failures, controls found by name, the
// application's error handler and the windows' message boxes recorded, the main window built as
// the program builds it, the virtual printer on loopback, and a modal window driven from inside
// its own event loop.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/main_window.h"
#include "link/network_stream.h"
#include "support/expected_commands.h"
#ifndef _WIN32
// The in-process virtual printer is POSIX: on Windows the tests talk to the Linux one.
#include "support/virtual_printer.h"
#endif

// Failures show texts as text; a control character as its code.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"';
  for (const QChar c : text) {
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0)) {
      *os << "\\u" << std::hex << static_cast<unsigned>(c.unicode()) << std::dec;
    } else {
      *os << QString(c).toStdString();
    }
  }
  *os << '"';
}

// The control called `name` inside `root`; asking for one that is not there fails the test.
template <typename T = QWidget>
T* Named(const QObject* root, const char* name) {
  T* found = root->findChild<T*>(QLatin1String(name));
  if (found == nullptr) {
    throw std::runtime_error(std::string("no control named ") + name);
  }
  return found;
}

// While it lives, the application's error handler records what it would show in a box.
class RecordErrors {
 public:
  explicit RecordErrors(std::vector<QString>& texts) {
    static_cast<Q73580Application*>(qApp)->SetErrorSink(
        [&texts](QWidget*, const QString& text, MessageKind) { texts.push_back(text); });
  }
  ~RecordErrors() { static_cast<Q73580Application*>(qApp)->SetErrorSink(ShowMessageBox); }
  RecordErrors(const RecordErrors&) = delete;
  RecordErrors& operator=(const RecordErrors&) = delete;
};

// A window's message sink that records every box it would show; for the dialogs, whose error
// boxes for refused input are all they show in these tests.
inline MessageSink RecordBoxes(std::vector<QString>& texts) {
  return [&texts](QWidget*, const QString& text, MessageKind) { texts.push_back(text); };
}

// A link whose only working kind is a TCP connection.
inline std::unique_ptr<LinkFacade> TcpOnlyLink() {
  LinkPorts ports;
  ports.ethernet = std::make_unique<NetworkStream>();
  return std::make_unique<LinkFacade>(std::move(ports));
}

inline NetTarget LoopbackTarget(quint16 port) {
  NetTarget target;
  target.Host.Assign("127.0.0.1");
  target.Port = port;
  return target;
}

#ifndef _WIN32
// A virtual printer that answers the setup protocol as `count` printers.
inline printer_sim::SimServerConfig Printers(int count) {
  printer_sim::SimServerConfig config;
  config.printerCount = count;
  return config;
}
#endif

// Runs `open`, which shows a modal window and returns once it is closed. When the active modal
// window is the one called `name`, `inside` runs on it and must close it. It is looked for every
// 10 ms while events run, `tries` times at most; then whatever modal window is up is closed, so
// that `open` returns. False when the window never came up.
inline bool WithModal(const char* name, const std::function<void(QWidget*)>& inside,
                      const std::function<void()>& open, int tries = 1000) {
  bool found = false;
  QTimer look;
  look.setInterval(10);
  QObject::connect(&look, &QTimer::timeout, &look, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->objectName() == QLatin1String(name)) {
      look.stop();
      found = true;
      inside(modal);
    } else if (--tries <= 0) {
      look.stop();
      if (modal != nullptr) {
        modal->close();
      }
    }
  });
  look.start();
  open();
  return found;
}

// Every control inside its parent and clear of its siblings, every caption whole at its font
// (a button and a group box keep the room for their frame that the layout scale assumes).
inline void ExpectControlsFit(const QList<QWidget*>& controls) {
  for (QWidget* control : controls) {
    const std::string name =
        control->objectName().toStdString() + " (" + control->metaObject()->className() + ")";
    EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry())) << name;
    for (QWidget* other : controls) {
      if (other != control && other->parentWidget() == control->parentWidget()) {
        EXPECT_FALSE(control->geometry().intersects(other->geometry()))
            << name << " covers " << other->objectName().toStdString();
      }
    }
    const QFontMetrics metrics(control->font());
    if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width()) << name;
      EXPECT_LE(metrics.height(), label->height()) << name;
    } else if (auto* radio = qobject_cast<QRadioButton*>(control)) {
      EXPECT_LE(radio->sizeHint().width(), radio->width()) << name;
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      EXPECT_LE(metrics.horizontalAdvance(button->text()) + 14, button->width()) << name;
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      EXPECT_LE(metrics.horizontalAdvance(group->title()) + 14, group->width()) << name;
    }
  }
}

// Services for the main window whose clock stands at `now`.
inline TFormMain::Services ClockAt(const QDateTime& now) {
  TFormMain::Services services;
  services.now = [now] { return now; };
  return services;
}

// The main window as the program builds it, over a link of the test's choice, with every box it
// (or a window it opens) would show recorded instead: the text, the detail under it, and whether
// the window took input while it showed. Error boxes (refused input) are messages like the others
// unless `errorBoxesApart_` sends them to `errors_`. A fixture takes it as a base; a test that
// needs several windows keeps one for each.
class MainWindowHarness {
 public:
  MainWindowHarness() = default;
  MainWindowHarness(const MainWindowHarness&) = delete;
  MainWindowHarness& operator=(const MainWindowHarness&) = delete;

  // Builds the window over `link`; `services` give everything but the message boxes.
  TFormMain& OpenWindow(std::unique_ptr<LinkFacade> link, TFormMain::Services services = {}) {
    window_.reset();
    link_ = std::move(link);
    services.showMessage = [this](QWidget*, const QString& text, MessageKind kind,
                                  const QString& detail) {
      if (kind == MessageKind::Error && errorBoxesApart_) {
        errors_.push_back(text);
        return;
      }
      messages_.push_back(text);
      details_.push_back(detail);
      enabledDuringMessage_.push_back(window_ != nullptr && window_->InputEnabled());
    };
    window_ = std::make_unique<TFormMain>(*link_, std::move(services));
    return *window_;
  }

  template <typename T>
  T* Find(const char* name) const {
    return Named<T>(window_.get(), name);
  }
  QString Text(const char* edit) const { return Find<QLineEdit>(edit)->text(); }
  void Click(const char* button) const {
    QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
  }

  std::vector<QString> errors_;  // error boxes kept apart; a fixture may record others there too
  bool errorBoxesApart_ = false;
  std::unique_ptr<LinkFacade> link_;
  std::unique_ptr<TFormMain> window_;  // goes before its link
  std::vector<QString> messages_;
  std::vector<QString> details_;  // under each message
  std::vector<bool> enabledDuringMessage_;
};

#ifndef _WIN32
// The main window over a link whose only working kind is a TCP connection to the virtual
// printer, on a fixed clock, with its message boxes recorded and its error boxes apart: refused
// input, and whatever the application's last-resort handler caught.
class MainWindowOverTcp : public ::testing::Test, public MainWindowHarness {
 public:
  static inline const QDateTime PcNow{QDate(2026, 12, 7), QTime(11, 5, 9)};

 protected:
  MainWindowOverTcp() { errorBoxesApart_ = true; }
  void SetUp() override { ASSERT_TRUE(sim_.Start({})) << sim_.Error(); }
  void TearDown() override { window_.reset(); }

  // Starts the window; with `onTcp` it starts on "ETHERNET" pointed at the virtual printer.
  void Open(bool onTcp) {
    TFormMain::Services services = ClockAt(PcNow);
    if (onTcp) {
      services.startTarget = LoopbackTarget(sim_.TcpPort());
    }
    OpenWindow(TcpOnlyLink(), std::move(services));
  }

  // Every line the printer received, in order.
  std::vector<std::string> Received() { return sim_.Received(); }

  RecordErrors recordErrors_{errors_};
  VirtualPrinter sim_;
};
#endif
