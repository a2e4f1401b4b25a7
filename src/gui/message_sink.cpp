#include "gui/message_sink.h"

#include <QApplication>
#include <QMessageBox>

void ShowMessageBox(QWidget* parent, const QString& text, MessageKind kind, const QString& detail) {
  QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setInformativeText(detail);
  box.exec();
}
