// bare_prompt: a Qt program that shows only an input box like the panel's address prompt (the
// same title, text and default), the yardstick for the panel's start to its prompt. It ends when
// the box is answered or cancelled.
#include <QApplication>
#include <QInputDialog>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  bool ok = false;
  QInputDialog::getText(nullptr, QStringLiteral("Orvane I/O Switcher"),
                        QStringLiteral("Please enter the address of the switcher\n\nThis should be "
                                       "a number between 0 and 64 corresponding to the DIP switch "
                                       "settings on\nthe back of the switcher to be controlled."),
                        QLineEdit::Normal, QStringLiteral("0"), &ok);
  return ok ? 0 : 1;
}
