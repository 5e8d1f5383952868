// The DC readouts of the Qt window: the caption stays what the controller set, and what is painted
// is that reading fitted to the label in the window's own font, never its first few characters.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <cmath>
#include <cstdlib>

#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtView.h"
#include "panel/qt/ReadoutLabel.h"
#include "tests/panel/qt/QtTestSupport.h"

namespace orvane::panel::qt {
namespace {

using enum ControlName;

class ReadoutPaintTest : public ::testing::Test {
 protected:
  ReadoutPaintTest() : view(window) {}
  ReadoutLabel& readout(ControlName name) {
    return *qobject_cast<ReadoutLabel*>(window.control({name}));
  }
  QImage painted(ControlName name) { return readout(name).grab().toImage(); }

  PanelWindow window;
  QtView view;
};

// Half a unit in the last place the shown number states, so "1.2E3" allows 50.
double halfUnit(const QString& number) {
  const auto e = number.indexOf(QLatin1Char('E'));
  const QString mantissa = e < 0 ? number : number.left(e);
  const auto point = mantissa.indexOf(QLatin1Char('.'));
  const auto decimals = point < 0 ? 0 : mantissa.size() - point - 1;
  const int exponent = e < 0 ? 0 : number.mid(e + 1).toInt();
  return 0.5 * std::pow(10.0, exponent - static_cast<int>(decimals));
}

TEST_F(ReadoutPaintTest, ReadingsTooWideAreRoundedNeverCut) {
  ReadoutLabel& label = readout(Label4);
  const QFontMetrics metrics = label.fontMetrics();
  const int room = label.contentsRect().width();
  for (const char* reading :
       {"-5.5E-11", "1.5E+20", "1234.5", "8.99213456789", "-0.00312345678", "-9.00213456789012",
        "-1.5E+20", "5.5E-11", "999.5", "9.96", "-32768", "123456789012345", "0.25", "-0.5"}) {
    const QString caption = QString::fromLatin1(reading) + QStringLiteral("V ");
    view.setCaption({Label4}, caption.toStdString());
    SCOPED_TRACE(caption.toStdString());
    ASSERT_EQ(label.text(), caption);
    const QString shown = label.shownText();
    EXPECT_LE(metrics.horizontalAdvance(shown), room) << shown.toStdString();
    if (shown.startsWith(QLatin1Char('#'))) continue;                      // the overflow mark
    ASSERT_TRUE(shown.endsWith(QLatin1Char(' '))) << shown.toStdString();  // the unit may go
    const QString number = shown.left(shown.indexOf(QRegularExpression(QStringLiteral("[V ]"))));
    const double value = std::strtod(reading, nullptr);
    EXPECT_LE(std::fabs(number.toDouble() - value), halfUnit(number) * (1 + 1e-9))
        << shown.toStdString();
  }
}

TEST_F(ReadoutPaintTest, WordsStayWordsAndTheNoReadingTextsShowAsTheyAre) {
  ReadoutLabel& label = readout(Label7);
  for (const char* caption : {"- - V ", "V ", "NaNV "}) {
    view.setCaption({Label7}, caption);
    EXPECT_EQ(label.shownText(), QString::fromLatin1(caption));
  }
  for (const char* caption : {"InfinityV ", "-InfinityV ", "FalseV "}) {
    view.setCaption({Label7}, caption);
    const QString shown = label.shownText();
    EXPECT_FALSE(shown.contains(QRegularExpression(QStringLiteral("[0-9]")))) << caption;
    EXPECT_LE(label.fontMetrics().horizontalAdvance(shown), label.contentsRect().width());
  }
}

// The pixels: a readout given a long reading looks exactly like one given its fitted text.
TEST_F(ReadoutPaintTest, WhatIsPaintedIsTheFittedText) {
  view.setCaption({Label4}, "1234.56789V ");
  const QString shown = readout(Label4).shownText();
  ASSERT_NE(shown, QStringLiteral("1234.56789V "));
  view.setCaption({Label6}, shown.toStdString());
  ASSERT_EQ(readout(Label6).shownText(), shown);  // it fits, so it is painted as it is
  const QImage fitted = painted(Label4);
  EXPECT_EQ(fitted, painted(Label6));

  view.setCaption({Label6}, "- - V ");
  EXPECT_NE(fitted, painted(Label6));
  // The look is the table's: black behind, teal text.
  EXPECT_EQ(fromQColor(fitted.pixelColor(0, 0)), colour::Black);
  bool teal = false;
  for (int y = 0; y < fitted.height() && !teal; ++y) {
    for (int x = 0; x < fitted.width() && !teal; ++x) {
      teal = fromQColor(fitted.pixelColor(x, y)) == colour::Teal;
    }
  }
  EXPECT_TRUE(teal);
}

TEST_F(ReadoutPaintTest, AnotherFontFitsAgain) {
  ReadoutLabel& label = readout(Label5);
  view.setCaption({Label5}, "8.99213456789V ");
  const QString before = label.shownText();
  QFont wide = label.font();
  wide.setPixelSize(QFontInfo(wide).pixelSize() * 3 / 2);
  label.setFont(wide);
  const QString after = label.shownText();
  EXPECT_LT(after.size(), before.size());
  EXPECT_LE(label.fontMetrics().horizontalAdvance(after), label.contentsRect().width());
}

}  // namespace
}  // namespace orvane::panel::qt
