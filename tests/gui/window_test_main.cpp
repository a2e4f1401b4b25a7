#include <gtest/gtest.h>

#include "app/application.h"

// The windows run on the offscreen platform under the application object the product uses,
// so that errors escaping a handler reach the same handler as in the product.
int main(int argc, char** argv) {
  // Offscreen unless a run asks for the real platform (the desktop-services test needs one).
  const QByteArray platform = qgetenv("Q73580_TEST_PLATFORM");
  qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
  Q73580Application app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
