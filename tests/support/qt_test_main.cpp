#include <gtest/gtest.h>

#include <QCoreApplication>

// Sockets need an application object; no event loop runs, the links block.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
