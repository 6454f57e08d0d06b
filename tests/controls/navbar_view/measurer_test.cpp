// The program's text measurer keeps the contract the layout relies on: the rectangle keeps its
// corner, one line is the font's text height, word-wrapped text stays within the given width and
// grows down, and empty text measures empty.
#include "controls/navbar/nav_bar_text_measurer.h"

#include <gtest/gtest.h>

using namespace controls;

TEST(NavBarTextMeasurer, QtMeasurerKeepsTheLayoutsContract)
{
    QtTextMeasurer m;
    const TqvStyleFont font;
    const int line = m.TextHeight(font);
    ASSERT_GT(line, 0);

    TRect one(10, 20, 10, 20);
    m.Measure(font, QStringLiteral("Inbox"), one, DT_SINGLELINE);
    EXPECT_EQ(one.left, 10);
    EXPECT_EQ(one.top, 20);
    EXPECT_GT(one.width(), 0);
    EXPECT_EQ(one.height(), line);

    const QString words = QStringLiteral("several words that cannot all stand on one narrow line");
    TRect wide(0, 0, 0, 0);
    m.Measure(font, words, wide, DT_SINGLELINE);
    TRect wrapped(5, 7, 5 + wide.width() / 3, 7);
    m.Measure(font, words, wrapped, DT_WORDBREAK);
    EXPECT_EQ(wrapped.left, 5);
    EXPECT_EQ(wrapped.top, 7);
    EXPECT_LE(wrapped.width(), wide.width() / 3);
    EXPECT_GE(wrapped.height(), 3 * line);

    TRect empty(3, 4, 50, 60);
    m.Measure(font, QString(), empty, DT_WORDBREAK);
    EXPECT_EQ(empty.left, 3);
    EXPECT_EQ(empty.top, 4);
    EXPECT_TRUE(empty.isEmpty());
}
