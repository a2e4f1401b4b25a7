#pragma once

#include <QTimer>
#include <chrono>

// Shows the wait cursor while it lives, and takes it away again on every way out. With a delay,
// the cursor changes only when the wait is still going on after it, so that a quick exchange
// does not make it flicker; the delay runs out only while events are processed.
class BusyCursor {
 public:
  explicit BusyCursor(std::chrono::milliseconds delay = std::chrono::milliseconds(0));
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  // Gives the normal cursor back early (before a message box, say); for good.
  void Restore();

 private:
  void Show();

  QTimer delay_;
  bool shown_ = false;
};
