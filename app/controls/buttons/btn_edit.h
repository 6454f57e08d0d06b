// TkwBtnEdit: a single-line edit with up to two small combo-style buttons inside its right edge.
//
// Button 1 sits at the right edge of the client area (inside the 2-pixel frame) and button 2, when
// shown, to its left; button 2 shows only while button 1 does. The text area is narrowed so the
// text never runs under a button. A button shows a three-dot glyph, in the current button colours,
// unless given a glyph of its own.
//
// Escape puts back the "Escape text": the text recorded when the edit was last focused by program
// (setFocus(), a button click, a plain Enter) or last set by program (setText()). Entering with Tab
// or the mouse records nothing. A read-only edit leaves Escape to its window.
//
// Keys: Ctrl+Enter clicks button 1 and Ctrl+Shift+Enter button 2, each only while that button is
// visible and enabled. Typed CR and LF characters are swallowed. Paste and cut only work while
// EditorEnabled is on and the edit is not read-only. With AutoSelect on, entering the edit other
// than by a mouse click selects the whole text.
// User-interface thread only.
#pragma once

#include "controls/buttons/speed_button.h"

#include <QLineEdit>
#include <QPixmap>
#include <functional>

namespace controls {

class TkwBtnEdit : public QLineEdit {
    Q_OBJECT
public:
    using ClickHandler = std::function<void(TkwBtnEdit *sender)>;
    static constexpr int kFrameWidth = 2;

    explicit TkwBtnEdit(QWidget *parent = nullptr);
    ~TkwBtnEdit() override;

    // Focuses the edit by program: the current text becomes the Escape text. (This hides
    // QWidget::setFocus(); a focus given through a QWidget pointer is recognised by its reason.)
    void setFocus();
    using QWidget::setFocus; // setFocus(reason) as usual
    // Sets the text by program; it becomes the Escape text as well.
    void setText(const QString &text);
    QString escapeText() const;

    // Focuses the edit by program, then calls the handler of the given button when it is set.
    virtual void ButtonClick(TkwSpeedButton *button);

    ClickHandler OnBtn1Click;
    ClickHandler OnBtn2Click;

    TkwSpeedButton *button1() const { return btn1_; }
    TkwSpeedButton *button2() const { return btn2_; }

    bool EditorEnabled() const { return editorEnabled_; }
    void setEditorEnabled(bool on) { editorEnabled_ = on; }
    bool AutoSelect() const { return autoSelect_; }
    void setAutoSelect(bool on) { autoSelect_ = on; }
    int BtnWidth() const { return btnWidth_; }
    void setBtnWidth(int width);
    bool Btn1Visible() const { return btn1Visible_; }
    void setBtn1Visible(bool on);
    bool Btn2Visible() const { return btn2Visible_; }
    void setBtn2Visible(bool on);
    bool Btn1Enabled() const { return btn1Enabled_; }
    void setBtn1Enabled(bool on);
    bool Btn2Enabled() const { return btn2Enabled_; }
    void setBtn2Enabled(bool on);
    // A null pixmap gives the button the default three-dot glyph.
    QPixmap Btn1Glyph() const { return btn1_->Glyph(); }
    void setBtn1Glyph(const QPixmap &glyph);
    QPixmap Btn2Glyph() const { return btn2_->Glyph(); }
    void setBtn2Glyph(const QPixmap &glyph);
    int Btn1NumGlyphs() const { return btn1_->NumGlyphs(); }
    void setBtn1NumGlyphs(int n) { btn1_->setNumGlyphs(n); }
    int Btn2NumGlyphs() const { return btn2_->NumGlyphs(); }
    void setBtn2NumGlyphs(int n) { btn2_->setNumGlyphs(n); }
    bool showsDefaultGlyph(int button) const { return button == 1 ? btn1Default_ : btn2Default_; }

    // True for the Paste and Cut entries of the standard context menu.
    static bool isPasteOrCutAction(const QAction *action);

    // The three-dot glyph recoloured for palette: black dots in clBtnText on clBtnFace.
    static QPixmap defaultGlyph(const QPalette &palette);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool editingAllowed() const { return editorEnabled_ && !isReadOnly(); }
    void recordEscapeText();
    void commitProgramText() const;
    void placeButtons();
    void applyEnabled();
    void setGlyph(TkwSpeedButton *button, bool &isDefault, const QPixmap &glyph);

    mutable QString escText_;
    TkwSpeedButton *btn1_ = nullptr;
    TkwSpeedButton *btn2_ = nullptr;
    bool editorEnabled_ = true;
    bool autoSelect_ = true;
    int btnWidth_ = 16;
    bool btn1Visible_ = true;
    bool btn2Visible_ = false;
    bool btn1Enabled_ = true;
    bool btn2Enabled_ = true;
    bool btn1Default_ = false;
    bool btn2Default_ = false;
    bool useDefaultGlyphs_ = false;
    // A text change not yet known to be the user's: textEdited follows textChanged at once for user
    // edits, so a change still pending when anything else happens came from the program.
    mutable bool programTextPending_ = false;
    mutable QString pendingText_;
    bool userEditPending_ = false;
    QString userText_;
};

} // namespace controls
