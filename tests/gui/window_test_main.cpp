#include <gtest/gtest.h>

#include "app/application.h"

// The windows run on the offscreen platform under the application object the product uses,
// so that errors escaping a handler reach the same handler as in the product.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  Q73580Application app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
