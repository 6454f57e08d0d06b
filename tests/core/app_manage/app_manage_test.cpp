// The application manager: working folders, the settings file (golden texts), capability bits and
// the fixed-buffer copy.
#include "core/app_manage.h"

#include "core/lang_mng.h"
#include "core/prompt.h"
#include "platform/ini_file.h"
#include "core/platform/temp_dir.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using core::RecordingPrompt;
using core::TManage;
using platform_test::listFolder;
using platform_test::readText;
using platform_test::TempTree;

namespace {

const char *const kDefaultsFile = "[comset]\n"
                                  "KeepTime=0\n"
                                  "InCeptDel=0\n"
                                  "SendClose=0\n"
                                  "HaveTitle=1\n"
                                  "Signature=1\n"
                                  "DelQuestion=1\n"
                                  "CurLangType=English\n"
                                  "SelectPhone=nokia\n"
                                  "ComType=IrDA\n"
                                  "ComPort=\n"
                                  "ComBaud=\n"
                                  "SplitAuto=1\n"
                                  "CAddressee=\n"
                                  "CSignture=\n"
                                  "CSCenter=\n"
                                  "ClearTrashOnExit=0\n";

} // namespace

// A fresh program folder: the four folders made with their spellings, "English" selected, the
// defaults without a settings file, and a first save writing all sixteen keys in order.
TEST(TManage, FreshFolderGivesDefaultsAndWritesAllKeys)
{
    TempTree t;
    core_test::writeLanguage(t.root());
    RecordingPrompt prompt;
    TManage m(t.root(), &prompt);
    EXPECT_EQ(m.AppDir, t.root() + "/");
    EXPECT_EQ(listFolder(t.root()),
              (std::vector<std::string>{"Database", "Language", "Plug-in", "Temp", "ini"}));
    EXPECT_EQ(m.DatabaseDir(), t.root() + "/Database");
    EXPECT_EQ(m.HistoryFile, t.root() + "/ini/SmsADRSFile.Vrk");
    EXPECT_EQ(m.HelpFile, "Tarnovel.chm");
    EXPECT_EQ(m.LangMng().currentLanguage(), "English");
    EXPECT_TRUE(prompt.shown().empty());

    m.KeepTime = 77;
    m.HaveTitle = false;
    m.LoadSettings(); // no file: every field back to its default
    EXPECT_EQ(m.KeepTime, 0);
    EXPECT_TRUE(m.HaveTitle && m.Signature && m.SplitAuto && m.DelQuestion);
    EXPECT_FALSE(m.SendClose || m.InCeptDel || m.ClearTrashOnExit);
    EXPECT_EQ(m.CurLangType, "English");
    EXPECT_EQ(m.SelectPhone, "nokia");
    EXPECT_EQ(m.ComType, "IrDA");
    EXPECT_EQ(m.ComPort + m.ComBaud + m.CAddressee + m.CSignture + m.CSCenter, "");

    ASSERT_TRUE(m.SaveSettings());
    EXPECT_EQ(readText(t.path("ini/set.ini")), kDefaultsFile);
}

// Values written and read back.
TEST(TManage, SettingsRoundTrip)
{
    TempTree t;
    core_test::writeLanguage(t.root());
    RecordingPrompt prompt;
    {
        TManage m(t.root(), &prompt);
        m.KeepTime = 15;
        m.InCeptDel = true;
        m.SendClose = true;
        m.HaveTitle = false;
        m.Signature = false;
        m.DelQuestion = false;
        m.SplitAuto = false;
        m.SetCurLangType("Chinese");
        m.SelectPhone = "Other";
        m.SetComParams("Cable", "/dev/ttyUSB0", "115200");
        m.CAddressee = "+8613800138000";
        m.CSignture = "Regards, O'Brien";
        m.CSCenter = " +8613800100500 "; // blanks at the edges survive
        m.ClearTrashOnExit = true;
        ASSERT_TRUE(m.SaveSettings());
        EXPECT_EQ(m.LangMng().currentLanguage(), "English"); // SetCurLangType only stores
    }
    EXPECT_NE(readText(t.path("ini/set.ini")).find("ClearTrashOnExit=1"), std::string::npos);
    TManage n(t.root(), &prompt);
    n.LoadSettings();
    EXPECT_EQ(n.KeepTime, 15);
    EXPECT_TRUE(n.InCeptDel && n.SendClose && n.ClearTrashOnExit);
    EXPECT_FALSE(n.HaveTitle || n.Signature || n.DelQuestion || n.SplitAuto);
    EXPECT_EQ(n.CurLangType, "Chinese");
    EXPECT_EQ(n.SelectPhone, "Other");
    EXPECT_EQ(n.ComType, "Cable");
    EXPECT_EQ(n.ComPort, "/dev/ttyUSB0");
    EXPECT_EQ(n.ComBaud, "115200");
    EXPECT_EQ(n.CAddressee, "+8613800138000");
    EXPECT_EQ(n.CSignture, "Regards, O'Brien");
    EXPECT_EQ(n.CSCenter, " +8613800100500 ");
    EXPECT_TRUE(prompt.shown().empty());
}

// An existing file with a comment, a foreign section and keys in other case: read without case,
// and updated in place (spelling, comments, line ends and other sections kept; missing keys after
// the section's last line).
TEST(TManage, ExistingFileUpdatedInPlace)
{
    TempTree t;
    core_test::writeLanguage(t.root());
    t.file("ini/set.ini", "; written by hand\r\n"
                          "[other]\r\n"
                          "KeepTime=99\r\n"
                          "\r\n"
                          "[COMSET]\r\n"
                          "keeptime=abc\r\n"
                          "COMTYPE=Cable\r\n"
                          "havetitle=0\r\n"
                          "Signature=2\r\n"
                          "; the port\r\n"
                          "comport=/dev/ttyS0\r\n"
                          "\r\n"
                          "[tail]\r\n"
                          "x=1\r\n");
    TManage m(t.root(), nullptr);
    m.LoadSettings();
    EXPECT_EQ(m.KeepTime, 0); // "abc" is not a number: the default
    EXPECT_EQ(m.ComType, "Cable");
    EXPECT_EQ(m.ComPort, "/dev/ttyS0");
    EXPECT_FALSE(m.HaveTitle);
    EXPECT_TRUE(m.Signature); // not 0
    EXPECT_EQ(m.SelectPhone, "nokia");

    m.KeepTime = 5;
    m.ComPort = "/dev/ttyUSB1";
    ASSERT_TRUE(m.SaveSettings());
    EXPECT_EQ(readText(t.path("ini/set.ini")), "; written by hand\r\n"
                                            "[other]\r\n"
                                            "KeepTime=99\r\n"
                                            "\r\n"
                                            "[COMSET]\r\n"
                                            "keeptime=5\r\n"
                                            "COMTYPE=Cable\r\n"
                                            "havetitle=0\r\n"
                                            "Signature=1\r\n"
                                            "; the port\r\n"
                                            "comport=/dev/ttyUSB1\r\n"
                                            "InCeptDel=0\r\n"
                                            "SendClose=0\r\n"
                                            "DelQuestion=1\r\n"
                                            "CurLangType=English\r\n"
                                            "SelectPhone=nokia\r\n"
                                            "ComBaud=\r\n"
                                            "SplitAuto=1\r\n"
                                            "CAddressee=\r\n"
                                            "CSignture=\r\n"
                                            "CSCenter=\r\n"
                                            "ClearTrashOnExit=0\r\n"
                                            "\r\n"
                                            "[tail]\r\n"
                                            "x=1\r\n");
}

// Folders present in another case are used as they are (settings go to INI/set.ini); a folder that
// cannot be made is reported at once in one box, and the rest is made.
TEST(TManage, FoldersWithoutCaseAndCreationFailures)
{
    TempTree t;
    core_test::writeLanguage(t.root());
    t.dir("TEMP");
    t.dir("INI");
    {
        RecordingPrompt prompt;
        TManage m(t.root(), &prompt);
        EXPECT_EQ(listFolder(t.root()),
                  (std::vector<std::string>{"Database", "INI", "Language", "Plug-in", "TEMP"}));
        EXPECT_EQ(m.TempDir(), t.root() + "/TEMP");
        EXPECT_EQ(m.IniDir(), t.root() + "/INI");
        EXPECT_EQ(m.HistoryFile, t.root() + "/INI/SmsADRSFile.Vrk");
        ASSERT_TRUE(m.SaveSettings());
        EXPECT_EQ(readText(t.path("INI/set.ini")), kDefaultsFile);
        EXPECT_TRUE(prompt.shown().empty());
    }

    TempTree u;
    core_test::writeLanguage(u.root());
    u.file("database", "a file where the folder should be");
    u.file("Plug-In", "another");
    RecordingPrompt prompt;
    TManage m(u.root(), &prompt);
    ASSERT_EQ(prompt.shown().size(), 1u);
    EXPECT_EQ(prompt.shown()[0].text, "Cannot create the folder " + u.root() +
                                          "/database: File exists\nCannot create the folder " +
                                          u.root() + "/Plug-In: File exists");
    EXPECT_EQ(prompt.shown()[0].caption, core_test::kTitle);
    EXPECT_EQ(prompt.shown()[0].flags, core::kMbOk | core::kMbIconError);
    EXPECT_TRUE(fs::is_directory(u.path("Temp")) && fs::is_directory(u.path("ini")));
    ASSERT_TRUE(m.SaveSettings()); // the settings still work
}

// The settings file is never replaced by one holding only our keys when it cannot be read, and a
// missing ini folder makes saving fail with a reason instead of writing elsewhere.
TEST(TManage, SaveFailuresAreReported)
{
    TempTree t;
    core_test::writeLanguage(t.root());
    TManage m(t.root(), nullptr);
    fs::remove_all(t.path("ini"));
    platform::FileResult r = m.SaveSettings();
    EXPECT_FALSE(r);
    EXPECT_NE(r.message.find("set.ini"), std::string::npos) << r.message;
    EXPECT_FALSE(fs::exists(t.path("ini")));

    // A file too large to read is left alone.
    t.dir("ini");
    std::string big(platform::kIniMaxBytes + 1, ';');
    t.file("ini/set.ini", big);
    EXPECT_FALSE(m.SaveSettings());
    EXPECT_EQ(fs::file_size(t.path("ini/set.ini")), big.size());
}

TEST(TManage, PbCapsFromBits)
{
    TempTree t;
    TManage m(t.root(), nullptr);
    struct Row {
        uint16_t bits;
        bool cap8, cap2, cap4;
    };
    for (Row r : {Row{0, false, false, false}, Row{2, false, true, false}, Row{4, false, false, true},
                  Row{8, true, false, false}, Row{0xFFFF, true, true, true},
                  Row{0xFFF1, false, false, false}}) {
        m.SetPbCaps(r.bits);
        EXPECT_EQ(m.PbCap8, r.cap8) << r.bits;
        EXPECT_EQ(m.PbCap2, r.cap2) << r.bits;
        EXPECT_EQ(m.PbCap4, r.cap4) << r.bits;
    }
}

// The box goes to the prompt with the caller's text, caption and flags and answers its button.
TEST(TManage, ShowMessageBoxUsesThePrompt)
{
    TempTree t;
    core_test::writeLanguage(t.root());
    RecordingPrompt prompt;
    TManage m(t.root(), &prompt);
    prompt.script({core::kIdNo});
    EXPECT_EQ(m.ShowMessageBox("Delete?", "Title", core::kMbYesNo | core::kMbIconQuestion), core::kIdNo);
    EXPECT_EQ(m.ShowMessageBox("Done", "Title", core::kMbOk), core::kIdOk);
    EXPECT_EQ(prompt.shown(), (std::vector<RecordingPrompt::Shown>{
                                  {"Delete?", "Title", core::kMbYesNo | core::kMbIconQuestion},
                                  {"Done", "Title", core::kMbOk}}));
}

// Zero-filled, at most limit bytes, always terminated, never a cut UTF-8 character.
TEST(TManage, StrToBuf)
{
    const std::string forty(40, 'x');
    const std::string zhong = "\xE4\xB8\xAD"; // one three-byte character
    struct Row {
        const char *name;
        std::string text;
        int limit, size;
        std::string want; // the bytes before the first zero
    };
    const std::vector<Row> rows = {
        {"40 characters into 32", forty, 31, 32, std::string(31, 'x')},
        {"short text", "abc", 31, 32, "abc"},
        {"exact fit", std::string(31, 'y'), 31, 32, std::string(31, 'y')},
        {"limit above size held to size-1", forty, 100, 8, std::string(7, 'x')},
        {"negative limit", "abc", -1, 8, ""},
        {"cut inside a character backs up", "a" + zhong + zhong, 5, 8, "a" + zhong},
        {"cut after a character keeps it", "a" + zhong + zhong, 4, 8, "a" + zhong},
        {"first character does not fit", zhong, 2, 8, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<char> buf(size_t(r.size) + 4, '#'); // guard bytes after the buffer
        TManage::StrToBuf(buf.data(), r.limit, r.size, r.text);
        EXPECT_EQ(std::string(buf.data()), r.want);
        for (int i = int(r.want.size()); i < r.size; ++i)
            EXPECT_EQ(buf[size_t(i)], '\0') << i;
        EXPECT_EQ(std::string(buf.data() + r.size, 4), "####");
    }
    char one = '#';
    TManage::StrToBuf(&one, 5, 1, "abc");
    EXPECT_EQ(one, '\0');
    TManage::StrToBuf(&one, 5, 0, "abc"); // nothing to fill
    TManage::StrToBuf(nullptr, 5, 8, "abc");
}
