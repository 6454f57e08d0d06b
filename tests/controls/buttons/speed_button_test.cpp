// Speed buttons: the style rules, the radio rule of a group, the mouse in all three styles, hot
// tracking, double clicks, accelerators, glyph images and what the frames look like.
#include "button_util.h"
#include "controls/buttons/speed_button.h"

#include <QMenu>
#include <QSignalSpy>
#include <memory>

using namespace controls;
using namespace buttontest;

namespace {

struct Host {
    QWidget window;
    Host() { window.resize(200, 100); }
    TkwSpeedButton *button(int x = 10, int y = 10)
    {
        auto *b = new TkwSpeedButton(&window);
        b->move(x, y);
        return b;
    }
};

} // namespace

TEST(SpeedButton, CreatedWithTheFamilyDefaults)
{
    Host h;
    TkwSpeedButton *b = h.button();
    EXPECT_EQ(b->size(), QSize(22, 23));
    EXPECT_EQ(b->Spacing(), 4);
    EXPECT_EQ(b->Margin(), -1);
    EXPECT_EQ(b->MenuButtonWidth(), 11);
    EXPECT_TRUE(b->Transparent());
    EXPECT_FALSE(b->Flat());
    EXPECT_EQ(b->Style(), TkwSpeedButtonStyle::sbsNormal);
    EXPECT_EQ(b->Layout(), TButtonLayout::blGlyphLeft);
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(b->font(), h.window.font());
    b->setMargin(-5);
    EXPECT_EQ(b->Margin(), -1);
    b->setMargin(3);
    b->setMargin(-2);
    EXPECT_EQ(b->Margin(), 3);
}

TEST(SpeedButton, StyleRules)
{
    Host h;
    TkwSpeedButton *b = h.button();
    b->setFlat(true);
    b->setGroupIndex(3);
    b->setAllowAllUp(true);
    b->setDown(true);
    ASSERT_TRUE(b->Down());
    ASSERT_EQ(b->state(), bsExclusive);

    b->setStyle(TkwSpeedButtonStyle::sbsComboButton);
    EXPECT_FALSE(b->Flat());
    EXPECT_FALSE(b->Transparent());
    EXPECT_EQ(b->GroupIndex(), 0);
    EXPECT_FALSE(b->AllowAllUp());
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->state(), bsUp);
    // ...and they stay so while the style holds.
    b->setFlat(true);
    b->setTransparent(true);
    b->setGroupIndex(2);
    b->setAllowAllUp(true);
    b->setDown(true);
    EXPECT_FALSE(b->Flat());
    EXPECT_FALSE(b->Transparent());
    EXPECT_EQ(b->GroupIndex(), 0);
    EXPECT_FALSE(b->AllowAllUp());
    EXPECT_FALSE(b->Down());

    // A menu button may be flat but never grouped or down.
    TkwSpeedButton *m = h.button(40);
    m->setGroupIndex(1);
    m->setDown(true);
    m->setStyle(TkwSpeedButtonStyle::sbsMenu);
    m->setFlat(true);
    m->setGroupIndex(1);
    m->setDown(true);
    EXPECT_TRUE(m->Flat());
    EXPECT_EQ(m->GroupIndex(), 0);
    EXPECT_FALSE(m->Down());
}

TEST(SpeedButton, DownNeedsAGroup)
{
    Host h;
    TkwSpeedButton *b = h.button();
    b->setDown(true);
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->state(), bsUp);
    b->setGroupIndex(1);
    b->setDown(true);
    EXPECT_TRUE(b->Down());
    // Without AllowAllUp the button stays down; with it, it goes up.
    b->setDown(false);
    EXPECT_TRUE(b->Down());
    b->setAllowAllUp(true);
    b->setDown(false);
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->state(), bsUp);
    // Leaving the group lets a down button up: nothing else could.
    b->setDown(true);
    b->setGroupIndex(0);
    EXPECT_FALSE(b->Down());
}

TEST(SpeedButton, RadioRuleOverSiblingsOfOneGroup)
{
    Host h;
    TkwSpeedButton *a = h.button(0), *b = h.button(30), *c = h.button(60), *other = h.button(90);
    for (TkwSpeedButton *x : {a, b, c})
        x->setGroupIndex(1);
    other->setGroupIndex(2);
    other->setDown(true);
    QWidget elsewhere;
    auto *stranger = new TkwSpeedButton(&elsewhere); // same group number, other parent
    stranger->setGroupIndex(1);
    stranger->setDown(true);

    a->setDown(true);
    b->setAllowAllUp(true);
    b->setDown(true);
    EXPECT_FALSE(a->Down());
    EXPECT_EQ(a->state(), bsUp);
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(c->Down());
    EXPECT_TRUE(a->AllowAllUp()); // copied from the button that went down
    EXPECT_TRUE(c->AllowAllUp());
    EXPECT_TRUE(other->Down());
    EXPECT_FALSE(other->AllowAllUp());
    EXPECT_TRUE(stranger->Down());

    // With AllowAllUp copied the group may end with none down.
    b->setDown(false);
    EXPECT_FALSE(a->Down() || b->Down() || c->Down());
}

TEST(SpeedButton, MouseStatesOfAPlainButton)
{
    Host h;
    TkwSpeedButton *b = h.button();
    QSignalSpy clicks(b, &TkwSpeedButton::clicked);
    press(b, {5, 5});
    EXPECT_EQ(b->state(), bsDown);
    move(b, {40, 5});
    EXPECT_EQ(b->state(), bsUp);
    move(b, {6, 6});
    EXPECT_EQ(b->state(), bsDown);
    release(b, {6, 6});
    EXPECT_EQ(b->state(), bsUp);
    EXPECT_EQ(clicks.count(), 1);

    // Released outside: no click.
    press(b, {5, 5});
    release(b, {40, 5});
    EXPECT_EQ(b->state(), bsUp);
    EXPECT_EQ(clicks.count(), 1);

    // A release without a press on the button does nothing.
    release(b, {5, 5});
    EXPECT_EQ(clicks.count(), 1);
    // Neither does the right button.
    mouse(b, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton);
    mouse(b, QEvent::MouseButtonRelease, {5, 5}, Qt::RightButton);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SpeedButton, ReleaseJustBelowTheButtonDoesNotClick)
{
    Host h;
    TkwSpeedButton *b = h.button();
    QSignalSpy clicks(b, &TkwSpeedButton::clicked);
    const QPoint below(5, b->height()); // the first row under the button
    const QPoint lastRow(5, b->height() - 1);
    press(b, {5, 5});
    move(b, below);
    EXPECT_EQ(b->state(), bsUp);
    release(b, below);
    EXPECT_EQ(clicks.count(), 0);
    press(b, {5, 5});
    release(b, lastRow);
    EXPECT_EQ(clicks.count(), 1);
    press(b, {5, 5});
    release(b, {b->width(), 5});
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SpeedButton, MouseStatesOfAGroupedButton)
{
    Host h;
    TkwSpeedButton *a = h.button(0), *b = h.button(30);
    a->setGroupIndex(1);
    b->setGroupIndex(1);
    QSignalSpy clicks(a, &TkwSpeedButton::clicked);
    press(a, {5, 5});
    EXPECT_EQ(a->state(), bsDown);
    release(a, {5, 5});
    EXPECT_TRUE(a->Down());
    EXPECT_EQ(a->state(), bsExclusive);
    EXPECT_EQ(clicks.count(), 1);

    // A down button keeps its look while pressed, dragged out and back.
    press(a, {5, 5});
    EXPECT_EQ(a->state(), bsExclusive);
    move(a, {50, 50});
    EXPECT_EQ(a->state(), bsExclusive);
    release(a, {50, 50});
    EXPECT_TRUE(a->Down());
    EXPECT_EQ(clicks.count(), 1);
    // Clicking it again leaves it down (no AllowAllUp) but clicks.
    press(a, {5, 5});
    release(a, {5, 5});
    EXPECT_TRUE(a->Down());
    EXPECT_EQ(clicks.count(), 2);

    press(b, {5, 5});
    release(b, {5, 5});
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
}

TEST(SpeedButton, MenuStyle)
{
    Host h;
    h.window.move(0, 0);
    TkwSpeedButton *b = h.button(10, 10);
    b->resize(40, 23);
    b->setStyle(TkwSpeedButtonStyle::sbsMenu);
    QMenu menu;
    menu.addAction(QStringLiteral("First"));
    b->setDropDownMenu(&menu);
    QSignalSpy clicks(b, &TkwSpeedButton::clicked);
    showActive(h.window);
    const QPoint arrow(35, 10), main(10, 10);

    // Press and release on the arrow part: the menu pops up under the button's left edge.
    press(b, arrow);
    EXPECT_EQ(b->state(), bsMenuDown);
    move(b, main);
    EXPECT_EQ(b->state(), bsUp); // the main part does not look pressed
    move(b, arrow);
    EXPECT_EQ(b->state(), bsMenuDown);
    release(b, arrow);
    EXPECT_EQ(b->state(), bsUp);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(menu.pos(), b->mapToGlobal(QPoint(0, b->height())));
    EXPECT_EQ(clicks.count(), 0);
    menu.hide();

    // Pressed on the arrow part, released on the main part: neither a menu nor a click.
    press(b, arrow);
    move(b, main);
    release(b, main);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(b->state(), bsUp);

    // Pressed on the main part: it looks pressed over the arrow part too, and a release there
    // clicks without the menu.
    press(b, main);
    EXPECT_EQ(b->state(), bsDown);
    move(b, arrow);
    EXPECT_EQ(b->state(), bsDown);
    move(b, {100, 100});
    EXPECT_EQ(b->state(), bsUp);
    move(b, arrow);
    EXPECT_EQ(b->state(), bsDown);
    release(b, arrow);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(clicks.count(), 1);

    // Without a menu the arrow part does nothing.
    b->setDropDownMenu(nullptr);
    press(b, arrow);
    release(b, arrow);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SpeedButton, DoubleClickOfADownButton)
{
    Host h;
    TkwSpeedButton *b = h.button();
    QSignalSpy doubles(b, &TkwSpeedButton::doubleClicked);
    mouse(b, QEvent::MouseButtonDblClick, {5, 5});
    release(b, {5, 5});
    EXPECT_EQ(doubles.count(), 0);
    b->setGroupIndex(1);
    b->setDown(true);
    mouse(b, QEvent::MouseButtonDblClick, {5, 5});
    release(b, {5, 5});
    EXPECT_EQ(doubles.count(), 1);
}

TEST(SpeedButton, FlatHotTracking)
{
    Host h;
    TkwSpeedButton *flat = h.button(0), *raised = h.button(30);
    flat->setFlat(true);
    showActive(h.window);
    auto enter = [](QWidget *w) {
        QEnterEvent ev(QPointF(3, 3), QPointF(w->mapTo(w->window(), QPoint(3, 3))), QPointF(w->mapToGlobal(QPoint(3, 3))));
        QApplication::sendEvent(w, &ev);
    };
    auto leave = [](QWidget *w) {
        QEvent ev(QEvent::Leave);
        QApplication::sendEvent(w, &ev);
    };
    const QImage cold = shot(*flat);
    EXPECT_EQ(count(cold, sys(clBtnHighlight)), 0); // no edge while not hot
    enter(flat);
    EXPECT_TRUE(flat->mouseInside());
    const QImage hot = shot(*flat);
    EXPECT_EQ(hot.pixel(0, 0) & 0xFFFFFF, sys(clBtnHighlight) & 0xFFFFFF); // raised edge
    EXPECT_EQ(hot.pixel(21, 22) & 0xFFFFFF, sys(clBtnShadow) & 0xFFFFFF);
    leave(flat);
    EXPECT_FALSE(flat->mouseInside());
    enter(raised);
    EXPECT_FALSE(raised->mouseInside()); // only flat buttons track
    flat->setEnabled(false);
    enter(flat);
    EXPECT_FALSE(flat->mouseInside());

    // A release inside leaves a flat button hot, one outside cold.
    flat->setEnabled(true);
    press(flat, {3, 3});
    release(flat, {3, 3});
    EXPECT_TRUE(flat->mouseInside());
    press(flat, {3, 3});
    release(flat, {50, 3});
    EXPECT_FALSE(flat->mouseInside());
}

TEST(SpeedButton, AcceleratorOfTheCaption)
{
    Host h;
    TkwSpeedButton *b = h.button();
    b->setCaption(QStringLiteral("&Go"));
    QSignalSpy clicks(b, &TkwSpeedButton::clicked);
    showActive(h.window);
    QTest::keyClick(&h.window, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    b->setEnabled(false);
    QTest::keyClick(&h.window, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    b->setEnabled(true);
    b->hide();
    QTest::keyClick(&h.window, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    b->show();
    b->setCaption(QStringLiteral("Go"));
    QTest::keyClick(&h.window, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SpeedButton, ActionGivesCaptionGlyphAndClick)
{
    Host h;
    TkwSpeedButton *b = h.button();
    QAction action(QStringLiteral("Send"));
    QPixmap icon(16, 16);
    icon.fill(Qt::red);
    action.setIcon(QIcon(icon));
    QSignalSpy triggered(&action, &QAction::triggered);
    b->setAction(&action);
    EXPECT_EQ(b->Caption(), QStringLiteral("Send"));
    EXPECT_EQ(b->glyphObject().imageSize(), QSize(16, 16));
    press(b, {3, 3});
    release(b, {3, 3});
    EXPECT_EQ(triggered.count(), 1);
    action.setEnabled(false);
    EXPECT_FALSE(b->isEnabled());
}

TEST(SpeedButtonGlyph, NumGlyphsClampedAndNarrowGlyphsIgnored)
{
    TkwButtonGlyph g;
    g.setNumGlyphs(0);
    EXPECT_EQ(g.numGlyphs(), 1);
    g.setNumGlyphs(9);
    EXPECT_EQ(g.numGlyphs(), 4);
    QPixmap narrow(3, 8);
    narrow.fill(Qt::black);
    g.setGlyph(narrow);
    EXPECT_TRUE(g.isEmpty()); // 3 pixels cannot hold 4 images
    EXPECT_TRUE(g.image(bsUp, QApplication::palette()).isNull());

    // A narrow glyph on a shown button paints without images.
    Host h;
    TkwSpeedButton *b = h.button();
    b->setNumGlyphs(4);
    b->setGlyph(narrow);
    b->setCaption(QStringLiteral("x"));
    const QImage img = shot(*b);
    EXPECT_LT(count(img, sys(clBtnFace), QRect(3, 3, 16, 17)), 16 * 17); // the caption shows
}

TEST(SpeedButtonGlyph, StateImagesFromAStrip)
{
    // Four 4x4 images: red, green, blue, yellow on a white key colour column at the bottom-left.
    QImage strip(16, 4, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    for (int i = 0; i < 4; ++i)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                strip.setPixel(i * 4 + x, y, colours[i]);
    strip.setPixel(0, 3, qRgb(255, 255, 255)); // the transparent colour
    TkwButtonGlyph g;
    g.setGlyph(QPixmap::fromImage(strip));
    g.setNumGlyphs(4);
    const QPalette pal = QApplication::palette();
    const std::pair<int, QRgb> rows[] = {{bsUp, colours[0]}, {bsDisabled, colours[1]}, {bsDown, colours[2]},
                                         {bsMenuDown, colours[2]}, {bsExclusive, colours[3]}};
    for (const auto &[state, colour] : rows) {
        const QImage img = g.image(state, pal).toImage();
        ASSERT_EQ(img.size(), QSize(4, 4));
        EXPECT_EQ(img.pixel(2, 1), colour) << "state " << state;
    }
    EXPECT_EQ(qAlpha(g.image(bsUp, pal).toImage().pixel(0, 3)), 0);

    // One image: clicked and down use it, disabled is an embossed copy.
    g.setNumGlyphs(1);
    g.setGlyph(QPixmap::fromImage(strip.copy(0, 0, 4, 4)));
    EXPECT_EQ(g.image(bsDown, pal).toImage().pixel(2, 1), colours[0]);
    EXPECT_EQ(g.image(bsExclusive, pal).toImage().pixel(2, 1), colours[0]);
    const QImage dis = g.image(bsDisabled, pal).toImage();
    EXPECT_EQ(dis.pixel(1, 1), toQColor(clBtnShadow, pal).rgba());
    EXPECT_EQ(dis.pixel(0, 0), toQColor(clBtnShadow, pal).rgba());
    EXPECT_EQ(qAlpha(dis.pixel(0, 3)), 0); // the key pixel is neither shadow nor highlight
    QImage dot(3, 3, QImage::Format_RGB32);
    dot.fill(Qt::white);
    dot.setPixel(1, 1, qRgb(0, 0, 0));
    g.setGlyph(QPixmap::fromImage(dot));
    const QImage embossed = g.image(bsDisabled, pal).toImage();
    EXPECT_EQ(embossed.pixel(1, 1), toQColor(clBtnShadow, pal).rgba());
    EXPECT_EQ(embossed.pixel(2, 2), toQColor(clBtnHighlight, pal).rgba());
    EXPECT_EQ(qAlpha(embossed.pixel(0, 0)), 0);
    // Light pixels are not part of the shape.
    dot.setPixel(1, 1, qRgb(255, 255, 200));
    g.setGlyph(QPixmap::fromImage(dot));
    const QImage pale = g.image(bsDisabled, pal).toImage();
    EXPECT_EQ(qAlpha(pale.pixel(1, 1)), 0);
    EXPECT_EQ(qAlpha(pale.pixel(2, 2)), 0);
}

// ---- pixels --------------------------------------------------------------------------------------

TEST(SpeedButtonPixels, ComboButtonFrames)
{
    Host h;
    TkwSpeedButton *b = h.button();
    b->resize(16, 20);
    b->setStyle(TkwSpeedButtonStyle::sbsComboButton);
    const int r = 15, btm = 19;
    QImage up = shot(*b);
    struct Probe { int x, y; TColor c; };
    const Probe upProbes[] = {
        {0, 0, clBtnFace},      {5, 0, clBtnFace},      {0, 10, clBtnFace},   // outer top and left
        {r, 0, cl3DDkShadow},   {r, 10, cl3DDkShadow},  {5, btm, cl3DDkShadow}, {0, btm, cl3DDkShadow},
        {1, 1, clBtnHighlight}, {5, 1, clBtnHighlight}, {1, 10, clBtnHighlight}, // inner top and left
        {r - 1, 5, clBtnShadow}, {5, btm - 1, clBtnShadow},                      // inner bottom and right
        {7, 10, clBtnFace},                                                      // the face
    };
    for (const Probe &p : upProbes)
        EXPECT_EQ(up.pixel(p.x, p.y) & 0xFFFFFF, sys(p.c) & 0xFFFFFF) << "up " << p.x << "," << p.y;

    press(b, {5, 5});
    QImage down = shot(*b);
    const Probe downProbes[] = {{0, 0, clBtnShadow}, {r, 0, clBtnShadow}, {0, btm, clBtnShadow},
                                {r, btm, clBtnShadow}, {5, 0, clBtnShadow}, {1, 1, clBtnFace},
                                {r - 1, btm - 1, clBtnFace}};
    for (const Probe &p : downProbes)
        EXPECT_EQ(down.pixel(p.x, p.y) & 0xFFFFFF, sys(p.c) & 0xFFFFFF) << "down " << p.x << "," << p.y;
    release(b, {5, 5});
}

TEST(SpeedButtonPixels, GlyphMovesWithThePress)
{
    Host h;
    QImage glyph(4, 4, QImage::Format_RGB32);
    glyph.fill(Qt::white);
    glyph.setPixel(1, 1, qRgb(0, 0, 0)); // one black pixel on a white (transparent) ground
    for (auto style : {TkwSpeedButtonStyle::sbsNormal, TkwSpeedButtonStyle::sbsComboButton}) {
        TkwSpeedButton *b = h.button();
        b->resize(16, 20);
        b->setStyle(style);
        b->setGlyph(QPixmap::fromImage(glyph));
        const QRect face(3, 3, 10, 14); // inside every frame
        const QRect up = box(shot(*b), qRgb(0, 0, 0), face);
        press(b, {5, 5});
        const QRect down = box(shot(*b), qRgb(0, 0, 0), face);
        release(b, {5, 5});
        ASSERT_EQ(up.size(), QSize(1, 1));
        // Normal buttons move the glyph right and down when pressed; combo buttons draw it one
        // pixel left and up while up.
        EXPECT_EQ(down.topLeft() - up.topLeft(), QPoint(1, 1));
        EXPECT_EQ(up.topLeft(), style == TkwSpeedButtonStyle::sbsNormal ? QPoint(7, 9) : QPoint(6, 8));
        delete b;
    }
}

TEST(SpeedButtonPixels, DownButtonHasADitheredFace)
{
    Host h;
    TkwSpeedButton *b = h.button();
    b->setGroupIndex(1);
    b->setDown(true);
    const QImage img = shot(*b);
    const QRect face(2, 2, 18, 19);
    const int light = count(img, sys(clBtnHighlight), face);
    const int plain = count(img, sys(clBtnFace), face);
    EXPECT_GT(light, face.width() * face.height() / 3);
    EXPECT_GT(plain, face.width() * face.height() / 3);
    // A checkerboard: neighbours differ.
    EXPECT_NE(img.pixel(8, 8), img.pixel(9, 8));
    EXPECT_NE(img.pixel(8, 8), img.pixel(8, 9));
}

TEST(SpeedButtonPixels, MenuArrow)
{
    Host h;
    TkwSpeedButton *b = h.button();
    b->resize(40, 23);
    b->setStyle(TkwSpeedButtonStyle::sbsMenu);
    const QRect face(31, 2, 7, 19); // the arrow part inside its frame
    const QRect up = box(shot(*b), sys(clBtnText), face);
    // A down-pointing triangle, 7 wide and 4 high, centred in the 11-pixel arrow part.
    EXPECT_EQ(up, QRect(29 + 5 - 3, 9, 7, 4));
    const QImage img = shot(*b);
    EXPECT_EQ(count(img, sys(clBtnText), face), 7 + 5 + 3 + 1);
    press(b, {35, 5});
    const QRect down = box(shot(*b), sys(clBtnText), face.adjusted(0, 0, 0, -1));
    EXPECT_EQ(down, up.translated(0, 1));
    release(b, {0, 50});
    b->setEnabled(false);
    const QImage dis = shot(*b);
    EXPECT_EQ(count(dis, sys(clBtnText), face), 0);
    EXPECT_EQ(box(dis, sys(clBtnShadow), face), up);
    EXPECT_EQ(dis.pixel(up.right() + 1, up.top() + 1) & 0xFFFFFF, sys(clBtnHighlight) & 0xFFFFFF);
}

TEST(SpeedButtonPixels, DisabledCaptionIsEmbossed)
{
    Host h;
    TkwSpeedButton *b = h.button();
    b->resize(40, 23);
    QFont f = b->font();
    f.setStyleStrategy(QFont::NoAntialias);
    b->setFont(f);
    b->setCaption(QStringLiteral("H"));
    const QRect face(3, 3, 34, 17);
    const QImage on = shot(*b);
    ASSERT_GT(count(on, sys(clBtnText), face), 0);
    b->setEnabled(false);
    const QImage off = shot(*b);
    EXPECT_EQ(count(off, sys(clBtnText), face), 0);
    const QRect shadow = box(off, sys(clBtnShadow), face);
    const QRect ink = box(on, sys(clBtnText), face);
    EXPECT_EQ(shadow, ink); // the shadow copy in place
    // Under every shadow pixel's lower-right neighbour that is not shadow lies the highlight.
    int highlights = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            if ((on.pixel(x, y) & 0xFFFFFF) == (sys(clBtnText) & 0xFFFFFF) &&
                (on.pixel(x + 1, y + 1) & 0xFFFFFF) != (sys(clBtnText) & 0xFFFFFF)) {
                EXPECT_EQ(off.pixel(x + 1, y + 1) & 0xFFFFFF, sys(clBtnHighlight) & 0xFFFFFF) << x << "," << y;
                ++highlights;
            }
    EXPECT_GT(highlights, 0);
}
