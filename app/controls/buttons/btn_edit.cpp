#include "controls/buttons/btn_edit.h"

#include "controls/buttons/kw_library.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QtDebug>

namespace controls {

TkwBtnEdit::TkwBtnEdit(QWidget *parent) : QLineEdit(parent)
{
    useDefaultGlyphs_ = true;
    btn1_ = new TkwSpeedButton(this);
    btn2_ = new TkwSpeedButton(this);
    // The inner buttons stay unnamed: forms look their components up by name, and a form's own
    // "Button1" must never be confused with them.
    for (TkwSpeedButton *b : {btn1_, btn2_}) {
        b->setStyle(TkwSpeedButtonStyle::sbsComboButton);
        b->setCursor(Qt::ArrowCursor);
        b->setLayout(TButtonLayout::blGlyphTop);
        connect(b, &TkwSpeedButton::clicked, this, [this, b] { ButtonClick(b); });
    }
    btn2_->hide();
    setBtn1Glyph(QPixmap());
    setBtn2Glyph(QPixmap());

    // Tells a text set by program from one the user typed: a user edit raises textEdited beside
    // textChanged (in either order), a change by program textChanged alone.
    connect(this, &QLineEdit::textEdited, this, [this](const QString &t) {
        if (programTextPending_ && pendingText_ == t) {
            programTextPending_ = false;
        } else {
            userEditPending_ = true;
            userText_ = t;
        }
    });
    connect(this, &QLineEdit::textChanged, this, [this](const QString &t) {
        commitProgramText();
        if (userEditPending_) {
            userEditPending_ = false;
            if (userText_ == t)
                return;
        }
        pendingText_ = t;
        programTextPending_ = true;
    });
    placeButtons();
}

TkwBtnEdit::~TkwBtnEdit() = default;

bool TkwBtnEdit::isPasteOrCutAction(const QAction *action)
{
    // The standard menu names its entries only in newer Qt versions; its texts are QLineEdit's own
    // (translated) texts followed by a tab and the shortcut.
    const QString name = action->objectName();
    if (name == QLatin1String("edit-paste") || name == QLatin1String("edit-cut"))
        return true;
    const QString text = action->text().section(QLatin1Char('\t'), 0, 0);
    return text == QCoreApplication::translate("QLineEdit", "&Paste") ||
           text == QCoreApplication::translate("QLineEdit", "Cu&t");
}

// ---- Escape text -------------------------------------------------------------------------------

void TkwBtnEdit::commitProgramText() const
{
    if (programTextPending_) {
        escText_ = pendingText_;
        programTextPending_ = false;
    }
}

void TkwBtnEdit::recordEscapeText()
{
    commitProgramText();
    escText_ = text();
}

QString TkwBtnEdit::escapeText() const
{
    commitProgramText();
    return escText_;
}

void TkwBtnEdit::setFocus()
{
    recordEscapeText();
    QWidget::setFocus(Qt::OtherFocusReason);
}

void TkwBtnEdit::setText(const QString &text)
{
    QLineEdit::setText(text);
    commitProgramText();
    escText_ = this->text();
}

void TkwBtnEdit::ButtonClick(TkwSpeedButton *button)
{
    const QPointer<TkwBtnEdit> self(this);
    setFocus();
    if (!self)
        return;
    if (button == btn1_ && OnBtn1Click)
        OnBtn1Click(this);
    else if (button == btn2_ && OnBtn2Click)
        OnBtn2Click(this);
}

// ---- buttons -----------------------------------------------------------------------------------

QPixmap TkwBtnEdit::defaultGlyph(const QPalette &palette)
{
    QImage img(QStringLiteral(":/controls/buttons/kw_ellipsis.xpm"));
    if (img.isNull()) {
        qWarning("TkwBtnEdit: the three-dot glyph is missing from the program's resources");
        return QPixmap();
    }
    ReplaceBitmapColors(img, clBtnFace, clBtnText, palette);
    return QPixmap::fromImage(img);
}

void TkwBtnEdit::setGlyph(TkwSpeedButton *button, bool &isDefault, const QPixmap &glyph)
{
    if (glyph.isNull() && useDefaultGlyphs_) {
        button->setGlyph(defaultGlyph(palette()));
        isDefault = true;
    } else {
        button->setGlyph(glyph);
        isDefault = false;
    }
}

void TkwBtnEdit::setBtn1Glyph(const QPixmap &glyph) { setGlyph(btn1_, btn1Default_, glyph); }
void TkwBtnEdit::setBtn2Glyph(const QPixmap &glyph) { setGlyph(btn2_, btn2Default_, glyph); }

void TkwBtnEdit::setBtnWidth(int width)
{
    width = std::max(width, 0);
    if (width == btnWidth_)
        return;
    btnWidth_ = width;
    placeButtons();
}

void TkwBtnEdit::setBtn1Visible(bool on)
{
    btn1Visible_ = on;
    placeButtons();
}

void TkwBtnEdit::setBtn2Visible(bool on)
{
    btn2Visible_ = on;
    placeButtons();
}

void TkwBtnEdit::setBtn1Enabled(bool on)
{
    btn1Enabled_ = on;
    applyEnabled();
}

void TkwBtnEdit::setBtn2Enabled(bool on)
{
    btn2Enabled_ = on;
    applyEnabled();
}

void TkwBtnEdit::applyEnabled()
{
    btn1_->setEnabled(btn1Enabled_ && isEnabled());
    btn2_->setEnabled(btn2Enabled_ && isEnabled());
}

void TkwBtnEdit::placeButtons()
{
    // Button 1 keeps the right edge of the client area, so the button the program uses never moves
    // when button 2 comes or goes; button 2 only shows beside a visible button 1.
    const bool show2 = btn2Visible_ && btn1Visible_;
    btn1_->setVisible(btn1Visible_);
    btn2_->setVisible(show2);
    const int h = std::max(height() - 2 * kFrameWidth, 0);
    const int right = width() - kFrameWidth;
    btn1_->setGeometry(right - btnWidth_, kFrameWidth, btnWidth_, h);
    btn2_->setGeometry(right - 2 * btnWidth_, kFrameWidth, btnWidth_, h);
    int margin = 0;
    if (btn1Visible_)
        margin = btnWidth_ + 1 + (show2 ? btnWidth_ : 0);
    setTextMargins(0, 0, margin, 0);
}

// ---- events ------------------------------------------------------------------------------------

void TkwBtnEdit::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        TkwSpeedButton *button = nullptr;
        if (mods == Qt::ControlModifier)
            button = btn1_;
        else if (mods == (Qt::ControlModifier | Qt::ShiftModifier))
            button = btn2_;
        if (button) {
            // A hidden or disabled button cannot be clicked from the keyboard either.
            if (button->isVisibleTo(this) && button->isEnabled()) {
                event->accept();
                ButtonClick(button);
                return;
            }
        } else if (mods == Qt::NoModifier) {
            recordEscapeText();
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Escape && mods == Qt::NoModifier && !isReadOnly()) {
        commitProgramText();
        if (text() != escText_) {
            setText(escText_);
            selectAll();
            event->accept();
            return;
        }
    }
    if ((event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) && !editingAllowed()) {
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (typed == QLatin1String("\r") || typed == QLatin1String("\n")) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TkwBtnEdit::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    // setFocus() called through a QWidget pointer still counts as a focus by program.
    if (reason == Qt::OtherFocusReason)
        recordEscapeText();
    QLineEdit::focusInEvent(event);
    const bool entered = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                         reason == Qt::ShortcutFocusReason || reason == Qt::OtherFocusReason;
    if (!entered)
        return;
    if (autoSelect_)
        selectAll();
    else if (hasSelectedText())
        deselect();
}

void TkwBtnEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    placeButtons();
}

void TkwBtnEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        applyEnabled();
    } else if (event->type() == QEvent::PaletteChange) {
        // The default glyph is drawn in the button colours: draw it again in the new ones.
        if (btn1Default_)
            btn1_->setGlyph(defaultGlyph(palette()));
        if (btn2Default_)
            btn2_->setGlyph(defaultGlyph(palette()));
    }
}

void TkwBtnEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    if (!editingAllowed()) {
        for (QAction *a : menu->actions())
            if (isPasteOrCutAction(a))
                a->setEnabled(false);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TkwBtnEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // A middle click pastes the selection on X11: a paste like any other.
    if (event->button() == Qt::MiddleButton && !editingAllowed()) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

} // namespace controls
