// The button edit: placement of its buttons, enabling, the Escape text, its keys, paste and cut,
// and the default glyph's colours.
#include "button_util.h"
#include "controls/buttons/btn_edit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>

using namespace controls;
using namespace buttontest;

namespace {

// A window with a plain edit before the button edit, for Tab to come from.
struct Form {
    QWidget window;
    QLineEdit *before;
    TkwBtnEdit *edit;
    QLineEdit *after;
    Form()
    {
        auto *layout = new QVBoxLayout(&window);
        before = new QLineEdit(&window);
        edit = new TkwBtnEdit(&window);
        after = new QLineEdit(&window);
        layout->addWidget(before);
        layout->addWidget(edit);
        layout->addWidget(after);
        window.resize(220, 120);
    }
    void show() { showActive(window); }
    // Focus moves into the edit with Tab from the edit before it.
    void tabIn()
    {
        before->setFocus();
        QTest::keyClick(before, Qt::Key_Tab);
        ASSERT_TRUE(edit->hasFocus());
    }
};

void key(QWidget *w, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(w, k, m); }

} // namespace

TEST(BtnEditLayout, ButtonRectanglesAndTextMargins)
{
    QWidget window;
    auto *e = new TkwBtnEdit(&window);
    e->setGeometry(0, 0, 200, 24);
    showActive(window);
    struct Row { int btnWidth; bool two; QRect b1, b2; int margin; };
    const Row rows[] = {
        {16, false, QRect(182, 2, 16, 20), QRect(), 17},
        {16, true, QRect(182, 2, 16, 20), QRect(166, 2, 16, 20), 33},
        {21, false, QRect(177, 2, 21, 20), QRect(), 22},
        {21, true, QRect(177, 2, 21, 20), QRect(156, 2, 21, 20), 43},
    };
    for (const Row &r : rows) {
        e->setBtnWidth(r.btnWidth);
        e->setBtn2Visible(r.two);
        EXPECT_EQ(e->button1()->geometry(), r.b1) << r.btnWidth << " " << r.two;
        EXPECT_TRUE(e->button1()->isVisible());
        EXPECT_EQ(e->button2()->isVisible(), r.two);
        if (r.two) {
            EXPECT_EQ(e->button2()->geometry(), r.b2);
        }
        EXPECT_EQ(e->textMargins().right(), r.margin);
    }
    // Resizing keeps button 1 at the right edge.
    e->setGeometry(0, 0, 150, 30);
    EXPECT_EQ(e->button1()->geometry(), QRect(127, 2, 21, 26));
}

TEST(BtnEditLayout, WithoutButton1NoButtonShowsAndTheTextReachesTheEdge)
{
    QWidget window;
    auto *e = new TkwBtnEdit(&window);
    e->setGeometry(0, 0, 200, 24);
    showActive(window);
    e->setBtn1Visible(false);
    for (bool two : {true, false, true}) {
        e->setBtn2Visible(two);
        EXPECT_FALSE(e->button1()->isVisible());
        EXPECT_FALSE(e->button2()->isVisible());
        EXPECT_EQ(e->textMargins().right(), 0);
    }
    e->setBtn1Visible(true);
    EXPECT_TRUE(e->button2()->isVisible()); // Btn2Visible was left true
    EXPECT_EQ(e->textMargins().right(), 33);

    // The text really runs to the right edge: a long text's last letters show there.
    e->setBtn1Visible(false);
    e->setText(QString(60, QLatin1Char('W')));
    e->setCursorPosition(0);
    const QImage img = shot(*e);
    EXPECT_GT(count(img, sys(clWindowText), QRect(183, 4, 14, 16)), 0);
}

TEST(BtnEditLayout, EnablingFollowsTheFlags)
{
    QWidget window;
    auto *e = new TkwBtnEdit(&window);
    e->setBtn2Visible(true);
    e->setBtn2Enabled(false);
    EXPECT_TRUE(e->button1()->isEnabled());
    EXPECT_FALSE(e->button2()->isEnabled());
    e->setEnabled(false);
    EXPECT_FALSE(e->button1()->isEnabled());
    EXPECT_FALSE(e->button2()->isEnabled());
    e->setEnabled(true);
    EXPECT_TRUE(e->button1()->isEnabled());
    EXPECT_FALSE(e->button2()->isEnabled());
    e->setBtn2Enabled(true);
    e->setBtn1Enabled(false);
    EXPECT_FALSE(e->button1()->isEnabled());
    EXPECT_TRUE(e->button2()->isEnabled());
    // A flag set while the edit is disabled waits for the edit.
    e->setEnabled(false);
    e->setBtn1Enabled(true);
    EXPECT_FALSE(e->button1()->isEnabled());
    e->setEnabled(true);
    EXPECT_TRUE(e->button1()->isEnabled());
    // Disabling a parent works the same way.
    window.setEnabled(false);
    EXPECT_FALSE(e->button1()->isEnabled());
    window.setEnabled(true);
    EXPECT_TRUE(e->button1()->isEnabled());
}

TEST(BtnEditEscape, RestoresTheTextOfTheLastFocusByProgram)
{
    Form f;
    f.show();
    f.edit->setText(QStringLiteral("alpha"));
    f.edit->setFocus();
    f.edit->end(false);
    QTest::keyClicks(f.edit, QStringLiteral("beta"));
    f.before->setFocus();
    f.edit->setFocus(); // records "alphabeta"
    f.edit->end(false);
    QTest::keyClicks(f.edit, QStringLiteral("XY"));
    ASSERT_EQ(f.edit->text(), QStringLiteral("alphabetaXY"));
    key(f.edit, Qt::Key_Escape);
    EXPECT_EQ(f.edit->text(), QStringLiteral("alphabeta"));
    EXPECT_EQ(f.edit->selectedText(), QStringLiteral("alphabeta"));
    key(f.edit, Qt::Key_Escape);
    EXPECT_EQ(f.edit->text(), QStringLiteral("alphabeta"));

    // A focus given through a QWidget pointer is a focus by program too.
    QTest::keyClicks(f.edit, QStringLiteral("Z")); // replaces the selection
    f.before->setFocus();
    static_cast<QWidget *>(f.edit)->setFocus();
    f.edit->end(false);
    QTest::keyClicks(f.edit, QStringLiteral("Q"));
    key(f.edit, Qt::Key_Escape);
    EXPECT_EQ(f.edit->text(), QStringLiteral("Z"));
    f.edit->end(false);
    QTest::keyClicks(f.edit, QStringLiteral("2"));
    f.before->setFocus();
    f.edit->setFocus(Qt::OtherFocusReason);
    f.edit->end(false);
    QTest::keyClicks(f.edit, QStringLiteral("Q"));
    key(f.edit, Qt::Key_Escape);
    EXPECT_EQ(f.edit->text(), QStringLiteral("Z2"));
    // Undoing is an edit of the user's as well.
    QTest::keyClicks(f.edit, QStringLiteral("W"));
    key(f.edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(f.edit->text(), QStringLiteral("W"));
    EXPECT_EQ(f.edit->escapeText(), QStringLiteral("Z2"));
}

TEST(BtnEditEscape, TabAndMouseEntryRecordNothing)
{
    Form f;
    f.show();
    f.edit->setText(QStringLiteral("one"));
    f.tabIn();
    f.edit->setCursorPosition(3);
    QTest::keyClicks(f.edit, QStringLiteral("two"));
    key(f.edit, Qt::Key_Tab);
    ASSERT_FALSE(f.edit->hasFocus());
    key(f.after, Qt::Key_Backtab);
    ASSERT_TRUE(f.edit->hasFocus());
    EXPECT_EQ(f.edit->escapeText(), QStringLiteral("one"));
    key(f.edit, Qt::Key_Escape);
    EXPECT_EQ(f.edit->text(), QStringLiteral("one"));

    f.edit->end(false);
    QTest::keyClicks(f.edit, QStringLiteral("three"));
    f.after->setFocus();
    QTest::mouseClick(f.edit, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(f.edit->hasFocus());
    key(f.edit, Qt::Key_Escape);
    EXPECT_EQ(f.edit->text(), QStringLiteral("one"));
}

TEST(BtnEditEscape, TextSetByProgramSurvivesTabThenEscape)
{
    // The contact editor fills a read-only address box by setting its text.
    for (bool readOnly : {false, true}) {
        Form f;
        f.edit->setReadOnly(readOnly);
        f.show();
        f.edit->setText(QStringLiteral("12 Harbour Road"));
        f.tabIn();
        key(f.edit, Qt::Key_Escape);
        EXPECT_EQ(f.edit->text(), QStringLiteral("12 Harbour Road")) << readOnly;
        // Set through the QLineEdit interface it is still the program's text.
        static_cast<QLineEdit *>(f.edit)->setText(QStringLiteral("3 Mill Lane"));
        key(f.edit, Qt::Key_Escape);
        EXPECT_EQ(f.edit->text(), QStringLiteral("3 Mill Lane")) << readOnly;
    }
}

TEST(BtnEditEscape, ReadOnlyEditLeavesEscapeToItsWindow)
{
    QDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    auto *e = new TkwBtnEdit(&dialog);
    layout->addWidget(e);
    showActive(dialog);
    e->setFocus();
    QTest::keyClicks(e, QStringLiteral("typed"));
    e->setReadOnly(true);
    key(e, Qt::Key_Escape);
    EXPECT_EQ(e->text(), QStringLiteral("typed"));
    EXPECT_FALSE(dialog.isVisible()); // the dialog was cancelled
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(BtnEditKeys, CtrlEnterClicksOnlyVisibleEnabledButtons)
{
    Form f;
    f.show();
    int one = 0, two = 0;
    TkwBtnEdit *sender = nullptr;
    f.edit->OnBtn1Click = [&](TkwBtnEdit *s) { ++one; sender = s; };
    f.edit->OnBtn2Click = [&](TkwBtnEdit *) { ++two; };
    f.edit->setFocus();
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

    key(f.edit, Qt::Key_Return, ctrl);
    EXPECT_EQ(one, 1);
    EXPECT_EQ(sender, f.edit);
    key(f.edit, Qt::Key_Enter, ctrl | Qt::KeypadModifier);
    EXPECT_EQ(one, 2);
    key(f.edit, Qt::Key_Return, ctrlShift); // button 2 hidden
    EXPECT_EQ(two, 0);
    f.edit->setBtn2Visible(true);
    key(f.edit, Qt::Key_Return, ctrlShift);
    EXPECT_EQ(two, 1);
    f.edit->setBtn2Enabled(false);
    key(f.edit, Qt::Key_Return, ctrlShift);
    EXPECT_EQ(two, 1);
    f.edit->setBtn1Enabled(false);
    key(f.edit, Qt::Key_Return, ctrl);
    EXPECT_EQ(one, 2);
    f.edit->setBtn1Enabled(true);
    f.edit->setBtn2Enabled(true);
    f.edit->setBtn1Visible(false); // hides button 2 as well
    key(f.edit, Qt::Key_Return, ctrl);
    key(f.edit, Qt::Key_Return, ctrlShift);
    EXPECT_EQ(one, 2);
    EXPECT_EQ(two, 1);
}

TEST(BtnEditKeys, ButtonClickFocusesAndRecordsTheText)
{
    Form f;
    f.show();
    int clicks = 0;
    f.edit->OnBtn1Click = [&](TkwBtnEdit *) { ++clicks; };
    f.edit->setText(QStringLiteral("start"));
    f.tabIn();
    QTest::keyClicks(f.edit, QStringLiteral("typed")); // replaces the selected text
    f.after->setFocus();
    TkwSpeedButton *b = f.edit->button1();
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(f.edit->hasFocus());
    EXPECT_EQ(f.edit->escapeText(), QStringLiteral("typed"));
    EXPECT_EQ(b->cursor().shape(), Qt::ArrowCursor);

    // A plain Enter records the text as well.
    QTest::keyClicks(f.edit, QStringLiteral("X"));
    key(f.edit, Qt::Key_Return);
    EXPECT_EQ(f.edit->escapeText(), QStringLiteral("typedX"));
}

TEST(BtnEditKeys, TypedCarriageReturnAndLineFeedInsertNothing)
{
    Form f;
    f.show();
    f.edit->setText(QStringLiteral("abc"));
    f.edit->setFocus();
    const std::pair<int, const char *> rows[] = {{Qt::Key_M, "\r"}, {Qt::Key_J, "\n"}, {0, "\r"}, {0, "\n"}};
    for (const auto &[k, text] : rows) {
        QKeyEvent ev(QEvent::KeyPress, k, k ? Qt::ControlModifier : Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(f.edit, &ev);
        EXPECT_TRUE(ev.isAccepted());
        EXPECT_EQ(f.edit->text(), QStringLiteral("abc"));
    }
    key(f.edit, Qt::Key_Return);
    EXPECT_EQ(f.edit->text(), QStringLiteral("abc"));
}

TEST(BtnEditKeys, PasteAndCutNeedAnEditableEditor)
{
    Form f;
    f.show();
    struct Row { bool editorEnabled; bool readOnly; bool allowed; };
    const Row rows[] = {{true, false, true}, {false, false, false}, {true, true, false}, {false, true, false}};
    for (const Row &r : rows) {
        QApplication::clipboard()->setText(QStringLiteral("CLIP"));
        f.edit->setReadOnly(false);
        f.edit->setText(QStringLiteral("abc"));
        f.edit->setEditorEnabled(r.editorEnabled);
        f.edit->setReadOnly(r.readOnly);
        f.edit->setFocus();
        f.edit->selectAll();
        key(f.edit, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(f.edit->text(), r.allowed ? QString() : QStringLiteral("abc")) << r.editorEnabled << r.readOnly;
        EXPECT_EQ(QApplication::clipboard()->text(), r.allowed ? QStringLiteral("abc") : QStringLiteral("CLIP"));
        QApplication::clipboard()->setText(QStringLiteral("CLIP"));
        f.edit->selectAll();
        key(f.edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(f.edit->text(), r.allowed ? QStringLiteral("CLIP") : QStringLiteral("abc"));
        key(f.edit, Qt::Key_Insert, Qt::ShiftModifier);
        EXPECT_EQ(f.edit->text(), r.allowed ? QStringLiteral("CLIPCLIP") : QStringLiteral("abc"));

        // The context menu offers them only when allowed.
        QContextMenuEvent ev(QContextMenuEvent::Keyboard, QPoint(5, 5), f.edit->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(f.edit, &ev);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        int found = 0;
        for (QAction *a : menu->actions())
            if (TkwBtnEdit::isPasteOrCutAction(a)) {
                ++found;
                if (!r.allowed) {
                    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
                }
            }
        EXPECT_EQ(found, r.readOnly ? 0 : 2); // a read-only edit's menu has neither entry
        menu->close();
        QApplication::processEvents();
    }
}

TEST(BtnEditKeys, AutoSelectOnEntryOtherThanByMouse)
{
    Form f;
    f.show();
    f.edit->setText(QStringLiteral("select me"));
    f.tabIn();
    EXPECT_EQ(f.edit->selectedText(), QStringLiteral("select me"));
    f.before->setFocus();
    f.edit->setFocus();
    EXPECT_EQ(f.edit->selectedText(), QStringLiteral("select me"));
    f.before->setFocus();
    QTest::mouseClick(f.edit, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(f.edit->selectedText().isEmpty());
    f.edit->setAutoSelect(false);
    f.tabIn();
    EXPECT_TRUE(f.edit->selectedText().isEmpty());
}

// ---- the default glyph ---------------------------------------------------------------------------

TEST(BtnEditGlyph, DefaultDotsInButtonTextOnTheFace)
{
    QWidget window;
    auto *e = new TkwBtnEdit(&window);
    e->setGeometry(0, 0, 200, 24);
    showActive(window);
    EXPECT_TRUE(e->showsDefaultGlyph(1));
    EXPECT_TRUE(e->showsDefaultGlyph(2));
    const QRect b1 = e->button1()->geometry();
    const QRect face = b1.adjusted(2, 2, -2, -2);
    QImage img = shot(*e);
    // Three dots of 2 x 2 pixels, on the button face.
    EXPECT_EQ(count(img, sys(clBtnText), face), 12);
    const QRect dots = box(img, sys(clBtnText), face);
    EXPECT_EQ(dots.size(), QSize(10, 2));
    EXPECT_EQ(img.pixel(dots.left() + 2, dots.top()) & 0xFFFFFF, sys(clBtnFace) & 0xFFFFFF);
    EXPECT_EQ(img.pixel(dots.left() - 1, dots.top()) & 0xFFFFFF, sys(clBtnFace) & 0xFFFFFF);

    // New system colours: the dots are drawn in the new button text colour.
    {
        const ButtonColours colours(QColor(200, 0, 0), QColor(220, 220, 160));
        img = shot(*e);
        EXPECT_EQ(count(img, qRgb(200, 0, 0), face), 12);
        EXPECT_EQ(box(img, qRgb(200, 0, 0), face), dots);
        EXPECT_EQ(img.pixel(dots.left() + 2, dots.top()) & 0xFFFFFF, qRgb(220, 220, 160) & 0xFFFFFF);
    }

    // A glyph of the program's own replaces it; none brings it back.
    QPixmap own(6, 6);
    own.fill(Qt::blue);
    e->setBtn1Glyph(own);
    EXPECT_FALSE(e->showsDefaultGlyph(1));
    e->setBtn1Glyph(QPixmap());
    EXPECT_TRUE(e->showsDefaultGlyph(1));
    EXPECT_EQ(count(shot(*e), sys(clBtnText), face), 12);
}
