// A stand-in for the navigation bar as its view information reads it: the real groups, items and
// styles collections, default styles, a scroll bar that narrows the client area by 16 pixels while
// shown, and text metrics of 6 pixels a character and 13 pixels a line, so that every layout row
// is an exact number on any machine.
//
// The stand-in reports every change to the view information the way the bar does: every
// InvalidateAll kind, every removed link and every removed component.
#pragma once

#include "controls/navbar/nav_bar_view_info.h"

#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>

namespace navbar_view_test {

using namespace controls;

class FixedMeasurer : public TextMeasurer {
public:
    static constexpr int kCharWidth = 6;
    static constexpr int kLineHeight = 13;

    int TextHeight(const TqvStyleFont &) override { return kLineHeight; }
    void Measure(const TqvStyleFont &, const QString &text, TRect &r, uint32_t flags) override
    {
        ++calls;
        if (text.isEmpty()) {
            r.right = r.left;
            r.bottom = r.top;
            return;
        }
        if (!(flags & DT_WORDBREAK) || (flags & DT_SINGLELINE)) {
            r.right = r.left + int(text.size()) * kCharWidth;
            r.bottom = r.top + kLineHeight;
            return;
        }
        // Greedy word wrap at r's width; a word wider than the width gets a line of its own.
        const int maxChars = std::max(r.width() / kCharWidth, 1);
        int lines = 0, widest = 0, current = -1;
        for (const QString &word : text.split(QLatin1Char(' '))) {
            const int w = int(word.size());
            if (current >= 0 && current + 1 + w <= maxChars) {
                current += 1 + w;
            } else {
                if (current >= 0)
                    widest = std::max(widest, current);
                current = w;
                ++lines;
            }
        }
        widest = std::max(widest, current);
        r.right = r.left + widest * kCharWidth;
        r.bottom = r.top + lines * kLineHeight;
    }
    int calls = 0;
};

class FakeScrollBar : public TqvNavBarScrollBarControl {
public:
    int PageSize() const override { return page; }
    void SetPageSize(int v) override { page = v; }
    int Min() const override { return min; }
    void SetMin(int v) override { min = v; }
    int Max() const override { return max; }
    void SetMax(int v) override { max = v; }
    int Position() const override { return position; }
    void SetPosition(int v) override { position = std::clamp(v, min, std::max(min, max)); }
    bool Visible() const override { return visible; }
    void SetVisible(bool on) override
    {
        if (on != visible)
            ++flips;
        visible = on;
    }

    int page = 0, min = 0, max = 100, position = 0;
    bool visible = false;
    int flips = 0;
};

// Source is the interface the bar is read through: the view information's, or one derived from it
// (the painter's host adds what only the painter reads).
template <typename Source = TqvNavBarViewInfoSource>
struct ViewBarT : TqvNavBarSink, Source {
    static constexpr int kScrollBarWidth = 16;

    QWidget widget; // owner of the content, parent of group controls
    std::unique_ptr<TqvNavBarViewInfo> vi;
    TqvNavBarDefaultStyles defaults{&widget};
    TqvNavBarGroups groups{this, &widget};
    TqvNavBarItems items{this, &widget};
    TqvNavBarStyles styles{this, &widget};

    int width = 200;
    int height = 600;
    bool showCaptions = true;
    int space = 0;
    TqvImageList *large = nullptr;
    TqvImageList *small = nullptr;
    std::array<TqvNavBarStyleItem *, 7> barStyles{};
    FakeScrollBar scrollBar;
    bool hasScrollBar = true;
    FixedMeasurer fixed;
    TextMeasurer *measurer = &fixed;
    TqvNavBarViewInfoEvents events;
    TqvNavBarGroup *active = nullptr;
    TqvNavBarGroup *hot = nullptr;
    TqvNavBarGroup *pressed = nullptr;
    TqvNavBarItemLink *hotLink = nullptr;
    TqvNavBarItemLink *pressedLink = nullptr;
    TPoint hotPoint{-1, -1};
    bool topHeld = false, bottomHeld = false;

    explicit ViewBarT(TqvNavBarViewKind kind = vkBase) { setView(kind); }
    ~ViewBarT() override
    {
        groups.Clear();
        items.Clear();
        styles.Clear();
    }

    void setView(TqvNavBarViewKind kind) { vi = TqvNavBarViewInfo::Create(kind, *this); }
    void relayout() { vi->Invalidate(ctRebuild); }

    // The content of most rows: three groups, each with links to the four items; the third item
    // ("Sent") is invisible, so each group shows the links 0, 1 and 3.
    void fillStandard()
    {
        const QStringList captions{"Inbox", "Outbox", "Sent", "Drafts"};
        for (const QString &c : captions) {
            TqvNavBarItem *i = items.Add();
            i->SetCaption(c);
        }
        items.Items(2)->SetVisible(false);
        for (const char *name : {"Mail", "Phone", "Tools"}) {
            TqvNavBarGroup *g = groups.Add();
            g->SetCaption(QLatin1String(name));
            for (int i = 0; i < items.Count(); ++i)
                g->CreateLink(items.Items(i));
        }
    }
    TqvNavBarGroup *group(int i) const { return groups.Items(i); }

    // TqvNavBarSink
    void InvalidateAll(TqvNavBarChangeType kind) override
    {
        if (vi)
            vi->Invalidate(kind);
    }
    bool IsLoading() const override { return false; }
    void LinkChanged(TqvNavBarItemLink *link, bool removed) override
    {
        if (!removed)
            return;
        if (hotLink == link)
            hotLink = nullptr;
        if (pressedLink == link)
            pressedLink = nullptr;
        if (vi)
            vi->Invalidate(ctRebuild);
    }
    void ComponentRemoved(QObject *c) override
    {
        if (active == c)
            active = nullptr;
        if (hot == c)
            hot = nullptr;
        if (pressed == c)
            pressed = nullptr;
        if (vi)
            vi->Invalidate(ctRebuild);
    }
    QWidget *ControlParent() override { return &widget; }

    // TqvNavBarViewInfoSource
    const TqvNavBarGroups &Groups() const override { return groups; }
    TqvNavBarGroup *ActiveGroup() const override { return active ? active : groups.Items(0); }
    TqvNavBarGroup *HotGroup() const override { return hot; }
    TqvNavBarGroup *PressedGroup() const override { return pressed; }
    TqvNavBarItemLink *HotLink() const override { return hotLink; }
    TqvNavBarItemLink *PressedLink() const override { return pressedLink; }
    TPoint HotPoint() const override { return hotPoint; }
    bool TopScrollButtonHeld() const override { return topHeld; }
    bool BottomScrollButtonHeld() const override { return bottomHeld; }
    bool ShowGroupCaptions() const override { return showCaptions; }
    int SpaceBetweenGroups() const override { return space; }
    int ClientWidth() const override { return width - (scrollBar.visible ? kScrollBarWidth : 0); }
    int ClientHeight() const override { return height; }
    TqvImageList *LargeImages() const override { return large; }
    TqvImageList *SmallImages() const override { return small; }
    const TqvNavBarDefaultStyles &DefaultStyles() const override { return defaults; }
    TqvNavBarStyleItem *BarStyle(TqvNavBarBarStyle which) const override { return barStyles[size_t(which)]; }
    TqvNavBarScrollBarControl *ScrollBar() override { return hasScrollBar ? &scrollBar : nullptr; }
    TextMeasurer &Measurer() override { return *measurer; }
    const TqvNavBarViewInfoEvents &Events() const override { return events; }
};

using ViewBar = ViewBarT<>;

} // namespace navbar_view_test
