#include "gui/busy_cursor.h"

#include <QCursor>
#include <QGuiApplication>

BusyCursor::BusyCursor(std::chrono::milliseconds delay) {
  if (delay.count() <= 0) {
    Show();
    return;
  }
  delay_.setSingleShot(true);
  delay_.callOnTimeout([this] { Show(); });
  delay_.start(delay);
}

BusyCursor::~BusyCursor() {
  Restore();
}

void BusyCursor::Show() {
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  shown_ = true;
}

void BusyCursor::Restore() {
  delay_.stop();
  if (shown_) {
    QGuiApplication::restoreOverrideCursor();
    shown_ = false;
  }
}
