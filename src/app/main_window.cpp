#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLocale>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <array>

#include "app/about_window.h"
#include "app/status_panels.h"
#include "common/trace.h"
#include "dialogs/parallel_port_dialog.h"
#include "dialogs/serial_settings_dialog.h"
#include "gui/busy_cursor.h"
#include "gui/placed_controls.h"
#include "link/serial_choices.h"
#include "panels/clock_panel.h"
#include "panels/ethernet_panel.h"
#include "panels/factory_default_panel.h"
#include "protocol/transfer_failure_text.h"

namespace {

constexpr std::array<const char*, 4> InterfaceItems = {"USB", "COM", "LPT", "ETHERNET"};

// The serial summary of the status bar: port, baud, parity, data bits, stop bits, handshakes. An
// index outside a list shows the value the serial port falls back to for it.
QString SerialSummary(const SerialSettings& s) {
  // Only words are translated; numbers and letters come back as they are.
  auto pick = [&s](const SerialSetting& setting) { return TFormMain::tr(setting.In(s).summary); };
  using namespace serial_choices;
  return QStringLiteral("%1 %2,%3,%4,%5 %6 %7")
      .arg(QString::fromLatin1(s.PortName.View()), pick(Baud), pick(Parity), pick(DataBits),
           pick(StopBits), pick(Hardware), pick(Software));
}

}  // namespace

TFormMain::TFormMain(LinkFacade& link, Services services, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      link_(link),
      services_(std::move(services)),
      scale_(LayoutScale::ForFont(DialogFont())) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QStringLiteral("Q73580 Utility"));
  setFont(DialogFont());
  // Group captions sit on the frame line, so the designed positions inside a group stay clear
  // of its caption.
  setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                               " margin-top: %1px; }"
                               "QGroupBox::title { subcontrol-origin: margin; left: %2px;"
                               " padding: 0 %3px; }")
                    .arg(scale_(6))
                    .arg(scale_(7))
                    .arg(scale_(2)));
  BuildMenu();

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  setCentralWidget(client);

  clockPanel_ = new ClockPanel(*this, clockValues_, scale_, client);
  clockPanel_->setGeometry(scale_.Rect(8, 8, 345, 177));
  ethernetPanel_ = new EthernetPanel(*this, networkValues_, scale_, client);
  ethernetPanel_->setGeometry(scale_.Rect(8, 192, 345, 225));
  BuildInterfaceGroup(client);

  auto* buttonExit =
      AddButton(*client, QStringLiteral("ButtonExit"), tr("Exit"), scale_.Rect(488, 432, 75, 25));
  connect(buttonExit, &QPushButton::clicked, this, &TFormMain::ButtonExitClick);

  factoryPanel_ = new FactoryDefaultPanel(*this, scale_, client);
  factoryPanel_->setGeometry(scale_.Rect(8, 424, 345, 41));

  statusBar_ = new StatusPanels(scale_, client);
  statusBar_->setGeometry(0, scale_(ClientHeight - 19), scale_(ClientWidth), scale_(19));

  setTabOrder(clockPanel_, ethernetPanel_);
  setTabOrder(ethernetPanel_, comboBoxInterFace_);
  setTabOrder(comboBoxInterFace_, buttonInterFace_);
  setTabOrder(buttonInterFace_, buttonExit);
  setTabOrder(buttonExit, factoryPanel_);

  client->setFixedSize(scale_(ClientWidth), scale_(ClientHeight));
  setFixedSize(scale_(ClientWidth), menuBar()->sizeHint().height() + scale_(ClientHeight));

  timer1_ = new QTimer(this);
  timer1_->setInterval(1000);
  connect(timer1_, &QTimer::timeout, this, &TFormMain::Timer1Timer);
  timer1_->start();

  // Every start puts the window at the same place.
  move(60, 60);

  // Nothing is saved: the link settings start from the same values at every start. The link
  // keeps references to them.
  if (services_.startTarget) {
    target_ = *services_.startTarget;
    comboBoxInterFace_->setCurrentIndex(static_cast<int>(LinkKind::Ethernet));
  }
  link_.SetLinkTargets(serial_, lptDevice_, target_);

  // The status bar shows the settings before any read; the clock starts from the PC's, the
  // network values from nothing, until the printer says otherwise.
  UpdateStatusBar();
  clockPanel_->LoadSystemTime();
  ethernetPanel_->ResetNetworkFields();

  // Read the printer only when its link opens; a missing printer is not an error, but a
  // technician who asks for the link's log learns why.
  const CommandResult probe =
      RunPrinterOperation(link_, PrinterOperation::ProbeLink, CurrentLinkKind());
  if (probe == CommandResult::Ok) {
    clockPanel_->ReadPrinterClock();
    ethernetPanel_->ReadPrinterNetwork();
  } else if (const QString cause = FailureCauseText(probe); !cause.isEmpty()) {
    // Off unless asked for (QT_LOGGING_RULES="q73580.link.info=true"): the start stays silent.
    qCInfo(TraceLink, "no printer at start: %s", qUtf8Printable(cause));
  }

  // What was read, or the start values, into the edits either way.
  clockPanel_->ShowClockFields();
  ethernetPanel_->ShowNetworkFields();
}

TFormMain::~TFormMain() = default;

void TFormMain::BuildMenu() {
  QMenu* n1 = menuBar()->addMenu(tr("About", "menu"));
  n1->setObjectName(QStringLiteral("N1"));
  QAction* about1 = n1->addAction(tr("About", "menu item"));
  about1->setObjectName(QStringLiteral("About1"));
  // The menu's caption has no letter to press; F1 reaches it from the keyboard.
  about1->setShortcut(QKeySequence::HelpContents);
  connect(about1, &QAction::triggered, this, &TFormMain::About1Click);
}

void TFormMain::BuildInterfaceGroup(QWidget* client) {
  auto* group = new QGroupBox(tr("InterFace"), client);
  group->setObjectName(QStringLiteral("GroupBox3"));
  group->setGeometry(scale_.Rect(360, 8, 200, 65));

  comboBoxInterFace_ = new QComboBox(group);
  comboBoxInterFace_->setObjectName(QStringLiteral("ComboBoxInterFace"));
  comboBoxInterFace_->setEditable(true);
  comboBoxInterFace_->setInsertPolicy(QComboBox::NoInsert);
  for (const char* item : InterfaceItems) {
    comboBoxInterFace_->addItem(QLatin1String(item));
  }
  comboBoxInterFace_->setCurrentIndex(0);
  comboBoxInterFace_->setGeometry(scale_.Rect(8, 24, 105, 21));
  comboBoxInterFace_->setAccessibleName(tr("Interface"));
  connect(comboBoxInterFace_, &QComboBox::currentTextChanged, this,
          &TFormMain::ComboBoxInterFaceChange);

  buttonInterFace_ = AddButton(*group, QStringLiteral("ButtonInterFace"), tr("Setup"),
                               scale_.Rect(117, 20, 75, 24));
  buttonInterFace_->setEnabled(false);
  connect(buttonInterFace_, &QPushButton::clicked, this, &TFormMain::ButtonInterFaceClick);
}

LinkKind TFormMain::CurrentLinkKind() const {
  // Typed text selects the item it names, in any case; other text selects nothing.
  const int index = comboBoxInterFace_->findText(comboBoxInterFace_->currentText().trimmed(),
                                                 Qt::MatchFixedString);
  return static_cast<LinkKind>(index);
}

void TFormMain::ComboBoxInterFaceChange() {
  const LinkKind kind = CurrentLinkKind();
  if (static_cast<std::int32_t>(kind) < 0) {
    return;  // nothing selected: the buttons keep their state
  }
  const bool canRead = kind != LinkKind::Lpt;
  buttonInterFace_->setEnabled(kind != LinkKind::Usb);
  clockPanel_->SetReadEnabled(canRead);
  ethernetPanel_->SetReadEnabled(canRead);
}

void TFormMain::ButtonInterFaceClick() {
  if (CurrentLinkKind() == LinkKind::Com) {
    TFormRs232Setup dialog(scale_, this);
    dialog.AttachSettings(serial_);
    dialog.exec();
  } else if (CurrentLinkKind() == LinkKind::Lpt) {
    TFormLPTSetup dialog(scale_, this);
    dialog.AttachSettings(lptDevice_);
    dialog.exec();
  } else if (CurrentLinkKind() == LinkKind::Ethernet) {
    TFormNetSetup window(scale_,
                         NetSetupExchange(services_.discoveryDestination, services_.discoveryPort),
                         services_.openUrl, this);
    window.SetMessageSink(services_.showMessage);
    window.BeginSetup(target_);
    window.exec();
  }
  UpdateStatusBar();
}

void TFormMain::UpdateStatusBar() {
  statusBar_->SetPanelText(1, SerialSummary(serial_));
  statusBar_->SetPanelText(0, QString::fromLatin1(lptDevice_.View()));
}

void TFormMain::Timer1Timer() {
  const QDateTime now = Now();
  const QLocale locale;
  statusBar_->SetPanelText(2, locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                                  LongTimeWithoutZone(locale, now.time()));
}

QString TFormMain::StatusPanelText(int panel) const {
  return statusBar_->PanelText(panel);
}

QDateTime TFormMain::Now() const {
  return services_.now();
}

bool TFormMain::InputEnabled() const {
  return centralWidget()->isEnabled() && menuBar()->isEnabled();
}

void TFormMain::SetInputEnabled(bool enabled) {
  // The frame stays enabled so that the message box of a failure can be answered.
  centralWidget()->setEnabled(enabled);
  menuBar()->setEnabled(enabled);
}

QString TFormMain::FailureCauseText(CommandResult result) const {
  switch (result) {
    case CommandResult::OpenPortError:
      return QString::fromStdString(link_.LastOpenFailure().detail);
    case CommandResult::TransmitDataError:
    case CommandResult::ReceiveDataError:
      return TransferFailureText(link_.LastTransferFailure());
    case CommandResult::Ok:
    case CommandResult::OpenFileError:
    case CommandResult::InvalidOperation:
      break;
  }
  return {};
}

CommandResult TFormMain::RunPanelOperation(PrinterOperation operation, OperationRecord record) {
  // Whatever happens inside, the window takes input again afterwards.
  struct Restore {
    TFormMain& window;
    ~Restore() {
      window.SetInputEnabled(true);
      window.busy_ = false;
      window.raise();
      window.activateWindow();
    }
  };

  busy_ = true;
  SetInputEnabled(false);
  Restore restore{*this};
  BusyCursor cursor;  // goes first, before the input comes back
  const CommandResult result = RunPrinterOperation(link_, operation, CurrentLinkKind(), record);
  cursor.Restore();
  if (result != CommandResult::Ok) {
    const std::string message(ResultMessage(result));
    services_.showMessage(this, QCoreApplication::translate(ResultMessagesContext, message.c_str()),
                          MessageKind::Information, FailureCauseText(result));
  }
  return result;
}

void TFormMain::ShowInputError(const QString& text) {
  services_.showMessage(this, text, MessageKind::Error);
}

void TFormMain::About1Click() {
  TFormAbout about(scale_, this);
  about.exec();
}

void TFormMain::ButtonExitClick() {
  close();
}

bool TFormMain::event(QEvent* event) {
  // The style sheet fixes every widget's colours when it is applied; applied again, the windows
  // follow a palette that changed meanwhile (a dark theme chosen while the program runs).
  if (event->type() == QEvent::ApplicationPaletteChange) {
    setStyleSheet(styleSheet());
  }
  return QMainWindow::event(event);
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // A printer operation still on the stack must finish before the window may go.
  if (busy_) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}
