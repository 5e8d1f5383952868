// GoogleTest on a QApplication. The offscreen platform and the Fusion style are the defaults, so
// that the tests see the style that washes button colours unless a button paints itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();  // no window system needed

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_SCALE_FACTOR", "1");
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
