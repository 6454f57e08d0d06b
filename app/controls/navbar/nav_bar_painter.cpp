#include "controls/navbar/nav_bar_painter.h"

#include <QPainter>
#include <QRect>
#include <QtMath>
#include <climits>

namespace controls {

namespace {

// Far enough to cover any client area, small enough that no coordinate sum overflows.
constexpr int kFar = INT_MAX / 4;

} // namespace

TqvNavBarPainter::TqvNavBarPainter(TqvNavBarPainterHost &bar) : bar_(bar) {}

TqvNavBarPainter::~TqvNavBarPainter() = default;

void TqvNavBarPainter::Initialize()
{
    viewInfo_ = TqvNavBarViewInfo::Create(GetViewInfoClass(), bar_);
    rebuild_ = relayout_ = redraw_ = true;
    ResetState();
}

// ---- drawing ---------------------------------------------------------------------------------

void TqvNavBarPainter::DrawNavBar()
{
    if (!customDraw(bar_.PainterEvents().OnCustomDrawBackground, *viewInfo_))
        DrawBackground();
    if (IsStale())
        return;
    DrawGroups();
    if (IsStale())
        return;
    DrawScrollButtons();
    if (IsStale())
        return;
    DrawDropTargetGroupSelection();
    DrawDropTargetLinkSelection();
}

void TqvNavBarPainter::DrawBackground()
{
    const TqvNavBarStyleValues v = viewInfo_->BackgroundValues();
    const TRect client(0, 0, bar_.ClientWidth(), bar_.ClientHeight());
    GetBackgroundPainterClass()->DrawBackground(*canvas_, client, &v.Image(), v.GradientMode(), v.AlphaBlending(),
                                                v.AlphaBlending2(), v.BackColor(), v.BackColor2(), true);
}

void TqvNavBarPainter::DrawGroups()
{
    // A scrolled explorer bar may hold thousands of links: groups wholly outside the client area
    // would draw nothing that shows.
    const TRect client(0, 0, bar_.ClientWidth(), bar_.ClientHeight());
    for (int i = 0; i < viewInfo_->GroupCount() && !IsStale(); ++i)
        if (TqvNavBarGroupViewInfo *g = viewInfo_->Groups(i))
            if (g->Rect().intersects(client) || g->CaptionRect().intersects(client))
                DrawGroup(*g);
}

void TqvNavBarPainter::DrawGroup(TqvNavBarGroupViewInfo &group)
{
    const TqvNavBarPainterEvents &ev = bar_.PainterEvents();
    if (!customDraw(ev.OnCustomDrawGroupClientBackground, group)) {
        DrawGroupBackground(group);
        DrawGroupBorder(group);
    }
    if (IsStale())
        return;
    if (!group.ShowsControl() && !customDraw(ev.OnCustomDrawGroupClientForeground, group) && !IsStale())
        DrawGroupLinks(group);
    if (IsStale())
        return;
    if (bar_.ShowGroupCaptions() && !customDraw(ev.OnCustomDrawGroupCaption, group) && !IsStale())
        DrawGroupCaption(group);
}

void TqvNavBarPainter::DrawGroupBackground(TqvNavBarGroupViewInfo &group)
{
    GetBackgroundPainterClass()->DrawBackground(*canvas_, group.ItemsRect(), &group.BgImage(), group.BgGradientMode(),
                                                group.BgAlphaBlending(), group.BgAlphaBlending2(),
                                                group.BgBackColor(), group.BgBackColor2(), false);
}

void TqvNavBarPainter::DrawGroupBorder(TqvNavBarGroupViewInfo &) {}

void TqvNavBarPainter::DrawGroupCaption(TqvNavBarGroupViewInfo &group)
{
    DrawGroupCaptionButton(group);
    DrawGroupCaptionText(group);
    if (!group.CaptionImageRect().isEmpty())
        DrawGroupCaptionImage(group);
    if (!group.CaptionSignRect().isEmpty())
        DrawGroupCaptionSign(group);
}

void TqvNavBarPainter::DrawGroupCaptionButton(TqvNavBarGroupViewInfo &group)
{
    GetButtonPainterClass()->DrawButton(*canvas_, group.CaptionRect(), group.CaptionState(),
                                        group.CaptionGradientMode(), group.CaptionAlphaBlending(),
                                        group.CaptionAlphaBlending2(), group.CaptionBackColor(),
                                        group.CaptionBackColor2(), &group.CaptionImage());
}

void TqvNavBarPainter::DrawGroupCaptionText(TqvNavBarGroupViewInfo &group)
{
    const TqvNavBarGroup *g = group.Group();
    if (!g)
        return;
    canvas_->setBrushStyle(TqvCanvas::BrushStyle::Clear);
    canvas_->setFont(group.CaptionFont().font(), group.CaptionFontColor());
    TRect r = group.CaptionTextRect();
    canvas_->drawText(g->Caption(), r, group.CaptionTextFlags());
}

void TqvNavBarPainter::DrawGroupCaptionImage(TqvNavBarGroupViewInfo &group)
{
    GetImagePainterClass()->DrawImage(*canvas_, group.CaptionImageList(), group.CaptionImageIndex(),
                                      group.CaptionImageRect(), true);
}

void TqvNavBarPainter::DrawGroupCaptionSign(TqvNavBarGroupViewInfo &group)
{
    const TqvNavBarGroup *g = group.Group();
    if (!g || !g->ShowExpandButton())
        return;
    // The chevrons take the caption's text colour; the sign's own background is the window colour.
    GetSignPainterClass()->DrawSign(*canvas_, group.CaptionSignRect(), group.CaptionFontColor(), clWindow,
                                    group.CaptionState());
}

void TqvNavBarPainter::DrawGroupLinks(TqvNavBarGroupViewInfo &group)
{
    const TRect &client = group.ItemsRect();
    const int barBottom = bar_.ClientHeight();
    for (int i = 0; i < group.LinkCount() && !IsStale(); ++i) {
        TqvNavBarLinkViewInfo *link = group.Links(i);
        if (!link)
            continue;
        const TRect &r = link->Rect();
        if (r.top < client.top || r.top >= client.bottom)
            continue;
        if (r.top >= barBottom)
            break; // links run downward: the rest is out of sight too
        if (r.bottom <= 0)
            continue;
        TqvCanvas::ClipSaver clip(*canvas_);
        // Everything below the client bottom is cut, not only the link's own rectangle: its frame
        // and caption may reach past it.
        if (r.bottom > client.bottom)
            canvas_->excludeClipRect(TRect(-kFar, client.bottom, kFar, kFar));
        DrawLink(*link);
    }
}

void TqvNavBarPainter::DrawLink(TqvNavBarLinkViewInfo &link)
{
    if (customDraw(bar_.PainterEvents().OnCustomDrawLink, link) || IsStale())
        return;
    const TqvImageList *list = link.ImageList();
    const int index = link.ImageIndex();
    if (list && index >= 0 && index < list->count()) {
        DrawLinkSelection(link);
        if (!link.ImageRect().isEmpty())
            DrawLinkImage(link);
    }
    DrawLinkCaption(link);
}

void TqvNavBarPainter::DrawLinkCaption(TqvNavBarLinkViewInfo &link)
{
    const TqvNavBarItem *item = link.Item();
    if (!item)
        return;
    canvas_->setBrushStyle(TqvCanvas::BrushStyle::Clear);
    canvas_->setFont(link.Font().font(), link.FontColor());
    TRect r = link.CaptionRect();
    uint32_t flags = link.CaptionTextFlags();
    const TqvNavBarGroupViewInfo &group = link.GroupViewInfo();
    if (group.LinksUseSmallImages() || !viewInfo_->Constants().AllowLargeLinkImages) {
        flags |= DT_END_ELLIPSIS;
    } else if (r.left < link.Rect().left || r.right > link.Rect().right) {
        r.left = std::max(r.left, link.Rect().left);
        r.right = std::min(r.right, link.Rect().right);
        flags |= DT_END_ELLIPSIS;
    }
    canvas_->drawText(item->Caption(), r, flags);
}

void TqvNavBarPainter::DrawLinkImage(TqvNavBarLinkViewInfo &link)
{
    const TqvNavBarItem *item = link.Item();
    GetImagePainterClass()->DrawImage(*canvas_, link.ImageList(), link.ImageIndex(), link.ImageRect(),
                                      item && item->Enabled());
}

void TqvNavBarPainter::DrawLinkSelection(TqvNavBarLinkViewInfo &) {}

void TqvNavBarPainter::DrawScrollButtons()
{
    const TqvNavBarPainterEvents &ev = bar_.PainterEvents();
    if (!viewInfo_->TopScrollButtonRect().isEmpty() && !customDraw(ev.OnCustomDrawTopScrollButton, *viewInfo_) &&
        !IsStale())
        DrawTopScrollButton();
    if (IsStale())
        return;
    if (!viewInfo_->BottomScrollButtonRect().isEmpty() &&
        !customDraw(ev.OnCustomDrawBottomScrollButton, *viewInfo_) && !IsStale())
        DrawBottomScrollButton();
}

void TqvNavBarPainter::DrawBottomScrollButton()
{
    const TqvNavBarStyleValues v = viewInfo_->BottomScrollButtonValues();
    GetScrollButtonsPainterClass()->DrawBottomButton(*canvas_, viewInfo_->BottomScrollButtonRect(),
                                                     GetButtonPainterClass(), viewInfo_->BottomScrollButtonState(),
                                                     v.GradientMode(), v.AlphaBlending(), v.AlphaBlending2(),
                                                     v.BackColor(), v.BackColor2(), &v.Image());
}

void TqvNavBarPainter::DrawTopScrollButton()
{
    const TqvNavBarStyleValues v = viewInfo_->TopScrollButtonValues();
    GetScrollButtonsPainterClass()->DrawTopButton(*canvas_, viewInfo_->TopScrollButtonRect(), GetButtonPainterClass(),
                                                  viewInfo_->TopScrollButtonState(), v.GradientMode(),
                                                  v.AlphaBlending(), v.AlphaBlending2(), v.BackColor(),
                                                  v.BackColor2(), &v.Image());
}

void TqvNavBarPainter::DrawDropTargetGroupSelection()
{
    const TqvNavBarPaintDragState drag = bar_.DragState();
    if (!drag.dragging || !drag.group || !drag.allowDropGroup)
        return;
    const TPoint p = bar_.HotPoint();
    TqvNavBarGroupViewInfo *target = viewInfo_->GroupAtCaptionPos(p);
    if (!target)
        target = viewInfo_->GroupAtItemsPos(p);
    if (!target || target->Group() == drag.group)
        return;
    const TqvNavBarStyleValues v = viewInfo_->DropTargetGroupValues();
    GetDropTargetGroupPainterClass()->DrawTargetGroup(*canvas_, target->CaptionRect(), v.GradientMode(),
                                                      v.AlphaBlending(), v.AlphaBlending2(), v.BackColor(),
                                                      v.BackColor2());
}

void TqvNavBarPainter::DrawDropTargetLinkSelection()
{
    const TqvNavBarPaintDragState drag = bar_.DragState();
    if (!drag.dragging || (!drag.link && !drag.item) || !drag.allowDropLink || IsStale())
        return;
    const TqvNavBarDropInfo info = viewInfo_->GetDropInfo(bar_.HotPoint());
    if (!info.group || (!info.before && !info.after))
        return;
    // A link dropped beside itself goes nowhere: no mark.
    if (drag.link && ((info.before && info.before->Link() == drag.link) || (info.after && info.after->Link() == drag.link)))
        return;
    drawInsertionMark(*info.group, info.before, info.after);
}

void TqvNavBarPainter::drawInsertionMark(const TqvNavBarGroupViewInfo &group, const TqvNavBarLinkViewInfo *before,
                                         const TqvNavBarLinkViewInfo *after)
{
    // The mark: a line inset by Constant8 at each end, with ticks reaching half of Constant11 toward
    // the links either side and wedges Constant12 / 2 long where line and ticks meet.
    const TqvNavBarViewConstants c = viewInfo_->Constants();
    const TRect &client = group.ItemsRect();
    const int inset = c.Constant8;
    const int reach = c.Constant11 / 2;
    const int wedge = c.Constant12 / 2;
    const int towardBefore = before ? reach : 0;
    const int towardAfter = after ? reach : 0;
    TPoint a, b, cc, d, e, f;
    if (group.IsIconView()) {
        const TqvNavBarLinkViewInfo &l = before ? *before : *after;
        const int x = before ? before->Rect().right : after->Rect().left;
        const int y1 = l.Rect().top + inset;
        const int y2 = l.Rect().bottom - inset - 1;
        if (y2 <= y1)
            return;
        a = {x, y1 + wedge};
        f = {x - towardBefore, y1};
        e = {x + towardAfter, y1};
        d = {x, y2 - wedge};
        cc = {x - towardBefore, y2};
        b = {x + towardAfter, y2};
    } else {
        const int y = before ? before->Rect().bottom : after->Rect().top;
        const int x1 = client.left + inset;
        const int x2 = client.right - inset - 1;
        if (x2 <= x1)
            return;
        a = {x1 + wedge, y};
        f = {x1, y - towardBefore};
        e = {x1, y + towardAfter};
        d = {x2 - wedge, y};
        cc = {x2, y - towardBefore};
        b = {x2, y + towardAfter};
    }
    // Both ends (and the ticks) inside the group's client rectangle.
    for (const TPoint &p : {f, e, cc, b})
        if (!client.contains(p))
            return;
    GetDropTargetLinkPainterClass()->DrawTargetLink(*canvas_, a, viewInfo_->DropTargetLinkBackColor(), b, cc, d, e, f);
}

void TqvNavBarPainter::DrawGroupHint(TqvCanvas &canvas, const TRect &r, TqvNavBarGroup *, const QString &text)
{
    const TqvNavBarStyleValues v = viewInfo_->HintValues();
    TqvNavBarHintPainter::DrawHint(canvas, r, v.Font(), v.GradientMode(), v.AlphaBlending(), v.AlphaBlending2(),
                                   v.BackColor(), v.BackColor2(), &v.Image(), text);
}

void TqvNavBarPainter::DrawLinkHint(TqvCanvas &canvas, const TRect &r, TqvNavBarItemLink *, const QString &text)
{
    const TqvNavBarStyleValues v = viewInfo_->HintValues();
    TqvNavBarHintPainter::DrawHint(canvas, r, v.Font(), v.GradientMode(), v.AlphaBlending(), v.AlphaBlending2(),
                                   v.BackColor(), v.BackColor2(), &v.Image(), text);
}

// ---- default styles --------------------------------------------------------------------------

void TqvNavBarPainter::resetStyle(TqvNavBarDefaultStyle &style, TColor color, uint8_t alpha)
{
    style.Image().clear();
    style.SetBackColor(color);
    style.SetBackColor2(color);
    style.SetAlphaBlending(alpha);
    style.SetAlphaBlending2(alpha);
}

void TqvNavBarPainter::setStyleFont(TqvNavBarDefaultStyle &style, TColor color, bool bold, bool underline)
{
    TqvStyleFont &f = style.Font();
    f.setColor(color);
    f.setSize(8);
    f.setBold(bold);
    f.setItalic(false);
    f.setUnderline(underline);
    f.setStrikeOut(false);
    f.setName(QStringLiteral("MS Sans Serif"));
}

TqvNavBarDefaultStyle *TqvNavBarPainter::defaultStyle(int index) const
{
    return bar_.DefaultStyles().Style(index);
}

void TqvNavBarPainter::AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &style)
{
    resetStyle(style, clAppWorkSpace);
}

void TqvNavBarPainter::AssignDefaultButtonStyle(TqvNavBarDefaultStyle &style)
{
    resetStyle(style, clBtnFace);
}

void TqvNavBarPainter::AssignDefaultButtonPressedStyle(TqvNavBarDefaultStyle &style)
{
    if (TqvNavBarDefaultStyle *s = defaultStyle(TqvNavBarDefaultStyles::Button); s && s != &style)
        style.Assign(*s);
}

void TqvNavBarPainter::AssignDefaultButtonHotTrackedStyle(TqvNavBarDefaultStyle &style)
{
    if (TqvNavBarDefaultStyle *s = defaultStyle(TqvNavBarDefaultStyles::Button); s && s != &style)
        style.Assign(*s);
}

void TqvNavBarPainter::AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &style)
{
    resetStyle(style, clAppWorkSpace);
}

void TqvNavBarPainter::AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &style)
{
    resetStyle(style, clBtnFace);
    setStyleFont(style, clBtnText);
    style.SetHAlignment(haCenter);
    style.SetVAlignment(vaCenter);
}

void TqvNavBarPainter::AssignDefaultGroupHeaderActiveStyle(TqvNavBarDefaultStyle &style)
{
    if (TqvNavBarDefaultStyle *s = defaultStyle(TqvNavBarDefaultStyles::GroupHeader); s && s != &style)
        style.Assign(*s);
}

void TqvNavBarPainter::AssignDefaultGroupHeaderHotTrackedStyle(TqvNavBarDefaultStyle &style)
{
    if (TqvNavBarDefaultStyle *s = defaultStyle(TqvNavBarDefaultStyles::GroupHeader); s && s != &style)
        style.Assign(*s);
}

void TqvNavBarPainter::AssignDefaultGroupHeaderPressedStyle(TqvNavBarDefaultStyle &style)
{
    if (TqvNavBarDefaultStyle *s = defaultStyle(TqvNavBarDefaultStyles::GroupHeader); s && s != &style)
        style.Assign(*s);
}

void TqvNavBarPainter::AssignDefaultHintStyle(TqvNavBarDefaultStyle &style)
{
    resetStyle(style, clInfoBk);
    setStyleFont(style, clInfoText);
    style.SetHAlignment(haCenter);
    style.SetVAlignment(vaCenter);
}

void TqvNavBarPainter::AssignDefaultItemStyle(TqvNavBarDefaultStyle &style)
{
    style.Image().clear();
    setStyleFont(style, clBtnHighlight);
    style.SetHAlignment(haCenter);
    style.SetVAlignment(vaCenter);
}

void TqvNavBarPainter::AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &style)
{
    if (TqvNavBarDefaultStyle *s = defaultStyle(TqvNavBarDefaultStyles::Item); s && s != &style)
        style.Assign(*s);
    style.Font().setColor(clBtnText);
}

void TqvNavBarPainter::AssignDefaultItemHotTrackedStyle(TqvNavBarDefaultStyle &style)
{
    if (TqvNavBarDefaultStyle *s = defaultStyle(TqvNavBarDefaultStyles::Item); s && s != &style)
        style.Assign(*s);
}

void TqvNavBarPainter::AssignDefaultItemPressedStyle(TqvNavBarDefaultStyle &style)
{
    if (TqvNavBarDefaultStyle *s = defaultStyle(TqvNavBarDefaultStyles::Item); s && s != &style)
        style.Assign(*s);
}

void TqvNavBarPainter::AssignDefaultDropTargetGroupStyle(TqvNavBarDefaultStyle &style)
{
    resetStyle(style, clHighlight, 60);
}

void TqvNavBarPainter::AssignDefaultDropTargetLinkStyle(TqvNavBarDefaultStyle &style)
{
    style.Image().clear();
    style.SetBackColor(clBlack);
}

void TqvNavBarPainter::AssignDefaultStyle(int index, TqvNavBarDefaultStyle &style)
{
    using S = TqvNavBarDefaultStyles;
    switch (index) {
    case S::Background: AssignDefaultBackgroundStyle(style); break;
    case S::Button: AssignDefaultButtonStyle(style); break;
    case S::ButtonPressed: AssignDefaultButtonPressedStyle(style); break;
    case S::ButtonHotTracked: AssignDefaultButtonHotTrackedStyle(style); break;
    case S::GroupBackground: AssignDefaultGroupBackgroundStyle(style); break;
    case S::GroupHeader: AssignDefaultGroupHeaderStyle(style); break;
    case S::GroupHeaderActive: AssignDefaultGroupHeaderActiveStyle(style); break;
    case S::GroupHeaderHotTracked: AssignDefaultGroupHeaderHotTrackedStyle(style); break;
    case S::GroupHeaderPressed: AssignDefaultGroupHeaderPressedStyle(style); break;
    case S::Hint: AssignDefaultHintStyle(style); break;
    case S::Item: AssignDefaultItemStyle(style); break;
    case S::ItemDisabled: AssignDefaultItemDisabledStyle(style); break;
    case S::ItemHotTracked: AssignDefaultItemHotTrackedStyle(style); break;
    case S::ItemPressed: AssignDefaultItemPressedStyle(style); break;
    case S::DropTargetGroup: AssignDefaultDropTargetGroupStyle(style); break;
    case S::DropTargetLink: AssignDefaultDropTargetLinkStyle(style); break;
    default: break;
    }
}

// ---- state -----------------------------------------------------------------------------------

void TqvNavBarPainter::ResetState()
{
    if (TqvNavBarScrollBarControl *sb = bar_.ScrollBar())
        sb->SetVisible(false);
    const TqvNavBarGroups &groups = bar_.Groups();
    for (int i = 0; i < groups.Count(); ++i)
        if (TqvNavBarGroup *g = groups.Items(i))
            g->SetSelectedLinkIndex(-1);
}

void TqvNavBarPainter::ActivateGroup(TqvNavBarGroup *group)
{
    if (group && group != bar_.ActiveGroup())
        bar_.SetActiveGroup(group);
}

void TqvNavBarPainter::DeactivateGroup(TqvNavBarGroup *) {}

bool TqvNavBarPainter::IsGroupActive(TqvNavBarGroup *group) const
{
    return group && group == bar_.ActiveGroup();
}

// ---- invalidation and painting ---------------------------------------------------------------

void TqvNavBarPainter::InvalidateViewInfo(TqvNavBarChangeType kind)
{
    if (kind == ctRebuild)
        rebuild_ = relayout_ = true;
    else if (kind == ctRelayout)
        relayout_ = true;
    redraw_ = true;
    if (viewInfo_)
        viewInfo_->Invalidate(kind);
}

void TqvNavBarPainter::UpdateBackBuffer()
{
    QImage &buffer = bar_.BackBuffer();
    const qreal dpr = bar_.DevicePixelRatio() > 0 ? bar_.DevicePixelRatio() : 1.0;
    const int cw = std::max(bar_.ClientWidth(), 0);
    const int ch = std::max(bar_.ClientHeight(), 0);
    // The buffer only grows (a bar that narrows keeps its pixels); a new one is drawn whole.
    const int bw = buffer.isNull() ? 0 : qRound(buffer.width() / buffer.devicePixelRatio());
    const int bh = buffer.isNull() ? 0 : qRound(buffer.height() / buffer.devicePixelRatio());
    if (bw < cw || bh < ch || buffer.devicePixelRatio() != dpr) {
        const int w = std::max(bw, cw), h = std::max(bh, ch);
        if (w > 0 && h > 0) {
            buffer = QImage(qCeil(w * dpr), qCeil(h * dpr), QImage::Format_ARGB32_Premultiplied);
            buffer.setDevicePixelRatio(dpr);
            buffer.fill(Qt::transparent); // what a custom-drawn bar leaves undrawn is known
        } else {
            buffer = QImage();
        }
        redraw_ = true;
    }

    // Each flag is cleared as its step starts: a change reported during the step marks it again.
    // A drawing cut short because a handler changed the bar's structure (see IsStale) is made
    // again at once, from a new layout, so the screen never gets the unfinished picture; a few
    // tries at most, then the marks stay for the next paint.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (rebuild_ || relayout_) {
            rebuild_ = relayout_ = false;
            viewInfo_->EnsureLayout();
        }
        if (!redraw_ || buffer.isNull())
            return;
        redraw_ = false;
        viewInfo_->EnsureLayout();
        {
            TqvNavBarViewInfo::PaintScope scope(*viewInfo_);
            QPainter p(&buffer);
            TqvCanvas canvas(p, bar_.PaintPalette());
            canvas_ = &canvas;
            struct Reset {
                TqvCanvas *&c;
                ~Reset() { c = nullptr; }
            } reset{canvas_};
            DrawNavBar();
        }
        if (!IsStale())
            return;
    }
}

void TqvNavBarPainter::Paint(QPainter &target, const QRect &updateRect)
{
    UpdateBackBuffer();
    const QImage &buffer = bar_.BackBuffer();
    if (buffer.isNull())
        return;
    const QRect client(0, 0, bar_.ClientWidth(), bar_.ClientHeight());
    const QRect r = updateRect.intersected(client);
    if (r.isEmpty())
        return;
    const qreal dpr = buffer.devicePixelRatio();
    const QRectF source(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr);
    const QPainter::CompositionMode mode = target.compositionMode();
    target.setCompositionMode(QPainter::CompositionMode_Source);
    target.drawImage(QRectF(r), buffer, source);
    target.setCompositionMode(mode);
}

void TqvNavBarPainter::InvalidateScrollButtons()
{
    const TRect top = viewInfo_->TopScrollButtonRect();
    if (!top.isEmpty())
        bar_.InvalidateRect(top, true);
    const TRect bottom = viewInfo_->BottomScrollButtonRect();
    if (!bottom.isEmpty())
        bar_.InvalidateRect(bottom, true);
}

} // namespace controls
