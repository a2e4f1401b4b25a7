#include "gui/placed_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/edit_limit.h"

QPushButton* AddButton(QWidget& parent, const QString& name, const QString& caption,
                       const QRect& rect) {
  auto* button = new QPushButton(caption, &parent);
  button->setObjectName(name);
  button->setGeometry(rect);
  // Dialogs do this on their own; the main window's buttons need it said.
  button->setAutoDefault(true);
  return button;
}

QLabel* AddLabel(QWidget& parent, const QString& name, const QString& caption, const QRect& rect) {
  auto* label = new QLabel(caption, &parent);
  label->setObjectName(name);
  label->setGeometry(rect);
  return label;
}

QLineEdit* AddEdit(QWidget& parent, const QString& name, const QRect& rect) {
  auto* edit = new QLineEdit(&parent);
  edit->setObjectName(name);
  edit->setGeometry(rect);
  return edit;
}

QLineEdit* AddEdit(QWidget& parent, const QString& name, const QRect& rect, int typedLimit) {
  QLineEdit* edit = AddEdit(parent, name, rect);
  LimitTyping(*edit, typedLimit);
  return edit;
}
