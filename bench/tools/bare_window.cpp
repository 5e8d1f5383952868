// bare_window: a Qt window of the panel's size holding one label, the yardstick for the panel's
// start-up with --address (no prompt): the label makes it load the fonts as the panel must.
// Closing the window ends it.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare window"));
  window.setFixedSize(585, 51);
  QLabel label(QStringLiteral("X1"), &window);
  window.show();
  return QApplication::exec();
}
