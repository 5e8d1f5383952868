// bare_window: an empty Qt window of the panel's size, the yardstick for the panel's own start-up
// time and memory. Closing the window ends it.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare window"));
  window.setFixedSize(585, 51);
  window.show();
  return QApplication::exec();
}
