// The message and input boxes as the operator meets them, answered through the real dialogs.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "controller/PlatformServices.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtPlatformServices.h"
#include "tests/panel/qt/QtTestSupport.h"

namespace orvane::panel::qt {
namespace {

namespace box = controller::box;
using orvane::testing::whenModalOpens;

const std::string AddressPrompt =
    "Please enter the address of the switcher\r\n\r\nThis should be a number between 0 and 64 "
    "corresponding to the DIP switch settings on\r\nthe back of the switcher to be controlled.";

// What a message box looked like when it was answered.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
  QString defaultButton;
};

class BoxesTest : public ::testing::Test {
 protected:
  // Answers the next message box by pressing the button with the given text, or by closing it
  // when the text is empty.
  void answerBox(const QString& pressing) {
    whenModalOpens([this, pressing](QWidget* modal) {
      auto* messageBox = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(messageBox, nullptr);
      seen.title = messageBox->windowTitle();
      seen.text = messageBox->text();
      seen.icon = messageBox->icon();
      for (QAbstractButton* button : messageBox->buttons()) {
        seen.buttons << button->text().remove(QLatin1Char('&'));
        if (button->text().remove(QLatin1Char('&')) == pressing) button->click();
      }
      if (messageBox->defaultButton()) {
        seen.defaultButton = messageBox->defaultButton()->text().remove(QLatin1Char('&'));
      }
      if (pressing.isEmpty()) messageBox->close();
    });
  }

  PanelWindow window;
  QtPlatformServices services{window};
  SeenBox seen;
};

TEST_F(BoxesTest, RetryCancelBoxHasNoIconAndRetryAsDefault) {
  answerBox(QStringLiteral("Retry"));
  EXPECT_EQ(
      services.messageBox("Failed to reset switcher 0", box::RetryCancel, "Orvane I/O Switcher 0"),
      box::AnswerRetry);
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, (QStringList{QStringLiteral("Retry"), QStringLiteral("Cancel")}));
  EXPECT_EQ(seen.defaultButton, QStringLiteral("Retry"));
  EXPECT_EQ(seen.title, QStringLiteral("Orvane I/O Switcher 0"));

  answerBox(QStringLiteral("Cancel"));
  EXPECT_EQ(services.messageBox("again", box::RetryCancel, "t"), box::AnswerCancel);
}

TEST_F(BoxesTest, ClosingTheRetryCancelBoxAnswersCancel) {
  answerBox(QString());
  EXPECT_EQ(services.messageBox("Failed", box::RetryCancel, "t"), box::AnswerCancel);
}

TEST_F(BoxesTest, EscapeOnTheRetryCancelBoxAnswersCancel) {
  whenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
  EXPECT_EQ(services.messageBox("Failed", box::RetryCancel, "t"), box::AnswerCancel);
}

TEST_F(BoxesTest, ExclamationBoxHasOneOkAndShowsCrLfAsLineBreaks) {
  answerBox(QStringLiteral("OK"));
  EXPECT_EQ(services.messageBox("Excessive DC on bus A\r\n\r\nBalance not switched on",
                                box::ExclamationOk, "Orvane I/O Switcher 0"),
            box::AnswerOk);
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("OK")});
  EXPECT_EQ(seen.text, QStringLiteral("Excessive DC on bus A\n\nBalance not switched on"));
}

TEST_F(BoxesTest, ClosingTheExclamationBoxAnswersOk) {
  answerBox(QString());
  EXPECT_EQ(services.messageBox("Connection lost", box::ExclamationOk, "t"), box::AnswerOk);
}

TEST_F(BoxesTest, StartupFailureBoxIsCritical) {
  answerBox(QStringLiteral("OK"));
  EXPECT_EQ(services.messageBox("The program could not start.", 16, "Orvane I/O Switcher"),
            box::AnswerOk);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST_F(BoxesTest, AddressBoxShowsTheFourLinePromptAndTheDefault) {
  QString label, title, value;
  whenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    label = dialog->labelText();
    title = dialog->windowTitle();
    value = dialog->textValue();
    dialog->accept();
  });
  EXPECT_EQ(services.inputBox(AddressPrompt, "Orvane I/O Switcher", "0"), "0");
  EXPECT_EQ(label.split(QLatin1Char('\n')).size(), 4);
  EXPECT_TRUE(label.startsWith(QStringLiteral("Please enter the address of the switcher\n\nThis")));
  EXPECT_EQ(title, QStringLiteral("Orvane I/O Switcher"));
  EXPECT_EQ(value, QStringLiteral("0"));
}

TEST_F(BoxesTest, AddressBoxReturnsWhatWasTypedAndNothingOnCancel) {
  whenModalOpens([](QWidget* modal) {
    auto* dialog = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->setTextValue(QStringLiteral("5"));
    QTest::keyClick(dialog, Qt::Key_Return);
  });
  EXPECT_EQ(services.inputBox(AddressPrompt, "t", "0"), "5");

  whenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
  EXPECT_EQ(services.inputBox(AddressPrompt, "t", "0"), std::nullopt);
}

// No box of start-up may bring the hidden window onto the screen.
TEST_F(BoxesTest, BoxesBeforeTheWindowIsShownStandAlone) {
  QWidget* parent = reinterpret_cast<QWidget*>(1);
  whenModalOpens([&](QWidget* modal) {
    parent = modal->parentWidget();
    QTest::keyClick(modal, Qt::Key_Return);
  });
  services.messageBox("x", box::ExclamationOk, "t");
  EXPECT_EQ(parent, nullptr);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(BoxesTest, EndAtOnceEndsTheRunWithoutShowingTheWindow) {
  QSignalSpy finished(&window, &PanelWindow::runFinished);
  services.endAtOnce();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_TRUE(window.finished());
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace orvane::panel::qt
