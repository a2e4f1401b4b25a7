#include "gui/keyboard_access.h"

#include <QAbstractButton>
#include <QButtonGroup>

namespace {

void MoveTabStop(QButtonGroup& group) {
  QAbstractButton* checked = group.checkedButton();
  for (QAbstractButton* button : group.buttons()) {
    const bool stop = checked == nullptr || button == checked;
    const int policy = button->focusPolicy();
    button->setFocusPolicy(
        static_cast<Qt::FocusPolicy>(stop ? policy | Qt::TabFocus : policy & ~Qt::TabFocus));
  }
}

}  // namespace

void KeepTabStopOnCheckedButton(QButtonGroup& group) {
  MoveTabStop(group);
  QObject::connect(&group, &QButtonGroup::buttonToggled, &group,
                   [&group](QAbstractButton*, bool) { MoveTabStop(group); });
}
