#include "controls/buttons/speed_button.h"

#include "controls/buttons/kw_library.h"

#include <QAction>
#include <QEnterEvent>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

namespace controls {

// ---- glyph -------------------------------------------------------------------------------------

void TkwButtonGlyph::setGlyph(const QPixmap &glyph)
{
    glyph_ = glyph;
    invalidate();
}

void TkwButtonGlyph::setNumGlyphs(int n)
{
    numGlyphs_ = std::clamp(n, 1, 4);
    invalidate();
}

void TkwButtonGlyph::invalidate()
{
    for (QPixmap &p : cache_)
        p = QPixmap();
}

QSize TkwButtonGlyph::imageSize() const
{
    if (glyph_.isNull())
        return QSize();
    // A glyph narrower than its image count has no image at all rather than images 0 wide.
    const int w = glyph_.width() / numGlyphs_;
    if (w <= 0 || glyph_.height() <= 0)
        return QSize();
    return QSize(w, glyph_.height());
}

namespace {

// The glyph's images with the transparent colour (the bottom-left pixel) made transparent; an image
// that carries an alpha channel keeps its own transparency.
QImage transparentImage(const QPixmap &glyph)
{
    QImage img = glyph.toImage();
    if (img.hasAlphaChannel())
        return img.convertToFormat(QImage::Format_ARGB32);
    img = img.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = img.pixel(0, img.height() - 1);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    return img;
}

// Whether a pixel belongs to the shape of a disabled image: opaque and dark. Light fills vanish, so
// a coloured glyph keeps its outline rather than turning into a block.
bool isInk(QRgb p) { return qAlpha(p) >= 128 && qGray(p) < 192; }

// An embossed monochrome copy: every dark pixel of up becomes a highlight pixel one to the right
// and below, then a shadow pixel in place.
QImage embossed(const QImage &up, const QPalette &palette)
{
    QImage out(up.size(), QImage::Format_ARGB32);
    out.fill(0);
    const QRgb light = toQColor(clBtnHighlight, palette).rgba();
    const QRgb shadow = toQColor(clBtnShadow, palette).rgba();
    for (int y = 0; y + 1 < up.height(); ++y)
        for (int x = 0; x + 1 < up.width(); ++x)
            if (isInk(up.pixel(x, y)))
                out.setPixel(x + 1, y + 1, light);
    for (int y = 0; y < up.height(); ++y)
        for (int x = 0; x < up.width(); ++x)
            if (isInk(up.pixel(x, y)))
                out.setPixel(x, y, shadow);
    return out;
}

} // namespace

QPixmap TkwButtonGlyph::image(int state, const QPalette &palette) const
{
    const QSize size = imageSize();
    if (size.isEmpty())
        return QPixmap();
    // Image slots: 0 up, 1 disabled, 2 clicked, 3 down.
    int slot = 0;
    switch (state) {
    case bsDisabled: slot = 1; break;
    case bsDown:
    case bsMenuDown: slot = 2; break;
    case bsExclusive: slot = 3; break;
    default: slot = 0; break;
    }
    QPixmap &cached = cache_[size_t(slot)];
    if (!cached.isNull())
        return cached;
    const QImage all = transparentImage(glyph_);
    if (slot < numGlyphs_) {
        cached = QPixmap::fromImage(all.copy(slot * size.width(), 0, size.width(), size.height()));
    } else if (slot == 1) {
        cached = QPixmap::fromImage(embossed(all.copy(0, 0, size.width(), size.height()), palette));
    } else {
        cached = image(bsUp, palette);
    }
    return cached;
}

// ---- button ------------------------------------------------------------------------------------

TkwSpeedButton::TkwSpeedButton(QWidget *parent) : QWidget(parent)
{
    resize(22, 23);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, false);
}

TkwSpeedButton::~TkwSpeedButton() = default;

void TkwSpeedButton::setState(TkwButtonState s)
{
    if (state_ == s)
        return;
    state_ = s;
    update();
}

void TkwSpeedButton::setGroupIndex(int index)
{
    // Combo and menu buttons never belong to a group.
    if (style_ != TkwSpeedButtonStyle::sbsNormal)
        index = 0;
    if (index == groupIndex_)
        return;
    groupIndex_ = index;
    if (groupIndex_ == 0) {
        // An ungrouped button cannot be held down: nothing would ever let it up again.
        if (down_) {
            down_ = false;
            if (isEnabled())
                setState(bsUp);
        }
    } else if (down_) {
        releaseGroup();
    }
}

void TkwSpeedButton::setDown(bool down)
{
    if (groupIndex_ == 0 || style_ == TkwSpeedButtonStyle::sbsMenu)
        return;
    if (down == down_)
        return;
    // The last button down of a group that does not allow all up stays down.
    if (down_ && !allowAllUp_)
        return;
    down_ = down;
    if (isEnabled())
        state_ = down ? bsExclusive : bsUp;
    update();
    if (down)
        releaseGroup();
}

void TkwSpeedButton::releaseGroup()
{
    QWidget *p = parentWidget();
    if (!p || groupIndex_ == 0)
        return;
    const auto siblings = p->findChildren<TkwSpeedButton *>(QString(), Qt::FindDirectChildrenOnly);
    for (TkwSpeedButton *b : siblings) {
        if (b == this || b->groupIndex_ != groupIndex_)
            continue;
        if (b->down_) {
            b->down_ = false;
            if (b->isEnabled())
                b->state_ = bsUp;
            b->update();
        }
        b->allowAllUp_ = allowAllUp_;
    }
}

void TkwSpeedButton::setAllowAllUp(bool on)
{
    if (style_ != TkwSpeedButtonStyle::sbsNormal)
        on = false;
    allowAllUp_ = on;
}

void TkwSpeedButton::setLayout(TButtonLayout layout)
{
    if (layout_ == layout)
        return;
    layout_ = layout;
    update();
}

void TkwSpeedButton::setSpacing(int spacing)
{
    if (spacing_ == spacing)
        return;
    spacing_ = spacing;
    update();
}

void TkwSpeedButton::setMargin(int margin)
{
    if (margin < -1 || margin == margin_)
        return;
    margin_ = margin;
    update();
}

void TkwSpeedButton::setFlat(bool on)
{
    if (style_ == TkwSpeedButtonStyle::sbsComboButton)
        on = false;
    if (flat_ == on)
        return;
    flat_ = on;
    update();
}

void TkwSpeedButton::setTransparent(bool on)
{
    if (style_ == TkwSpeedButtonStyle::sbsComboButton)
        on = false;
    if (transparent_ == on)
        return;
    transparent_ = on;
    update();
}

void TkwSpeedButton::setStyle(TkwSpeedButtonStyle style)
{
    style_ = style;
    if (style != TkwSpeedButtonStyle::sbsNormal) {
        groupIndex_ = 0;
        down_ = false;
        allowAllUp_ = false;
        if (isEnabled())
            state_ = bsUp;
    }
    if (style == TkwSpeedButtonStyle::sbsComboButton) {
        flat_ = false;
        transparent_ = false;
    }
    update();
}

void TkwSpeedButton::setMenuButtonWidth(int width)
{
    menuButtonWidth_ = std::max(width, 0);
    update();
}

void TkwSpeedButton::setCaption(const QString &caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    updateShortcut();
    update();
}

void TkwSpeedButton::setGlyph(const QPixmap &glyph)
{
    glyph_.setGlyph(glyph);
    update();
}

void TkwSpeedButton::setNumGlyphs(int n)
{
    glyph_.setNumGlyphs(n);
    update();
}

void TkwSpeedButton::setAction(QAction *action)
{
    if (action_)
        disconnect(action_, nullptr, this, nullptr);
    action_ = action;
    if (action) {
        connect(action, &QAction::changed, this, &TkwSpeedButton::updateFromAction);
        updateFromAction();
    }
}

void TkwSpeedButton::updateFromAction()
{
    if (!action_)
        return;
    setCaption(action_->text());
    setEnabled(action_->isEnabled());
    if (!action_->icon().isNull()) {
        glyph_.setNumGlyphs(1);
        setGlyph(action_->icon().pixmap(16, 16));
    }
}

void TkwSpeedButton::click()
{
    const QPointer<QAction> action = action_;
    emit clicked();
    if (action)
        action->trigger();
}

void TkwSpeedButton::updateShortcut()
{
    const QKeySequence seq = QKeySequence::mnemonic(caption_);
    if (seq.isEmpty()) {
        delete shortcut_;
        shortcut_ = nullptr;
        return;
    }
    if (!shortcut_) {
        shortcut_ = new QShortcut(this);
        shortcut_->setContext(Qt::WindowShortcut);
        connect(shortcut_, &QShortcut::activated, this, [this] {
            if (isEnabled() && isVisible() && parentWidget() && parentWidget()->isVisible())
                click();
        });
    }
    shortcut_->setKey(seq);
}

bool TkwSpeedButton::inMenuPart(const QPoint &pos) const
{
    return pos.x() >= width() - menuButtonWidth_ && pos.x() < width() && pos.y() >= 0 && pos.y() < height();
}

// ---- mouse -------------------------------------------------------------------------------------

void TkwSpeedButton::press(const QPoint &pos)
{
    if (!isEnabled())
        return;
    if (style_ == TkwSpeedButtonStyle::sbsMenu) {
        if (inMenuPart(pos)) {
            menuPressed_ = true;
            setState(bsMenuDown);
        } else {
            setState(bsDown);
        }
    } else if (!down_) {
        setState(bsDown);
    }
    dragging_ = true;
}

void TkwSpeedButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    press(event->position().toPoint());
}

void TkwSpeedButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    press(event->position().toPoint());
    if (down_)
        emit doubleClicked();
}

void TkwSpeedButton::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging_)
        return;
    const QPoint pos = event->position().toPoint();
    const bool inside = rect().contains(pos);
    TkwButtonState s;
    if (style_ == TkwSpeedButtonStyle::sbsMenu) {
        // A press on the arrow part shows the main part up; a press on the main part keeps its look
        // over the arrow part, since a release anywhere inside clicks.
        if (!inside)
            s = bsUp;
        else if (menuPressed_)
            s = inMenuPart(pos) ? bsMenuDown : bsUp;
        else
            s = bsDown;
    } else if (down_) {
        s = bsExclusive;
    } else {
        s = inside ? bsDown : bsUp;
    }
    setState(s);
}

void TkwSpeedButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !dragging_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    const QPoint pos = event->position().toPoint();
    // Inside means the client rectangle: a release on the row below the button does not click.
    const bool inside = rect().contains(pos);
    bool doClick = inside;
    if (style_ == TkwSpeedButtonStyle::sbsMenu) {
        const bool popMenu = inMenuPart(pos) && menuPressed_;
        doClick = inside && !menuPressed_;
        state_ = bsUp;
        menuPressed_ = false;
        mouseInside_ = false;
        repaint();
        if (popMenu && dropDownMenu_)
            dropDownMenu_->popup(mapToGlobal(QPoint(0, height())));
    } else if (groupIndex_ == 0) {
        setState(bsUp);
    } else if (doClick) {
        setDown(!down_);
    } else if (down_) {
        setState(bsExclusive);
    }
    const QPointer<TkwSpeedButton> self(this);
    if (doClick)
        click();
    if (self)
        updateTracking(pos);
}

void TkwSpeedButton::updateTracking(const QPoint &pos)
{
    if (!flat_ || !isEnabled())
        return;
    const bool inside = rect().contains(pos);
    if (inside != mouseInside_) {
        mouseInside_ = inside;
        update();
    }
}

void TkwSpeedButton::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (flat_ && !mouseInside_ && isEnabled() && !dragging_) {
        mouseInside_ = true;
        update();
    }
}

void TkwSpeedButton::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (flat_ && mouseInside_ && isEnabled() && !dragging_) {
        mouseInside_ = false;
        update();
    }
}

void TkwSpeedButton::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
        if (!isEnabled()) {
            state_ = bsDisabled;
            dragging_ = false;
            mouseInside_ = false;
            menuPressed_ = false;
        } else if (state_ == bsDisabled) {
            state_ = down_ ? bsExclusive : bsUp;
        }
        glyph_.invalidate();
        update();
        break;
    case QEvent::PaletteChange:
        glyph_.invalidate();
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

// ---- drawing -----------------------------------------------------------------------------------

void TkwSpeedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    TqvCanvas canvas(painter, palette());
    if (style_ == TkwSpeedButtonStyle::sbsMenu)
        paintSplitButton(canvas);
    else
        paintPushButton(canvas);
}

namespace {

// A one-pixel flat edge: raised (highlight top-left) or sunken (shadow top-left).
void flatEdge(TqvCanvas &canvas, const TRect &r, bool raised)
{
    canvas.frame3D(r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight);
}

void ditherFace(TqvCanvas &canvas, const TRect &face)
{
    canvas.fillRect(face, clBtnFace);
    canvas.setBrush(clBtnHighlight, TqvCanvas::BrushStyle::Dither);
    canvas.fillRect(face);
    canvas.setBrush(clBtnFace);
}

} // namespace

void TkwSpeedButton::paintPushButton(TqvCanvas &canvas)
{
    const TRect r(0, 0, width(), height());
    const TkwButtonState s = isEnabled() ? state_ : bsDisabled;
    const bool pressed = s == bsDown || s == bsExclusive;
    TRect face = r;
    if (flat_) {
        if (!transparent_)
            canvas.fillRect(r, clBtnFace);
        if (pressed || (mouseInside_ && s != bsDisabled))
            flatEdge(canvas, r, !pressed);
        face = r.inflated(-1, -1);
    } else if (style_ == TkwSpeedButtonStyle::sbsComboButton) {
        if (pressed) {
            canvas.frameRect(r, clBtnShadow);
            face = r.inflated(-1, -1);
        } else {
            canvas.frame3D(r, clBtnFace, cl3DDkShadow);
            canvas.frame3D(r.inflated(-1, -1), clBtnHighlight, clBtnShadow);
            face = r.inflated(-2, -2);
        }
        canvas.fillRect(face, clBtnFace);
    } else {
        canvas.drawEdge(r, !pressed);
        face = r.inflated(-2, -2);
        canvas.fillRect(face, clBtnFace);
    }
    if (s == bsExclusive && (!flat_ || !mouseInside_))
        ditherFace(canvas, face);

    TPoint offset;
    if (style_ == TkwSpeedButtonStyle::sbsComboButton) {
        if (!pressed)
            offset = TPoint{-1, -1};
    } else if (pressed) {
        offset = TPoint{1, 1};
    }
    drawGlyphAndCaption(canvas, r, offset, s);
}

void TkwSpeedButton::paintSplitButton(TqvCanvas &canvas)
{
    const TRect r(0, 0, width(), height());
    const int mbw = std::min(menuButtonWidth_, width());
    const TRect main(0, 0, width() - mbw, height());
    const TRect arrow(width() - mbw, 0, width(), height());
    const TkwButtonState s = isEnabled() ? state_ : bsDisabled;
    const bool mainPressed = s == bsDown || s == bsExclusive;
    const bool arrowPressed = s == bsMenuDown;
    if (flat_) {
        if (!transparent_)
            canvas.fillRect(r, clBtnFace);
        const bool hot = mouseInside_ && s != bsDisabled;
        if (mainPressed || hot)
            flatEdge(canvas, main, !mainPressed);
        if (arrowPressed || hot)
            flatEdge(canvas, arrow, !arrowPressed);
    } else {
        canvas.drawEdge(main, !mainPressed);
        canvas.fillRect(main.inflated(-2, -2), clBtnFace);
        canvas.drawEdge(arrow, !arrowPressed);
        canvas.fillRect(arrow.inflated(-2, -2), clBtnFace);
    }
    drawGlyphAndCaption(canvas, main, mainPressed ? TPoint{1, 1} : TPoint{}, s);
    drawArrow(canvas, arrow, arrowPressed);
}

void TkwSpeedButton::drawArrow(TqvCanvas &canvas, const TRect &part, bool pressed)
{
    // A filled triangle pointing down, as wide as the part allows up to 7 pixels.
    const int half = std::clamp((part.width() - 5) / 2, 1, 3);
    const int rows = half + 1;
    const int cx = part.left + (part.width() - 1) / 2;
    const int top = part.top + (part.height() - rows) / 2 + (pressed ? 1 : 0);
    auto draw = [&](int dx, int dy, TColor color) {
        for (int i = 0; i < rows; ++i)
            canvas.fillRect(TRect(cx - half + i + dx, top + i + dy, cx + half - i + 1 + dx, top + i + 1 + dy), color);
    };
    if (isEnabled()) {
        draw(0, 0, clBtnText);
    } else {
        draw(1, 1, clBtnHighlight);
        draw(0, 0, clBtnShadow);
    }
}

void TkwSpeedButton::drawGlyphAndCaption(TqvCanvas &canvas, const TRect &client, TPoint offset,
                                         TkwButtonState s)
{
    const QSize gsize = glyph_.imageSize();
    const int gw = gsize.isEmpty() ? 0 : gsize.width();
    const int gh = gsize.isEmpty() ? 0 : gsize.height();
    canvas.setFont(font(), clBtnText);
    const uint32_t textFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    TRect measured(0, 0, client.width(), 0);
    if (!caption_.isEmpty())
        canvas.drawText(caption_, measured, textFlags | DT_CALCRECT);
    const int tw = caption_.isEmpty() ? 0 : measured.width();
    const int th = caption_.isEmpty() ? 0 : measured.height();

    const bool horizontal = layout_ == TButtonLayout::blGlyphLeft || layout_ == TButtonLayout::blGlyphRight;
    const int cw = client.width(), ch = client.height();
    TPoint gp, tp;
    if (horizontal) {
        gp.y = (ch - gh + 1) / 2;
        tp.y = (ch - th + 1) / 2;
    } else {
        gp.x = (cw - gw + 1) / 2;
        tp.x = (cw - tw + 1) / 2;
    }
    int spacing = (tw == 0 || gw == 0) ? 0 : spacing_;
    int margin = margin_;
    if (margin == -1) {
        if (spacing == -1) {
            const int total = horizontal ? gw + tw : gh + th;
            margin = ((horizontal ? cw : ch) - total) / 3;
            spacing = margin;
        } else {
            const int total = horizontal ? gw + spacing + tw : gh + spacing + th;
            margin = ((horizontal ? cw : ch) - total + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = horizontal ? (cw - (margin + gw) - tw) / 2 : (ch - (margin + gh) - th) / 2;
    }
    switch (layout_) {
    case TButtonLayout::blGlyphLeft:
        gp.x = margin;
        tp.x = gp.x + gw + spacing;
        break;
    case TButtonLayout::blGlyphRight:
        gp.x = cw - margin - gw;
        tp.x = gp.x - spacing - tw;
        break;
    case TButtonLayout::blGlyphTop:
        gp.y = margin;
        tp.y = gp.y + gh + spacing;
        break;
    case TButtonLayout::blGlyphBottom:
        gp.y = ch - margin - gh;
        tp.y = gp.y - spacing - th;
        break;
    }
    const int dx = client.left + offset.x, dy = client.top + offset.y;
    if (gw > 0) {
        const QPixmap img = glyph_.image(s, palette());
        if (!img.isNull())
            canvas.painter().drawPixmap(gp.x + dx, gp.y + dy, img);
    }
    if (tw > 0) {
        TRect tr = TRect::fromSize(tp.x + dx, tp.y + dy, tw, th);
        if (s == bsDisabled)
            DrawDisabledText(canvas, caption_, tr, textFlags);
        else
            canvas.drawText(caption_, tr, textFlags);
    }
}

} // namespace controls
