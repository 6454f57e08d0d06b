#include "controls/navbar/nav_bar_view_info.h"

#include "controls/paint/color.h"
#include "controls/paint/theme.h"

#include <algorithm>
#include <cstdint>

namespace controls {

namespace {

// The part of a hint text before its first "|".
QString cutHint(const QString &text)
{
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    return bar < 0 ? text : text.left(bar);
}

QRect placeable(const TRect &r)
{
    return QRect(r.left, r.top, std::max(r.width(), 0), std::max(r.height(), 0));
}

bool explorerThemeOpens()
{
    return OpenTheme(tcExplorerBar) != 0;
}

} // namespace

TqvNavBarViewConstants NavBarViewConstants(TqvNavBarViewKind kind)
{
    TqvNavBarViewConstants c;
    switch (kind) {
    case vkOffice3:
        c.LargeLinkVerticalSpace = 16;
        [[fallthrough]];
    case vkOffice1:
    case vkOffice2:
    case vkXP2:
        c.CaptionExtraHeight = 8;
        c.DefaultGroupSpacing = 1;
        break;
    case vkVSToolBox:
        c.CaptionExtraHeight = 4;
        c.DefaultGroupSpacing = 1;
        c.LinksMargin = 2;
        c.HasCaptionScrollButtons = true;
        c.AllowLargeLinkImages = false;
        c.HintPause = 0;
        break;
    case vkExplorerBar:
    case vkUltraFlatExplorer:
    case vkAdvExplorerBar:
    case vkXPExplorerBar:
        c.GroupClientBorder = 1;
        c.CaptionExtraHeight = 8;
        c.DefaultGroupSpacing = 4;
        c.GroupLeft = 10;
        c.HasCaptionImage = true;
        c.HasExpandSign = true;
        c.AllowIconView = false;
        c.GroupOpenWhenExpanded = true;
        if (kind == vkAdvExplorerBar || (kind == vkXPExplorerBar && explorerThemeOpens())) {
            c.CaptionExtraHeight = 12;
            c.SignSize = 22;
        }
        break;
    default: // BaseView, FlatView, XP1View
        break;
    }
    return c;
}

// ---- TqvNavBarLinkViewInfo -------------------------------------------------------------------

TqvNavBarLinkViewInfo::TqvNavBarLinkViewInfo(TqvNavBarGroupViewInfo &group, TqvNavBarItemLink *link)
    : group_(group), link_(link), item_(link ? link->Item() : nullptr)
{
}

TqvNavBarViewInfo &TqvNavBarLinkViewInfo::ViewInfo() const
{
    return group_.ViewInfo();
}

int TqvNavBarLinkViewInfo::CaptionHeight() const
{
    return ViewInfo().Bar().Measurer().TextHeight(Font()) + 4;
}

uint32_t TqvNavBarLinkViewInfo::CaptionTextFlags() const
{
    return group_.LinksUseSmallImages() ? (DT_SINGLELINE | DT_VCENTER) : (DT_CENTER | DT_WORDBREAK);
}

int TqvNavBarLinkViewInfo::ImageHeight() const
{
    return group_.LinksUseSmallImages() ? ViewInfo().SmallImageHeight() : ViewInfo().LargeImageHeight();
}

int TqvNavBarLinkViewInfo::ImageWidth() const
{
    return group_.LinksUseSmallImages() ? ViewInfo().SmallImageWidth() : ViewInfo().LargeImageWidth();
}

int TqvNavBarLinkViewInfo::ImageIndex() const
{
    const TqvNavBarItem *item = Item();
    if (!item)
        return -1;
    return group_.LinksUseSmallImages() ? item->SmallImageIndex() : item->LargeImageIndex();
}

TqvImageList *TqvNavBarLinkViewInfo::ImageList() const
{
    return group_.LinksUseSmallImages() ? ViewInfo().Bar().SmallImages() : ViewInfo().Bar().LargeImages();
}

void TqvNavBarLinkViewInfo::CalculateBounds(int x, int y)
{
    const TqvNavBarViewConstants c = ViewInfo().Constants();
    const int w = ViewInfo().Bar().ClientWidth();
    const int iw = ImageWidth();
    const int ih = ImageHeight();
    const QString caption = Item() ? Item()->Caption() : QString();
    TextMeasurer &measurer = ViewInfo().Bar().Measurer();

    if (group_.IsIconView()) {
        imageRect_ = TRect::fromSize(x + c.LinkImageLeftSpace, y + c.LinkImageTopSpace, iw, ih);
        rect_ = TRect(x, y, imageRect_.right + c.LinkImageTopSpace, imageRect_.bottom + c.LinkImageLeftSpace);
        captionRect_ = TRect(imageRect_.right, imageRect_.top, imageRect_.right, imageRect_.top);
    } else if (group_.LinksUseSmallImages()) {
        imageRect_ = TRect::fromSize(x + c.LinkImageLeftSpace, y + c.SmallLinkVerticalSpace / 2, iw, ih);
        const int ch = CaptionHeight();
        const int top = (imageRect_.top + imageRect_.bottom) / 2 - ch / 2;
        captionRect_ = TRect(imageRect_.right + c.LinkImageLeftSpace, top, w - 1 - x, top + ch);
        TRect extent = captionRect_;
        measurer.Measure(Font(), caption, extent, CaptionTextFlags());
        captionRect_.right = std::min(extent.right, w - 1 - x);
        rect_ = TRect(x, y, w - 1 - x, std::max(imageRect_.bottom, captionRect_.bottom) + c.SmallLinkVerticalSpace / 2);
    } else {
        imageRect_ = TRect::fromSize(w / 2 - iw / 2, y + c.LargeLinkVerticalSpace / 2, iw, ih);
        const int top = imageRect_.bottom + c.LinkImageTopSpace;
        captionRect_ = TRect(x, top, w - 1 - x, top + CaptionHeight());
        TRect extent = captionRect_;
        measurer.Measure(Font(), caption, extent, CaptionTextFlags());
        captionRect_.right = extent.right;
        captionRect_ = captionRect_.offset(((w - 2 * x) - extent.width()) / 2, 0);
        captionRect_.bottom = top + extent.height();
        rect_ = TRect(x, y, w - 1 - x, captionRect_.bottom + c.LargeLinkVerticalSpace / 2);
    }
}

void TqvNavBarLinkViewInfo::Offset(int dx, int dy)
{
    rect_ = rect_.offset(dx, dy);
    imageRect_ = imageRect_.offset(dx, dy);
    captionRect_ = captionRect_.offset(dx, dy);
}

TqvNavBarObjectStates TqvNavBarLinkViewInfo::State() const
{
    return ViewInfo().LinkState(link_);
}

namespace {

TqvNavBarStyleItem *linkStyleItem(const TqvNavBarItem *item, TqvNavBarObjectStates s)
{
    if (!item)
        return nullptr;
    if (s & sDisabled)
        return item->StyleDisabled();
    if (s & sPressed)
        return item->StylePressed();
    if (s & sHotTracked)
        return item->StyleHotTracked();
    return item->Style();
}

int linkDefaultStyle(TqvNavBarObjectStates s)
{
    return (s & sDisabled)     ? TqvNavBarDefaultStyles::ItemDisabled
           : (s & sPressed)    ? TqvNavBarDefaultStyles::ItemPressed
           : (s & sHotTracked) ? TqvNavBarDefaultStyles::ItemHotTracked
                               : TqvNavBarDefaultStyles::Item;
}

TqvNavBarStyleItem *captionStyleItem(const TqvNavBarGroup *g, TqvNavBarObjectStates s)
{
    if (!g)
        return nullptr;
    if (s & sPressed)
        return g->StyleHeaderPressed();
    if (s & sHotTracked)
        return g->StyleHeaderHotTracked();
    if (s & sActive)
        return g->StyleHeaderActive();
    return g->StyleHeader();
}

int captionDefaultStyle(TqvNavBarObjectStates s)
{
    return (s & sPressed)      ? TqvNavBarDefaultStyles::GroupHeaderPressed
           : (s & sHotTracked) ? TqvNavBarDefaultStyles::GroupHeaderHotTracked
           : (s & sActive)     ? TqvNavBarDefaultStyles::GroupHeaderActive
                               : TqvNavBarDefaultStyles::GroupHeader;
}

// Underline, strike-out and colour leave a caption's extent alone.
bool measuresAlike(const TqvStyleFont &a, const TqvStyleFont &b)
{
    QFont fa = a.font(), fb = b.font();
    fa.setUnderline(false);
    fa.setStrikeOut(false);
    fb.setUnderline(false);
    fb.setStrikeOut(false);
    return fa == fb && a.size() == b.size() && a.height() == b.height() && a.charset() == b.charset() &&
           a.pitch() == b.pitch();
}

} // namespace

TqvNavBarStyleItem *TqvNavBarLinkViewInfo::StyleItem() const
{
    return linkStyleItem(Item(), State());
}

TqvNavBarDefaultStyle *TqvNavBarLinkViewInfo::DefaultStyle() const
{
    return ViewInfo().Bar().DefaultStyles().Style(linkDefaultStyle(State()));
}

TColor TqvNavBarLinkViewInfo::FontColor() const
{
    return Font().color();
}

TRect TqvNavBarLinkViewInfo::SelectionRect() const
{
    return imageRect_.inflated(2, 2);
}

TColor TqvNavBarAdvExplorerBarLinkViewInfo::FontColor() const
{
    return StateColor(TqvNavBarLinkViewInfo::FontColor(), State());
}

TColor TqvNavBarXPExplorerBarLinkViewInfo::FontColor() const
{
    const TColor c = TqvNavBarLinkViewInfo::FontColor();
    return explorerThemeOpens() ? StateColor(c, State()) : c;
}

// ---- TqvNavBarGroupViewInfo ------------------------------------------------------------------

TqvNavBarGroupViewInfo::TqvNavBarGroupViewInfo(TqvNavBarViewInfo &viewInfo, TqvNavBarGroup *group)
    : viewInfo_(viewInfo), group_(group)
{
}

TqvNavBarGroupViewInfo::~TqvNavBarGroupViewInfo() = default;

TqvNavBarLinkViewInfo *TqvNavBarGroupViewInfo::Links(int index) const
{
    return index >= 0 && index < LinkCount() ? links_[size_t(index)].get() : nullptr;
}

TqvNavBarLinkViewInfo *TqvNavBarGroupViewInfo::LinkViewInfo(const TqvNavBarItemLink *link) const
{
    for (const auto &l : links_)
        if (l->Link() == link)
            return l.get();
    return nullptr;
}

std::unique_ptr<TqvNavBarLinkViewInfo> TqvNavBarGroupViewInfo::CreateLinkViewInfo(TqvNavBarItemLink *link)
{
    switch (viewInfo_.Kind()) {
    case vkOffice3: return std::make_unique<TqvNavBarOffice3LinkViewInfo>(*this, link);
    case vkVSToolBox: return std::make_unique<TqvNavBarVSToolBoxLinkViewInfo>(*this, link);
    case vkAdvExplorerBar: return std::make_unique<TqvNavBarAdvExplorerBarLinkViewInfo>(*this, link);
    case vkXPExplorerBar: return std::make_unique<TqvNavBarXPExplorerBarLinkViewInfo>(*this, link);
    default: return std::make_unique<TqvNavBarLinkViewInfo>(*this, link);
    }
}

void TqvNavBarGroupViewInfo::CreateLinksInfo()
{
    links_.clear();
    TqvNavBarGroup *g = Group();
    if (!g || !IsOpen() || ShowsControl())
        return;
    for (int i = 0; i < g->LinkCount(); ++i) {
        TqvNavBarItemLink *link = g->Links(i);
        const TqvNavBarItem *item = link ? link->Item() : nullptr;
        if (item && item->Visible())
            links_.push_back(CreateLinkViewInfo(link));
    }
}

bool TqvNavBarGroupViewInfo::UsesSmallCaptionImages() const
{
    const TqvNavBarGroup *g = Group();
    return !viewInfo_.Constants().AllowLargeCaptionImages || !g || g->UseSmallImages();
}

bool TqvNavBarGroupViewInfo::LinksUseSmallImages() const
{
    const TqvNavBarGroup *g = Group();
    return !viewInfo_.Constants().AllowLargeLinkImages || !g || g->LinksUseSmallImages();
}

bool TqvNavBarGroupViewInfo::IsIconView() const
{
    const TqvNavBarGroup *g = Group();
    return g && viewInfo_.Constants().AllowIconView && g->ShowAsIconView();
}

bool TqvNavBarGroupViewInfo::IsOpen() const
{
    return viewInfo_.IsGroupOpen(Group());
}

bool TqvNavBarGroupViewInfo::ShowsControl() const
{
    const TqvNavBarGroup *g = Group();
    return g && g->ShowControl() && g->Control();
}

TqvNavBarObjectStates TqvNavBarGroupViewInfo::CaptionState() const
{
    return viewInfo_.GroupCaptionState(Group());
}

int TqvNavBarGroupViewInfo::CaptionHeight() const
{
    return viewInfo_.Constants().CaptionExtraHeight + viewInfo_.Bar().Measurer().TextHeight(CaptionFont());
}

uint32_t TqvNavBarGroupViewInfo::CaptionTextFlags() const
{
    uint32_t flags = DT_SINGLELINE | DT_END_ELLIPSIS;
    switch (CaptionHAlignment()) {
    case haCenter: flags |= DT_CENTER; break;
    case haRight: flags |= DT_RIGHT; break;
    default: break;
    }
    switch (CaptionVAlignment()) {
    case vaCenter: flags |= DT_VCENTER; break;
    case vaBottom: flags |= DT_BOTTOM; break;
    default: break;
    }
    return flags;
}

int TqvNavBarGroupViewInfo::CaptionImageHeight() const
{
    return UsesSmallCaptionImages() ? viewInfo_.SmallImageHeight() : viewInfo_.LargeImageHeight();
}

int TqvNavBarGroupViewInfo::CaptionImageWidth() const
{
    return UsesSmallCaptionImages() ? viewInfo_.SmallImageWidth() : viewInfo_.LargeImageWidth();
}

int TqvNavBarGroupViewInfo::CaptionImageIndex() const
{
    const TqvNavBarGroup *g = Group();
    if (!g)
        return -1;
    return UsesSmallCaptionImages() ? g->SmallImageIndex() : g->LargeImageIndex();
}

TqvImageList *TqvNavBarGroupViewInfo::CaptionImageList() const
{
    return UsesSmallCaptionImages() ? viewInfo_.Bar().SmallImages() : viewInfo_.Bar().LargeImages();
}

TqvNavBarStyleValues TqvNavBarGroupViewInfo::BackgroundValues() const
{
    const TqvNavBarGroup *g = Group();
    return {g ? g->StyleBackground() : nullptr,
            viewInfo_.Bar().DefaultStyles().Style(TqvNavBarDefaultStyles::GroupBackground)};
}

TqvNavBarStyleItem *TqvNavBarGroupViewInfo::CaptionStyleItem() const
{
    return captionStyleItem(Group(), CaptionState());
}

TqvNavBarDefaultStyle *TqvNavBarGroupViewInfo::CaptionDefaultStyle() const
{
    return viewInfo_.Bar().DefaultStyles().Style(captionDefaultStyle(CaptionState()));
}

void TqvNavBarGroupViewInfo::CalculateBounds(int x, int y)
{
    TqvNavBarViewInfoSource &bar = viewInfo_.Bar();
    const TqvNavBarViewConstants c = viewInfo_.Constants();
    const int w = bar.ClientWidth();
    TqvNavBarGroup *g = Group();

    captionRect_ = TRect(x, y, w - x, y);
    if (c.HasCaptionScrollButtons) {
        // Room for the scroll button beside the active caption and the one after it.
        const TqvNavBarGroupViewInfo *active = viewInfo_.groupViewInfo(bar.ActiveGroup());
        bool narrow = active == this;
        for (int i = 1; !narrow && active && i < viewInfo_.GroupCount(); ++i)
            narrow = viewInfo_.Groups(i) == this && viewInfo_.Groups(i - 1) == active;
        if (narrow)
            captionRect_.right -= CaptionHeight() + 2;
    }
    captionImageRect_ = TRect();
    captionSignRect_ = TRect();
    captionTextRect_ = captionRect_;
    if (bar.ShowGroupCaptions()) {
        const int ch = CaptionHeight();
        captionRect_.bottom = y + ch;
        captionTextRect_ = captionRect_.inflated(-2, -1);
        if (c.HasCaptionImage) {
            const int iw = CaptionImageWidth();
            const int ih = CaptionImageHeight();
            captionImageRect_ = TRect(captionRect_.left, captionRect_.bottom - ih, captionRect_.left + iw, captionRect_.bottom);
            if (ih > ch) {
                // A tall image pushes the caption down so that both end at the same bottom.
                const int d = ih - ch;
                captionRect_ = captionRect_.offset(0, d);
                captionTextRect_ = captionTextRect_.offset(0, d);
                captionImageRect_ = captionImageRect_.offset(0, d);
            } else {
                captionImageRect_.top = captionRect_.top + (ch - ih) / 2;
                captionImageRect_.bottom = captionImageRect_.top + ih;
            }
            captionTextRect_.left = captionImageRect_.right + 5;
        }
        if (c.HasExpandSign) {
            const int m = (captionRect_.height() - c.SignSize) / 2 + 1;
            captionSignRect_ = TRect(captionRect_.right - m - c.SignSize, captionRect_.top + m, captionRect_.right - m,
                                     captionRect_.top + m + c.SignSize);
            captionTextRect_.right = captionSignRect_.left - m;
        }
    }

    int bottom = captionRect_.bottom;
    if (g && IsOpen()) {
        if (ShowsControl()) {
            bottom += std::max(g->Control()->OriginalHeight(), 0) + 2 * c.GroupClientBorder;
        } else {
            const int top = captionRect_.bottom + c.LinksMargin;
            const bool icons = IsIconView();
            for (size_t i = 0; i < links_.size(); ++i) {
                TqvNavBarLinkViewInfo &l = *links_[i];
                if (i == 0) {
                    l.CalculateBounds(x, top);
                } else if (icons) {
                    const TRect &prev = links_[i - 1]->Rect();
                    l.CalculateBounds(prev.right, prev.top);
                    // Only from the second link on: a single wide link stays on the first row.
                    if (l.Rect().right > captionRect_.right)
                        l.CalculateBounds(x, l.Rect().bottom);
                } else {
                    l.CalculateBounds(x, links_[i - 1]->Rect().bottom);
                }
            }
            bottom = (links_.empty() ? top : links_.back()->Rect().bottom) + c.LinksMargin;
        }
    }
    if (g && g->Expanded() && bar.Events().OnCalcGroupClientHeight) {
        int height = bottom - captionRect_.bottom;
        bar.Events().OnCalcGroupClientHeight(this, height);
        // A negative answer would lift the group's bottom above its caption.
        bottom = captionRect_.bottom + std::max(height, 0);
    }
    rect_ = TRect(x, y, w - x, bottom);
    itemsRect_ = TRect(x, captionRect_.bottom, w - x, bottom);
}

void TqvNavBarGroupViewInfo::Offset(int dx, int dy)
{
    for (TRect *r : {&captionRect_, &captionImageRect_, &captionSignRect_, &captionTextRect_, &itemsRect_, &rect_})
        *r = r->offset(dx, dy);
    for (auto &l : links_)
        l->Offset(dx, dy);
}

void TqvNavBarGroupViewInfo::Grow(int dx, int dy)
{
    rect_.right += dx;
    rect_.bottom += dy;
    itemsRect_.right += dx;
    itemsRect_.bottom += dy;
}

void TqvNavBarGroupViewInfo::CalculateControl()
{
    TqvNavBarGroup *g = Group();
    TqvNavBarGroupControl *control = g ? g->Control() : nullptr;
    if (!control)
        return;
    if (IsOpen() && g->ShowControl()) {
        const int b = viewInfo_.Constants().GroupClientBorder;
        TRect r = itemsRect_.inflated(-b, -b);
        if (viewInfo_.Bar().ShowGroupCaptions())
            r.top = itemsRect_.top;
        control->PlaceControl(placeable(r));
        control->show();
    } else {
        control->hide();
    }
}

// ---- group subclasses ------------------------------------------------------------------------

TColor TqvNavBarXP1GroupViewInfo::BgBackColor() const
{
    const TqvNavBarStyleValues v = BackgroundValues();
    return v.IsAssigned(savBackColor) ? v.BackColor() : LightColor(v.DefaultStyle().BackColor(), 40);
}

TColor TqvNavBarXP1GroupViewInfo::BgBackColor2() const
{
    const TqvNavBarStyleValues v = BackgroundValues();
    return v.IsAssigned(savBackColor2) ? v.BackColor2() : v.DefaultStyle().BackColor();
}

uint8_t TqvNavBarXP1GroupViewInfo::BgAlphaBlending() const
{
    const TqvNavBarStyleValues v = BackgroundValues();
    return v.IsAssigned(savAlphaBlending) ? v.AlphaBlending() : 255;
}

uint8_t TqvNavBarXP1GroupViewInfo::BgAlphaBlending2() const
{
    const TqvNavBarStyleValues v = BackgroundValues();
    return v.IsAssigned(savAlphaBlending2) ? v.AlphaBlending2() : 255;
}

TqvBarStyleGradientMode TqvNavBarXP1GroupViewInfo::BgGradientMode() const
{
    const TqvNavBarStyleValues v = BackgroundValues();
    return v.IsAssigned(savGradientMode) ? v.GradientMode() : gmHorizontal;
}

TColor TqvNavBarXP1GroupViewInfo::CaptionBackColor() const
{
    const TqvNavBarStyleValues v = CaptionValues();
    return v.IsAssigned(savBackColor) ? v.BackColor() : v.DefaultStyle().BackColor();
}

TColor TqvNavBarXP1GroupViewInfo::CaptionBackColor2() const
{
    const TqvNavBarStyleValues v = CaptionValues();
    if (v.IsAssigned(savBackColor2))
        return v.BackColor2();
    const TColor c = v.DefaultStyle().BackColor();
    return (CaptionState() & sHotTracked) ? c : DarkColor(c, 60);
}

uint8_t TqvNavBarXP1GroupViewInfo::CaptionAlphaBlending() const
{
    const TqvNavBarStyleValues v = CaptionValues();
    return v.IsAssigned(savAlphaBlending) ? v.AlphaBlending() : 255;
}

uint8_t TqvNavBarXP1GroupViewInfo::CaptionAlphaBlending2() const
{
    const TqvNavBarStyleValues v = CaptionValues();
    return v.IsAssigned(savAlphaBlending2) ? v.AlphaBlending2() : 255;
}

TqvBarStyleGradientMode TqvNavBarXP1GroupViewInfo::CaptionGradientMode() const
{
    const TqvNavBarStyleValues v = CaptionValues();
    return v.IsAssigned(savGradientMode) ? v.GradientMode() : gmHorizontal;
}

TColor TqvNavBarAdvExplorerBarGroupViewInfo::BgBackColor() const
{
    const TColor c = TqvNavBarGroupViewInfo::BgBackColor();
    return c == clNone ? LightColor(clInactiveCaption, 40) : c;
}

TColor TqvNavBarAdvExplorerBarGroupViewInfo::BgBackColor2() const
{
    const TColor c = TqvNavBarGroupViewInfo::BgBackColor2();
    return c == clNone ? LightColor(clInactiveCaption, 40) : c;
}

TColor TqvNavBarAdvExplorerBarGroupViewInfo::CaptionBackColor() const
{
    const TColor c = TqvNavBarGroupViewInfo::CaptionBackColor();
    return c == clNone ? clWindow : c;
}

TColor TqvNavBarAdvExplorerBarGroupViewInfo::CaptionBackColor2() const
{
    const TColor c = TqvNavBarGroupViewInfo::CaptionBackColor2();
    return c == clNone ? LightColor(clHighlight, 40) : c;
}

TColor TqvNavBarAdvExplorerBarGroupViewInfo::CaptionFontColor() const
{
    return StateColor(TqvNavBarGroupViewInfo::CaptionFontColor(), CaptionState());
}

TColor TqvNavBarXPExplorerBarGroupViewInfo::CaptionFontColor() const
{
    const TColor c = TqvNavBarGroupViewInfo::CaptionFontColor();
    return explorerThemeOpens() ? StateColor(c, CaptionState()) : c;
}

// ---- TqvNavBarViewInfo -----------------------------------------------------------------------

TqvNavBarViewInfo::TqvNavBarViewInfo(TqvNavBarViewInfoSource &bar, TqvNavBarViewKind kind) : bar_(bar), kind_(kind) {}

TqvNavBarViewInfo::~TqvNavBarViewInfo() = default;

std::unique_ptr<TqvNavBarViewInfo> TqvNavBarViewInfo::Create(TqvNavBarViewKind kind, TqvNavBarViewInfoSource &bar)
{
    switch (kind) {
    case vkOffice1:
    case vkOffice2:
    case vkXP2: return std::make_unique<TqvNavBarOffice1ViewInfo>(bar, kind);
    case vkOffice3: return std::make_unique<TqvNavBarOffice3ViewInfo>(bar, kind);
    case vkVSToolBox: return std::make_unique<TqvNavBarVSToolBoxViewInfo>(bar, kind);
    case vkExplorerBar:
    case vkUltraFlatExplorer: return std::make_unique<TqvNavBarExplorerBarViewInfo>(bar, kind);
    case vkAdvExplorerBar: return std::make_unique<TqvNavBarAdvExplorerBarViewInfo>(bar, kind);
    case vkXPExplorerBar: return std::make_unique<TqvNavBarXPExplorerBarViewInfo>(bar, kind);
    case vkBase:
    case vkFlat:
    case vkXP1: return std::make_unique<TqvNavBarBaseViewInfo>(bar, kind);
    }
    return std::make_unique<TqvNavBarBaseViewInfo>(bar, vkBase);
}

std::unique_ptr<TqvNavBarGroupViewInfo> TqvNavBarViewInfo::CreateGroupViewInfo(TqvNavBarGroup *group)
{
    switch (kind_) {
    case vkXP1: return std::make_unique<TqvNavBarXP1GroupViewInfo>(*this, group);
    case vkAdvExplorerBar: return std::make_unique<TqvNavBarAdvExplorerBarGroupViewInfo>(*this, group);
    case vkXPExplorerBar: return std::make_unique<TqvNavBarXPExplorerBarGroupViewInfo>(*this, group);
    default: return std::make_unique<TqvNavBarGroupViewInfo>(*this, group);
    }
}

bool TqvNavBarViewInfo::IsGroupOpen(const TqvNavBarGroup *group) const
{
    if (!group)
        return false;
    return Constants().GroupOpenWhenExpanded ? group->Expanded() : group == bar_.ActiveGroup();
}

int TqvNavBarViewInfo::LargeImageWidth() const
{
    const TqvImageList *l = bar_.LargeImages();
    return l ? l->width() : 32;
}

int TqvNavBarViewInfo::LargeImageHeight() const
{
    const TqvImageList *l = bar_.LargeImages();
    return l ? l->height() : 32;
}

int TqvNavBarViewInfo::SmallImageWidth() const
{
    const TqvImageList *l = bar_.SmallImages();
    return l ? l->width() : 16;
}

int TqvNavBarViewInfo::SmallImageHeight() const
{
    const TqvImageList *l = bar_.SmallImages();
    return l ? l->height() : 16;
}

void TqvNavBarViewInfo::Invalidate(TqvNavBarChangeType kind)
{
    if (kind == ctRebuild) {
        rebuildPending_ = true;
        keptScrollBarHeight_ = -1;
    }
    if (kind <= ctRelayout)
        relayoutPending_ = true;
}

void TqvNavBarViewInfo::EnsureLayout()
{
    if (busy_ > 0 || (!rebuildPending_ && !relayoutPending_))
        return;
    ++busy_;
    // Flags go first: a change reported while the layout runs stays pending for the next query.
    if (rebuildPending_) {
        rebuildPending_ = false;
        CreateGroupsInfo();
    }
    relayoutPending_ = false;
    CalculateBounds();
    --busy_;
}

TqvNavBarGroupViewInfo *TqvNavBarViewInfo::Groups(int index) const
{
    return index >= 0 && index < GroupCount() ? groups_[size_t(index)].get() : nullptr;
}

void TqvNavBarViewInfo::ClearGroups()
{
    groups_.clear();
}

void TqvNavBarViewInfo::CreateGroupsInfo()
{
    ClearGroups();
    const TqvNavBarGroups &groups = bar_.Groups();
    if (bar_.ShowGroupCaptions() || isExplorerBarFamily(kind_)) {
        for (int i = 0; i < groups.Count(); ++i) {
            TqvNavBarGroup *g = groups.Items(i);
            if (g && g->Visible())
                groups_.push_back(CreateGroupViewInfo(g));
        }
    } else if (TqvNavBarGroup *active = bar_.ActiveGroup()) {
        groups_.push_back(CreateGroupViewInfo(active));
    }
    for (auto &g : groups_)
        g->CreateLinksInfo();
}

int TqvNavBarViewInfo::GroupSpacing() const
{
    const int space = bar_.SpaceBetweenGroups();
    return space > 0 ? space : Constants().DefaultGroupSpacing;
}

void TqvNavBarViewInfo::PlaceGroups()
{
    const int spacing = GroupSpacing();
    const int left = Constants().GroupLeft;
    int y = spacing;
    for (auto &g : groups_) {
        g->CalculateBounds(left, y);
        y = g->Rect().bottom + spacing;
    }
}

void TqvNavBarViewInfo::CalculateBounds()
{
    ++busy_;
    topScrollButtonRect_ = TRect();
    bottomScrollButtonRect_ = TRect();
    thirdRect_ = TRect();
    PlaceGroups();
    CalculateBoundsAfterGroups();
    --busy_;
}

void TqvNavBarViewInfo::CalculateBoundsAfterGroups()
{
    CalculateControls();
}

void TqvNavBarBaseViewInfo::CalculateBoundsAfterGroups()
{
    if (!groups_.empty() && groupViewInfo(bar_.ActiveGroup()))
        FitActiveGroup();
    CalculateControls();
}

void TqvNavBarExplorerBarViewInfo::CalculateBoundsAfterGroups()
{
    CalculateScrollBar();
    CalculateControls();
}

void TqvNavBarViewInfo::CalculateControls()
{
    // A group without a view information (hidden, or not shown while captions are off) must not
    // leave its control standing where it was last placed.
    const TqvNavBarGroups &groups = bar_.Groups();
    for (int i = 0; i < groups.Count(); ++i) {
        TqvNavBarGroup *g = groups.Items(i);
        if (g && g->Control() && !groupViewInfo(g))
            g->Control()->hide();
    }
    for (auto &g : groups_)
        g->CalculateControl();
}

void TqvNavBarViewInfo::FitActiveGroup()
{
    TqvNavBarGroupViewInfo *active = groupViewInfo(bar_.ActiveGroup());
    if (!active || groups_.empty())
        return;
    const TqvNavBarViewConstants c = Constants();
    int freeHeight = bar_.ClientHeight() - groups_.back()->Rect().bottom;
    const int minimum = 2 * c.ScrollButtonHeight + 3 * c.ScrollButtonVerticalOffset;
    if (active->ItemsRect().height() + freeHeight < minimum)
        freeHeight = minimum - active->ItemsRect().height();
    active->Grow(0, freeHeight);

    // Scroll the links so that the top visible one starts the item area. The shift is measured
    // by the links' own indexes: links of invisible items have no view information, and the top
    // index may lie past the last shown link.
    if (active->LinkCount() > 0 && active->Group()) {
        const int top = active->Group()->TopVisibleLinkIndex();
        const TqvNavBarLinkViewInfo *first = active->Links(0);
        const TqvNavBarLinkViewInfo *last = active->Links(active->LinkCount() - 1);
        int target = last->Rect().bottom;
        for (int i = 0; i < active->LinkCount(); ++i) {
            const TqvNavBarLinkViewInfo *l = active->Links(i);
            if (l->Link() && l->Link()->Index() >= top) {
                target = l->Rect().top;
                break;
            }
        }
        const int shift = target - first->Rect().top;
        if (shift != 0)
            for (int i = 0; i < active->LinkCount(); ++i)
                active->Links(i)->Offset(0, -shift);
    }

    bool after = false;
    for (auto &g : groups_) {
        if (after)
            g->Offset(0, freeHeight);
        if (g.get() == active)
            after = true;
    }
    CalculateScrollButtons();
}

void TqvNavBarViewInfo::CalculateScrollButtons()
{
    topScrollButtonRect_ = TRect();
    bottomScrollButtonRect_ = TRect();
    const TqvNavBarGroupViewInfo *active = groupViewInfo(bar_.ActiveGroup());
    if (!active || active->LinkCount() == 0 || !active->Group())
        return;
    const TqvNavBarViewConstants c = Constants();
    const TRect &items = active->ItemsRect();
    const int right = items.right - c.ScrollButtonHorizontalOffset;
    const int left = right - c.ScrollButtonWidth;
    if (active->Group()->TopVisibleLinkIndex() > 0) {
        const int top = items.top + c.ScrollButtonVerticalOffset;
        topScrollButtonRect_ = TRect(left, top, right, top + c.ScrollButtonHeight);
    }
    if (active->Links(active->LinkCount() - 1)->Rect().bottom > active->Rect().bottom) {
        const int bottom = items.bottom - c.ScrollButtonVerticalOffset;
        bottomScrollButtonRect_ = TRect(left, bottom - c.ScrollButtonHeight, right, bottom);
    }
}

void TqvNavBarVSToolBoxViewInfo::CalculateScrollButtons()
{
    topScrollButtonRect_ = TRect();
    bottomScrollButtonRect_ = TRect();
    const TqvNavBarGroupViewInfo *active = groupViewInfo(bar_.ActiveGroup());
    if (!active || active->LinkCount() == 0 || !active->Group())
        return;
    const TRect &caption = active->CaptionRect();
    const int side = caption.height();
    if (active->Group()->TopVisibleLinkIndex() > 0)
        topScrollButtonRect_ = TRect::fromSize(caption.right + 2, caption.top, side, side);
    if (active->Links(active->LinkCount() - 1)->Rect().bottom > active->Rect().bottom) {
        const TqvNavBarGroupViewInfo *next = nullptr;
        for (int i = 0; i + 1 < GroupCount(); ++i)
            if (Groups(i) == active)
                next = Groups(i + 1);
        if (next) {
            const TRect &nc = next->CaptionRect();
            bottomScrollButtonRect_ = TRect::fromSize(nc.right + 2, nc.top, side, side);
        } else {
            // The last group: where the next caption would be, below the item area.
            bottomScrollButtonRect_ =
                TRect::fromSize(caption.right + 2, caption.top + active->ItemsRect().height(), side, side);
        }
    }
}

void TqvNavBarViewInfo::CalculateScrollBar()
{
    TqvNavBarScrollBarControl *sb = bar_.ScrollBar();
    if (!sb)
        return;
    const bool wasShown = sb->Visible();
    const int h = std::max(bar_.ClientHeight(), 0);
    const int content = groups_.empty() ? 0 : groups_.back()->Rect().bottom + GroupSpacing();
    bool show = !groups_.empty() && content > h;
    if (show != wasShown) {
        // Showing the bar narrows the client area, which may wrap captions differently: the
        // layout runs again once, and a second flip keeps the bar shown instead of recursing.
        if (boundsPass_ > 0 && !show) {
            show = true;
            keptScrollBarHeight_ = h;
        } else if (!show && keptScrollBarHeight_ == h) {
            show = true; // kept shown earlier for this height and content
        }
    }
    if (show) {
        const int total = std::max(content, std::max(h, 1)); // a kept bar over content that fits: one page
        const int page = int((int64_t(h) * h * 2 + total) / (int64_t(total) * 2));
        sb->SetPageSize(page);
        sb->SetMin(0);
        sb->SetMax(total - h + page);
        sb->SetPageSize(page);
        if (sb->Position() + page > sb->Max())
            sb->SetPosition(sb->Max() - page);
    }
    sb->SetVisible(show);
    if (show == wasShown) {
        const int pos = show ? sb->Position() : 0;
        if (pos != 0) {
            for (auto &g : groups_)
                g->Offset(0, -pos);
            if (!topScrollButtonRect_.isEmpty())
                topScrollButtonRect_ = topScrollButtonRect_.offset(0, -pos);
            if (!bottomScrollButtonRect_.isEmpty())
                bottomScrollButtonRect_ = bottomScrollButtonRect_.offset(0, -pos);
        }
        return;
    }
    ++boundsPass_;
    CalculateBounds();
    --boundsPass_;
}

// ---- queries ---------------------------------------------------------------------------------

TqvNavBarGroupViewInfo *TqvNavBarViewInfo::groupViewInfo(const TqvNavBarGroup *group) const
{
    if (!group)
        return nullptr;
    for (const auto &g : groups_)
        if (g->Group() == group)
            return g.get();
    return nullptr;
}

TqvNavBarGroupViewInfo *TqvNavBarViewInfo::groupAtCaption(TPoint p) const
{
    for (const auto &g : groups_)
        if (g->CaptionRect().contains(p))
            return g.get();
    return nullptr;
}

TqvNavBarGroupViewInfo *TqvNavBarViewInfo::groupAtItems(TPoint p) const
{
    for (const auto &g : groups_)
        if (g->Rect().contains(p) && !g->CaptionRect().contains(p))
            return g.get();
    return nullptr;
}

namespace {
// Links scrolled above the item area are not drawn, so they must not be hit either (the one just
// above the first visible link reaches into the area's top margin).
bool reachable(const TqvNavBarLinkViewInfo &l)
{
    return l.Rect().top >= l.GroupViewInfo().ItemsRect().top;
}
} // namespace

TRect TqvNavBarViewInfo::TopScrollButtonRect()
{
    EnsureLayout();
    return topScrollButtonRect_;
}

TRect TqvNavBarViewInfo::BottomScrollButtonRect()
{
    EnsureLayout();
    return bottomScrollButtonRect_;
}

TqvNavBarGroupViewInfo *TqvNavBarViewInfo::ActiveGroupViewInfo()
{
    EnsureLayout();
    return groupViewInfo(bar_.ActiveGroup());
}

TqvNavBarGroupViewInfo *TqvNavBarViewInfo::GroupViewInfo(const TqvNavBarGroup *group)
{
    EnsureLayout();
    return groupViewInfo(group);
}

TqvNavBarLinkViewInfo *TqvNavBarViewInfo::LinkViewInfo(const TqvNavBarItemLink *link)
{
    EnsureLayout();
    if (!link)
        return nullptr;
    for (const auto &g : groups_)
        if (TqvNavBarLinkViewInfo *l = g->LinkViewInfo(link))
            return l;
    return nullptr;
}

TqvNavBarGroupViewInfo *TqvNavBarViewInfo::GroupAtCaptionPos(TPoint p)
{
    EnsureLayout();
    return groupAtCaption(p);
}

TqvNavBarGroupViewInfo *TqvNavBarViewInfo::GroupAtItemsPos(TPoint p)
{
    EnsureLayout();
    return groupAtItems(p);
}

TqvNavBarLinkViewInfo *TqvNavBarViewInfo::LinkAtPos(TPoint p)
{
    EnsureLayout();
    const TqvNavBarGroupViewInfo *g = groupAtItems(p);
    for (int i = 0; g && i < g->LinkCount(); ++i) {
        TqvNavBarLinkViewInfo *l = g->Links(i);
        if (reachable(*l) && l->Rect().contains(p))
            return l;
    }
    return nullptr;
}

bool TqvNavBarViewInfo::linkSelectedAt(const TqvNavBarLinkViewInfo &l, TPoint p) const
{
    if (l.ImageRect().contains(p))
        return true;
    TRect caption = l.CaptionRect();
    if (l.GroupViewInfo().LinksUseSmallImages())
        caption.left = l.ImageRect().right;
    else
        caption.top = l.ImageRect().bottom;
    return caption.contains(p);
}

bool TqvNavBarOffice3ViewInfo::linkSelectedAt(const TqvNavBarLinkViewInfo &l, TPoint p) const
{
    return l.Rect().contains(p);
}

bool TqvNavBarVSToolBoxViewInfo::linkSelectedAt(const TqvNavBarLinkViewInfo &l, TPoint p) const
{
    return l.Rect().contains(p);
}

TqvNavBarLinkViewInfo *TqvNavBarViewInfo::LinkAtSelectedPos(TPoint p)
{
    EnsureLayout();
    if (topScrollButtonRect_.contains(p) || bottomScrollButtonRect_.contains(p))
        return nullptr;
    const TqvNavBarGroupViewInfo *g = groupAtItems(p);
    for (int i = 0; g && i < g->LinkCount(); ++i) {
        TqvNavBarLinkViewInfo *l = g->Links(i);
        if (reachable(*l) && linkSelectedAt(*l, p))
            return l;
    }
    return nullptr;
}

TqvNavBarDropInfo TqvNavBarViewInfo::GetDropInfo(TPoint p)
{
    EnsureLayout();
    TqvNavBarDropInfo info;
    for (const auto &g : groups_)
        if (g->Rect().contains(p)) {
            info.group = g.get();
            break;
        }
    if (!info.group)
        return info;
    const TqvNavBarGroupViewInfo &g = *info.group;
    const int n = g.LinkCount();
    info.index = 0;
    if (n == 0)
        return info; // nothing to read a first link's top from

    auto between = [&](int before, int after) {
        info.before = g.Links(before);
        info.after = g.Links(after);
    };
    int first = -1;
    int under = -1;
    for (int i = 0; i < n; ++i) {
        const TqvNavBarLinkViewInfo &l = *g.Links(i);
        if (!reachable(l))
            continue;
        if (first < 0)
            first = i;
        if (under < 0 && l.Rect().contains(p))
            under = i;
    }
    const bool icons = g.IsIconView();
    if (under >= 0) {
        const TRect &r = g.Links(under)->Rect();
        const bool past = icons ? (r.left + r.right) / 2 <= p.x : (r.top + r.bottom) / 2 <= p.y;
        if (past)
            between(under, under + 1);
        else
            between(under - 1, under);
    } else {
        // In an icon view the row under the point decides by the links' right edges.
        int rowFirst = -1;
        int rowPast = -1;
        for (int i = std::max(first, 0); icons && first >= 0 && i < n; ++i) {
            const TRect &r = g.Links(i)->Rect();
            if (p.y < r.top || p.y >= r.bottom)
                continue;
            if (rowFirst < 0)
                rowFirst = i;
            if (p.x >= r.right)
                rowPast = i;
        }
        if (rowPast >= 0)
            between(rowPast, rowPast + 1);
        else if (rowFirst >= 0)
            between(rowFirst - 1, rowFirst);
        else if (first < 0 || p.y >= g.Links(first)->Rect().top)
            between(n - 1, n);
        else
            between(first - 1, first);
    }
    if (info.before && info.after)
        info.index = info.after->Link() ? info.after->Link()->Index() : 0;
    else if (info.before)
        info.index = g.Group() ? g.Group()->LinkCount() : n;
    else
        info.index = 0;
    return info;
}

TqvNavBarDropTarget TqvNavBarViewInfo::GetDropTarget(TPoint p)
{
    const TqvNavBarDropInfo info = GetDropInfo(p);
    TqvNavBarDropTarget t;
    TqvNavBarGroup *g = info.group ? info.group->Group() : nullptr;
    if (!g || !g->Collection())
        return t; // no group, or one on its way out
    auto model = [](const TqvNavBarLinkViewInfo *l) -> TqvNavBarItemLink * {
        return l && l->Link() && l->Link()->Group() && l->Link()->Item() ? l->Link() : nullptr;
    };
    t.group = g;
    t.before = model(info.before);
    t.after = model(info.after);
    t.index = info.index;
    return t;
}

// ---- hints -----------------------------------------------------------------------------------

QString TqvNavBarViewInfo::GroupHintText(TqvNavBarGroup *group)
{
    QString text = group->Hint();
    if (bar_.Events().OnGetGroupHint)
        bar_.Events().OnGetGroupHint(group, text);
    return cutHint(text);
}

QString TqvNavBarViewInfo::LinkHintText(TqvNavBarItemLink *link)
{
    QString text = link->Item() ? link->Item()->Hint() : QString();
    if (bar_.Events().OnGetLinkHint)
        bar_.Events().OnGetLinkHint(link, text);
    return cutHint(text);
}

QString TqvNavBarVSToolBoxViewInfo::LinkHintText(TqvNavBarItemLink *link)
{
    const TqvNavBarItem *item = link->Item();
    QString text = item ? item->Hint() : QString();
    if (text.isEmpty() && item)
        text = item->Caption();
    if (bar_.Events().OnGetLinkHint)
        bar_.Events().OnGetLinkHint(link, text);
    return cutHint(text);
}

namespace {
TRect hintExtent(TqvNavBarViewInfo &vi, const QString &text)
{
    TRect r(0, 0, vi.Bar().ClientWidth(), 0);
    vi.Bar().Measurer().Measure(vi.HintValues().Font(), text, r, DT_WORDBREAK | DT_NOPREFIX);
    r.right += 6;
    r.bottom += 4;
    return r;
}
} // namespace

TRect TqvNavBarViewInfo::GroupHintRect(TqvNavBarGroup *group, const QString &text, TPoint, TPoint screenPoint)
{
    TRect r = hintExtent(*this, text);
    if (bar_.Events().OnCalcGroupHintRect)
        bar_.Events().OnCalcGroupHintRect(group, this, r);
    return r.offset(screenPoint.x + 20, screenPoint.y);
}

TRect TqvNavBarViewInfo::LinkHintRect(TqvNavBarItemLink *link, const QString &text, TPoint, TPoint screenPoint)
{
    TRect r = hintExtent(*this, text);
    if (bar_.Events().OnCalcLinkHintRect)
        bar_.Events().OnCalcLinkHintRect(link, this, r);
    return r.offset(screenPoint.x + 20, screenPoint.y);
}

TRect TqvNavBarVSToolBoxViewInfo::LinkHintRect(TqvNavBarItemLink *link, const QString &text, TPoint clientPoint,
                                               TPoint screenPoint)
{
    const TqvNavBarLinkViewInfo *l = nullptr;
    for (int i = 0; !l && i < GroupCount(); ++i)
        l = Groups(i)->LinkViewInfo(link);
    if (!l)
        return TqvNavBarViewInfo::LinkHintRect(link, text, clientPoint, screenPoint);
    // In place over the whole link, wide enough for the text after the caption's start: the painter
    // draws the link again with everything at its place relative to the selection rectangle, so a
    // rectangle that began at the caption would show the caption shifted right and cut off.
    const TRect caption = l->CaptionRect();
    TRect r = l->SelectionRect();
    TRect extent = caption;
    bar_.Measurer().Measure(l->Font(), text, extent, l->CaptionTextFlags());
    if (extent.width() > caption.width())
        r.right = std::max(r.right, caption.left + extent.width() + 4);
    if (bar_.Events().OnCalcLinkHintRect)
        bar_.Events().OnCalcLinkHintRect(link, this, r);
    return r.offset(screenPoint.x - clientPoint.x, screenPoint.y - clientPoint.y);
}

TqvNavBarHintInfo TqvNavBarViewInfo::CalculateHintRect(TPoint clientPoint, TPoint screenPoint)
{
    EnsureLayout();
    TqvNavBarHintInfo hint;
    if (const TqvNavBarGroupViewInfo *g = groupAtCaption(clientPoint)) {
        TqvNavBarGroup *group = g->Group();
        if (!group || !group->Collection())
            return hint;
        hint.group = group;
        hint.text = GroupHintText(group);
        if (!hint.text.isEmpty())
            hint.rect = GroupHintRect(group, hint.text, clientPoint, screenPoint);
        return hint;
    }
    if (const TqvNavBarLinkViewInfo *l = LinkAtSelectedPos(clientPoint)) {
        TqvNavBarItemLink *link = l->Link();
        if (!link || !l->Item() || !l->Item()->Collection() || !l->GroupViewInfo().Group())
            return hint;
        hint.link = link;
        hint.text = LinkHintText(link);
        if (!hint.text.isEmpty())
            hint.rect = LinkHintRect(link, hint.text, clientPoint, screenPoint);
    }
    return hint;
}

// ---- state flags and styles ------------------------------------------------------------------

TqvNavBarObjectStates TqvNavBarViewInfo::LinkState(const TqvNavBarItemLink *link) const
{
    if (!link)
        return 0;
    TqvNavBarObjectStates s = 0;
    const TqvNavBarItem *item = link->Item();
    if (!item || !item->Enabled())
        s |= sDisabled;
    if (link == bar_.HotLink())
        s |= sHotTracked;
    if (link == bar_.PressedLink())
        s |= sPressed;
    if (link->IsSelected())
        s |= sSelected;
    return s;
}

TqvNavBarChangeType TqvNavBarViewInfo::HotTrackChangeKind(const TqvNavBarGroup *group,
                                                          const TqvNavBarItemLink *link) const
{
    const TqvNavBarDefaultStyles &defaults = bar_.DefaultStyles();
    if (link) {
        const TqvNavBarObjectStates s = LinkState(link);
        const TqvNavBarStyleValues hot(linkStyleItem(link->Item(), TqvNavBarObjectStates(s | sHotTracked)),
                                       defaults.Style(linkDefaultStyle(TqvNavBarObjectStates(s | sHotTracked))));
        const TqvNavBarStyleValues plain(linkStyleItem(link->Item(), TqvNavBarObjectStates(s & ~sHotTracked)),
                                         defaults.Style(linkDefaultStyle(TqvNavBarObjectStates(s & ~sHotTracked))));
        if (!measuresAlike(hot.Font(), plain.Font()))
            return ctRelayout;
    }
    if (group) {
        const TqvNavBarObjectStates s = GroupCaptionState(group);
        const TqvNavBarStyleValues hot(captionStyleItem(group, TqvNavBarObjectStates(s | sHotTracked)),
                                       defaults.Style(captionDefaultStyle(TqvNavBarObjectStates(s | sHotTracked))));
        const TqvNavBarStyleValues plain(captionStyleItem(group, TqvNavBarObjectStates(s & ~sHotTracked)),
                                         defaults.Style(captionDefaultStyle(TqvNavBarObjectStates(s & ~sHotTracked))));
        if (!measuresAlike(hot.Font(), plain.Font()) || hot.HAlignment() != plain.HAlignment() ||
            hot.VAlignment() != plain.VAlignment())
            return ctRelayout;
    }
    return ctRedraw;
}

TqvNavBarObjectStates TqvNavBarViewInfo::GroupCaptionState(const TqvNavBarGroup *group) const
{
    if (!group)
        return 0;
    TqvNavBarObjectStates s = 0;
    if (group == bar_.ActiveGroup())
        s |= sActive;
    if (group->Expanded())
        s |= sExpanded;
    if (group == bar_.HotGroup())
        s |= sHotTracked;
    if (group == bar_.PressedGroup())
        s |= sPressed;
    return s;
}

TqvNavBarObjectStates TqvNavBarViewInfo::scrollButtonState(const TRect &r, bool held) const
{
    if (r.isEmpty())
        return sHidden;
    TqvNavBarObjectStates s = 0;
    if (r.contains(bar_.HotPoint()))
        s |= sHotTracked;
    if (held)
        s |= sPressed;
    return s;
}

TqvNavBarObjectStates TqvNavBarViewInfo::TopScrollButtonState()
{
    EnsureLayout();
    return scrollButtonState(topScrollButtonRect_, bar_.TopScrollButtonHeld());
}

TqvNavBarObjectStates TqvNavBarViewInfo::BottomScrollButtonState()
{
    EnsureLayout();
    return scrollButtonState(bottomScrollButtonRect_, bar_.BottomScrollButtonHeld());
}

TqvNavBarStyleValues TqvNavBarViewInfo::BarStyleValues(TqvNavBarBarStyle which, int defaultIndex) const
{
    return {bar_.BarStyle(which), bar_.DefaultStyles().Style(defaultIndex)};
}

TqvNavBarStyleValues TqvNavBarViewInfo::BackgroundValues() const
{
    return BarStyleValues(bsBackground, TqvNavBarDefaultStyles::Background);
}

TqvNavBarStyleValues TqvNavBarViewInfo::HintValues() const
{
    return BarStyleValues(bsHint, TqvNavBarDefaultStyles::Hint);
}

TqvNavBarStyleValues TqvNavBarViewInfo::DropTargetGroupValues() const
{
    return BarStyleValues(bsDropTargetGroup, TqvNavBarDefaultStyles::DropTargetGroup);
}

TColor TqvNavBarViewInfo::DropTargetLinkBackColor() const
{
    return BarStyleValues(bsDropTargetLink, TqvNavBarDefaultStyles::DropTargetLink).BackColor();
}

TqvNavBarStyleItem *TqvNavBarViewInfo::scrollButtonStyleItem(TqvNavBarObjectStates s) const
{
    return bar_.BarStyle((s & sPressed) ? bsButtonPressed : (s & sHotTracked) ? bsButtonHotTracked : bsButton);
}

TqvNavBarDefaultStyle *TqvNavBarViewInfo::scrollButtonDefaultStyle(TqvNavBarObjectStates s) const
{
    return bar_.DefaultStyles().Style((s & sPressed)      ? TqvNavBarDefaultStyles::ButtonPressed
                                      : (s & sHotTracked) ? TqvNavBarDefaultStyles::ButtonHotTracked
                                                          : TqvNavBarDefaultStyles::Button);
}

TqvNavBarStyleItem *TqvNavBarViewInfo::TopScrollButtonStyleItem()
{
    return scrollButtonStyleItem(TopScrollButtonState());
}

TqvNavBarDefaultStyle *TqvNavBarViewInfo::TopScrollButtonDefaultStyle()
{
    return scrollButtonDefaultStyle(TopScrollButtonState());
}

TqvNavBarStyleValues TqvNavBarViewInfo::TopScrollButtonValues()
{
    const TqvNavBarObjectStates s = TopScrollButtonState();
    return {scrollButtonStyleItem(s), scrollButtonDefaultStyle(s)};
}

TqvNavBarStyleItem *TqvNavBarViewInfo::BottomScrollButtonStyleItem()
{
    return scrollButtonStyleItem(BottomScrollButtonState());
}

TqvNavBarDefaultStyle *TqvNavBarViewInfo::BottomScrollButtonDefaultStyle()
{
    return scrollButtonDefaultStyle(BottomScrollButtonState());
}

TqvNavBarStyleValues TqvNavBarViewInfo::BottomScrollButtonValues()
{
    const TqvNavBarObjectStates s = BottomScrollButtonState();
    return {scrollButtonStyleItem(s), scrollButtonDefaultStyle(s)};
}

} // namespace controls
