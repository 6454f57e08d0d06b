// The headless history: what is recorded, in which order, and how the file is read and written.
// No QApplication: the history needs Qt Core only.
#include "controls/history/history.h"

#include "core/platform/temp_dir.h"
#include "qt_print.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

using controls::History;
using platform_test::readText;
using platform_test::TempDir;
using platform_test::writeText;

namespace {

QStringList numbered(int from, int to)
{
    QStringList l;
    for (int i = from; i <= to; ++i)
        l << QString("1380000%1").arg(i, 4, 10, QChar('0'));
    return l;
}

std::string fileOf(const QStringList &entries)
{
    std::string s;
    for (const QString &e : entries)
        s += e.toStdString() + "\r\n";
    return s;
}

QString q(const std::string &s) { return QString::fromStdString(s); }

// Puts a file's modification time far in the past, so any rewrite shows.
void ageFile(const std::string &path)
{
    const timespec times[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct FileStamp {
    std::string bytes;
    timespec mtime{};
    ino_t inode = 0;
    bool operator==(const FileStamp &o) const
    {
        return bytes == o.bytes && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
               inode == o.inode;
    }
};

FileStamp stampOf(const std::string &path)
{
    FileStamp s;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        s.mtime = st.st_mtim;
        s.inode = st.st_ino;
    }
    s.bytes = readText(path);
    return s;
}

// A table of system calls that counts the files opened for writing.
struct CountingOps {
    int opens = 0;
    platform::FileOps ops;
    CountingOps()
    {
        ops.open = [this](const char *p, int f, mode_t m) {
            ++opens;
            return ::open(p, f, m);
        };
    }
};

} // namespace

TEST(History, StartsEmptyWithTenAsMaxrecord)
{
    History h;
    EXPECT_TRUE(h.entries().isEmpty());
    EXPECT_EQ(h.Maxrecord(), 10);
    EXPECT_TRUE(h.Filename().isEmpty());
}

TEST(History, BlanksOnlyRecordNothing)
{
    TempDir dir;
    History h;
    ASSERT_TRUE(h.SetFilename(q(dir.file("SmsADRSFile.Vrk"))));
    for (const QString &text : {QString(), QString("   "), QString(" \t\r\n "), QString("\x01\x1f ")}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(h.AddHistory(text).added, History::Added::Blank);
    }
    EXPECT_TRUE(h.entries().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("SmsADRSFile.Vrk")));
}

TEST(History, LeadingBlankIsKeptAndMakesADifferentEntry)
{
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    History h;
    h.SetFilename(q(path));
    EXPECT_EQ(h.AddHistory("13800138000").added, History::Added::New);
    EXPECT_EQ(h.AddHistory(" 13800138000").added, History::Added::New);
    EXPECT_EQ(h.entries(), QStringList({" 13800138000", "13800138000"}));
    EXPECT_EQ(readText(path), " 13800138000\r\n13800138000\r\n");
}

TEST(History, TextPresentInAnotherCaseNeitherMovesNorRewritesTheFile)
{
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    writeText(path, "Alice <13800>\r\nÄrzte 112\r\nbob\r\n");
    ageFile(path);
    const FileStamp before = stampOf(path);

    History h;
    ASSERT_TRUE(h.SetFilename(q(path)));
    const QStringList loaded = h.entries();
    for (const QString &text : {QString("BOB"), QString("alice <13800>"), QString("äRZTE 112")}) {
        SCOPED_TRACE(text.toStdString());
        const History::AddResult r = h.AddHistory(text);
        EXPECT_EQ(r.added, History::Added::Present);
        EXPECT_TRUE(r.saved);
    }
    EXPECT_EQ(h.entries(), loaded);
    EXPECT_TRUE(stampOf(path) == before) << "the file was rewritten";
}

TEST(History, TenEntriesAndANewTextDropTheOldest)
{
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    const QStringList ten = numbered(1, 10);
    writeText(path, fileOf(ten));
    History h;
    ASSERT_TRUE(h.SetFilename(q(path)));
    ASSERT_EQ(h.entries(), ten);

    const History::AddResult r = h.AddHistory("13912345678");
    EXPECT_EQ(r.added, History::Added::New);
    ASSERT_TRUE(r.saved) << r.saved.message;
    QStringList expected = ten.mid(0, 9);
    expected.prepend("13912345678");
    EXPECT_EQ(h.entries(), expected);
    EXPECT_EQ(readText(path), fileOf(expected));
}

TEST(History, AFifteenLineFileLoadsFifteenAndStaysAtFifteen)
{
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    const QStringList fifteen = numbered(1, 15);
    writeText(path, fileOf(fifteen));
    History h;
    ASSERT_TRUE(h.SetFilename(q(path)));
    EXPECT_EQ(h.entries().size(), 15);

    h.AddHistory("new one");
    h.AddHistory("new two");
    QStringList expected = fifteen.mid(0, 13);
    expected.prepend("new one");
    expected.prepend("new two");
    EXPECT_EQ(h.entries(), expected);
    EXPECT_EQ(readText(path), fileOf(expected));
}

TEST(History, AMissingFileGivesAnEmptyList)
{
    TempDir dir;
    writeText(dir.file("old.Vrk"), "13800\r\n");
    History h;
    ASSERT_TRUE(h.SetFilename(q(dir.file("old.Vrk"))));
    ASSERT_EQ(h.entries().size(), 1);
    const platform::FileResult r = h.SetFilename(q(dir.file("missing.Vrk")));
    EXPECT_TRUE(r) << r.message;
    EXPECT_TRUE(h.entries().isEmpty());
    EXPECT_EQ(h.Filename(), q(dir.file("missing.Vrk")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.Vrk")));
}

TEST(History, LineEndsOfEveryKindReadTheSame)
{
    const QStringList expected{"13800138000", "Bob <139>", "x"};
    const std::vector<std::pair<const char *, std::string>> files = {
        {"CR LF", "13800138000\r\nBob <139>\r\nx\r\n"},
        {"LF only", "13800138000\nBob <139>\nx\n"},
        {"no final break", "13800138000\r\nBob <139>\r\nx"},
        {"CR only", "13800138000\rBob <139>\rx\r"},
        {"mixed, blank lines", "13800138000\n\r\nBob <139>\r\n   \r\nx\r\n\r\n"},
        {"byte-order mark", "\xEF\xBB\xBF" "13800138000\r\nBob <139>\r\nx\r\n"},
    };
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(History::parse(QByteArray::fromStdString(bytes)), expected);
    }
    EXPECT_TRUE(History::parse(QByteArray()).isEmpty());
    EXPECT_TRUE(History::parse("\r\n\r\n").isEmpty());
}

TEST(History, InvalidBytesAndNulDoNotEndTheRead)
{
    const std::string bytes = std::string("a\xFF\xFE" "b\r\n") + std::string("n\0ul", 4) + "\r\nlast\r\n";
    const QStringList l = History::parse(QByteArray::fromStdString(bytes));
    ASSERT_EQ(l.size(), 3);
    EXPECT_TRUE(l[0].startsWith('a') && l[0].endsWith('b') && l[0].contains(QChar(0xFFFD)));
    EXPECT_EQ(l[1], QString::fromUtf8("n\0ul", 4));
    EXPECT_EQ(l[2], "last");
}

TEST(History, ATextWithLineBreaksRecordsOneLine)
{
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    History h;
    h.SetFilename(q(path));
    h.AddHistory("13800;\r\n13900;\n14000\r14100");
    EXPECT_EQ(h.entries(), QStringList{"13800; 13900; 14000 14100"});
    EXPECT_EQ(readText(path), "13800; 13900; 14000 14100\r\n");

    History back;
    back.SetFilename(q(path));
    EXPECT_EQ(back.entries(), h.entries());
    // The recorded form is what is compared: the same text again is present.
    EXPECT_EQ(back.AddHistory("13800;\n13900;\r\n14000\n14100").added, History::Added::Present);
}

TEST(History, NonAsciiTextsRoundTripInUtf8)
{
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    History h;
    h.SetFilename(q(path));
    h.AddHistory(QString::fromUtf8("张三 <13800>"));
    EXPECT_EQ(readText(path), "张三 <13800>\r\n");
    History back;
    back.SetFilename(q(path));
    EXPECT_EQ(back.entries(), QStringList{QString::fromUtf8("张三 <13800>")});
}

TEST(History, WithAnEmptyFilenameTheHistoryLivesInMemoryOnly)
{
    CountingOps counting;
    History h;
    h.setFileOps(&counting.ops);
    ASSERT_TRUE(h.SetFilename(QString()));
    const History::AddResult r = h.AddHistory("13800");
    EXPECT_EQ(r.added, History::Added::New);
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(h.entries(), QStringList{"13800"});
    EXPECT_EQ(counting.opens, 0);
}

TEST(History, TheFileIsFoundWhateverTheCaseOfItsFolder)
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("INI"));
    writeText(dir.file("INI/smsadrsfile.vrk"), "13800\r\n");
    History h;
    ASSERT_TRUE(h.SetFilename(q(dir.file("ini/SmsADRSFile.Vrk"))));
    EXPECT_EQ(h.entries(), QStringList{"13800"});
    h.AddHistory("13900");
    EXPECT_EQ(readText(dir.file("INI/smsadrsfile.vrk")), "13900\r\n13800\r\n");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"INI"});
}
