#include "gui/layout_scale.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace {

// The tightest designed fits: captions and the room the layout gives them (a button's room is
// its width less its frame), and the designed line height.
struct DesignedFit {
  const char* caption;
  int room;
};
constexpr DesignedFit TightestFits[] = {
    {"Get System Time", 97 - 14},    {"Set Printer Name", 99 - 14},     {"Printer Name:", 72 - 2},
    {"Change IP Address", 100 - 14}, {"IP Address/Printer Name:", 124},
};
constexpr int DesignedLineHeight = 13;

}  // namespace

LayoutScale LayoutScale::ForFont(const QFont& font) {
  const QFontMetrics metrics(font);
  double factor = std::max(1.0, metrics.height() / static_cast<double>(DesignedLineHeight));
  for (const DesignedFit& fit : TightestFits) {
    factor = std::max(factor, metrics.horizontalAdvance(QLatin1String(fit.caption)) /
                                  static_cast<double>(fit.room));
  }
  return LayoutScale(factor);
}

int LayoutScale::operator()(int designed) const {
  return static_cast<int>(std::lround(designed * factor_));
}

QRect LayoutScale::Rect(int left, int top, int width, int height) const {
  return QRect((*this)(left), (*this)(top), (*this)(width), (*this)(height));
}

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setPointSize(8);
  return font;
}
