// The contact tree, list, picker and menus on real widgets, and the print on a PDF printer and a
// preview image, offscreen.

#include "content/fake_env.h"
#include "content/qt/apply_menu.h"
#include "content/qt/contacts_qt.h"
#include "content/qt/sms_view.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTreeWidget>

#include <string>
#include <vector>

using namespace content;

namespace {

class ContactsQt : public ::testing::Test {
protected:
    int32_t save(int book, StorageCode s, const TMobileVacrd &f)
    {
        int32_t pos = -1;
        EXPECT_EQ(pb.SaveContact(book, s, pos, f), 0);
        return pos;
    }
    static TMobileVacrd entry(const std::string &name, const std::string &tel)
    {
        return {{kFieldName, -1, name}, {kFieldTel, 0, tel}};
    }
    static QFont fixedFont()
    {
        QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setPointSize(10);
        return f;
    }
    FakeEnv env;
    TPhoneBookManage pb{env};
};

// A poppler-utils tool's output; a missing tool fails the test (scripts/deps.sh installs it).
QString poppler(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForStarted(10000)) {
        ADD_FAILURE() << tool.toStdString() << " could not be run (" << p.errorString().toStdString()
                      << "): install poppler-utils, as scripts/deps.sh does";
        return {};
    }
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << tool.toStdString() << ": " << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The page count pdfinfo reads (-1 when it names none).
int pdfPages(const QString &path)
{
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s*(\\d+)"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = pages.match(poppler("pdfinfo", {path}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of each page as pdftotext extracts it: each page's non-empty lines, blanks squeezed.
QList<QStringList> pdfText(const QString &path)
{
    QStringList pages = poppler("pdftotext", {"-enc", "UTF-8", "-layout", path, "-"}).split(QChar('\f'));
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.pop_back(); // the form feed after the last page
    QList<QStringList> out;
    for (const QString &pg : pages) {
        QStringList lines;
        for (const QString &l : pg.split(QChar('\n')))
            if (!l.trimmed().isEmpty())
                lines << l.simplified();
        out << lines;
    }
    return out;
}

// ---- Tree and list ----

TEST_F(ContactsQt, HandsetRootIsReplacedFileBooksStay)
{
    QTreeWidget tree;
    env.app.PbCap2 = true;
    fillHandsetNode(&tree, BuildHandsetNode(env));
    int b = pb.AddFileBook("/a/x.csv");
    addBookNode(&tree, b, {"x", 0, {{"SIM", 1, {}, false}}, true});
    env.app.PbCap4 = true;
    fillHandsetNode(&tree, BuildHandsetNode(env));
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    QTreeWidgetItem *root = tree.topLevelItem(0);
    EXPECT_EQ(root->text(0), "<PbMng_Tree_0>");
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(tree.currentItem(), root);
    ASSERT_EQ(root->childCount(), 3);
    EXPECT_EQ(root->child(2)->data(0, kStorageRole).toInt(), 4);
    EXPECT_EQ(tree.topLevelItem(1)->data(0, kBookRole).toInt(), b);
    EXPECT_EQ(tree.topLevelItem(1)->child(0)->data(0, kStorageRole).toInt(), 1);
}

TEST_F(ContactsQt, ListSortsPositionsAsNumbersAndTextsIgnoringCase)
{
    int b = pb.AddFileBook("/a/x.csv");
    for (const char *n : {"bob;", "Alice;", "carl;"})
        save(b, StorageCode::Sim, entry(n, "1"));
    for (int i = 0; i < 8; ++i)
        save(b, StorageCode::Sim, entry("z" + std::to_string(i) + ";", "1"));
    QTreeWidget list;
    list.setSortingEnabled(true);
    fillContactList(&list, FillList(pb, env, b, StorageCode::Sim, 550));
    ASSERT_EQ(list.topLevelItemCount(), 11);
    EXPECT_EQ(list.headerItem()->text(0), "<PbMng_Pb_Column_1>");
    // The given width, widened where the caption would be cut.
    EXPECT_GE(list.columnWidth(3), 80);
    const QFontMetrics fm(list.header()->font());
    for (int c = 0; c < list.columnCount(); ++c)
        EXPECT_GT(list.columnWidth(c), fm.horizontalAdvance(list.headerItem()->text(c))) << c;
    list.sortByColumn(0, Qt::AscendingOrder);
    EXPECT_EQ(list.topLevelItem(1)->text(0), "2");
    EXPECT_EQ(list.topLevelItem(9)->text(0), "10");
    EXPECT_GE(list.topLevelItem(0)->data(0, kRowIdRole).toInt(), 0);
    list.sortByColumn(1, Qt::AscendingOrder);
    EXPECT_EQ(list.topLevelItem(0)->text(1), "Alice");
    EXPECT_EQ(list.topLevelItem(1)->text(1), "bob");
    EXPECT_EQ(list.topLevelItem(2)->text(1), "carl");
}

TEST_F(ContactsQt, EditedRowIsAddedOrRefreshed)
{
    int b = pb.AddFileBook("/a/x.csv");
    pb.book(b).groupNames = {"Work"};
    QTreeWidget list;
    fillContactList(&list, FillList(pb, env, b, StorageCode::Sim, 550));
    QTreeWidgetItem *item =
        updateListRow(&list, nullptr, UpdateEntryRow(pb, b, StorageCode::Sim, 4, entry(";Ann", "9"), 7));
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(item->text(1), "Ann");
    EXPECT_EQ(item->data(0, kRowIdRole).toInt(), 7);
    TMobileVacrd changed = entry("Bo;", "8");
    changed.push_back({kFieldGroup, 0, "1"});
    updateListRow(&list, item, UpdateEntryRow(pb, b, StorageCode::Sim, 4, changed, 7));
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(item->text(1), "Bo");
    EXPECT_EQ(item->text(3), "Work");

    pb.book(b).contactsTemplate = {{kFieldTel, 0, 10}, {kFieldName, 0, 10}};
    ContactListRow c = UpdateContactRow(pb, b, 2, entry(";Cy", "5"));
    EXPECT_EQ(c.cells, (std::vector<std::string>{"5", "Cy"}));
}

TEST_F(ContactsQt, PickerListShowsDisplayNames)
{
    int b = pb.AddFileBook("/a/x.csv");
    save(b, StorageCode::Sim, entry(";Alice", "123"));
    QTreeWidget list;
    fillPickerList(&list, FillNumberList(pb, b, false));
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(list.topLevelItem(0)->text(0), "Alice");
    EXPECT_EQ(list.topLevelItem(0)->text(1), "123");
}

// ---- Menus ----

TEST_F(ContactsQt, MenuStateOnRealActions)
{
    QMenu menu;
    auto add = [&](const char *name, int tag) {
        QAction *a = menu.addAction(name);
        a->setObjectName(name);
        a->setProperty(kTagProperty, tag);
        return a;
    };
    QAction *del = add("pCardDel", 1), *paste = add("pCardPaste", 99), *other = add("pCardNew", 0);
    const std::vector<ContactMenuItem> items = contactMenuItems({&menu});
    ASSERT_EQ(items.size(), 3u);
    int file = pb.AddFileBook("/a/x.csv");
    struct Case {
        int book;
        bool connected;
        int rows, selected;
        int32_t storage;
        bool delEnabled, visible;
    };
    for (const Case &c : {Case{0, true, 2, 0, 1, true, true}, Case{0, false, 2, 2, 1, false, true},
                          Case{0, true, 0, 0, 2, false, true}, Case{file, false, 2, 1, 4, true, true},
                          Case{file, true, 2, 0, 1, false, true}, Case{0, true, 2, 1, 8, false, false},
                          Case{file, true, 2, 1, 8, false, false}}) {
        env.app.Connected = c.connected;
        applyMenuState({&menu}, UpdateMenus(pb, env, c.book, c.storage, c.rows, c.selected, items));
        EXPECT_EQ(del->isEnabled(), c.delEnabled) << c.book << c.connected << c.rows << c.selected << c.storage;
        EXPECT_EQ(del->isVisible(), c.visible);
        EXPECT_EQ(other->isVisible(), c.visible);
        EXPECT_FALSE(paste->isEnabled());
    }
    save(file, StorageCode::Sim, entry("A;", "1"));
    ASSERT_TRUE(pb.SetClipboard(file, 1, 0, {1}));
    applyMenuState({&menu}, UpdateMenus(pb, env, file, 1, 1, 0, items));
    EXPECT_TRUE(paste->isEnabled());
}

// ---- Printing ----

class ContactsPrint : public ContactsQt {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf());
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setResolution(300);
    }
    QString pdf() const { return dir.filePath("out.pdf"); }
    QRect page() { return QRect(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size()); }
    int32_t print(int book)
    {
        return PrintContacts(pb, env, book, printer, fixedFont(), page(), 100, 100, false,
                             [&] { return printer.newPage(); });
    }
    QList<PrintPage> layout(int book, const QRect &r)
    {
        QPainter p(&image);
        return LayoutContacts(pb, env, book, p, fixedFont(), r, 100, 100);
    }
    QTemporaryDir dir;
    QPrinter printer{QPrinter::HighResolution};
    QImage image{10, 10, QImage::Format_RGB32};
};

TEST_F(ContactsPrint, SimListPageCountFollowsFontAndPage)
{
    const int n = 300;
    const int b = pb.AddFileBook("/a/f.csv");
    for (int i = 0; i < n; ++i)
        save(b, StorageCode::Sim, entry("Name" + std::to_string(i) + ";", std::to_string(1000 + i)));
    ASSERT_EQ(print(b), 0);
    const int lineH = 2 * QFontMetrics(fixedFont(), &printer).height();
    const int avail = (page().bottom() - 100) - 100 - 2 * lineH;
    const int perPage = avail / lineH;
    const int expected = (n + perPage - 1) / perPage;
    EXPECT_EQ(pdfPages(pdf()), expected);

    // Read back: the title and the three headings head every page, and every entry is printed
    // once, in order, across the page breaks.
    const QList<QStringList> text = pdfText(pdf());
    ASSERT_EQ(text.size(), expected);
    QStringList names;
    static const QRegularExpression name(QStringLiteral("^Name(\\d+) (\\d+)$"));
    for (const QStringList &lines : text) {
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines[0], "SIM");
        EXPECT_EQ(lines[1], "Name Tel No. Group Name");
        for (qsizetype i = 2; i < lines.size(); ++i) {
            const QRegularExpressionMatch m = name.match(lines[i]);
            ASSERT_TRUE(m.hasMatch()) << lines[i].toStdString();
            EXPECT_EQ(m.captured(2).toInt(), 1000 + m.captured(1).toInt());
            names << m.captured(1);
        }
    }
    ASSERT_EQ(names.size(), n);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(names[i].toInt(), i);

    QPainter p(&printer); // the same device: the same metrics as the print
    const QList<PrintPage> pages = LayoutContacts(pb, env, b, p, fixedFont(), page(), 100, 100);
    p.end();
    ASSERT_EQ(pages.size(), expected);
    for (const PrintPage &pg : pages) {
        ASSERT_GE(pg.texts.size(), 4);
        EXPECT_EQ(pg.texts[0], (PrintText{pg.texts[0].rect, "SIM", true}));
        EXPECT_EQ(pg.texts[1].text, "Name");
        EXPECT_EQ(pg.texts[2].text, "Tel No.");
        EXPECT_EQ(pg.texts[3].text, "Group Name");
        // Columns at 0, 3/7 and 6/7 of the printable width; text kept inside its column.
        const int w = page().width() - 200;
        EXPECT_EQ(pg.texts[2].rect.left(), 100 + w * 3 / 7 + 2);
        EXPECT_EQ(pg.texts[3].rect.left(), 100 + w * 6 / 7 + 2);
        EXPECT_LT(pg.texts[1].rect.right(), pg.texts[2].rect.left());
    }
}

TEST_F(ContactsPrint, ListsComeInOrderEachOnItsOwnPages)
{
    int b = pb.AddFileBook("/a/x.csv");
    pb.book(b).groupNames = {"Work"};
    save(b, StorageCode::Contacts, {{kFieldName, -1, ";Carol"}, {kFieldTel, 256, "+1"}, {kFieldGroup, 0, "1"}});
    save(b, StorageCode::Phone, entry("Pat;", "2"));
    save(b, StorageCode::Sim, {{kFieldName, -1, ";Alice"}, {kFieldTel, 0, "3"}, {kFieldGroup, 0, "1"}});
    save(b, StorageCode::Sim, {{kFieldName, -1, "\xe5\xbc\xa0\xe4\xb8\x89;"}, {kFieldTel, 0, "4"}});
    const QList<PrintPage> pages = layout(b, QRect(0, 0, 2480, 3508));
    ASSERT_EQ(pages.size(), 3);
    EXPECT_EQ(pages[0].texts[0].text, "SIM");
    EXPECT_EQ(pages[1].texts[0].text, "Phone");
    EXPECT_EQ(pages[2].texts[0].text, "<PbMng_Tree_4>");
    // The display name, and the group's name rather than its number.
    EXPECT_EQ(pages[0].texts[4].text, "Alice");
    EXPECT_EQ(pages[0].texts[6].text, "Work");
    EXPECT_EQ(pages[0].texts[7].text, QString::fromUtf8("\xe5\xbc\xa0\xe4\xb8\x89"));
    EXPECT_EQ(pages[2].texts[1].text, "Carol");
    EXPECT_TRUE(pages[2].texts[2].text.endsWith("<PbMng_ParamB256>: +1")) << pages[2].texts[2].text.toStdString();
    EXPECT_EQ(pages[2].texts[3].text, "<PbMng_Pb_Column_61>: Work");
    ASSERT_EQ(print(b), 0);
    EXPECT_EQ(pdfPages(pdf()), 3);
    // Read back from the file: the lists in order, the Chinese name as text (a font drawing it
    // as outlines would leave nothing to extract).
    const QList<QStringList> text = pdfText(pdf());
    ASSERT_EQ(text.size(), 3);
    EXPECT_EQ(text[0], (QStringList{"SIM", "Name Tel No. Group Name", "Alice 3 Work",
                                    QString::fromUtf8("\xe5\xbc\xa0\xe4\xb8\x89 4")}));
    EXPECT_EQ(text[1], (QStringList{"Phone", "Name Tel No. Group Name", "Pat 2"}));
    EXPECT_EQ(text[2], (QStringList{"<PbMng_Tree_4>", "Carol", "<PbMng_ParamA64><PbMng_ParamB256>: +1",
                                    "<PbMng_Pb_Column_61>: Work"}));
    // The caller's font draws the Latin text; a CJK font is embedded beside it for the name.
    const QString fonts = poppler("pdffonts", {pdf()});
    EXPECT_TRUE(fonts.contains(QFontInfo(fixedFont()).family().remove(' '))) << fonts.toStdString();
    EXPECT_TRUE(fonts.contains("WenQuanYi") || fonts.contains("CJK")) << fonts.toStdString();
}

TEST_F(ContactsPrint, ContactTallerThanAPageContinues)
{
    int b = pb.AddFileBook("/a/x.csv");
    TMobileVacrd big{{kFieldName, -1, "Big;"}};
    for (int i = 0; i < 59; ++i)
        big.push_back({kFieldNote, 0, "note " + std::to_string(i)});
    save(b, StorageCode::Contacts, big);
    save(b, StorageCode::Contacts, entry("Small;", "1"));
    const QRect small(0, 0, 800, 1000);
    const QList<PrintPage> pages = layout(b, small);
    ASSERT_GT(pages.size(), 1);
    int lines = 0;
    for (const PrintPage &pg : pages) {
        lines += int(pg.texts.size()) - 1; // less the page head
        for (const PrintText &t : pg.texts)
            EXPECT_LE(t.rect.bottom(), small.bottom() - 100 + 1);
    }
    EXPECT_EQ(lines, 60 + 2);
}

TEST_F(ContactsPrint, PreviewDrawsOnlyTheFirstPage)
{
    int b = pb.AddFileBook("/a/x.csv");
    for (int i = 0; i < 200; ++i)
        save(b, StorageCode::Sim, entry("N" + std::to_string(i) + ";", "1"));
    QImage preview(800, 1100, QImage::Format_RGB32);
    preview.fill(Qt::white);
    int newPages = 0;
    ASSERT_EQ(PrintContacts(pb, env, b, preview, fixedFont(), preview.rect(), 50, 50, true,
                            [&] { return ++newPages, true; }),
              0);
    EXPECT_EQ(newPages, 0);
    int inked = 0;
    for (int y = 0; y < preview.height(); ++y)
        for (int x = 0; x < preview.width(); ++x)
            inked += preview.pixel(x, y) != QColor(Qt::white).rgb();
    EXPECT_GT(inked, 1000);
    const QByteArray bin = qgetenv("SELVARK_BINARY_DIR");
    const QString shots = (bin.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(bin)) + "/screenshots/content";
    QDir().mkpath(shots);
    preview.save(shots + "/contacts_print_preview.png");
}

TEST_F(ContactsPrint, UnknownBookShowsErrorAndWritesNoFile)
{
    EXPECT_EQ(print(5), kPbBadArg);
    EXPECT_EQ(env.prompt.texts(), std::vector<std::string>{"<PbMng_ErrorArea>"});
    EXPECT_FALSE(QFile::exists(pdf()));
}

} // namespace
