#include "controls/navbar/nav_bar_views.h"

namespace controls {

namespace {

// The default-style changes shared by several views.
void header(TqvNavBarDefaultStyle &s, TColor back, TColor font, bool bold, TqvBarStyleHAlignment h)
{
    TqvNavBarPainter::resetStyle(s, back);
    TqvNavBarPainter::setStyleFont(s, font, bold);
    s.SetHAlignment(h);
    s.SetVAlignment(vaCenter);
}

void item(TqvNavBarDefaultStyle &s, TColor font)
{
    s.Image().clear();
    TqvNavBarPainter::setStyleFont(s, font);
    s.SetHAlignment(haCenter);
    s.SetVAlignment(vaCenter);
}

// The style at index assigned from the bar's default style `from`, then given a font colour.
void fromItem(TqvNavBarPainterHost &bar, TqvNavBarDefaultStyle &s, TColor font)
{
    if (TqvNavBarDefaultStyle *src = bar.DefaultStyles().Style(TqvNavBarDefaultStyles::Item); src && src != &s)
        s.Assign(*src);
    s.Font().setColor(font);
}

bool themed(TqvThemeClass cls)
{
    return AreVisualStylesAvailable(themeClassBit(cls));
}

} // namespace

// ---- base views ------------------------------------------------------------------------------

void TqvNavBarBasePainter::DrawLinkSelection(TqvNavBarLinkViewInfo &link)
{
    const TqvNavBarItem *i = link.Item();
    if (!i || !i->Enabled())
        return;
    GetSelectionPainterClass()->DrawSelection(*canvas_, link.SelectionRect(), link.State(),
                                              link.GroupViewInfo().BgBackColor());
}

// ---- Office views and XP2 --------------------------------------------------------------------

void TqvNavBarOffice1Painter::AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &s) { TqvNavBarPainter::resetStyle(s, clBtnFace); }
void TqvNavBarOffice1Painter::AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &s) { TqvNavBarPainter::resetStyle(s, clBtnFace); }
void TqvNavBarOffice1Painter::AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &s)
{
    header(s, clBtnFace, clBtnText, false, haCenter);
}
void TqvNavBarOffice1Painter::AssignDefaultItemStyle(TqvNavBarDefaultStyle &s) { item(s, clBtnText); }
void TqvNavBarOffice1Painter::AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &s)
{
    fromItem(bar_, s, clBtnShadow);
}

void TqvNavBarXP2Painter::DrawGroupBackground(TqvNavBarGroupViewInfo &group)
{
    if (group.ItemsRect().isEmpty())
        return; // a closed group has no client area to draw
    if (themed(tcTab) && TqvNavBarXPPainter::DrawThemed(*canvas_, group.ItemsRect(), tcTab, 8, 1))
        return;
    TqvNavBarOffice1Painter::DrawGroupBackground(group);
}

// ---- VSToolBox -------------------------------------------------------------------------------

void TqvNavBarVSToolBoxPainter::AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &s) { TqvNavBarPainter::resetStyle(s, clBtnFace); }
void TqvNavBarVSToolBoxPainter::AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &s) { TqvNavBarPainter::resetStyle(s, clBtnFace); }
void TqvNavBarVSToolBoxPainter::AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &s)
{
    header(s, clBtnFace, clBtnText, false, haLeft);
}
void TqvNavBarVSToolBoxPainter::AssignDefaultItemStyle(TqvNavBarDefaultStyle &s) { item(s, clBtnText); }
void TqvNavBarVSToolBoxPainter::AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &s)
{
    fromItem(bar_, s, clBtnShadow);
}

void TqvNavBarVSToolBoxPainter::DrawLinkHint(TqvCanvas &canvas, const TRect &r, TqvNavBarItemLink *link,
                                             const QString &text)
{
    TqvNavBarLinkViewInfo *vi = link ? viewInfo_->LinkViewInfo(link) : nullptr;
    if (!vi || r.isEmpty()) {
        TqvNavBarFlatPainter::DrawLinkHint(canvas, r, link, text);
        return;
    }
    // The hint is the hot-tracked link itself, shown whole: everything keeps its place relative to
    // the link's selection rectangle, whose top-left corner is the hint's.
    TqvCanvas::ClipSaver clip(canvas);
    canvas.intersectClipRect(r);
    const TqvNavBarGroupViewInfo &g = vi->GroupViewInfo();
    GetBackgroundPainterClass()->DrawBackground(canvas, r, &g.BgImage(), g.BgGradientMode(), g.BgAlphaBlending(),
                                                g.BgAlphaBlending2(), g.BgBackColor(), g.BgBackColor2(), true);
    GetSelectionPainterClass()->DrawSelection(canvas, r, sHotTracked, g.BgBackColor());
    const TRect sel = vi->SelectionRect();
    const int dx = r.left - sel.left, dy = r.top - sel.top;
    const TqvImageList *list = vi->ImageList();
    const int index = vi->ImageIndex();
    if (list && index >= 0 && index < list->count() && !vi->ImageRect().isEmpty())
        GetImagePainterClass()->DrawImage(canvas, list, index, vi->ImageRect().offset(dx, dy),
                                          vi->Item() && vi->Item()->Enabled());
    canvas.setBrushStyle(TqvCanvas::BrushStyle::Clear);
    canvas.setFont(vi->Font().font(), vi->FontColor());
    TRect cr = vi->CaptionRect().offset(dx, dy);
    cr.right = std::max(cr.right, r.right);
    canvas.drawText(vi->Item() ? vi->Item()->Caption() : text, cr, vi->CaptionTextFlags());
}

// ---- XP1 -------------------------------------------------------------------------------------

void TqvNavBarXP1Painter::AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &s) { TqvNavBarPainter::resetStyle(s, clAppWorkSpace); }
void TqvNavBarXP1Painter::AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &s)
{
    TqvNavBarPainter::resetStyle(s, clInactiveCaption);
}
void TqvNavBarXP1Painter::AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &s)
{
    header(s, clActiveCaption, clCaptionText, false, haCenter);
}
void TqvNavBarXP1Painter::AssignDefaultItemStyle(TqvNavBarDefaultStyle &s) { item(s, clBtnText); }
void TqvNavBarXP1Painter::AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &s) { fromItem(bar_, s, clBtnShadow); }

void TqvNavBarXP1Painter::DrawGroupCaptionButton(TqvNavBarGroupViewInfo &group)
{
    const TColor back = group.CaptionBackColor();
    const TColor second = (group.CaptionState() & sHotTracked) ? LightColor(back, 80) : back;
    GetButtonPainterClass()->DrawButton(*canvas_, group.CaptionRect(), group.CaptionState(),
                                        group.CaptionGradientMode(), group.CaptionAlphaBlending(),
                                        group.CaptionAlphaBlending2(), LightColor(back, 40), second,
                                        &group.CaptionImage());
}

// ---- the explorer-bar family -----------------------------------------------------------------

void TqvNavBarExplorerBarPainter::AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &s) { TqvNavBarPainter::resetStyle(s, clWindow); }
void TqvNavBarExplorerBarPainter::AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &s)
{
    TqvNavBarPainter::resetStyle(s, clWindow);
}
void TqvNavBarExplorerBarPainter::AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &s)
{
    header(s, clBtnFace, clBtnText, true, haLeft);
}
void TqvNavBarExplorerBarPainter::AssignDefaultItemStyle(TqvNavBarDefaultStyle &s) { item(s, clWindowText); }
void TqvNavBarExplorerBarPainter::AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &s)
{
    fromItem(bar_, s, clGrayText);
}
void TqvNavBarExplorerBarPainter::AssignDefaultItemHotTrackedStyle(TqvNavBarDefaultStyle &s)
{
    if (TqvNavBarDefaultStyle *src = bar_.DefaultStyles().Style(TqvNavBarDefaultStyles::Item); src && src != &s)
        s.Assign(*src);
    s.Font().setUnderline(true);
}

void TqvNavBarExplorerBarPainter::DrawGroupBorder(TqvNavBarGroupViewInfo &group)
{
    const TqvNavBarGroup *g = group.Group();
    const TRect &r = group.ItemsRect();
    if (!g || !g->Expanded() || r.height() < 1 || r.width() < 1)
        return;
    const TColor c = group.CaptionBackColor();
    canvas_->fillRect(TRect(r.left, r.top, r.left + 1, r.bottom), c);
    canvas_->fillRect(TRect(r.left, r.bottom - 1, r.right, r.bottom), c);
    canvas_->fillRect(TRect(r.right - 1, r.top, r.right, r.bottom), c);
}

void TqvNavBarExplorerBarPainter::ActivateGroup(TqvNavBarGroup *group)
{
    if (group)
        group->SetExpanded(true);
}

void TqvNavBarExplorerBarPainter::DeactivateGroup(TqvNavBarGroup *group)
{
    if (group)
        group->SetExpanded(false);
}

bool TqvNavBarExplorerBarPainter::IsGroupActive(TqvNavBarGroup *group) const
{
    return group && group->Expanded();
}

void TqvNavBarUltraFlatExplorerBarPainter::DrawLinkSelection(TqvNavBarLinkViewInfo &link)
{
    const TqvNavBarItem *i = link.Item();
    if (!i || !i->Enabled())
        return;
    GetSelectionPainterClass()->DrawSelection(*canvas_, link.SelectionRect(), link.State(), clNone);
}

void TqvNavBarAdvExplorerBarPainter::AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &s)
{
    TqvNavBarPainter::resetStyle(s, clHighlight);
}
void TqvNavBarAdvExplorerBarPainter::AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &s)
{
    TqvNavBarPainter::resetStyle(s, clNone);
}
void TqvNavBarAdvExplorerBarPainter::AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &s)
{
    header(s, clNone, clNone, true, haLeft);
}
void TqvNavBarAdvExplorerBarPainter::AssignDefaultItemStyle(TqvNavBarDefaultStyle &s) { item(s, clNone); }
void TqvNavBarAdvExplorerBarPainter::AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &s)
{
    if (TqvNavBarDefaultStyle *src = bar_.DefaultStyles().Style(TqvNavBarDefaultStyles::Item); src && src != &s)
        s.Assign(*src);
}

void TqvNavBarXPExplorerBarPainter::DrawBackground()
{
    const TRect client(0, 0, bar_.ClientWidth(), bar_.ClientHeight());
    if (themed(tcExplorerBar) && TqvNavBarXPPainter::DrawThemed(*canvas_, client, tcExplorerBar, 1, 1))
        return;
    TqvNavBarExplorerBarPainter::DrawBackground();
}

void TqvNavBarXPExplorerBarPainter::DrawGroupBackground(TqvNavBarGroupViewInfo &group)
{
    if (group.ItemsRect().isEmpty())
        return;
    if (themed(tcExplorerBar) && TqvNavBarXPPainter::DrawThemed(*canvas_, group.ItemsRect(), tcExplorerBar, 5, 1))
        return;
    TqvNavBarExplorerBarPainter::DrawGroupBackground(group);
}

void TqvNavBarXPExplorerBarPainter::DrawGroupBorder(TqvNavBarGroupViewInfo &group)
{
    if (!themed(tcExplorerBar))
        TqvNavBarExplorerBarPainter::DrawGroupBorder(group);
}

// ---- the registry ----------------------------------------------------------------------------

void TqvNavBarViewsFactory::RegisterView(int id, const QString &name, TqvNavBarPainterFactory painterClass)
{
    if (IndexOfID(id) >= 0)
        throw EqvNavBarViewError(QStringLiteral("ID of view = %1 is already exists.").arg(id).toStdString());
    entries_.push_back({id, name, std::move(painterClass)});
}

int TqvNavBarViewsFactory::IndexOfID(int id) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].ID == id)
            return int(i);
    return -1;
}

const TqvNavBarPainterFactory &TqvNavBarViewsFactory::PainterClassByID(int id) const
{
    const int i = IndexOfID(id);
    if (i < 0)
        throw EqvNavBarViewError(QStringLiteral("Cannot find view with ID = %1.").arg(id).toStdString());
    return entries_[size_t(i)].PainterClass;
}

void RegisterNavBarViews(TqvNavBarViewsFactory &f)
{
    f.RegisterView(vkExplorerBar, QStringLiteral("ExplorerBarView"),
                   &TqvNavBarPainter::Create<TqvNavBarExplorerBarPainter>);
    f.RegisterView(vkUltraFlatExplorer, QStringLiteral("UltraFlatExplorerView"),
                   &TqvNavBarPainter::Create<TqvNavBarUltraFlatExplorerBarPainter>);
    f.RegisterView(vkAdvExplorerBar, QStringLiteral("AdvExplorerBarView"),
                   &TqvNavBarPainter::Create<TqvNavBarAdvExplorerBarPainter>);
    f.RegisterView(vkBase, QStringLiteral("BaseView"), &TqvNavBarPainter::Create<TqvNavBarBasePainter>);
    f.RegisterView(vkFlat, QStringLiteral("FlatView"), &TqvNavBarPainter::Create<TqvNavBarFlatPainter>);
    f.RegisterView(vkVSToolBox, QStringLiteral("VSToolBoxView"), &TqvNavBarPainter::Create<TqvNavBarVSToolBoxPainter>);
    f.RegisterView(vkOffice1, QStringLiteral("Office1View"), &TqvNavBarPainter::Create<TqvNavBarOffice1Painter>);
    f.RegisterView(vkOffice2, QStringLiteral("Office2View"), &TqvNavBarPainter::Create<TqvNavBarOffice2Painter>);
    f.RegisterView(vkOffice3, QStringLiteral("Office3View"), &TqvNavBarPainter::Create<TqvNavBarOffice3Painter>);
    f.RegisterView(vkXP1, QStringLiteral("XP1View"), &TqvNavBarPainter::Create<TqvNavBarXP1Painter>);
    f.RegisterView(vkXP2, QStringLiteral("XP2View"), &TqvNavBarPainter::Create<TqvNavBarXP2Painter>);
    f.RegisterView(vkXPExplorerBar, QStringLiteral("XPExplorerBarView"),
                   &TqvNavBarPainter::Create<TqvNavBarXPExplorerBarPainter>);
}

TqvNavBarViewsFactory &ViewsFactory()
{
    static TqvNavBarViewsFactory factory;
    static const bool registered = (RegisterNavBarViews(factory), true);
    (void)registered;
    return factory;
}

int NavBarViewForValue(int value, const TqvNavBarViewsFactory &factory)
{
    if (factory.Count() == 0)
        return 0;
    const int v = std::clamp(value, 0, factory.Count() - 1);
    return factory.IndexOfID(v) >= 0 ? v : 0;
}

std::unique_ptr<TqvNavBarPainter> MakeNavBarPainter(int view, TqvNavBarPainterHost &bar,
                                                    const TqvNavBarViewsFactory &factory)
{
    try {
        const int i = factory.IndexOfID(view);
        if (i >= 0 && factory.Entry(i).PainterClass)
            if (std::unique_ptr<TqvNavBarPainter> p = factory.Entry(i).PainterClass(bar))
                return p;
    } catch (...) {
        // Falls back to view 0 below: a paint or a setter never sees the failure.
    }
    return TqvNavBarPainter::Create<TqvNavBarBasePainter>(bar);
}

} // namespace controls
