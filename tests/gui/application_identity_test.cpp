#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "app/application.h"

namespace {

// Opaque pixels in an image: an icon whose file did not load, or loaded without an SVG reader,
// comes out empty or fully transparent.
int OpaquePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
  }
  return count;
}

// The desktop finds the installed entry, its metadata and its icon under this one name.
TEST(ApplicationIdentity, NamesTheInstalledDesktopEntry) {
  EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("org.q73580.Utility"));
  EXPECT_FALSE(QCoreApplication::applicationVersion().isEmpty());
}

// No icon theme here has the program's icon, so this is the copy compiled into the program,
// drawn at the sizes a window manager and a task bar ask for.
class WindowIconTest : public ::testing::TestWithParam<int> {};

TEST_P(WindowIconTest, IsDrawnWithoutAnIconTheme) {
  const int size = GetParam();
  const QIcon icon = QApplication::windowIcon();
  ASSERT_FALSE(icon.isNull());
  const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(image.size(), QSize(size, size));
  // The drawing covers most of its square, whatever the size.
  EXPECT_GT(OpaquePixels(image), size * size / 2);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowIconTest, ::testing::Values(16, 48, 256));

}  // namespace
