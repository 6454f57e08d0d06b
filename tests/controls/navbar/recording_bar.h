// A stand-in for the navigation bar: it records what the content reports (change kinds, link
// notices, removal notices) and owns the three collections the way the bar will.
#pragma once

#include "controls/navbar/nav_bar_items.h"

#include <QWidget>
#include <utility>
#include <vector>

namespace navbar_test {

using namespace controls;

struct RecordingSink : TqvNavBarSink {
    QWidget bar; // owner of groups, items, style items; parent of group controls
    std::vector<TqvNavBarChangeType> kinds;
    struct LinkNotice {
        TqvNavBarItemLink *link;
        bool removed;
        TqvNavBarItem *itemAtNotice;
    };
    std::vector<LinkNotice> links;
    std::vector<QObject *> removed;
    bool loading = false;

    void InvalidateAll(TqvNavBarChangeType kind) override { kinds.push_back(kind); }
    bool IsLoading() const override { return loading; }
    void LinkChanged(TqvNavBarItemLink *link, bool isRemoved) override
    {
        links.push_back({link, isRemoved, link->Item()});
    }
    void ComponentRemoved(QObject *component) override { removed.push_back(component); }
    QWidget *ControlParent() override { return &bar; }

    void reset()
    {
        kinds.clear();
        links.clear();
        removed.clear();
    }
};

// Declared after the sink, the collections go first and free their elements while it listens.
struct Content {
    RecordingSink sink;
    TqvNavBarGroups groups{&sink, &sink.bar};
    TqvNavBarItems items{&sink, &sink.bar};
    TqvNavBarStyles styles{&sink, &sink.bar};

    TqvNavBarGroup *group(const char *name)
    {
        TqvNavBarGroup *g = groups.Add();
        g->setObjectName(QLatin1String(name));
        return g;
    }
    TqvNavBarItem *item(const char *name)
    {
        TqvNavBarItem *i = items.Add();
        i->setObjectName(QLatin1String(name));
        return i;
    }
};

} // namespace navbar_test
