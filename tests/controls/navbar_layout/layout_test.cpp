// The navigation bar's layout file: a full round trip through real files, the format's edge rows,
// a hand-written file and damaged files.
#include "controls/navbar/nav_bar.h"
#include "controls/navbar/nav_bar_layout.h"
#include "platform/safe_file.h"

#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <vector>

using namespace controls;

namespace {

QByteArray encodeJpeg(int w, int h)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(w) * 3, 0x80);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char *>(mem), int(size));
    free(mem);
    return out;
}

std::string readAll(const std::string &path)
{
    return platform::readWholeFile(path, 1 << 24).data;
}

void writeAll(const std::string &path, const std::string &text)
{
    ASSERT_TRUE(platform::writeFileSafely(path, text).ok);
}

std::string dataFile(const char *name) { return std::string(SV_LAYOUT_DATA_DIR) + "/" + name; }

int styleIndex(const TqvNavBarStyleItem *s) { return s ? s->Index() : -1; }

// Every property the layout carries, compared between two bars.
void expectSameBars(TqvNavBar &a, TqvNavBar &b)
{
    ASSERT_EQ(a.View(), b.View());
    ASSERT_EQ(a.Styles().Count(), b.Styles().Count());
    for (int i = 0; i < a.Styles().Count(); ++i) {
        const TqvNavBarStyle &x = a.Styles().Items(i)->Style(), &y = b.Styles().Items(i)->Style();
        SCOPED_TRACE("style " + std::to_string(i));
        EXPECT_EQ(x.BackColor(), y.BackColor());
        EXPECT_EQ(x.BackColor2(), y.BackColor2());
        EXPECT_EQ(x.AlphaBlending(), y.AlphaBlending());
        EXPECT_EQ(x.AlphaBlending2(), y.AlphaBlending2());
        EXPECT_TRUE(x.Font() == y.Font());
        EXPECT_EQ(x.Font().name(), y.Font().name());
        EXPECT_EQ(x.Font().size(), y.Font().size());
        EXPECT_EQ(x.GradientMode(), y.GradientMode());
        EXPECT_TRUE(x.Image() == y.Image());
        EXPECT_EQ(x.HAlignment(), y.HAlignment());
        EXPECT_EQ(x.VAlignment(), y.VAlignment());
        EXPECT_EQ(a.Styles().Items(i)->Tag(), b.Styles().Items(i)->Tag());
    }
    ASSERT_EQ(a.Items().Count(), b.Items().Count());
    for (int i = 0; i < a.Items().Count(); ++i) {
        TqvNavBarItem *x = a.Items().Items(i), *y = b.Items().Items(i);
        SCOPED_TRACE("item " + std::to_string(i));
        EXPECT_EQ(x->Caption(), y->Caption());
        EXPECT_EQ(x->Enabled(), y->Enabled());
        EXPECT_EQ(x->Hint(), y->Hint());
        EXPECT_EQ(x->LargeImageIndex(), y->LargeImageIndex());
        EXPECT_EQ(x->SmallImageIndex(), y->SmallImageIndex());
        EXPECT_EQ(styleIndex(x->Style()), styleIndex(y->Style()));
        EXPECT_EQ(styleIndex(x->StyleDisabled()), styleIndex(y->StyleDisabled()));
        EXPECT_EQ(styleIndex(x->StyleHotTracked()), styleIndex(y->StyleHotTracked()));
        EXPECT_EQ(styleIndex(x->StylePressed()), styleIndex(y->StylePressed()));
        EXPECT_EQ(x->Tag(), y->Tag());
        EXPECT_EQ(x->Visible(), y->Visible());
    }
    ASSERT_EQ(a.Groups().Count(), b.Groups().Count());
    for (int i = 0; i < a.Groups().Count(); ++i) {
        TqvNavBarGroup *x = a.Groups().Items(i), *y = b.Groups().Items(i);
        SCOPED_TRACE("group " + std::to_string(i));
        EXPECT_EQ(x->Caption(), y->Caption());
        EXPECT_EQ(x->Expanded(), y->Expanded());
        EXPECT_EQ(x->Hint(), y->Hint());
        EXPECT_EQ(x->LargeImageIndex(), y->LargeImageIndex());
        EXPECT_EQ(x->LinksUseSmallImages(), y->LinksUseSmallImages());
        ASSERT_EQ(x->LinkCount(), y->LinkCount());
        for (int l = 0; l < x->LinkCount(); ++l)
            EXPECT_EQ(x->Links(l)->Item()->Index(), y->Links(l)->Item()->Index());
        EXPECT_EQ(x->SelectedLinkIndex(), y->SelectedLinkIndex());
        EXPECT_EQ(x->ShowAsIconView(), y->ShowAsIconView());
        EXPECT_EQ(x->ShowExpandButton(), y->ShowExpandButton());
        EXPECT_EQ(x->SmallImageIndex(), y->SmallImageIndex());
        EXPECT_EQ(styleIndex(x->StyleBackground()), styleIndex(y->StyleBackground()));
        EXPECT_EQ(styleIndex(x->StyleHeader()), styleIndex(y->StyleHeader()));
        EXPECT_EQ(styleIndex(x->StyleHeaderActive()), styleIndex(y->StyleHeaderActive()));
        EXPECT_EQ(styleIndex(x->StyleHeaderHotTracked()), styleIndex(y->StyleHeaderHotTracked()));
        EXPECT_EQ(styleIndex(x->StyleHeaderPressed()), styleIndex(y->StyleHeaderPressed()));
        EXPECT_EQ(x->Tag(), y->Tag());
        EXPECT_EQ(x->TopVisibleLinkIndex(), y->TopVisibleLinkIndex());
        EXPECT_EQ(x->UseSmallImages(), y->UseSmallImages());
        EXPECT_EQ(x->Visible(), y->Visible());
    }
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(styleIndex(a.BarStyle(TqvNavBarBarStyle(i))), styleIndex(b.BarStyle(TqvNavBarBarStyle(i))));
}

// The bar of the round trip: three styles, four items, three groups, all seven bar styles.
void buildFullBar(TqvNavBar &bar)
{
    for (int i = 0; i < 3; ++i)
        bar.Styles().Add()->SetTag(10 + i);
    TqvNavBarStyle &s0 = bar.Styles().Items(0)->Style();
    TqvPicture jpeg;
    ASSERT_TRUE(jpeg.loadFromData("TJPEGImage", encodeJpeg(8, 6)));
    ASSERT_FALSE(jpeg.isEmpty());
    s0.SetImage(jpeg);
    TqvNavBarStyle &s1 = bar.Styles().Items(1)->Style();
    s1.SetBackColor(clBtnFace);
    s1.SetBackColor2(clNone);
    s1.SetAlphaBlending(128);
    s1.SetGradientMode(gmVertical);
    TqvNavBarStyle &s2 = bar.Styles().Items(2)->Style();
    TqvStyleFont f;
    f.setName("Courier New");
    f.setSize(12);
    f.setBold(true);
    f.setItalic(true);
    f.setColor(0x00336699);
    s2.SetFont(f);
    s2.SetHAlignment(haCenter);

    const char *captions[4] = {"Inbox", " Outbox", "Sent", "Drafts"};
    for (int i = 0; i < 4; ++i) {
        TqvNavBarItem *it = bar.Items().Add();
        it->SetCaption(captions[i]);
        it->SetSmallImageIndex(i);
        it->SetTag(100 + i);
    }
    bar.Items().Items(1)->SetEnabled(false);
    bar.Items().Items(2)->SetVisible(false);
    bar.Items().Items(3)->SetHint("Drafts|Messages not sent yet");
    bar.Items().Items(0)->SetStyle(bar.Styles().Items(2));
    bar.Items().Items(1)->SetStyleDisabled(bar.Styles().Items(1));

    for (int g = 0; g < 3; ++g) {
        TqvNavBarGroup *grp = bar.GroupsRef().Add();
        grp->SetCaption(QString("Group %1").arg(g));
        grp->SetTag(g);
    }
    TqvNavBarGroup *g0 = bar.GroupsRef().Items(0);
    g0->CreateLink(bar.Items().Items(0));
    g0->CreateLink(bar.Items().Items(0)); // two links to one item
    g0->CreateLink(bar.Items().Items(1));
    g0->CreateLink(bar.Items().Items(3));
    g0->SetSelectedLinkIndex(2);
    g0->SetTopVisibleLinkIndex(1);
    g0->SetStyleHeader(bar.Styles().Items(2));
    g0->SetStyleBackground(bar.Styles().Items(1));
    TqvNavBarGroup *g1 = bar.GroupsRef().Items(1);
    g1->SetShowAsIconView(true);
    g1->SetExpanded(false);
    g1->CreateLink(bar.Items().Items(2));
    g1->SetStyleHeaderActive(bar.Styles().Items(0));
    g1->SetStyleHeaderHotTracked(bar.Styles().Items(0));
    g1->SetStyleHeaderPressed(bar.Styles().Items(1));
    bar.GroupsRef().Items(2)->SetVisible(false);
    for (int i = 0; i < 7; ++i)
        bar.SetBarStyle(TqvNavBarBarStyle(i), bar.Styles().Items(i % 3));
}

struct LayoutTest : ::testing::Test {
    QTemporaryDir dir;
    std::string path(const char *name) const { return (dir.path() + "/" + name).toStdString(); }
};

} // namespace

TEST_F(LayoutTest, FullBarRoundTripsByteForByte)
{
    TqvNavBar a;
    buildFullBar(a);
    ASSERT_TRUE(SaveLayoutToIni(a, path("a.ini")));
    TqvNavBar b;
    b.Items().Add()->SetCaption("to be replaced");
    ASSERT_TRUE(b.LoadLayoutFromIni(path("a.ini")));
    ASSERT_TRUE(b.SaveLayoutToIni(path("b.ini")));
    EXPECT_EQ(readAll(path("a.ini")), readAll(path("b.ini")));
    expectSameBars(a, b);

    const std::string text = readAll(path("a.ini"));
    EXPECT_NE(text.find("BackColor=-2147483633"), std::string::npos); // clBtnFace, signed
    EXPECT_NE(text.find("ImageClass=TJPEGImage"), std::string::npos);
    EXPECT_NE(text.find("FontHeight=-16"), std::string::npos);     // 12 pt at 96 dpi
    EXPECT_NE(text.find("Caption=\" Outbox\""), std::string::npos); // a leading blank survives
    EXPECT_NE(text.find("Link1ItemIndex=0"), std::string::npos);
    EXPECT_EQ(b.GroupsRef().Items(0)->SelectedLinkIndex(), 2);
    EXPECT_EQ(b.GroupsRef().Items(0)->TopVisibleLinkIndex(), 1);
    EXPECT_TRUE(b.Styles().Items(0)->Style().Image().isDrawable());
}

TEST_F(LayoutTest, LineBreaksInTextsAreWrittenAsBlanks)
{
    TqvNavBar a;
    a.Items().Add()->SetHint("two\nlines\r\nhere");
    ASSERT_TRUE(SaveLayoutToIni(a, path("a.ini")));
    TqvNavBar b;
    ASSERT_TRUE(LoadLayoutFromIni(b, path("a.ini")));
    ASSERT_EQ(b.Items().Count(), 1);
    EXPECT_EQ(b.Items().Items(0)->Hint(), "two lines  here");
}

TEST_F(LayoutTest, FileWithoutItemCountKeepsItemsAndLinksToThem)
{
    TqvNavBar bar;
    bar.Items().Add()->SetCaption("kept 0");
    bar.Items().Add()->SetCaption("kept 1");
    writeAll(path("l.ini"), "[Layout]\nGroupCount=1\n[Group0]\nLinkCount=1\nLink0ItemIndex=1\n");
    ASSERT_TRUE(LoadLayoutFromIni(bar, path("l.ini")));
    ASSERT_EQ(bar.Items().Count(), 2);
    EXPECT_EQ(bar.Items().Items(0)->Caption(), "kept 0");
    ASSERT_EQ(bar.Groups().Count(), 1);
    ASSERT_EQ(bar.Groups().Items(0)->LinkCount(), 1);
    EXPECT_EQ(bar.Groups().Items(0)->Links(0)->Item(), bar.Items().Items(1));
}

TEST_F(LayoutTest, EmptyPictureWritesNoImageKeys)
{
    TqvNavBar bar;
    bar.Styles().Add()->Style().SetBackColor(TColor(0x0000FF));
    ASSERT_TRUE(SaveLayoutToIni(bar, path("p.ini")));
    const std::string text = readAll(path("p.ini"));
    EXPECT_EQ(text.find("Image="), std::string::npos);
    EXPECT_EQ(text.find("ImageClass"), std::string::npos);
}

TEST_F(LayoutTest, SaveKeepsOtherWritersSectionsAndDropsStaleOnes)
{
    writeAll(path("shared.ini"), "[Grouping]\nMode=1\n[Settings]\nPort=COM1\n[MainItems]\nA=1\n"
                                 "[group7]\nCaption=stale\n[STYLE3]\nBackColor=1\n[Layout]\nView=0\n[Layouts]\nx=2\n");
    TqvNavBar bar;
    bar.GroupsRef().Add()->SetCaption("fresh");
    ASSERT_TRUE(SaveLayoutToIni(bar, path("shared.ini")));
    const std::string text = readAll(path("shared.ini"));
    for (const char *kept : {"[Grouping]\nMode=1\n", "[Settings]\nPort=COM1\n", "[MainItems]\nA=1\n", "[Layouts]\nx=2\n"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    EXPECT_EQ(text.find("group7"), std::string::npos);
    EXPECT_EQ(text.find("STYLE3"), std::string::npos);
    EXPECT_EQ(text.find("stale"), std::string::npos);
    EXPECT_NE(text.find("[Group0]\nCaption=fresh\n"), std::string::npos);
    size_t first = text.find("[Layout]\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("[Layout]\n", first + 1), std::string::npos);
}

TEST_F(LayoutTest, FailedSaveKeepsTheOldFile)
{
    TqvNavBar bar;
    // A folder that does not exist: nothing can be written, and the call says so.
    std::string error;
    EXPECT_FALSE(SaveLayoutToIni(bar, path("missing/x.ini"), &error));
    EXPECT_FALSE(error.empty());
    // A missing file to load leaves the bar as it was.
    bar.Items().Add();
    EXPECT_FALSE(LoadLayoutFromIni(bar, path("none.ini")));
    EXPECT_EQ(bar.Items().Count(), 1);
}

TEST_F(LayoutTest, HandWrittenFileLoads)
{
    TqvNavBar bar;
    ASSERT_TRUE(LoadLayoutFromIni(bar, dataFile("navbar_layout_hand_written.ini")));
    ASSERT_EQ(bar.Styles().Count(), 1);
    const TqvNavBarStyle &s = bar.Styles().Items(0)->Style();
    EXPECT_EQ(s.BackColor(), clBtnFace); // written unsigned
    EXPECT_EQ(s.BackColor2(), clBtnFace);
    EXPECT_EQ(s.Font().name(), "  Courier New ");
    EXPECT_EQ(s.Font().size(), 12);
    EXPECT_TRUE(s.Font().bold()); // any non-zero number is true
    ASSERT_EQ(bar.Items().Count(), 2);
    EXPECT_EQ(bar.Items().Items(0)->Caption(), "Open");
    EXPECT_EQ(bar.Items().Items(0)->Hint(), " padded ");
    EXPECT_FALSE(bar.Items().Items(1)->Enabled());
    ASSERT_EQ(bar.Groups().Count(), 1);
    TqvNavBarGroup *g = bar.Groups().Items(0);
    ASSERT_EQ(g->LinkCount(), 2);
    EXPECT_EQ(g->Links(0)->Item(), bar.Items().Items(1));
    EXPECT_EQ(g->Links(1)->Item(), bar.Items().Items(0));
    EXPECT_EQ(g->SelectedLinkIndex(), 1);
    EXPECT_EQ(g->StyleHeader(), bar.Styles().Items(0));
    EXPECT_EQ(bar.BarStyle(bsBackground), bar.Styles().Items(0));
}

// Damaged files: each loads into a consistent bar without crashing.
struct HostileRow {
    const char *file;
    int styles, items, groups;
    int links;    // links of group 0, -1 when there is no group
    bool picture; // style 0 has a picture
};

class HostileLayout : public ::testing::TestWithParam<HostileRow> {};

TEST_P(HostileLayout, LoadsIntoAConsistentBar)
{
    const HostileRow row = GetParam();
    TqvNavBar bar;
    ASSERT_TRUE(LoadLayoutFromIni(bar, dataFile(row.file)));
    EXPECT_EQ(bar.Styles().Count(), row.styles);
    EXPECT_EQ(bar.Items().Count(), row.items);
    EXPECT_EQ(bar.Groups().Count(), row.groups);
    if (row.links >= 0) {
        ASSERT_GE(bar.Groups().Count(), 1);
        TqvNavBarGroup *g = bar.Groups().Items(0);
        EXPECT_EQ(g->LinkCount(), row.links);
        for (int l = 0; l < g->LinkCount(); ++l)
            EXPECT_NE(g->Links(l)->Item(), nullptr);
        EXPECT_LT(g->SelectedLinkIndex(), std::max(g->LinkCount(), 0));
        EXPECT_LE(g->TopVisibleLinkIndex(), std::max(g->LinkCount() - 1, 0));
    }
    if (row.styles > 0) {
        EXPECT_EQ(!bar.Styles().Items(0)->Style().Image().isEmpty(), row.picture);
    }
    // The rebuilt bar saves and reloads.
    QTemporaryDir dir;
    const std::string out = (dir.path() + "/out.ini").toStdString();
    ASSERT_TRUE(SaveLayoutToIni(bar, out));
    TqvNavBar again;
    ASSERT_TRUE(LoadLayoutFromIni(again, out));
    expectSameBars(bar, again);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileLayout,
    ::testing::Values(
        // counts are bounded by the file's sections; missing sections read as defaults
        HostileRow{"navbar_layout_huge_counts.ini", 4, 4, 4, 1, false},
        HostileRow{"navbar_layout_negative_counts.ini", 0, 0, 0, -1, false},
        HostileRow{"navbar_layout_few_sections.ini", 3, 3, 3, 0, false},
        // out-of-range references stay unassigned, links to no item are skipped
        HostileRow{"navbar_layout_bad_indexes.ini", 1, 1, 1, 2, false},
        HostileRow{"navbar_layout_bad_hex.ini", 3, 0, 0, -1, false},
        HostileRow{"navbar_layout_unknown_class.ini", 1, 0, 0, -1, false},
        HostileRow{"navbar_layout_metafile.ini", 1, 0, 0, -1, true}));

TEST(HostileLayoutDetails, OutOfRangeValuesAreClamped)
{
    TqvNavBar bar;
    ASSERT_TRUE(LoadLayoutFromIni(bar, dataFile("navbar_layout_bad_indexes.ini")));
    EXPECT_EQ(bar.BarStyle(bsBackground), nullptr);
    EXPECT_EQ(bar.BarStyle(bsHint), nullptr);
    EXPECT_EQ(bar.BarStyle(bsButton), bar.Styles().Items(0));
    EXPECT_EQ(bar.Items().Items(0)->Style(), nullptr);
    EXPECT_EQ(bar.Items().Items(0)->StylePressed(), nullptr);
    EXPECT_EQ(bar.Groups().Items(0)->StyleHeader(), nullptr);
    const TqvNavBarStyle &s = bar.Styles().Items(0)->Style();
    EXPECT_LE(int(s.GradientMode()), 3);
    EXPECT_LE(int(s.HAlignment()), 2);
    EXPECT_LE(int(s.VAlignment()), 2);
    EXPECT_EQ(s.AlphaBlending(), 255);
    EXPECT_EQ(bar.Groups().Items(0)->SelectedLinkIndex(), 1);
    // The other values of a style with a damaged picture still load.
    TqvNavBar pics;
    ASSERT_TRUE(LoadLayoutFromIni(pics, dataFile("navbar_layout_bad_hex.ini")));
    for (int i = 0; i < pics.Styles().Count(); ++i)
        EXPECT_EQ(pics.Styles().Items(i)->Style().BackColor(), TColor(255));
}

TEST_F(LayoutTest, LoadingReplacesGroupsAndFreesTheirControls)
{
    TqvNavBar bar;
    TqvNavBarGroup *old = bar.GroupsRef().Add();
    old->SetUseControl(true);
    ASSERT_NE(old->Control(), nullptr);
    QPointer<QWidget> hosted = new QWidget(old->Control());
    QPointer<TqvNavBarGroupControl> control = old->Control();
    writeAll(path("g.ini"), "[Layout]\nGroupCount=1\n[Group0]\nCaption=new\n");
    ASSERT_TRUE(LoadLayoutFromIni(bar, path("g.ini")));
    EXPECT_TRUE(control.isNull());
    EXPECT_TRUE(hosted.isNull());
    ASSERT_EQ(bar.Groups().Count(), 1);
    EXPECT_EQ(bar.Groups().Items(0)->Caption(), "new");
}

TEST_F(LayoutTest, FileStartingWithAByteOrderMarkIsReadAndRewrittenInPlace)
{
    writeAll(path("bom.ini"), "\xEF\xBB\xBF[Layout]\r\nItemCount=1\r\n[Item0]\r\nCaption=A\r\n[Settings]\r\nX=1\r\n");
    TqvNavBar bar;
    ASSERT_TRUE(LoadLayoutFromIni(bar, path("bom.ini")));
    ASSERT_EQ(bar.Items().Count(), 1);
    EXPECT_EQ(bar.Items().Items(0)->Caption(), "A");
    ASSERT_TRUE(SaveLayoutToIni(bar, path("bom.ini")));
    const std::string text = readAll(path("bom.ini"));
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF[Settings]\r\nX=1\r\n[Layout]\r\n", 0), 0u) << text; // CR LF kept
    EXPECT_EQ(text.find("[Layout]", text.find("[Layout]") + 1), std::string::npos);
}
