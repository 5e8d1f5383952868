#include "panel/qt/QtPlatformServices.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <utility>
#include <vector>

#include "panel/qt/PanelWindow.h"

namespace orvane::panel::qt {

namespace {

// Answer codes of the message box buttons.
enum Answer : std::int16_t {
  Ok = 1,
  Cancel = 2,
  Abort = 3,
  Retry = 4,
  Ignore = 5,
  Yes = 6,
  No = 7
};

struct BoxButton {
  QMessageBox::StandardButton button;
  std::int16_t answer;
};

std::vector<BoxButton> buttonsOf(std::int16_t style) {
  using B = QMessageBox;
  switch (style & 0x0F) {
    case 1:
      return {{B::Ok, Ok}, {B::Cancel, Cancel}};
    case 2:
      return {{B::Abort, Abort}, {B::Retry, Retry}, {B::Ignore, Ignore}};
    case 3:
      return {{B::Yes, Yes}, {B::No, No}, {B::Cancel, Cancel}};
    case 4:
      return {{B::Yes, Yes}, {B::No, No}};
    case 5:
      return {{B::Retry, Retry}, {B::Cancel, Cancel}};
    default:
      return {{B::Ok, Ok}};
  }
}

QMessageBox::Icon iconOf(std::int16_t style) {
  switch (style & 0x70) {
    case 16:
      return QMessageBox::Critical;
    case 32:
      return QMessageBox::Question;
    case 48:
      return QMessageBox::Warning;
    case 64:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

QString displayText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

QWidget* QtPlatformServices::boxParent() const {
  return window_.isVisible() ? &window_ : nullptr;
}

std::optional<std::string> QtPlatformServices::inputBox(const std::string& prompt,
                                                        const std::string& title,
                                                        const std::string& defaultText) {
  bool ok = false;
  const QString answer =
      QInputDialog::getText(boxParent(), QString::fromStdString(title), displayText(prompt),
                            QLineEdit::Normal, QString::fromStdString(defaultText), &ok);
  if (!ok) return std::nullopt;
  return answer.toStdString();
}

std::int16_t QtPlatformServices::messageBox(const std::string& text, std::int16_t style,
                                            const std::string& title) {
  QMessageBox box(iconOf(style), QString::fromStdString(title), displayText(text),
                  QMessageBox::NoButton, boxParent());
  box.setTextFormat(Qt::PlainText);
  const auto buttons = buttonsOf(style);
  std::vector<std::pair<QAbstractButton*, std::int16_t>> answers;
  QAbstractButton* escape = nullptr;
  for (const auto& [standard, answer] : buttons) {
    QPushButton* button = box.addButton(standard);
    answers.emplace_back(button, answer);
    if (answer == Cancel) escape = button;
  }
  // The first button is the default unless the style names the second or third (256, 512).
  const auto defaultButton = std::min<std::size_t>((style >> 8) & 3, answers.size() - 1);
  box.setDefaultButton(static_cast<QPushButton*>(answers[defaultButton].first));
  if (!escape && answers.size() == 1) escape = answers.front().first;
  if (escape) box.setEscapeButton(escape);

  box.exec();
  const QAbstractButton* pressed = box.clickedButton();
  if (!pressed) pressed = escape;
  for (const auto& [button, answer] : answers) {
    if (button == pressed) return answer;
  }
  return Cancel;
}

void QtPlatformServices::endAtOnce() {
  window_.finishRun();
}

}  // namespace orvane::panel::qt
