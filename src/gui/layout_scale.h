#pragma once

#include <QFont>
#include <QRect>

// The windows are laid out in pixels for an 8-point dialog font. Where the platform's font
// needs more room, every position and size grows by the same factor, so captions stay whole.
class LayoutScale {
 public:
  explicit LayoutScale(double factor = 1.0) : factor_(factor) {}

  // The factor that makes the designed captions fit in `font`; never below 1.
  static LayoutScale ForFont(const QFont& font);

  int operator()(int designed) const;
  QRect Rect(int left, int top, int width, int height) const;
  double Factor() const { return factor_; }

 private:
  double factor_;
};

// The dialog font of every window: the platform's own family at 8 points.
QFont DialogFont();
