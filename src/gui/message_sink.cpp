#include "gui/message_sink.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <algorithm>

void ShowMessageBox(QWidget* parent, const QString& text, MessageKind kind, const QString& detail) {
  QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setInformativeText(detail);
  // The box takes its width from the short message above the detail, and a cause such as
  // "/dev/ttyUSB0: permission denied — ..." would wrap after every other word. A spacer under
  // the text column gives the detail the room of one line, up to 60 characters.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()); grid != nullptr && !detail.isEmpty()) {
    const QFontMetrics metrics(box.font());
    const int room = metrics.horizontalAdvance(detail) + 2 * metrics.averageCharWidth();
    grid->addItem(new QSpacerItem(std::min(room, metrics.averageCharWidth() * 60), 0,
                                  QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), grid->columnCount() - 1);
  }
  box.exec();
}
