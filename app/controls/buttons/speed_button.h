// TkwSpeedButton: a small button that never takes the focus, drawn as a push button, a combo
// button (the look of the button inside an edit) or a split button with a drop-down arrow part.
//
//  - Grouped buttons (`GroupIndex` not 0) stay down when released and behave like radio buttons
//    among the speed buttons of the same parent with the same `GroupIndex`; `AllowAllUp` lets the
//    last one of a group go up again.
//  - The glyph holds up to four images side by side (up, disabled, clicked, down); missing ones are
//    derived from the up image (disabled: its dark pixels embossed in the highlight and shadow
//    colours).
//  - Drawing states: 0 up, 1 disabled, 2 down (held by the mouse), 3 exclusive (held down by
//    `Down`), 4 menu part down (a split button's arrow part held by the mouse).
//  - A caption with an "&" accelerator clicks the button when that key is pressed in its window
//    while the button is enabled, visible and its parent is showing.
// Colours are the named system colours (controls/paint/color.h) resolved against the widget's
// palette. User-interface thread only.
#pragma once

#include "controls/paint/canvas.h"
#include "controls/paint/types.h"

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>

class QShortcut;

namespace controls {

enum class TkwSpeedButtonStyle { sbsNormal, sbsComboButton, sbsMenu };
enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// The drawing state.
enum TkwButtonState : int { bsUp = 0, bsDisabled = 1, bsDown = 2, bsExclusive = 3, bsMenuDown = 4 };

// A button's glyph and the state images made from it. Pixmaps are implicitly shared, so buttons
// given the same glyph share its pixels.
class TkwButtonGlyph {
public:
    const QPixmap &glyph() const { return glyph_; }
    void setGlyph(const QPixmap &glyph);
    int numGlyphs() const { return numGlyphs_; }
    // Clamped to 1..4.
    void setNumGlyphs(int n);
    // The image of one drawing state (bsMenuDown uses the clicked image); a null pixmap when the
    // glyph is missing or narrower than numGlyphs pixels. Pixels of the glyph's transparent colour
    // (its bottom-left pixel) are transparent; an image with an alpha channel keeps its own.
    QPixmap image(int state, const QPalette &palette) const;
    QSize imageSize() const;
    bool isEmpty() const { return imageSize().isEmpty(); }
    // Drops the state images (after an enable change or a palette change); they are made again
    // when next drawn.
    void invalidate();

private:
    QPixmap glyph_;
    int numGlyphs_ = 1;
    mutable std::array<QPixmap, 4> cache_;
};

class TkwSpeedButton : public QWidget {
    Q_OBJECT
    // Form translation sets the caption through this property.
    Q_PROPERTY(QString caption READ Caption WRITE setCaption)
public:
    explicit TkwSpeedButton(QWidget *parent = nullptr);
    ~TkwSpeedButton() override;

    int GroupIndex() const { return groupIndex_; }
    void setGroupIndex(int index);
    bool Down() const { return down_; }
    void setDown(bool down);
    bool AllowAllUp() const { return allowAllUp_; }
    void setAllowAllUp(bool on);
    TButtonLayout Layout() const { return layout_; }
    void setLayout(TButtonLayout layout);
    int Spacing() const { return spacing_; }
    void setSpacing(int spacing);
    // -1 centres the glyph and caption; values below -1 are ignored.
    int Margin() const { return margin_; }
    void setMargin(int margin);
    bool Flat() const { return flat_; }
    void setFlat(bool on);
    // A flat transparent button lets its parent show through where it draws no edge.
    bool Transparent() const { return transparent_; }
    void setTransparent(bool on);
    TkwSpeedButtonStyle Style() const { return style_; }
    void setStyle(TkwSpeedButtonStyle style);
    int MenuButtonWidth() const { return menuButtonWidth_; }
    void setMenuButtonWidth(int width);
    QMenu *DropDownMenu() const { return dropDownMenu_; }
    void setDropDownMenu(QMenu *menu) { dropDownMenu_ = menu; }

    QString Caption() const { return caption_; }
    void setCaption(const QString &caption);
    const QPixmap &Glyph() const { return glyph_.glyph(); }
    void setGlyph(const QPixmap &glyph);
    int NumGlyphs() const { return glyph_.numGlyphs(); }
    void setNumGlyphs(int n);
    const TkwButtonGlyph &glyphObject() const { return glyph_; }

    // Takes the action's text as caption, its enabled state, and its icon (16 x 16) as the glyph
    // when it has one; a click then triggers the action. Null detaches.
    QAction *Action() const { return action_; }
    void setAction(QAction *action);

    TkwButtonState state() const { return state_; }
    bool mouseInside() const { return mouseInside_; }

    QSize sizeHint() const override { return QSize(22, 23); }

    // Clicks the button as a release inside it does: the clicked signal (and the action).
    void click();

signals:
    void clicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void press(const QPoint &pos);
    void setState(TkwButtonState s);
    void updateTracking(const QPoint &pos);
    void updateShortcut();
    void updateFromAction();
    void releaseGroup();
    void paintPushButton(TqvCanvas &canvas);
    void paintSplitButton(TqvCanvas &canvas);
    void drawGlyphAndCaption(TqvCanvas &canvas, const TRect &client, TPoint offset, TkwButtonState state);
    void drawArrow(TqvCanvas &canvas, const TRect &part, bool pressed);
    bool inMenuPart(const QPoint &pos) const;

    int groupIndex_ = 0;
    TkwButtonGlyph glyph_;
    bool down_ = false;
    bool dragging_ = false; // the mouse-held flag
    bool allowAllUp_ = false;
    TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
    int spacing_ = 4;
    bool transparent_ = true;
    int margin_ = -1;
    bool flat_ = false;
    bool mouseInside_ = false;
    TkwSpeedButtonStyle style_ = TkwSpeedButtonStyle::sbsNormal;
    int menuButtonWidth_ = 11;
    bool menuPressed_ = false;
    QPointer<QMenu> dropDownMenu_;
    TkwButtonState state_ = bsUp;
    QString caption_;
    QPointer<QAction> action_;
    QShortcut *shortcut_ = nullptr;
};

} // namespace controls
