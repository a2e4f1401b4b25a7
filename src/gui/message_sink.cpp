#include "gui/message_sink.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <algorithm>

void ShowMessageBox(QWidget* parent, const QString& text, MessageKind kind, const QString& detail) {
  QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setInformativeText(detail);
  // The box takes its width from the short message above the detail, and a cause such as
  // "/dev/ttyUSB0: permission denied — ..." would wrap after every other word.
  if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
      label != nullptr && !detail.isEmpty()) {
    const QFontMetrics metrics(label->font());
    const int room = metrics.horizontalAdvance(detail) + 2 * metrics.averageCharWidth();
    label->setMinimumWidth(std::min(room, metrics.averageCharWidth() * 60));
  }
  box.exec();
}
