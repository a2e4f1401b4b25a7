#include "dialogs/net_setup_window.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <array>
#include <chrono>
#include <initializer_list>
#include <optional>
#include <vector>

#include "common/printer_rules.h"
#include "dialogs/ethernet_setup_dialog.h"
#include "gui/busy_cursor.h"
#include "gui/placed_controls.h"
#include "netsetup/discovery_protocol.h"
#include "netsetup/remote_ip_change.h"

namespace {

struct Column {
  const char* caption;
  int width;
};
constexpr std::array<Column, 5> Columns = {{
    {QT_TRANSLATE_NOOP("TFormNetSetup", "Printer Name"), 80},
    {QT_TRANSLATE_NOOP("TFormNetSetup", "MAC"), 120},
    {QT_TRANSLATE_NOOP("TFormNetSetup", "IP Address"), 100},
    {QT_TRANSLATE_NOOP("TFormNetSetup", "Model Name"), 100},
    {QT_TRANSLATE_NOOP("TFormNetSetup", "Status"), 50},
}};
constexpr int IpAddressColumn = 2;
// Where a row keeps the index of the interface its printer was found on.
constexpr int InterfaceRole = Qt::UserRole;

// Draws a selected row as the focused list draws it, so that the chosen printer stays visible
// while the focus is in the edits.
class SelectionAlwaysActive : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state.testFlag(QStyle::State_Selected)) {
      option->state |= QStyle::State_Active;
    }
  }
};

// An answer on the local network takes a few milliseconds; only a wait that lasts longer than
// this gets the wait cursor.
constexpr std::chrono::milliseconds WaitCursorDelay(200);

// While an exchange runs, the buttons that would start another one are greyed. They come back
// however it ends, even when the window went meanwhile; a button that had the focus gets it back,
// so that a second Space repeats what the first did instead of pressing the next button.
class ExchangeButtonsHeld {
 public:
  ExchangeButtonsHeld(QWidget& window, std::initializer_list<QPushButton*> buttons)
      : focused_(window.focusWidget()) {
    for (QPushButton* button : buttons) {
      buttons_.emplace_back(button);
      button->setEnabled(false);
    }
  }
  ~ExchangeButtonsHeld() {
    for (const QPointer<QPushButton>& button : buttons_) {
      if (button) {
        button->setEnabled(true);
        if (button == focused_) {
          button->setFocus();
        }
      }
    }
  }
  ExchangeButtonsHeld(const ExchangeButtonsHeld&) = delete;
  ExchangeButtonsHeld& operator=(const ExchangeButtonsHeld&) = delete;

 private:
  std::vector<QPointer<QPushButton>> buttons_;
  QPointer<QWidget> focused_;
};

}  // namespace

void OpenUrlWithDesktop(const QUrl& url) {
  QDesktopServices::openUrl(url);
}

TFormNetSetup::TFormNetSetup(const LayoutScale& scale, NetSetupExchange exchange, UrlOpener openUrl,
                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      scale_(scale),
      exchange_(std::move(exchange)),
      openUrl_(std::move(openUrl)) {
  // The window paints and its timers run while it waits for the printers.
  exchange_.SetRunEventsWhileWaiting(true);
  setObjectName(QStringLiteral("FormNetSetup"));
  setWindowTitle(tr("TCP/IP Setup"));
  setFixedSize(scale(635), scale(315));
  move(211, 155);

  listView1_ = new QTreeWidget(this);
  listView1_->setObjectName(QStringLiteral("ListView1"));
  listView1_->setGeometry(scale.Rect(8, 8, 473, 257));
  listView1_->setColumnCount(static_cast<int>(Columns.size()));
  QStringList captions;
  for (std::size_t i = 0; i < Columns.size(); ++i) {
    captions << tr(Columns[i].caption);
    listView1_->setColumnWidth(static_cast<int>(i), scale(Columns[i].width));
  }
  listView1_->setHeaderLabels(captions);
  listView1_->setRootIsDecorated(false);
  listView1_->setUniformRowHeights(true);
  listView1_->setItemsExpandable(false);
  listView1_->setSortingEnabled(false);
  listView1_->header()->setSectionsClickable(false);
  listView1_->setSelectionMode(QAbstractItemView::SingleSelection);
  listView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The list stands on the button-highlight colour of whatever palette is in force.
  listView1_->viewport()->setBackgroundRole(QPalette::Light);
  listView1_->setItemDelegate(new SelectionAlwaysActive(listView1_));
  listView1_->setAccessibleName(tr("Printers found"));
  connect(listView1_, &QTreeWidget::itemClicked, this, &TFormNetSetup::ListView1Click);
  // A row chosen with the arrow keys is taken as a click takes it.
  connect(listView1_, &QTreeWidget::currentItemChanged, this, [this] {
    if (listView1_->hasFocus()) {
      ListView1Click();
    }
  });

  buttonDiscover_ = AddButton(*this, QStringLiteral("ButtonDiscover"), tr("Discover Device"),
                              scale.Rect(8, 272, 100, 25));
  auto* buttonChangeIP = AddButton(*this, QStringLiteral("ButtonChangeIP"), tr("Change IP Address"),
                                   scale.Rect(120, 272, 100, 25));
  auto* buttonBrowser = AddButton(*this, QStringLiteral("ButtonBrowser"), tr("Web Setup"),
                                  scale.Rect(344, 272, 100, 25));
  connect(buttonDiscover_, &QPushButton::clicked, this, &TFormNetSetup::ButtonDiscoverClick);
  connect(buttonChangeIP, &QPushButton::clicked, this, &TFormNetSetup::ButtonChangeIPClick);
  connect(buttonBrowser, &QPushButton::clicked, this, &TFormNetSetup::ButtonBrowserClick);
  buttonChangeIP_ = buttonChangeIP;

  auto* group = new QGroupBox(tr("IP Setting"), this);
  group->setObjectName(QStringLiteral("GroupBox1"));
  group->setGeometry(scale.Rect(488, 8, 137, 297));
  auto* label1 = AddLabel(*group, QStringLiteral("Label1"), tr("IP Address/Printer Name:"),
                          scale.Rect(9, 16, 124, 13));
  // The host field holds 63 characters; nothing typed is cut.
  editIPAddr_ = AddEdit(*group, QStringLiteral("EditIPAddr"), scale.Rect(8, 32, 113, 21),
                        static_cast<int>(decltype(NetTarget::Host)::Capacity));
  label1->setBuddy(editIPAddr_);
  auto* label2 =
      AddLabel(*group, QStringLiteral("Label2"), tr("Port:"), scale.Rect(9, 64, 100, 13));
  editPort_ = AddEdit(*group, QStringLiteral("EditPort"), scale.Rect(8, 84, 113, 21));
  editPort_->setText(QString::number(DefaultPrinterPort));
  label2->setBuddy(editPort_);
  auto* buttonSet =
      AddButton(*group, QStringLiteral("ButtonSet"), tr("Exit"), scale.Rect(8, 264, 121, 25));
  // Enter in the edits stores what was typed; another button would throw it away.
  buttonSet->setDefault(true);
  connect(buttonSet, &QPushButton::clicked, this, &TFormNetSetup::ButtonSetClick);

  setTabOrder(buttonDiscover_, buttonChangeIP);
  setTabOrder(buttonChangeIP, buttonBrowser);
  setTabOrder(buttonBrowser, buttonSet);
  setTabOrder(buttonSet, editIPAddr_);
  setTabOrder(editIPAddr_, editPort_);
  setTabOrder(editPort_, listView1_);
  buttonDiscover_->setFocus();  // the first of the tab order has the focus when the window opens
}

void TFormNetSetup::BeginSetup(NetTarget& target) {
  target_ = &target;
  // The window opens with a discovery, as though "Discover Device" had been pressed.
  ButtonDiscoverClick();
}

void TFormNetSetup::TakeFirstRowAsHost() {
  if (listView1_->topLevelItemCount() > 0) {
    QTreeWidgetItem* first = listView1_->topLevelItem(0);
    listView1_->setCurrentItem(first);
    target_->Host.Assign(first->text(IpAddressColumn).toLatin1().toStdString());
  } else {
    target_->Host.Clear();
  }
}

void TFormNetSetup::DiscoverPrinters() {
  const ExchangeButtonsHeld held(*this, {buttonDiscover_, buttonChangeIP_});
  const BusyCursor busy(WaitCursorDelay);
  listView1_->clear();
  // Show the empty list and the disabled buttons before the wait.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // Painted again and again while a flood of answers comes in, the list would take the time the
  // answers need; it shows them once the wait is over.
  listView1_->setUpdatesEnabled(false);
  // Events run during the wait: the window may be gone when it ends, its exchange with it.
  const QPointer<TFormNetSetup> alive(this);
  const NetSetupExchange exchange = exchange_;
  const bool ran = exchange.Discover(
      sequence_,
      [this, &alive](const std::uint8_t* reply, std::size_t length, const NetInterface& arrivedOn) {
        if (alive) {
          AddPrinterRow(reply, length, arrivedOn);
        }
      },
      discoveryLimits_);
  if (!alive) {
    return;
  }
  listView1_->setUpdatesEnabled(true);
  if (ran) {
    ++sequence_;
  }
}

void TFormNetSetup::AddPrinterRow(const std::uint8_t* reply, std::size_t length,
                                  const NetInterface& arrivedOn) {
  const std::optional<DiscoveryReply> parsed = ParseDiscoveryReply(reply, length);
  if (!parsed) {
    return;
  }
  auto text = [](const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
  };
  auto* row = new QTreeWidgetItem(listView1_);
  row->setText(0, text(parsed->name));
  row->setText(1, text(parsed->mac));
  row->setText(2, text(parsed->ip));
  row->setText(3, text(parsed->model));
  row->setText(4, text(parsed->status));
  row->setData(0, InterfaceRole, arrivedOn.index);
  if (!arrivedOn.name.isEmpty()) {
    const QString tip = tr("found on %1").arg(InterfaceText(arrivedOn));
    for (int column = 0; column < static_cast<int>(Columns.size()); ++column) {
      row->setToolTip(column, tip);
    }
  }
}

void TFormNetSetup::ShowTarget() {
  editIPAddr_->setText(QString::fromLatin1(target_->Host.View()));
  editPort_->setText(QString::number(target_->Port));
}

InputResult<> TFormNetSetup::StoreTarget() {
  // Looked up as a name, a mistyped address would hold the window for seconds and go to the
  // name servers outside.
  if (IsMistypedAddress(editIPAddr_->text())) {
    return NotDottedQuadRefusal(tr("The IP address '%1'").arg(editIPAddr_->text()));
  }
  if (InputResult<> host =
          TakeText(editIPAddr_->text(), target_->Host, tr("The IP address or printer name"));
      !host) {
    return host;
  }
  const InputResult<std::int32_t> port = StrToInt(editPort_->text());
  if (!port) {
    return port.Refusal();
  }
  // 0 cannot be connected to, and a larger number would reach another port.
  if (!IsPortNumber(*port)) {
    return InputRefusal{tr("The port must be a number from 1 to 65535.")};
  }
  target_->Port = *port;
  return {};
}

void TFormNetSetup::ButtonDiscoverClick() {
  const QPointer<TFormNetSetup> alive(this);
  DiscoverPrinters();
  if (!alive) {
    return;
  }
  TakeFirstRowAsHost();
  ShowTarget();
}

QTreeWidgetItem* TFormNetSetup::SelectedRow() const {
  // The current row stays current when Ctrl+click deselects it; only the selection counts.
  const QList<QTreeWidgetItem*> selected = listView1_->selectedItems();
  return selected.isEmpty() ? nullptr : selected.front();
}

void TFormNetSetup::ListView1Click() {
  if (QTreeWidgetItem* row = SelectedRow()) {
    editIPAddr_->setText(row->text(IpAddressColumn));
  }
}

void TFormNetSetup::ButtonSetClick() {
  // A refusal keeps the window open, so that the text can be put right.
  if (const InputResult<> stored = StoreTarget(); !stored) {
    showMessage_(this, stored.Message(), MessageKind::Error);
    return;
  }
  accept();
}

void TFormNetSetup::ButtonChangeIPClick() {
  QTreeWidgetItem* row = SelectedRow();
  if (row == nullptr) {
    return;
  }
  const RemoteChangeTarget target{row->text(1).toLatin1().toStdString(),
                                  row->text(0).toLatin1().toStdString()};
  const ExchangeButtonsHeld held(*this, {buttonDiscover_, buttonChangeIP_});
  // The wait cursor for the reads, and again for the writes; not while the dialog is up.
  std::optional<BusyCursor> busy(std::in_place, WaitCursorDelay);
  const QPointer<TFormNetSetup> alive(this);
  // Out of the interface the printer answered on: a broadcast out of another one would reach
  // another network, or none.
  const NetSetupExchange exchange = exchange_.Through(row->data(0, InterfaceRole).toInt());
  const RemoteChangeResult change = RunRemoteIpChange(
      exchange, sequence_, target,
      [this, &alive, &busy](NetConfigRecord& record) {
        busy.reset();
        if (!alive) {
          return;  // gone during the reads: nothing is written
        }
        TFormEthernetSetup dialog(scale_, this);
        dialog.SetMessageSink(showMessage_);
        dialog.Prepare(x(), y(), record);
        dialog.exec();
        busy.emplace(WaitCursorDelay);
      },
      remoteWaitMs_);
  busy.reset();
  if (!alive) {
    return;
  }
  if (change.written) {
    // The printer answers under its new settings only to a new discovery.
    listView1_->clear();
    ++sequence_;
    // A write nobody answered may never have reached the printer: the empty list must not pass
    // for a change that worked.
    if (!change.unanswered.empty()) {
      showMessage_(
          this,
          tr("The printer did not confirm the change. \"Discover Device\" shows its settings as "
             "they are now."),
          MessageKind::Information);
    }
  }
}

void TFormNetSetup::ButtonBrowserClick() {
  const QUrl url(QStringLiteral("http://") + editIPAddr_->text(), QUrl::TolerantMode);
  // A host a URL cannot carry (a blank, a quotation mark, a control character) would open
  // nothing at all, without a word.
  if (!url.isValid() || IsMistypedAddress(url.host())) {
    showMessage_(this, tr("No web page can be opened at '%1'.").arg(editIPAddr_->text()),
                 MessageKind::Error);
    return;
  }
  openUrl_(url);
}
