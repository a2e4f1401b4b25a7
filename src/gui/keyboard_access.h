#pragma once

class QButtonGroup;

// Tab enters a radio group at its chosen button, as users of every desktop expect; without a
// choice, at its first. The arrow keys then move the choice within the group.
void KeepTabStopOnCheckedButton(QButtonGroup& group);
