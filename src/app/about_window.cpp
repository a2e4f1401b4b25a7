#include "app/about_window.h"

#include <QPushButton>

TFormAbout::TFormAbout(const LayoutScale& scale, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("FormAbout"));
  setWindowTitle(tr("Tool Box About "));
  setFont(DialogFont());
  setFixedSize(scale(206), scale(95));
  move(336, 211);

  auto* button = new QPushButton(tr("Version 1.00"), this);
  button->setObjectName(QStringLiteral("Button1"));
  button->setGeometry(scale.Rect(1, 1, 201, 89));
  QFont large = button->font();
  large.setPixelSize(scale(19));
  button->setFont(large);
  connect(button, &QPushButton::clicked, this, &TFormAbout::Button1Click);
}

void TFormAbout::Button1Click() {
  close();
}
