// Styles: each value's flag and change kind, the assignment rules and the default styles.
#include "controls/navbar/nav_bar_styles.h"
#include "recording_bar.h"

#include <gtest/gtest.h>

namespace {

using namespace controls;
using navbar_test::Content;

struct StyleRecorder {
    std::vector<TqvNavBarChangeType> kinds;
    void attach(TqvBaseNavBarStyle &s)
    {
        s.OnChange = [this](TqvBaseNavBarStyle *, TqvNavBarChangeType k) { kinds.push_back(k); };
    }
};

TEST(NavBarStyle, StartsWithTheStreamDefaults)
{
    TqvNavBarStyle s;
    EXPECT_EQ(s.AlphaBlending(), 255);
    EXPECT_EQ(s.AlphaBlending2(), 255);
    EXPECT_EQ(s.AssignedValues(), 0);
    EXPECT_EQ(s.BackColor(), 0xFFFFFFu);
    EXPECT_EQ(s.BackColor2(), 0xFFFFFFu);
    EXPECT_EQ(s.GradientMode(), gmHorizontal);
    EXPECT_TRUE(s.Font() == TqvStyleFont());
    EXPECT_TRUE(s.Image().isEmpty());
    // One value for a new style and for what a layout file may leave out.
    EXPECT_EQ(s.HAlignment(), haLeft);
    EXPECT_EQ(TqvBaseNavBarStyle::kDefaultHAlignment, haLeft);
    EXPECT_EQ(s.VAlignment(), vaCenter);
}

struct ValueRow {
    const char *name;
    std::function<void(TqvBaseNavBarStyle &)> setNew;     // a value other than the initial one
    std::function<void(TqvBaseNavBarStyle &)> setInitial; // the initial value again
    TqvBarStyleAssignedValue flag;
    TqvNavBarChangeType kind;
};

const ValueRow kRows[] = {
    {"AlphaBlending", [](auto &s) { s.SetAlphaBlending(10); }, [](auto &s) { s.SetAlphaBlending(255); },
     savAlphaBlending, ctRedraw},
    {"AlphaBlending2", [](auto &s) { s.SetAlphaBlending2(0); }, [](auto &s) { s.SetAlphaBlending2(255); },
     savAlphaBlending2, ctRedraw},
    {"BackColor", [](auto &s) { s.SetBackColor(0x123456); }, [](auto &s) { s.SetBackColor(clWhite); }, savBackColor,
     ctRedraw},
    {"BackColor2", [](auto &s) { s.SetBackColor2(clBtnFace); }, [](auto &s) { s.SetBackColor2(clWhite); },
     savBackColor2, ctRedraw},
    {"Font", [](auto &s) { TqvStyleFont f; f.setBold(true); s.SetFont(f); }, nullptr, savFont, ctRelayout},
    {"GradientMode", [](auto &s) { s.SetGradientMode(gmBackwardDiagonal); },
     [](auto &s) { s.SetGradientMode(gmHorizontal); }, savGradientMode, ctRedraw},
    {"HAlignment", [](auto &s) { s.SetHAlignment(haRight); }, [](auto &s) { s.SetHAlignment(haLeft); },
     savHAlignment, ctRedraw},
    {"VAlignment", [](auto &s) { s.SetVAlignment(vaBottom); }, [](auto &s) { s.SetVAlignment(vaCenter); },
     savVAlignment, ctRedraw},
    {"Image", [](auto &s) { QImage i(4, 4, QImage::Format_RGB32); i.fill(Qt::red); TqvPicture p; p.setImage(i); s.SetImage(p); },
     nullptr, savImage, ctRelayout},
};

TEST(NavBarStyle, EachValueAddsItsFlagAndReportsItsKind)
{
    for (const ValueRow &row : kRows) {
        SCOPED_TRACE(row.name);
        TqvNavBarStyle s;
        StyleRecorder rec;
        rec.attach(s);
        if (row.setInitial) { // an equal value does nothing
            row.setInitial(s);
            EXPECT_EQ(s.AssignedValues(), 0);
            EXPECT_TRUE(rec.kinds.empty());
        }
        row.setNew(s);
        EXPECT_EQ(s.AssignedValues(), savBit(row.flag));
        EXPECT_EQ(rec.kinds, std::vector<TqvNavBarChangeType>{row.kind});
        rec.kinds.clear();
        row.setNew(s); // the same value again: font and picture are taken anyway
        if (row.setInitial)
            EXPECT_TRUE(rec.kinds.empty());
        else
            EXPECT_EQ(rec.kinds, std::vector<TqvNavBarChangeType>{ctRelayout});
    }
}

TEST(NavBarStyle, FontAndPictureAreAlwaysTakenKindOne)
{
    TqvNavBarStyle s;
    StyleRecorder rec;
    rec.attach(s);
    s.SetFont(TqvStyleFont()); // equal to the current font
    s.SetImage(TqvPicture());  // equal to the current (empty) picture
    EXPECT_EQ(s.AssignedValues(), savBit(savFont) | savBit(savImage));
    EXPECT_EQ(rec.kinds, (std::vector<TqvNavBarChangeType>{ctRelayout, ctRelayout}));

    // A change made on the style's own font or picture counts as setting it.
    TqvNavBarStyle t;
    StyleRecorder rec2;
    rec2.attach(t);
    t.Font().setItalic(true);
    t.Image().clear();
    EXPECT_EQ(t.AssignedValues(), savBit(savFont) | savBit(savImage));
    EXPECT_EQ(rec2.kinds, (std::vector<TqvNavBarChangeType>{ctRelayout, ctRelayout}));
}

TEST(NavBarStyle, AssignedValuesSetterKeepsTheNineFlagsAndReportsKindOneOnChange)
{
    TqvNavBarStyle s;
    StyleRecorder rec;
    rec.attach(s);
    s.SetAssignedValues(0); // the current value
    EXPECT_TRUE(rec.kinds.empty());
    s.SetAssignedValues(0xFFFF);
    EXPECT_EQ(s.AssignedValues(), savAll);
    s.SetAssignedValues(savAll);
    s.SetAssignedValues(0);
    EXPECT_EQ(s.AssignedValues(), 0);
    EXPECT_EQ(rec.kinds, (std::vector<TqvNavBarChangeType>{ctRelayout, ctRelayout}));
}

TEST(NavBarStyle, AssignCopiesValuesAndEndsWithTheSourceFlags)
{
    TqvNavBarStyle source;
    source.SetBackColor(0x0000FF);
    source.SetHAlignment(haCenter);
    source.Font().setBold(true);
    source.SetAssignedValues(0); // values differ from a new style's, none assigned

    TqvNavBarStyle target;
    target.SetAlphaBlending(7);
    target.Assign(source);
    EXPECT_EQ(target.AssignedValues(), 0); // although font and picture were assigned
    EXPECT_EQ(target.BackColor(), 0x0000FFu);
    EXPECT_EQ(target.HAlignment(), haCenter);
    EXPECT_EQ(target.AlphaBlending(), 255);
    EXPECT_TRUE(target.Font().bold());

    source.SetAssignedValues(savBit(savBackColor) | savBit(savVAlignment));
    target.Assign(source);
    EXPECT_EQ(target.AssignedValues(), savBit(savBackColor) | savBit(savVAlignment));
}

TEST(NavBarDefaultStyles, SixteenByIndexAndName)
{
    TqvNavBarDefaultStyles d;
    const char *names[] = {"Background", "Button", "ButtonPressed", "ButtonHotTracked", "GroupBackground",
                           "GroupHeader", "GroupHeaderActive", "GroupHeaderHotTracked", "GroupHeaderPressed", "Hint",
                           "Item", "ItemDisabled", "ItemHotTracked", "ItemPressed", "DropTargetGroup",
                           "DropTargetLink"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(TqvNavBarDefaultStyles::StyleName(i), QLatin1String(names[i]));
        EXPECT_EQ(d.Style(QLatin1String(names[i])), d.Style(i));
        ASSERT_NE(d.Style(i), nullptr);
        EXPECT_TRUE(d.Style(i)->IsDefault());
        EXPECT_FALSE(d.IsStored(i));
    }
    EXPECT_EQ(d.Style(16), nullptr);
    EXPECT_EQ(d.Style(-1), nullptr);
    EXPECT_EQ(d.Style(QStringLiteral("background")), nullptr);

    TqvNavBarStyle value;
    value.SetBackColor(0x010203);
    d.SetStyle(TqvNavBarDefaultStyles::ItemPressed, value);
    EXPECT_EQ(d.Style(13)->BackColor(), 0x010203u);
    EXPECT_TRUE(d.IsStored(13)); // changed by the user
}

TEST(NavBarDefaultStyles, ApplyDefaultsKeepsUserChangesOnlyWhenAskedAndRaisesNothing)
{
    TqvNavBarDefaultStyles d;
    std::vector<TqvNavBarChangeType> raised;
    d.OnChange = [&](TqvNavBarDefaultStyles *, TqvNavBarChangeType k) { raised.push_back(k); };
    TColor view = 0x100;
    d.SetAssignDefaultHandler([&](int index, TqvNavBarDefaultStyle &s) { s.SetBackColor(view + TColor(index)); });

    d.ApplyDefaults(false);
    EXPECT_TRUE(raised.empty());
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(d.Style(i)->BackColor(), 0x100u + TColor(i));
        EXPECT_TRUE(d.Style(i)->IsDefault());
    }

    d.Style(TqvNavBarDefaultStyles::GroupHeader)->SetBackColor(0xABCDEF); // the user's change
    EXPECT_EQ(raised, std::vector<TqvNavBarChangeType>{ctRedraw});
    EXPECT_FALSE(d.Style(5)->IsDefault());
    raised.clear();

    view = 0x200; // e.g. the end of loading with another view's values
    d.ApplyDefaults(true);
    EXPECT_EQ(d.Style(5)->BackColor(), 0xABCDEFu);
    EXPECT_FALSE(d.Style(5)->IsDefault());
    EXPECT_EQ(d.Style(4)->BackColor(), 0x204u);
    EXPECT_TRUE(raised.empty());

    d.ApplyDefaults(false); // a view change overwrites it
    EXPECT_EQ(d.Style(5)->BackColor(), 0x205u);
    EXPECT_TRUE(d.Style(5)->IsDefault());
    EXPECT_TRUE(raised.empty());
    EXPECT_EQ(d.UpdateCount(), 0);
}

TEST(NavBarDefaultStyles, AssignTakesEachStyleByIndex)
{
    TqvNavBarDefaultStyles a, b;
    for (int i = 0; i < 16; ++i)
        a.Style(i)->SetAlphaBlending(uint8_t(i));
    b.Assign(a);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(b.Style(i)->AlphaBlending(), i);
        EXPECT_EQ(b.Style(i)->AssignedValues(), a.Style(i)->AssignedValues());
    }
}

TEST(NavBarStyleItem, StyleChangesReachTheBarAsARebuild)
{
    Content c;
    TqvNavBarStyleItem *item = c.styles.Add();
    c.sink.reset();
    item->Style().SetBackColor(0x112233);
    TqvNavBarStyle value;
    value.SetGradientMode(gmVertical);
    item->SetStyle(value);
    EXPECT_EQ(item->Style().GradientMode(), gmVertical);
    EXPECT_EQ(item->Style().AssignedValues(), value.AssignedValues());
    ASSERT_FALSE(c.sink.kinds.empty());
    for (auto k : c.sink.kinds)
        EXPECT_EQ(k, ctRebuild);
}

} // namespace
