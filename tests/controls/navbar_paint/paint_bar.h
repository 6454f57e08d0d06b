// The view-information tests' stand-in bar, grown into a painter host: a back buffer, a fixed
// palette, custom-draw handlers, a drag state, and a painter made lazily for its View the way the
// bar makes it (a change reaches only a painter that exists; a View change frees the painter and
// re-applies the view's default styles).
#pragma once

#include "view_bar.h"

#include "controls/navbar/nav_bar_views.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>

namespace navbar_paint_test {

using namespace controls;
using navbar_view_test::ViewBarT;

inline QPalette fixedPalette()
{
    QPalette p;
    auto set = [&p](QPalette::ColorRole role, QRgb rgb) {
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
            p.setColor(g, role, QColor(rgb));
    };
    set(QPalette::Button, 0xD4D0C8);     // clBtnFace
    set(QPalette::Dark, 0x808080);       // clAppWorkSpace, clBtnShadow
    set(QPalette::Highlight, 0x0A246A);  // clHighlight, clActiveCaption
    set(QPalette::Mid, 0xA6B8D8);        // clInactiveCaption
    set(QPalette::Window, 0xECE9D8);     // clMenu
    set(QPalette::Base, 0xFFFFFF);       // clWindow
    set(QPalette::Shadow, 0x404040);
    set(QPalette::WindowText, 0x000000);
    set(QPalette::Text, 0x000000);       // clWindowText
    set(QPalette::HighlightedText, 0xFFFFFF);
    set(QPalette::ButtonText, 0x000000); // clBtnText
    set(QPalette::Midlight, 0xE8E8E8);
    set(QPalette::Light, 0xFFFFFF);      // clBtnHighlight
    set(QPalette::ToolTipText, 0x000000);
    set(QPalette::ToolTipBase, 0xFFFFE1);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8D8D8D)); // clGrayText
    return p;
}

inline constexpr QRgb kUnpainted = 0xFFFF00FF; // what the target holds before a paint

struct PaintBar : ViewBarT<TqvNavBarPainterHost> {
    QImage buffer;
    qreal dpr = 1.0;
    TqvNavBarPainterEvents painterEvents;
    TqvNavBarPaintDragState drag;
    std::vector<TRect> invalidated;
    const TqvNavBarViewsFactory *registry = &ViewsFactory();
    int view = 0;
    std::unique_ptr<TqvNavBarPainter> painter;
    int paints = 0;
    TqvImageList images{16, 16};

    explicit PaintBar(int v = vkBase)
    {
        vi.reset(); // the painter owns the view information
        width = 150;
        height = 300;
        hasScrollBar = false;
        defaults.SetAssignDefaultHandler(
            [this](int index, TqvNavBarDefaultStyle &style) { Painter().AssignDefaultStyle(index, style); });
        view = NavBarViewForValue(v, *registry);
        defaults.ApplyDefaults(false);
    }
    ~PaintBar() override
    {
        groups.Clear();
        items.Clear();
        styles.Clear();
        painter.reset();
    }

    // The painter, made on first use (the bar's Painter accessor).
    TqvNavBarPainter &Painter()
    {
        if (!painter)
            painter = MakeNavBarPainter(view, *this, *registry);
        return *painter;
    }
    // The View setter.
    void SetView(int v)
    {
        v = NavBarViewForValue(v, *registry);
        if (v == view)
            return;
        view = v;
        painter.reset();
        defaults.ApplyDefaults(false);
        InvalidateAll(ctRebuild);
    }
    TqvNavBarViewInfo &VI() { return Painter().ViewInfo(); }

    // Three groups of four links over a 16 x 16 image list of four images; the links of group g
    // show image (g + i) % 4.
    void fill(int groupCount = 3, int linksPerGroup = 4)
    {
        if (images.count() == 0)
            for (QRgb c : {0xFFCC2020u, 0xFF20A020u, 0xFF2040D0u, 0xFFE0A000u}) {
                QImage img(16, 16, QImage::Format_ARGB32);
                img.fill(c);
                images.add(img);
            }
        large = small = &images;
        const QStringList captions{"Inbox", "Outbox", "Sent items", "Drafts"};
        for (int g = 0; g < groupCount; ++g) {
            TqvNavBarGroup *grp = groups.Add();
            grp->SetCaption(QStringList{"Mail", "Phone", "Tools", "Extras"}[g % 4] +
                            (g >= 4 ? QString::number(g) : QString()));
            grp->SetExpanded(true);
            for (int i = 0; i < linksPerGroup; ++i) {
                TqvNavBarItem *it = items.Add();
                it->SetCaption(captions[i % 4]);
                it->SetSmallImageIndex((g + i) % 4);
                it->SetLargeImageIndex((g + i) % 4);
                grp->CreateLink(it);
            }
        }
    }

    // Paints the whole client area into a fresh image.
    QImage render(QRgb under = kUnpainted)
    {
        QImage out(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32);
        out.fill(under);
        QPainter p(&out);
        Painter().Paint(p, QRect(0, 0, width, height));
        ++paints;
        return out;
    }

    // TqvNavBarSink: a change reaches the painter only when one exists; it never makes one.
    void InvalidateAll(TqvNavBarChangeType kind) override
    {
        if (painter)
            painter->InvalidateViewInfo(kind);
    }
    void LinkChanged(TqvNavBarItemLink *link, bool removed) override
    {
        if (!removed)
            return;
        if (hotLink == link)
            hotLink = nullptr;
        if (pressedLink == link)
            pressedLink = nullptr;
        InvalidateAll(ctRebuild);
    }
    void ComponentRemoved(QObject *c) override
    {
        if (active == c)
            active = nullptr;
        if (hot == c)
            hot = nullptr;
        if (pressed == c)
            pressed = nullptr;
        InvalidateAll(ctRebuild);
    }

    // TqvNavBarPainterHost
    QImage &BackBuffer() override { return buffer; }
    qreal DevicePixelRatio() const override { return dpr; }
    QPalette PaintPalette() const override { return QGuiApplication::palette(); }
    const TqvNavBarPainterEvents &PainterEvents() const override { return painterEvents; }
    TqvNavBarPaintDragState DragState() const override { return drag; }
    void SetActiveGroup(TqvNavBarGroup *g) override
    {
        active = g;
        InvalidateAll(ctRebuild);
    }
    void InvalidateRect(const TRect &r, bool) override { invalidated.push_back(r); }
};

inline TColor pixel(const QImage &img, int x, int y) { return fromQColor(QColor(img.pixel(x, y))); }
inline TColor sys(TColor c) { return ColorToRGB(c); }

// Where screenshots go: <build>/screenshots/controls/navbar.
inline QString screenshotDir()
{
    const QByteArray bin = qgetenv("SELVARK_BINARY_DIR");
    const QString dir =
        (bin.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(bin)) + "/screenshots/controls/navbar";
    QDir().mkpath(dir);
    return dir;
}

} // namespace navbar_paint_test
