// The twelve views of the navigation bar and their registry.
//
// A view is a painter class derived from TqvNavBarPainter; each overrides the class table entries,
// default styles and drawing operations that make its look. The registry TqvNavBarViewsFactory maps
// a view's ID (the bar's View value) to its name and to a factory that makes its painter.
//
// The process's registry (ViewsFactory) registers the twelve views itself on first use, in a fixed
// order; nothing depends on static initialisers of other files (a static library drops object files
// nothing refers to, and their order is unspecified).
//
// The bar never lets an exception out of painting or a setter: NavBarViewForValue gives the view a
// View value selects and MakeNavBarPainter always answers a painter (view 0's when the view's
// cannot be made).
#pragma once

#include "controls/navbar/nav_bar_painter.h"

#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace controls {

// ---- the view painters -----------------------------------------------------------------------

class TqvNavBarBasePainter : public TqvNavBarPainter {
public:
    void DrawLinkSelection(TqvNavBarLinkViewInfo &link) override;
    TqvNavBarViewKind GetViewInfoClass() const override { return vkBase; }
    const TqvBackgroundPainterClass *GetBackgroundPainterClass() const override { return &TqvNavBarBackgroundPainter::Class; }
    const TqvButtonPainterClass *GetButtonPainterClass() const override { return &TqvNavBarButtonPainter::Class; }
    const TqvScrollButtonsPainterClass *GetScrollButtonsPainterClass() const override
    {
        return &TqvNavBarScrollButtonsPainter::Class;
    }
    const TqvSelectionPainterClass *GetSelectionPainterClass() const override { return &TqvNavBarSelectionPainter::Class; }

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarPainter::TqvNavBarPainter;
};

class TqvNavBarFlatPainter : public TqvNavBarBasePainter {
public:
    TqvNavBarViewKind GetViewInfoClass() const override { return vkFlat; }
    const TqvButtonPainterClass *GetButtonPainterClass() const override { return &TqvNavBarFlatButtonPainter::Class; }

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarBasePainter::TqvNavBarBasePainter;
};

class TqvNavBarVSToolBoxPainter : public TqvNavBarFlatPainter {
public:
    void DrawLinkHint(TqvCanvas &canvas, const TRect &r, TqvNavBarItemLink *link, const QString &text) override;
    TqvNavBarViewKind GetViewInfoClass() const override { return vkVSToolBox; }
    const char *GetLinkViewInfoClass() const override { return "TqvNavBarVSToolBoxLinkViewInfo"; }
    const TqvButtonPainterClass *GetButtonPainterClass() const override { return &TqvNavBarVSToolBoxButtonPainter::Class; }
    const TqvSelectionPainterClass *GetSelectionPainterClass() const override
    {
        return &TqvNavBarVSToolBoxSelectionPainter::Class;
    }
    void AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &style) override;

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarFlatPainter::TqvNavBarFlatPainter;
};

class TqvNavBarOffice1Painter : public TqvNavBarBasePainter {
public:
    TqvNavBarViewKind GetViewInfoClass() const override { return vkOffice1; }
    const TqvButtonPainterClass *GetButtonPainterClass() const override { return &TqvNavBarOfficeButtonPainter::Class; }
    void AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &style) override;

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarBasePainter::TqvNavBarBasePainter;
};

class TqvNavBarOffice2Painter : public TqvNavBarOffice1Painter {
public:
    TqvNavBarViewKind GetViewInfoClass() const override { return vkOffice2; }
    const TqvSelectionPainterClass *GetSelectionPainterClass() const override
    {
        return &TqvNavBarUltraFlatSelectionPainter::Class;
    }

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarOffice1Painter::TqvNavBarOffice1Painter;
};

class TqvNavBarOffice3Painter : public TqvNavBarOffice2Painter {
public:
    TqvNavBarViewKind GetViewInfoClass() const override { return vkOffice3; }
    const char *GetLinkViewInfoClass() const override { return "TqvNavBarOffice3LinkViewInfo"; }

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarOffice2Painter::TqvNavBarOffice2Painter;
};

class TqvNavBarXP1Painter : public TqvNavBarFlatPainter {
public:
    void DrawGroupCaptionButton(TqvNavBarGroupViewInfo &group) override;
    TqvNavBarViewKind GetViewInfoClass() const override { return vkXP1; }
    const char *GetGroupViewInfoClass() const override { return "TqvNavBarXP1GroupViewInfo"; }
    const TqvScrollButtonsPainterClass *GetScrollButtonsPainterClass() const override
    {
        return &TqvNavBarXPScrollButtonsPainter::Class;
    }
    const TqvSelectionPainterClass *GetSelectionPainterClass() const override { return &TqvNavBarXPSelectionPainter::Class; }
    void AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &style) override;

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarFlatPainter::TqvNavBarFlatPainter;
};

class TqvNavBarXP2Painter : public TqvNavBarOffice1Painter {
public:
    void DrawGroupBackground(TqvNavBarGroupViewInfo &group) override;
    TqvNavBarViewKind GetViewInfoClass() const override { return vkXP2; }
    const TqvButtonPainterClass *GetButtonPainterClass() const override { return &TqvNavBarXPButtonPainter::Class; }
    const TqvScrollButtonsPainterClass *GetScrollButtonsPainterClass() const override
    {
        return &TqvNavBarXPScrollButtonsPainter::Class;
    }
    const TqvSelectionPainterClass *GetSelectionPainterClass() const override { return &TqvNavBarXPSelectionPainter::Class; }

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarOffice1Painter::TqvNavBarOffice1Painter;
};

// The explorer-bar family: every group is shown, expanded or collapsed; a border in the caption's
// colour frames an expanded group's item area.
class TqvNavBarExplorerBarPainter : public TqvNavBarPainter {
public:
    void DrawGroupBorder(TqvNavBarGroupViewInfo &group) override;
    TqvNavBarViewKind GetViewInfoClass() const override { return vkExplorerBar; }
    const TqvBackgroundPainterClass *GetBackgroundPainterClass() const override { return &TqvNavBarBackgroundPainter::Class; }
    const TqvButtonPainterClass *GetButtonPainterClass() const override { return &TqvNavBarExplorerButtonPainter::Class; }
    const TqvSignPainterClass *GetSignPainterClass() const override { return &TqvNavBarExplorerBarSignPainter::Class; }
    void AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemHotTrackedStyle(TqvNavBarDefaultStyle &style) override;
    // Expand, collapse, expanded.
    void ActivateGroup(TqvNavBarGroup *group) override;
    void DeactivateGroup(TqvNavBarGroup *group) override;
    bool IsGroupActive(TqvNavBarGroup *group) const override;

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarPainter::TqvNavBarPainter;
};

class TqvNavBarUltraFlatExplorerBarPainter : public TqvNavBarExplorerBarPainter {
public:
    void DrawLinkSelection(TqvNavBarLinkViewInfo &link) override;
    TqvNavBarViewKind GetViewInfoClass() const override { return vkUltraFlatExplorer; }
    const TqvSelectionPainterClass *GetSelectionPainterClass() const override
    {
        return &TqvNavBarUltraFlatSelectionPainter::Class;
    }

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarExplorerBarPainter::TqvNavBarExplorerBarPainter;
};

class TqvNavBarAdvExplorerBarPainter : public TqvNavBarExplorerBarPainter {
public:
    TqvNavBarViewKind GetViewInfoClass() const override { return vkAdvExplorerBar; }
    const char *GetGroupViewInfoClass() const override { return "TqvNavBarAdvExplorerBarGroupViewInfo"; }
    const char *GetLinkViewInfoClass() const override { return "TqvNavBarAdvExplorerBarLinkViewInfo"; }
    const TqvButtonPainterClass *GetButtonPainterClass() const override { return &TqvNavBarAdvExplorerButtonPainter::Class; }
    const TqvSignPainterClass *GetSignPainterClass() const override { return &TqvNavBarAdvExplorerBarSignPainter::Class; }
    void AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemStyle(TqvNavBarDefaultStyle &style) override;
    void AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &style) override;

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarExplorerBarPainter::TqvNavBarExplorerBarPainter;
};

// With visual styles the bar and group backgrounds are theme parts and no border is drawn;
// without them it draws as the explorer bar.
class TqvNavBarXPExplorerBarPainter : public TqvNavBarExplorerBarPainter {
public:
    void DrawBackground() override;
    void DrawGroupBackground(TqvNavBarGroupViewInfo &group) override;
    void DrawGroupBorder(TqvNavBarGroupViewInfo &group) override;
    TqvNavBarViewKind GetViewInfoClass() const override { return vkXPExplorerBar; }
    const char *GetGroupViewInfoClass() const override { return "TqvNavBarXPExplorerBarGroupViewInfo"; }
    const char *GetLinkViewInfoClass() const override { return "TqvNavBarXPExplorerBarLinkViewInfo"; }
    const TqvButtonPainterClass *GetButtonPainterClass() const override
    {
        return &TqvNavBarXPExplorerBarButtonPainter::Class;
    }
    const TqvSignPainterClass *GetSignPainterClass() const override { return &TqvNavBarXPExplorerBarSignPainter::Class; }

protected:
    friend class TqvNavBarPainter;
    using TqvNavBarExplorerBarPainter::TqvNavBarExplorerBarPainter;
};

// ---- the registry ----------------------------------------------------------------------------

// Makes a view's painter for a bar (what a painter class reference is to the bar).
using TqvNavBarPainterFactory = std::function<std::unique_ptr<TqvNavBarPainter>(TqvNavBarPainterHost &bar)>;

struct TqvNavBarViewsFactoryEntry {
    int ID = 0;
    QString Name;
    TqvNavBarPainterFactory PainterClass;
};

// The views' registry errors (messages "ID of view = %d is already exists." and
// "Cannot find view with ID = %d.").
class EqvNavBarViewError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TqvNavBarViewsFactory {
public:
    TqvNavBarViewsFactory() = default;
    TqvNavBarViewsFactory(const TqvNavBarViewsFactory &) = delete;
    TqvNavBarViewsFactory &operator=(const TqvNavBarViewsFactory &) = delete;

    // Appends an entry; an ID registered already throws EqvNavBarViewError and adds nothing.
    void RegisterView(int id, const QString &name, TqvNavBarPainterFactory painterClass);
    // The position of the entry with the ID; -1 when none.
    int IndexOfID(int id) const;
    // The painter factory of the ID; throws EqvNavBarViewError when none has it.
    const TqvNavBarPainterFactory &PainterClassByID(int id) const;
    int Count() const { return int(entries_.size()); }
    // The entry at index, in registration order (index must lie in 0 .. Count - 1).
    const TqvNavBarViewsFactoryEntry &Entry(int index) const { return entries_.at(size_t(index)); }

private:
    std::vector<TqvNavBarViewsFactoryEntry> entries_;
};

// Registers the twelve views in their order: ExplorerBar, UltraFlatExplorer, AdvExplorerBar, Base,
// Flat, VSToolBox, Office1, Office2, Office3, XP1, XP2, XPExplorerBar.
void RegisterNavBarViews(TqvNavBarViewsFactory &factory);
// The process's registry, made and filled with the twelve views on first use.
TqvNavBarViewsFactory &ViewsFactory();

// The view a View value selects: clamped to 0 .. Count - 1, and view 0 when that ID is not
// registered.
int NavBarViewForValue(int value, const TqvNavBarViewsFactory &factory = ViewsFactory());
// The painter of a view for a bar. Never throws: a view that is not registered, or whose factory
// fails, gives view 0's painter.
std::unique_ptr<TqvNavBarPainter> MakeNavBarPainter(int view, TqvNavBarPainterHost &bar,
                                                    const TqvNavBarViewsFactory &factory = ViewsFactory());

} // namespace controls
