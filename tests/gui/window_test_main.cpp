#include <gtest/gtest.h>

#include <QWidget>
#include <iostream>

#include "app/application.h"

namespace {

// LeakSanitizer cannot see a window that was never destroyed, since the application keeps
// every widget in a list of its own. So after each test the windows still alive are counted:
// every window is made for one use and destroyed when it closes, and a test leaves none.
class LeftoverWindows : public ::testing::EmptyTestEventListener {
 public:
  void OnTestEnd(const ::testing::TestInfo& test) override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QWidget* window : QApplication::topLevelWidgets()) {
      std::cerr << test.test_suite_name() << '.' << test.name()
                << " left a window alive: " << window->metaObject()->className() << " \""
                << window->objectName().toStdString() << "\"\n";
      found_ = true;
    }
  }
  bool Found() const { return found_; }

 private:
  bool found_ = false;
};

}  // namespace

// The windows run on the offscreen platform under the application object the product uses,
// so that errors escaping a handler reach the same handler as in the product.
int main(int argc, char** argv) {
  // Offscreen unless a run asks for the real platform (the desktop-services test needs one).
  const QByteArray platform = qgetenv("Q73580_TEST_PLATFORM");
  qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
  Q73580Application app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  auto* leftovers = new LeftoverWindows;  // owned by the listener list
  ::testing::UnitTest::GetInstance()->listeners().Append(leftovers);
  const int result = RUN_ALL_TESTS();
  return leftovers->Found() ? 1 : result;
}
