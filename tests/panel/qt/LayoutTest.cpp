// The Qt main window against the control table: every control where the table puts it, with its
// caption, colours, alignment and tooltip, in the table's tab order, in a fixed 585 x 51 client
// area.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>
#include <set>
#include <vector>

#include "panel/Controls.h"
#include "panel/qt/PanelWindow.h"
#include "tests/panel/qt/QtTestSupport.h"

namespace orvane::panel::qt {
namespace {

using orvane::testing::insideCorner;
using orvane::testing::pixelRect;
using orvane::testing::shownColour;

// Small text is antialiased: some pixel of its glyphs comes within a few steps of its colour.
bool containsColour(const QImage& image, Colour wanted) {
  const QColor target = toQColor(wanted);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor seen = image.pixelColor(x, y);
      if (std::abs(seen.red() - target.red()) + std::abs(seen.green() - target.green()) +
              std::abs(seen.blue() - target.blue()) <=
          48)
        return true;
    }
  }
  return false;
}

class LayoutTest : public ::testing::Test {
 protected:
  PanelWindow window;
};

TEST_F(LayoutTest, ClientAreaIsFixedAt585By51WithTheLoadCaptionAndBothIconSizes) {
  EXPECT_EQ(window.size(), QSize(585, 51));
  EXPECT_EQ(window.minimumSize(), QSize(585, 51));
  EXPECT_EQ(window.maximumSize(), QSize(585, 51));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Orvane I/O Switcher"));
  const auto sizes = window.windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
}

TEST_F(LayoutTest, EveryControlHasTheTablesGeometryCaptionAndTooltip) {
  for (const auto& tableRow : controlTable()) {
    SCOPED_TRACE(controlText(tableRow.id));
    QWidget* widget = window.control(tableRow.id);
    if (tableRow.kind == ControlKind::Timer) {
      EXPECT_EQ(widget, nullptr);
      continue;
    }
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), pixelRect(tableRow));
    EXPECT_EQ(widget->toolTip().toStdString(), tableRow.tooltip);
    EXPECT_TRUE(widget->isEnabled());
    const QString caption = QString::fromUtf8(tableRow.caption.data(), tableRow.caption.size());
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(button->text(), caption);  // trailing blanks and all, no access keys
      EXPECT_FALSE(button->isDefault());
      EXPECT_FALSE(button->autoDefault());
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text(), caption);
      EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
  }
}

TEST_F(LayoutTest, ChannelButtonsAre25By17AndShareTheirBordersWithNeighbours) {
  const QRect x1 = window.control({ControlName::BusA, 1})->geometry();
  const QRect x2 = window.control({ControlName::BusA, 2})->geometry();
  const QRect busBx1 = window.control({ControlName::BusB, 1})->geometry();
  EXPECT_EQ(x1.size(), QSize(25, 17));
  EXPECT_EQ(x2.left(), x1.right());  // one shared pixel column
  EXPECT_EQ(busBx1.top(), x1.bottom());
  EXPECT_EQ(window.control({ControlName::LoadA_Button})->geometry().right(), 584);
  EXPECT_EQ(window.control({ControlName::ResetButton})->geometry().right(), 584);
}

// The layout was drawn for a compact interface font: no caption may be cut off in the font the
// window really uses, whatever the platform's default is.
TEST_F(LayoutTest, EveryCaptionFitsItsControlInTheWindowsFont) {
  const QFontMetrics metrics(window.font());
  EXPECT_EQ(window.font().family(), QApplication::font().family());
  for (const auto& tableRow : controlTable()) {
    if (tableRow.caption.empty()) continue;
    SCOPED_TRACE(controlText(tableRow.id));
    const QWidget* widget = window.control(tableRow.id);
    const QString caption = QString::fromUtf8(tableRow.caption.data(), tableRow.caption.size());
    EXPECT_EQ(widget->font(), window.font());
    const int frame = qobject_cast<const QPushButton*>(widget) ? 4 : 0;
    EXPECT_LE(metrics.horizontalAdvance(caption) + frame, widget->width());
    EXPECT_LE(metrics.height(), widget->height() - 2);
  }
}

TEST_F(LayoutTest, LabelsKeepTheTablesAlignment) {
  for (const auto& tableRow : controlTable()) {
    if (tableRow.kind != ControlKind::Label) continue;
    SCOPED_TRACE(controlText(tableRow.id));
    auto* label = qobject_cast<QLabel*>(window.control(tableRow.id));
    ASSERT_NE(label, nullptr);
    const Qt::Alignment horizontal = label->alignment() & Qt::AlignHorizontal_Mask;
    switch (tableRow.alignment) {
      case TextAlignment::Centre:
        EXPECT_EQ(horizontal, Qt::AlignHCenter);
        break;
      case TextAlignment::Right:
        EXPECT_EQ(horizontal, Qt::AlignRight);
        break;
      default:
        EXPECT_EQ(horizontal, Qt::AlignLeft);
    }
  }
}

// Sampled from what the window draws under Fusion, which washes colours given to its own buttons.
TEST_F(LayoutTest, EveryColouredControlShowsItsExactBackgroundColour) {
  const QImage image = window.grab().toImage();
  for (const auto& tableRow : controlTable()) {
    if (!tableRow.backColour) continue;
    SCOPED_TRACE(controlText(tableRow.id));
    EXPECT_EQ(fromQColor(image.pixelColor(insideCorner(tableRow))), *tableRow.backColour);
  }
}

TEST_F(LayoutTest, LabelTextIsDrawnInItsTextColour) {
  for (const auto& tableRow : controlTable()) {
    if (!tableRow.textColour) continue;
    SCOPED_TRACE(controlText(tableRow.id));
    const QImage image = window.control(tableRow.id)->grab().toImage();
    EXPECT_TRUE(containsColour(image, *tableRow.textColour));
  }
}

TEST_F(LayoutTest, ModeListIsAnEmptyListWithoutATextField) {
  const QComboBox& list = window.modeList();
  EXPECT_FALSE(list.isEditable());
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.currentIndex(), -1);
}

// Walks the focus chain from the control with tab index 0, as the Tab key does.
TEST_F(LayoutTest, TabKeyVisitsTheFocusableControlsInTabIndexOrder) {
  std::vector<const ControlSpec*> expected;
  for (const auto& tableRow : controlTable()) {
    QWidget* widget = window.control(tableRow.id);
    if (widget && (widget->focusPolicy() & Qt::TabFocus)) expected.push_back(&tableRow);
  }
  std::sort(expected.begin(), expected.end(),
            [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
  // Every button and the list take focus; no label does.
  EXPECT_EQ(expected.size(), 36u + 4u + 1u + 3u + 1u);

  QWidget* widget = window.control(expected.front()->id);
  std::vector<std::string> visited;
  for (std::size_t steps = 0; steps < 200 && visited.size() < expected.size(); ++steps) {
    if (widget->focusPolicy() & Qt::TabFocus) visited.push_back(widget->objectName().toStdString());
    widget = widget->nextInFocusChain();
  }
  std::vector<std::string> wanted;
  for (const auto* tableRow : expected) wanted.push_back(controlText(tableRow->id));
  EXPECT_EQ(visited, wanted);
}

}  // namespace
}  // namespace orvane::panel::qt
