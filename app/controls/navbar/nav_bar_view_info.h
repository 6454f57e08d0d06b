// The navigation bar's view information: the layout and hit-test model of one view.
//
// TqvNavBarViewInfo       the whole bar: the group view informations, the two scroll buttons of
//                         the active group, hit tests, drop positions, hints, the bar's style values.
// TqvNavBarGroupViewInfo  one group: caption, caption image, expand sign, caption text, item area,
//                         group rectangle, and the link view informations of an open group.
// TqvNavBarLinkViewInfo   one link: link, image and caption rectangles.
// The subclasses of each differ only in the constants of their view kind (TqvNavBarViewConstants,
// one table per kind) and in the few operations they override.
//
// The view information sees the bar through TqvNavBarViewInfoSource (read only), measures text
// through the source's TextMeasurer and drives the bar's scroll bar through
// TqvNavBarScrollBarControl. It never reads the global cursor: hint placement takes the mouse's
// screen position as a parameter.
//
// Staleness: the bar reports every change to Invalidate (every InvalidateAll kind, every link
// removal, every component removal). Group and link view informations of a rebuild refer to groups
// and links that may be freed by the next change, so every query (hit tests, drop info, hints, the
// scroll-button rectangles) first runs the pending rebuild and re-layout (EnsureLayout); painting
// calls EnsureLayout too and then holds a PaintScope, during which no rebuild runs, so a paint never
// walks freed view informations. Pointers answered by a query are valid until the next change.
//
// Rectangles are in the bar's client coordinates, right and bottom exclusive; an inverted
// rectangle counts as empty everywhere.
#pragma once

#include "controls/navbar/nav_bar_items.h"
#include "controls/navbar/nav_bar_styles.h"
#include "controls/navbar/nav_bar_text_measurer.h"
#include "controls/paint/types.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace controls {

class TqvNavBarViewInfo;
class TqvNavBarGroupViewInfo;
class TqvNavBarLinkViewInfo;

// The twelve views, by their ID.
enum TqvNavBarViewKind : int {
    vkBase = 0,
    vkFlat = 1,
    vkOffice1 = 2,
    vkOffice2 = 3,
    vkOffice3 = 4,
    vkVSToolBox = 5,
    vkXP1 = 6,
    vkXP2 = 7,
    vkExplorerBar = 8,
    vkUltraFlatExplorer = 9,
    vkAdvExplorerBar = 10,
    vkXPExplorerBar = 11,
};
inline constexpr int kNavBarViewKindCount = 12;

// ExplorerBar, UltraFlatExplorer, AdvExplorerBar and XPExplorerBar: every visible group is laid
// out, groups expand and collapse, the bar scrolls with its scroll bar.
constexpr bool isExplorerBarFamily(TqvNavBarViewKind k) { return k >= vkExplorerBar && k <= vkXPExplorerBar; }

// The constants of a view kind.
struct TqvNavBarViewConstants {
    int GroupClientBorder = 0;
    int CaptionExtraHeight = 6; // added to the caption font's text height
    int DefaultGroupSpacing = 0;
    int SignSize = 16;
    int GroupLeft = 0;
    int LinksMargin = 8; // above the first and below the last link
    int LargeLinkVerticalSpace = 6; // half above the image, half below the caption
    int SmallLinkVerticalSpace = 6; // half above, half below
    int Constant8 = 4;  // offered to the painters; no layout step reads it
    int LinkImageLeftSpace = 4;
    int LinkImageTopSpace = 4;
    int Constant11 = 8; // offered to the painters
    int Constant12 = 6; // offered to the painters
    int ScrollButtonVerticalOffset = 6;
    int ScrollButtonHorizontalOffset = 6;
    int ScrollButtonHeight = 16;
    int ScrollButtonWidth = 16;
    bool HasCaptionScrollButtons = false;
    bool HasCaptionImage = false;
    bool HasExpandSign = false;
    bool AllowIconView = true;
    bool GroupOpenWhenExpanded = false; // false: only the active group is open
    bool AllowLargeCaptionImages = true;
    bool AllowLargeLinkImages = true;
    int HintPause = 1000; // ms
};

// The table of a view kind. XPExplorerBar's caption height and sign size depend on whether the
// theme class "ExplorerBar" opens now, so its table is read again on every call.
TqvNavBarViewConstants NavBarViewConstants(TqvNavBarViewKind kind);

// The bar's handlers the view information calls (the bar's published events of the same names).
struct TqvNavBarViewInfoEvents {
    std::function<void(TqvNavBarGroupViewInfo *viewInfo, int &height)> OnCalcGroupClientHeight;
    std::function<void(TqvNavBarGroup *group, TqvNavBarViewInfo *viewInfo, TRect &r)> OnCalcGroupHintRect;
    std::function<void(TqvNavBarItemLink *link, TqvNavBarViewInfo *viewInfo, TRect &r)> OnCalcLinkHintRect;
    std::function<void(TqvNavBarGroup *group, QString &hint)> OnGetGroupHint;
    std::function<void(TqvNavBarItemLink *link, QString &hint)> OnGetLinkHint;
};

// The bar's own vertical scroll bar as the layout drives it. Showing or hiding it changes the
// bar's client width.
class TqvNavBarScrollBarControl {
public:
    virtual ~TqvNavBarScrollBarControl() = default;
    virtual int PageSize() const = 0;
    virtual void SetPageSize(int page) = 0;
    virtual int Min() const = 0;
    virtual void SetMin(int v) = 0;
    virtual int Max() const = 0;
    virtual void SetMax(int v) = 0;
    virtual int Position() const = 0;
    virtual void SetPosition(int v) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool on) = 0;
};

// The bar's style properties, in the order of the bar's published names.
enum TqvNavBarBarStyle : int {
    bsBackground, bsHint, bsDropTargetGroup, bsDropTargetLink, bsButton, bsButtonHotTracked, bsButtonPressed,
};

// The bar as its view information reads it. Every call comes on the user-interface thread.
class TqvNavBarViewInfoSource {
public:
    virtual ~TqvNavBarViewInfoSource() = default;
    virtual const TqvNavBarGroups &Groups() const = 0;
    // The active group (the first group when none is set); nullptr without groups.
    virtual TqvNavBarGroup *ActiveGroup() const = 0;
    virtual TqvNavBarGroup *HotGroup() const = 0;
    virtual TqvNavBarGroup *PressedGroup() const = 0;
    virtual TqvNavBarItemLink *HotLink() const = 0;
    virtual TqvNavBarItemLink *PressedLink() const = 0;
    // The mouse in client coordinates; (-1, -1) once it left the bar.
    virtual TPoint HotPoint() const = 0;
    virtual bool TopScrollButtonHeld() const = 0;
    virtual bool BottomScrollButtonHeld() const = 0;
    virtual bool ShowGroupCaptions() const = 0;
    virtual int SpaceBetweenGroups() const = 0;
    // The client area without the scroll bar.
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    virtual TqvImageList *LargeImages() const = 0;
    virtual TqvImageList *SmallImages() const = 0;
    virtual const TqvNavBarDefaultStyles &DefaultStyles() const = 0;
    virtual TqvNavBarStyleItem *BarStyle(TqvNavBarBarStyle which) const = 0;
    // nullptr: the bar has no scroll bar (the explorer-bar views then never scroll).
    virtual TqvNavBarScrollBarControl *ScrollBar() = 0;
    virtual TextMeasurer &Measurer() = 0;
    virtual const TqvNavBarViewInfoEvents &Events() const = 0;
};

// The values of one element's style: each from the style item when its AssignedValues holds the
// value's flag, else from the default style.
class TqvNavBarStyleValues {
public:
    TqvNavBarStyleValues(const TqvNavBarStyleItem *item, const TqvBaseNavBarStyle *defaultStyle)
        : item_(item), default_(defaultStyle) {}
    bool IsAssigned(TqvBarStyleAssignedValue v) const { return item_ && item_->Style().IsAssigned(v); }
    const TqvPicture &Image() const { return pick(savImage).Image(); }
    TColor BackColor() const { return pick(savBackColor).BackColor(); }
    TColor BackColor2() const { return pick(savBackColor2).BackColor2(); }
    uint8_t AlphaBlending() const { return pick(savAlphaBlending).AlphaBlending(); }
    uint8_t AlphaBlending2() const { return pick(savAlphaBlending2).AlphaBlending2(); }
    TqvBarStyleGradientMode GradientMode() const { return pick(savGradientMode).GradientMode(); }
    const TqvStyleFont &Font() const { return pick(savFont).Font(); }
    TqvBarStyleHAlignment HAlignment() const { return pick(savHAlignment).HAlignment(); }
    TqvBarStyleVAlignment VAlignment() const { return pick(savVAlignment).VAlignment(); }
    const TqvBaseNavBarStyle &DefaultStyle() const { return *default_; }

private:
    const TqvBaseNavBarStyle &pick(TqvBarStyleAssignedValue v) const
    {
        return IsAssigned(v) ? static_cast<const TqvBaseNavBarStyle &>(item_->Style()) : *default_;
    }
    const TqvNavBarStyleItem *item_;
    const TqvBaseNavBarStyle *default_;
};

// ---- links -----------------------------------------------------------------------------------

class TqvNavBarLinkViewInfo {
public:
    TqvNavBarLinkViewInfo(TqvNavBarGroupViewInfo &group, TqvNavBarItemLink *link);
    virtual ~TqvNavBarLinkViewInfo() = default;
    TqvNavBarLinkViewInfo(const TqvNavBarLinkViewInfo &) = delete;
    TqvNavBarLinkViewInfo &operator=(const TqvNavBarLinkViewInfo &) = delete;

    TqvNavBarGroupViewInfo &GroupViewInfo() const { return group_; }
    TqvNavBarViewInfo &ViewInfo() const;
    TqvNavBarItemLink *Link() const { return link_; }
    // nullptr once the item is gone.
    TqvNavBarItem *Item() const { return item_.data(); }

    const TRect &Rect() const { return rect_; }
    const TRect &ImageRect() const { return imageRect_; }
    const TRect &CaptionRect() const { return captionRect_; }

    virtual void CalculateBounds(int x, int y);
    virtual void Offset(int dx, int dy);
    // The link font's text height + 4.
    int CaptionHeight() const;
    // 36 (single line, vertically centred) with small images, 17 (centred, word break) with large.
    uint32_t CaptionTextFlags() const;
    int ImageHeight() const;
    int ImageWidth() const;
    // The item's style for the link's state and the matching default style.
    TqvNavBarStyleItem *StyleItem() const;
    TqvNavBarDefaultStyle *DefaultStyle() const;
    TqvNavBarStyleValues StyleValues() const { return {StyleItem(), DefaultStyle()}; }
    const TqvStyleFont &Font() const { return StyleValues().Font(); }
    virtual TColor FontColor() const;
    int ImageIndex() const;
    TqvImageList *ImageList() const;
    // The frame drawn behind a selected or hot link.
    virtual TRect SelectionRect() const;
    // 2 disabled, 8 hot-tracked, 16 pressed, 32 selected.
    TqvNavBarObjectStates State() const;

protected:
    TqvNavBarGroupViewInfo &group_;
    TqvNavBarItemLink *link_;
    QPointer<TqvNavBarItem> item_;
    TRect rect_, imageRect_, captionRect_;
};

class TqvNavBarOffice3LinkViewInfo : public TqvNavBarLinkViewInfo {
public:
    using TqvNavBarLinkViewInfo::TqvNavBarLinkViewInfo;
    TRect SelectionRect() const override { return rect_.inflated(-1, -1); }
};

class TqvNavBarVSToolBoxLinkViewInfo : public TqvNavBarLinkViewInfo {
public:
    using TqvNavBarLinkViewInfo::TqvNavBarLinkViewInfo;
    TRect SelectionRect() const override { return rect_.inflated(-1, -1); }
};

// The caption colour follows the link's state (StateColor).
class TqvNavBarAdvExplorerBarLinkViewInfo : public TqvNavBarLinkViewInfo {
public:
    using TqvNavBarLinkViewInfo::TqvNavBarLinkViewInfo;
    TColor FontColor() const override;
};

// The caption colour follows the link's state while visual styles draw the view.
class TqvNavBarXPExplorerBarLinkViewInfo : public TqvNavBarLinkViewInfo {
public:
    using TqvNavBarLinkViewInfo::TqvNavBarLinkViewInfo;
    TColor FontColor() const override;
};

// ---- groups ----------------------------------------------------------------------------------

class TqvNavBarGroupViewInfo {
public:
    TqvNavBarGroupViewInfo(TqvNavBarViewInfo &viewInfo, TqvNavBarGroup *group);
    virtual ~TqvNavBarGroupViewInfo();
    TqvNavBarGroupViewInfo(const TqvNavBarGroupViewInfo &) = delete;
    TqvNavBarGroupViewInfo &operator=(const TqvNavBarGroupViewInfo &) = delete;

    TqvNavBarViewInfo &ViewInfo() const { return viewInfo_; }
    // nullptr once the group is gone.
    TqvNavBarGroup *Group() const { return group_.data(); }

    int LinkCount() const { return int(links_.size()); }
    TqvNavBarLinkViewInfo *Links(int index) const;
    // The link's view information in this group; nullptr when it has none.
    TqvNavBarLinkViewInfo *LinkViewInfo(const TqvNavBarItemLink *link) const;

    const TRect &CaptionRect() const { return captionRect_; }
    const TRect &CaptionImageRect() const { return captionImageRect_; }
    const TRect &CaptionSignRect() const { return captionSignRect_; }
    const TRect &CaptionTextRect() const { return captionTextRect_; }
    const TRect &ItemsRect() const { return itemsRect_; }
    const TRect &Rect() const { return rect_; }

    // Places the group control (or hides it).
    virtual void CalculateControl();
    virtual void CreateLinksInfo();
    virtual void CalculateBounds(int x, int y);
    virtual void Offset(int dx, int dy);
    // Moves the group's bottom (and its item area's) by dy and its right edge by dx.
    virtual void Grow(int dx, int dy);
    // The caption font's text height + CaptionExtraHeight.
    int CaptionHeight() const;
    uint32_t CaptionTextFlags() const;
    int CaptionImageHeight() const;
    int CaptionImageWidth() const;

    // The group's background style.
    TqvNavBarStyleValues BackgroundValues() const;
    virtual const TqvPicture &BgImage() const { return BackgroundValues().Image(); }
    virtual TColor BgBackColor() const { return BackgroundValues().BackColor(); }
    virtual TColor BgBackColor2() const { return BackgroundValues().BackColor2(); }
    virtual uint8_t BgAlphaBlending() const { return BackgroundValues().AlphaBlending(); }
    virtual uint8_t BgAlphaBlending2() const { return BackgroundValues().AlphaBlending2(); }
    virtual TqvBarStyleGradientMode BgGradientMode() const { return BackgroundValues().GradientMode(); }
    // The caption's style for the group's state (pressed, hot-tracked, active, else header).
    TqvNavBarStyleItem *CaptionStyleItem() const;
    TqvNavBarDefaultStyle *CaptionDefaultStyle() const;
    TqvNavBarStyleValues CaptionValues() const { return {CaptionStyleItem(), CaptionDefaultStyle()}; }
    virtual const TqvPicture &CaptionImage() const { return CaptionValues().Image(); }
    virtual TColor CaptionBackColor() const { return CaptionValues().BackColor(); }
    virtual TColor CaptionBackColor2() const { return CaptionValues().BackColor2(); }
    virtual uint8_t CaptionAlphaBlending() const { return CaptionValues().AlphaBlending(); }
    virtual uint8_t CaptionAlphaBlending2() const { return CaptionValues().AlphaBlending2(); }
    virtual TqvBarStyleGradientMode CaptionGradientMode() const { return CaptionValues().GradientMode(); }
    const TqvStyleFont &CaptionFont() const { return CaptionValues().Font(); }
    virtual TColor CaptionFontColor() const { return CaptionFont().color(); }
    TqvBarStyleHAlignment CaptionHAlignment() const { return CaptionValues().HAlignment(); }
    TqvBarStyleVAlignment CaptionVAlignment() const { return CaptionValues().VAlignment(); }
    int CaptionImageIndex() const;
    TqvImageList *CaptionImageList() const;

    // Group queries of the layout.
    bool UsesSmallCaptionImages() const;
    bool LinksUseSmallImages() const;
    bool IsIconView() const;
    bool IsOpen() const;
    bool ShowsControl() const;
    // 1 active, 4 expanded, 8 hot-tracked, 16 pressed.
    TqvNavBarObjectStates CaptionState() const;

protected:
    virtual std::unique_ptr<TqvNavBarLinkViewInfo> CreateLinkViewInfo(TqvNavBarItemLink *link);

    TqvNavBarViewInfo &viewInfo_;
    std::vector<std::unique_ptr<TqvNavBarLinkViewInfo>> links_;
    QPointer<TqvNavBarGroup> group_;
    TRect captionRect_, captionImageRect_, captionSignRect_, captionTextRect_, itemsRect_, rect_;
};

// Where the group's styles assign nothing: a horizontal gradient background from a light to the
// default colour and a caption that darkens toward its end (flat for the hot-tracked group).
class TqvNavBarXP1GroupViewInfo : public TqvNavBarGroupViewInfo {
public:
    using TqvNavBarGroupViewInfo::TqvNavBarGroupViewInfo;
    TColor BgBackColor() const override;
    TColor BgBackColor2() const override;
    uint8_t BgAlphaBlending() const override;
    uint8_t BgAlphaBlending2() const override;
    TqvBarStyleGradientMode BgGradientMode() const override;
    TColor CaptionBackColor() const override;
    TColor CaptionBackColor2() const override;
    uint8_t CaptionAlphaBlending() const override;
    uint8_t CaptionAlphaBlending2() const override;
    TqvBarStyleGradientMode CaptionGradientMode() const override;
};

// clNone colours take the view's own; caption colours follow the caption's state.
class TqvNavBarAdvExplorerBarGroupViewInfo : public TqvNavBarGroupViewInfo {
public:
    using TqvNavBarGroupViewInfo::TqvNavBarGroupViewInfo;
    TColor BgBackColor() const override;
    TColor BgBackColor2() const override;
    TColor CaptionBackColor() const override;
    TColor CaptionBackColor2() const override;
    TColor CaptionFontColor() const override;
};

// Caption colours follow the caption's state while visual styles draw the view.
class TqvNavBarXPExplorerBarGroupViewInfo : public TqvNavBarGroupViewInfo {
public:
    using TqvNavBarGroupViewInfo::TqvNavBarGroupViewInfo;
    TColor CaptionFontColor() const override;
};

// ---- the whole bar ---------------------------------------------------------------------------

// Where a dragged link or item would land: the group, the links either side of the position and
// the insert index (the link's own Index; -1 outside every group).
struct TqvNavBarDropInfo {
    TqvNavBarGroupViewInfo *group = nullptr;
    TqvNavBarLinkViewInfo *before = nullptr;
    TqvNavBarLinkViewInfo *after = nullptr;
    int index = -1;
};
// The same with the bar's own objects (what a drag object keeps).
struct TqvNavBarDropTarget {
    TqvNavBarGroup *group = nullptr;
    TqvNavBarItemLink *before = nullptr;
    TqvNavBarItemLink *after = nullptr;
    int index = -1;
};

// A hint to show: its text (empty: none), its rectangle in screen coordinates and its subject.
struct TqvNavBarHintInfo {
    QString text;
    TRect rect;
    TqvNavBarGroup *group = nullptr;
    TqvNavBarItemLink *link = nullptr;
};

class TqvNavBarViewInfo {
public:
    TqvNavBarViewInfo(TqvNavBarViewInfoSource &bar, TqvNavBarViewKind kind);
    virtual ~TqvNavBarViewInfo();
    TqvNavBarViewInfo(const TqvNavBarViewInfo &) = delete;
    TqvNavBarViewInfo &operator=(const TqvNavBarViewInfo &) = delete;

    // The view information of a view kind (its class per the views table).
    static std::unique_ptr<TqvNavBarViewInfo> Create(TqvNavBarViewKind kind, TqvNavBarViewInfoSource &bar);

    TqvNavBarViewInfoSource &Bar() const { return bar_; }
    TqvNavBarViewKind Kind() const { return kind_; }
    TqvNavBarViewConstants Constants() const { return NavBarViewConstants(kind_); }
    // Slot 21: open means active in the base views, expanded in the explorer-bar views.
    bool IsGroupOpen(const TqvNavBarGroup *group) const;
    int HintPause() const { return Constants().HintPause; }
    // The image sizes: the lists' sizes, 32 x 32 and 16 x 16 without lists.
    int LargeImageWidth() const;
    int LargeImageHeight() const;
    int SmallImageWidth() const;
    int SmallImageHeight() const;

    // ---- pending work
    // A change of the bar: kind 0 needs a rebuild and a re-layout, 1 a re-layout, 2 nothing here.
    void Invalidate(TqvNavBarChangeType kind);
    bool IsRebuildPending() const { return rebuildPending_; }
    bool IsRelayoutPending() const { return relayoutPending_; }
    // Runs the pending rebuild and re-layout, unless a paint or a layout is under way.
    void EnsureLayout();
    // While alive, no rebuild or re-layout runs (the painter holds one while it walks the view
    // informations); changes stay pending.
    class PaintScope {
    public:
        explicit PaintScope(TqvNavBarViewInfo &vi) : vi_(vi) { ++vi_.busy_; }
        ~PaintScope() { --vi_.busy_; }
        PaintScope(const PaintScope &) = delete;
        PaintScope &operator=(const PaintScope &) = delete;

    private:
        TqvNavBarViewInfo &vi_;
    };

    // ---- the layout (the painter runs them through EnsureLayout)
    // The group view informations as the last layout left them: call EnsureLayout first.
    int GroupCount() const { return int(groups_.size()); }
    TqvNavBarGroupViewInfo *Groups(int index) const;
    virtual void CalculateControls();
    virtual void CreateGroupsInfo();
    // The whole-bar layout.
    virtual void CalculateBounds();
    virtual void FitActiveGroup();
    // The explorer-bar views: page, range and position of the bar's scroll bar.
    virtual void CalculateScrollBar();
    // The group spacing: SpaceBetweenGroups when above 0, else DefaultGroupSpacing.
    int GroupSpacing() const;

    // ---- queries (each runs the pending layout first)
    TRect TopScrollButtonRect();
    TRect BottomScrollButtonRect();
    TqvNavBarGroupViewInfo *ActiveGroupViewInfo();
    TqvNavBarGroupViewInfo *GroupViewInfo(const TqvNavBarGroup *group);
    TqvNavBarLinkViewInfo *LinkViewInfo(const TqvNavBarItemLink *link);
    virtual TqvNavBarGroupViewInfo *GroupAtCaptionPos(TPoint p);
    virtual TqvNavBarGroupViewInfo *GroupAtItemsPos(TPoint p);
    virtual TqvNavBarLinkViewInfo *LinkAtPos(TPoint p);
    virtual TqvNavBarLinkViewInfo *LinkAtSelectedPos(TPoint p);
    virtual TqvNavBarDropInfo GetDropInfo(TPoint p);
    TqvNavBarDropTarget GetDropTarget(TPoint p);

    // The hint for the element under clientPoint (a group caption before a link); screenPoint is
    // the same point on the screen. Empty text: no hint.
    TqvNavBarHintInfo CalculateHintRect(TPoint clientPoint, TPoint screenPoint);
    QString GroupHintText(TqvNavBarGroup *group);
    virtual QString LinkHintText(TqvNavBarItemLink *link);
    virtual TRect GroupHintRect(TqvNavBarGroup *group, const QString &text, TPoint clientPoint, TPoint screenPoint);
    virtual TRect LinkHintRect(TqvNavBarItemLink *link, const QString &text, TPoint clientPoint, TPoint screenPoint);

    // ---- state flags
    TqvNavBarObjectStates LinkState(const TqvNavBarItemLink *link) const;
    // The change kind a change of the hot state of the group's caption or of the link needs:
    // ctRedraw when their hot and plain styles measure alike (font metrics, caption alignment),
    // else ctRelayout.
    TqvNavBarChangeType HotTrackChangeKind(const TqvNavBarGroup *group, const TqvNavBarItemLink *link) const;
    TqvNavBarObjectStates GroupCaptionState(const TqvNavBarGroup *group) const;
    // 2 hidden, 8 hot-tracked, 16 pressed.
    TqvNavBarObjectStates TopScrollButtonState();
    TqvNavBarObjectStates BottomScrollButtonState();

    // ---- the bar's style values
    TqvNavBarStyleValues BarStyleValues(TqvNavBarBarStyle which, int defaultIndex) const;
    TqvNavBarStyleValues BackgroundValues() const;
    TqvNavBarStyleValues HintValues() const;
    TqvNavBarStyleValues DropTargetGroupValues() const;
    TColor DropTargetLinkBackColor() const;
    // The button style for the button's state and the matching default style.
    TqvNavBarStyleItem *TopScrollButtonStyleItem();
    TqvNavBarDefaultStyle *TopScrollButtonDefaultStyle();
    TqvNavBarStyleValues TopScrollButtonValues();
    TqvNavBarStyleItem *BottomScrollButtonStyleItem();
    TqvNavBarDefaultStyle *BottomScrollButtonDefaultStyle();
    TqvNavBarStyleValues BottomScrollButtonValues();

protected:
    friend class TqvNavBarGroupViewInfo;
    virtual std::unique_ptr<TqvNavBarGroupViewInfo> CreateGroupViewInfo(TqvNavBarGroup *group);
    // Places the groups one below the other and runs the rest of the view's layout.
    virtual void CalculateBoundsAfterGroups();
    virtual void CalculateScrollButtons();
    void PlaceGroups();
    void ClearGroups();
    TqvNavBarObjectStates scrollButtonState(const TRect &r, bool held) const;
    TqvNavBarStyleItem *scrollButtonStyleItem(TqvNavBarObjectStates state) const;
    TqvNavBarDefaultStyle *scrollButtonDefaultStyle(TqvNavBarObjectStates state) const;
    // The unchecked forms of the queries (the layout is current).
    TqvNavBarGroupViewInfo *groupAtCaption(TPoint p) const;
    TqvNavBarGroupViewInfo *groupAtItems(TPoint p) const;
    TqvNavBarGroupViewInfo *groupViewInfo(const TqvNavBarGroup *group) const;
    virtual bool linkSelectedAt(const TqvNavBarLinkViewInfo &link, TPoint p) const;

    TqvNavBarViewInfoSource &bar_;
    TqvNavBarViewKind kind_;
    std::vector<std::unique_ptr<TqvNavBarGroupViewInfo>> groups_;
    TRect topScrollButtonRect_, bottomScrollButtonRect_, thirdRect_;
    bool rebuildPending_ = true;
    bool relayoutPending_ = true;
    int busy_ = 0;      // paint scopes and layouts under way
    int boundsPass_ = 0; // CalculateBounds nesting: the scroll bar re-runs the layout once at most
    int keptScrollBarHeight_ = -1; // client height at which a flipping scroll bar was kept shown
};

// The base views: the active group takes the free height and scrolls its links with two buttons.
class TqvNavBarBaseViewInfo : public TqvNavBarViewInfo {
public:
    using TqvNavBarViewInfo::TqvNavBarViewInfo;

protected:
    void CalculateBoundsAfterGroups() override;
};

class TqvNavBarOffice1ViewInfo : public TqvNavBarBaseViewInfo {
public:
    using TqvNavBarBaseViewInfo::TqvNavBarBaseViewInfo;
};

// The whole link rectangle selects a link.
class TqvNavBarOffice3ViewInfo : public TqvNavBarOffice1ViewInfo {
public:
    using TqvNavBarOffice1ViewInfo::TqvNavBarOffice1ViewInfo;

protected:
    bool linkSelectedAt(const TqvNavBarLinkViewInfo &link, TPoint p) const override;
};

// Scroll buttons beside the captions, in-place link hints, whole-link selection, no hint pause.
class TqvNavBarVSToolBoxViewInfo : public TqvNavBarBaseViewInfo {
public:
    using TqvNavBarBaseViewInfo::TqvNavBarBaseViewInfo;
    QString LinkHintText(TqvNavBarItemLink *link) override;
    TRect LinkHintRect(TqvNavBarItemLink *link, const QString &text, TPoint clientPoint, TPoint screenPoint) override;

protected:
    void CalculateScrollButtons() override;
    bool linkSelectedAt(const TqvNavBarLinkViewInfo &link, TPoint p) const override;
};

// The explorer-bar views: every visible group, expanded or collapsed, scrolled by the scroll bar.
class TqvNavBarExplorerBarViewInfo : public TqvNavBarViewInfo {
public:
    using TqvNavBarViewInfo::TqvNavBarViewInfo;

protected:
    void CalculateBoundsAfterGroups() override;
};

class TqvNavBarAdvExplorerBarViewInfo : public TqvNavBarExplorerBarViewInfo {
public:
    using TqvNavBarExplorerBarViewInfo::TqvNavBarExplorerBarViewInfo;
};

class TqvNavBarXPExplorerBarViewInfo : public TqvNavBarExplorerBarViewInfo {
public:
    using TqvNavBarExplorerBarViewInfo::TqvNavBarExplorerBarViewInfo;
};

} // namespace controls
