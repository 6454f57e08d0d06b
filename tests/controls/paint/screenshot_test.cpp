// Draws a gallery of the element painters and saves it as PNG (<build>/screenshots/controls/), at
// its own size and enlarged three times, for a person to look at. The checks only make sure the
// files were written.
#include "controls/paint/gdiplus.h"
#include "controls/paint/painters.h"
#include "paint_util.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace controls;
using namespace painttest;

namespace {

void caption(TqvCanvas &c, const TRect &r, const QString &text, bool bold = false)
{
    TqvStyleFont f;
    f.setBold(bold);
    f.setColor(clBtnText);
    c.setFont(f);
    TRect t = r.inflated(-2, -1);
    c.drawText(text, t, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS);
}

bool save(const QImage &img, const QString &name)
{
    const QString dir = screenshotDir();
    const bool a = img.save(dir + "/" + name + ".png");
    const bool b = img.scaled(img.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(dir + "/" + name + "-x3.png");
    return a && b;
}

} // namespace

TEST(Screenshots, ElementPainterGallery)
{
    SetGDIPlusForcedOff(false);
    InitThemeLibrary();
    QImage img = blank(528, 236, 0xFFFFFFFF);
    paint(img, [](TqvCanvas &c) {
        const TColor face = clBtnFace;
        // Caption buttons: one row per painter, one column per state.
        const std::pair<const char *, const TqvButtonPainterClass *> buttons[] = {
            {"Base", &TqvNavBarButtonPainter::Class},      {"Flat", &TqvNavBarFlatButtonPainter::Class},
            {"Office", &TqvNavBarOfficeButtonPainter::Class}, {"VSToolBox", &TqvNavBarVSToolBoxButtonPainter::Class},
            {"Explorer", &TqvNavBarExplorerButtonPainter::Class}, {"AdvExplorer", &TqvNavBarAdvExplorerButtonPainter::Class},
        };
        const std::pair<const char *, TqvNavBarObjectStates> states[] = {
            {"normal", 0}, {"hot", sHotTracked}, {"pressed", sPressed}, {"active", sActive}};
        int y = 4;
        for (const auto &[name, cls] : buttons) {
            int x = 4;
            for (const auto &[sname, s] : states) {
                const TRect r = TRect::fromSize(x, y, 100, 20);
                const bool adv = cls == &TqvNavBarAdvExplorerButtonPainter::Class;
                cls->DrawButton(c, r, s, gmHorizontal, 255, 255, adv ? clWindow : face,
                                adv ? LightColor(clHighlight, 40) : face, nullptr);
                caption(c, r, QString("%1 %2").arg(name, sname));
                x += 104;
            }
            y += 24;
        }
        // Gradient backgrounds, a tiled picture, a translucent gradient over it.
        int x = 4;
        for (TqvBarStyleGradientMode m : {gmHorizontal, gmVertical, gmForwardDiagonal, gmBackwardDiagonal}) {
            TqvNavBarBackgroundPainter::DrawBackground(c, TRect::fromSize(x, y, 60, 40), nullptr, m, 255, 255,
                                                       clHighlight, clWindow, true);
            x += 64;
        }
        QImage tileImg(8, 8, QImage::Format_RGB32);
        tileImg.fill(qRgb(230, 230, 200));
        for (int i = 0; i < 8; ++i)
            tileImg.setPixel(i, i, qRgb(120, 90, 40));
        TqvPicture pic;
        pic.setImage(tileImg);
        TqvNavBarBackgroundPainter::DrawBackground(c, TRect::fromSize(x, y, 60, 40), &pic, gmVertical, 0, 200,
                                                   clHighlight, clHighlight, true);
        x += 64;
        // Selections.
        const std::pair<const TqvSelectionPainterClass *, TqvNavBarObjectStates> sels[] = {
            {&TqvNavBarSelectionPainter::Class, sHotTracked}, {&TqvNavBarSelectionPainter::Class, sPressed},
            {&TqvNavBarVSToolBoxSelectionPainter::Class, sHotTracked},
            {&TqvNavBarUltraFlatSelectionPainter::Class, sPressed}, {&TqvNavBarUltraFlatSelectionPainter::Class, sSelected}};
        for (const auto &[cls, s] : sels) {
            c.fillRect(TRect::fromSize(x, y, 36, 40), clAppWorkSpace);
            cls->DrawSelection(c, TRect::fromSize(x + 8, y + 10, 20, 20), s, clAppWorkSpace);
            x += 40;
        }
        y += 46;
        // Signs: explorer and adv-explorer, collapsed / expanded / hot.
        x = 4;
        for (const TqvSignPainterClass *cls : {&TqvNavBarExplorerBarSignPainter::Class, &TqvNavBarAdvExplorerBarSignPainter::Class}) {
            for (TqvNavBarObjectStates s : {TqvNavBarObjectStates(0), TqvNavBarObjectStates(sExpanded),
                                            TqvNavBarObjectStates(sHotTracked | sExpanded)}) {
                const int size = cls == &TqvNavBarAdvExplorerBarSignPainter::Class ? 22 : 16;
                c.fillRect(TRect::fromSize(x, y, 30, 30), clBtnFace);
                cls->DrawSign(c, TRect::fromSize(x + 4, y + 4, size, size), clBtnText, clWindow, s);
                x += 34;
            }
        }
        // Scroll buttons (normal, hidden) - each excludes itself, so keep the clipping around them.
        for (bool bottom : {false, true})
            for (TqvNavBarObjectStates s : {TqvNavBarObjectStates(0), TqvNavBarObjectStates(sHidden)}) {
                TqvCanvas::ClipSaver keep(c);
                const TRect r = TRect::fromSize(x, y + 4, 16, 16);
                if (bottom)
                    TqvNavBarScrollButtonsPainter::DrawBottomButton(c, r, &TqvNavBarButtonPainter::Class, s, gmHorizontal,
                                                                    255, 255, face, face, nullptr);
                else
                    TqvNavBarScrollButtonsPainter::DrawTopButton(c, r, &TqvNavBarButtonPainter::Class, s, gmHorizontal, 255,
                                                                 255, face, face, nullptr);
                x += 20;
            }
        x += 8;
        // A hint and drop targets.
        TqvStyleFont hintFont;
        hintFont.setColor(clInfoText);
        TqvNavBarHintPainter::DrawHint(c, TRect::fromSize(x, y, 120, 34), hintFont, gmHorizontal, 255, 255, clInfoBk,
                                       clInfoBk, nullptr, QStringLiteral("Received messages of the handset"));
        x += 126;
        c.fillRect(TRect::fromSize(x, y, 100, 34), clWindow);
        TqvNavBarDropTargetGroupPainter::DrawTargetGroup(c, TRect::fromSize(x + 4, y + 4, 92, 12), gmHorizontal, 60, 60,
                                                         clHighlight, clHighlight);
        TqvNavBarDropTargetLinkPainter::DrawTargetLink(c, {x + 8, y + 26}, clBlack, {x + 4, y + 22}, {x + 4, y + 30},
                                                       {x + 92, y + 26}, {x + 96, y + 22}, {x + 96, y + 30});
    });
    EXPECT_TRUE(save(img, QStringLiteral("element-painters")));
    EXPECT_TRUE(QFileInfo::exists(screenshotDir() + "/element-painters.png"));
}
