// The start-up scan against real modules in a temporary program folder: which rows it writes, which
// it keeps, replaces and deletes, and which files it leaves out.
#include "catalogue_fixture.h"

#include "platform/loader.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <cstring>

using namespace catalogue_test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

namespace {

using Rows = std::vector<std::vector<std::string>>;

const std::vector<std::string> kBaseFields = {"ID", "DllName", "Version", "Man"};
const std::vector<std::string> kConnFields = {"ID", "BaseId", "Type", "Port", "Baud"};
const std::vector<std::string> kPlugFields = {"ID", "BaseId", "DllName", "Version"};
const std::vector<std::string> kModelFields = {"ID", "PlugId", "Man", "Model1", "Model2"};

class Scan : public ::testing::Test {
protected:
    bool scan()
    {
        seen.clear();
        return core::ScanPlugins(tables.refs(), dir.root(), seen);
    }
    Rows base() const { return textRows(tables.base, kBaseFields); }
    Rows conn() const { return textRows(tables.conn, kConnFields); }
    Rows plug() const { return textRows(tables.plug, kPlugFields); }
    Rows model() const { return textRows(tables.model, kModelFields); }

    ProgramDir dir;
    Tables tables;
    Recorder seen;
};

std::string readAll(const std::string &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(Scan, DriverAndPlugInGiveTheirRowsAndNotices)
{
    dir.addFixture("FixAlpha.so");
    dir.addFixture("Alpha3310.plug");
    const std::string calls = dir.root() + "/calls.log";
    setenv("SELVARK_FIX_CALLS", calls.c_str(), 1);
    ASSERT_TRUE(scan());
    unsetenv("SELVARK_FIX_CALLS");

    EXPECT_THAT(seen.notices, ElementsAre("Mng FixAlpha.so", "Pulg Alpha3310.plug"));
    EXPECT_THAT(seen.skippedFiles, IsEmpty());
    EXPECT_EQ(base(), (Rows{{"1", "FixAlpha.so", "1.0.0", "Alpha"}}));
    EXPECT_EQ(conn(), (Rows{{"1", "1", "Cable", "any", "any"}, {"2", "1", "Cable", "/dev/ttyX", "9600,,19200"}}));
    EXPECT_EQ(plug(), (Rows{{"1", "1", "Alpha3310.plug", "1.0.0"}}));
    EXPECT_EQ(model(), (Rows{{"1", "1", "Alpha", "3310", ""}}));
    EXPECT_EQ(tables.base.rows()[0].textAt(2), dir.root() + "/Plug-in/"); // DllPath

    int32_t t = 0;
    ASSERT_TRUE(core::fileTimeOf(dir.plugin("FixAlpha.so"), &t));
    EXPECT_EQ(tables.base.rows()[0].intAt(4), t);

    // Each module was asked for its version and table only, and released before the next file.
    EXPECT_EQ(readAll(calls), "FixAlpha.so MsMng_getVer\nFixAlpha.so MsMng_getSupp\n"
                              "Alpha3310.plug MsPlug_getVer\nAlpha3310.plug MsPlug_getSupp\n");
    EXPECT_LE(seen.mostOpenAtNotice, 1);
    EXPECT_EQ(platform::Module::openCount(), 0);

    // Nothing changed: the same rows, no notices.
    const Rows b = base(), c = conn(), p = plug(), m = model();
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.notices, IsEmpty());
    EXPECT_EQ(base(), b);
    EXPECT_EQ(conn(), c);
    EXPECT_EQ(plug(), p);
    EXPECT_EQ(model(), m);
}

TEST_F(Scan, EmptyPluginFolderEmptiesAllFourTables)
{
    dir.addFixture("FixAlpha.so");
    dir.addFixture("Alpha3310.plug");
    ASSERT_TRUE(scan());
    ASSERT_EQ(tables.model.totalRows(), 1);

    dir.remove("FixAlpha.so");
    dir.remove("Alpha3310.plug");
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.notices, IsEmpty());
    EXPECT_EQ(tables.base.totalRows(), 0);
    EXPECT_EQ(tables.conn.totalRows(), 0);
    EXPECT_EQ(tables.plug.totalRows(), 0);
    EXPECT_EQ(tables.model.totalRows(), 0);
}

TEST_F(Scan, MissingFolderIsCreatedAndAnyCaseIsFound)
{
    ASSERT_TRUE(scan());
    EXPECT_TRUE(fs::is_directory(dir.root() + "/Plug-in"));

    // A folder and a suffix spelled in another case are found all the same.
    fs::rename(dir.root() + "/Plug-in", dir.root() + "/PLUG-IN");
    fs::copy_file(kFixtureDir + "/FixBeta.so", dir.root() + "/PLUG-IN/FixBeta.SO");
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.notices, ElementsAre("Mng FixBeta.SO"));
    EXPECT_EQ(tables.base.rows()[0].textAt(2), dir.root() + "/PLUG-IN/");
    EXPECT_FALSE(fs::exists(dir.root() + "/Plug-in"));
}

TEST_F(Scan, UnreadableFolderLeavesTheTablesAlone)
{
    dir.addFixture("FixAlpha.so");
    ASSERT_TRUE(scan());
    fs::remove_all(dir.root() + "/Plug-in");
    std::ofstream(dir.root() + "/Plug-in") << "not a folder";
    EXPECT_FALSE(scan());
    EXPECT_EQ(tables.base.totalRows(), 1);
    EXPECT_EQ(tables.conn.totalRows(), 2);
}

TEST_F(Scan, TouchedDriverIsCataloguedAnewWithItsPlugIns)
{
    dir.addFixture("FixAlpha.so");
    dir.addFixture("FixBeta.so");
    dir.addFixture("Alpha3310.plug");
    dir.addFixture("AlphaMisc.plug");
    dir.addFixture("MiscMisc.plug");
    ASSERT_TRUE(scan());
    EXPECT_EQ(base(), (Rows{{"1", "FixAlpha.so", "1.0.0", "Alpha"}, {"2", "FixBeta.so", "1.0.0", "Beta"}}));
    EXPECT_EQ(plug(), (Rows{{"1", "1", "Alpha3310.plug", "1.0.0"}, {"2", "1", "AlphaMisc.plug", "1.0.0"},
                            {"3", "2", "MiscMisc.plug", "1.0.0"}}));

    // A rebuild within the same second: only the nanoseconds differ.
    timespec t = dir.time("FixAlpha.so");
    dir.setTime("FixAlpha.so", t.tv_sec, t.tv_nsec == 1 ? 2 : 1);
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.notices, ElementsAre("Mng FixAlpha.so", "Pulg Alpha3310.plug", "Pulg AlphaMisc.plug"));
    // The freed ids are taken again; the new rows follow the rows that stayed.
    EXPECT_EQ(base(), (Rows{{"2", "FixBeta.so", "1.0.0", "Beta"}, {"1", "FixAlpha.so", "1.0.0", "Alpha"}}));
    EXPECT_EQ(conn(), (Rows{{"3", "2", "Cable", "any", "115200"},
                            {"1", "1", "Cable", "any", "any"},
                            {"2", "1", "Cable", "/dev/ttyX", "9600,,19200"}}));
    EXPECT_EQ(plug(), (Rows{{"3", "2", "MiscMisc.plug", "1.0.0"}, {"1", "1", "Alpha3310.plug", "1.0.0"},
                            {"2", "1", "AlphaMisc.plug", "1.0.0"}}));
    EXPECT_EQ(model(), (Rows{{"3", "3", "MISC", "MISC", ""}, {"1", "1", "Alpha", "3310", ""},
                             {"2", "2", "Alpha", "MISC", ""}}));

    // A new version under the same time counts as new as well.
    t = dir.time("FixAlpha.so");
    dir.addFixture("FixAlphaV2.so", "FixAlpha.so");
    dir.setTime("FixAlpha.so", t.tv_sec, t.tv_nsec);
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.notices, ElementsAre("Mng FixAlpha.so", "Pulg Alpha3310.plug", "Pulg AlphaMisc.plug"));
    EXPECT_EQ(base()[1], (std::vector<std::string>{"1", "FixAlpha.so", "1.1.0", "Alpha"}));
}

TEST_F(Scan, FreedIdIsTakenAgain)
{
    dir.addFixture("FixAlpha.so", "A.so");
    dir.addFixture("FixBeta.so", "B.so");
    dir.addFixture("FixBeta.so", "C.so");
    ASSERT_TRUE(scan());
    dir.remove("B.so");
    ASSERT_TRUE(scan());
    EXPECT_EQ(base(), (Rows{{"1", "A.so", "1.0.0", "Alpha"}, {"3", "C.so", "1.0.0", "Beta"}}));
    dir.addFixture("FixBeta.so", "D.so");
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.notices, ElementsAre("Mng D.so"));
    EXPECT_EQ(base().back(), (std::vector<std::string>{"2", "D.so", "1.0.0", "Beta"}));
}

TEST_F(Scan, RemovedFileTakesItsRowsAndDependants)
{
    dir.addFixture("FixAlpha.so");
    dir.addFixture("FixBeta.so");
    dir.addFixture("Alpha3310.plug");
    dir.addFixture("Alpha3310i.plug");
    dir.addFixture("MiscMisc.plug");
    ASSERT_TRUE(scan());

    dir.remove("Alpha3310i.plug");
    ASSERT_TRUE(scan());
    EXPECT_EQ(plug(), (Rows{{"1", "1", "Alpha3310.plug", "1.0.0"}, {"3", "2", "MiscMisc.plug", "1.0.0"}}));
    EXPECT_EQ(model(), (Rows{{"1", "1", "Alpha", "3310", ""}, {"3", "3", "MISC", "MISC", ""}}));

    // The driver goes with its connection rows, its plug-ins and their models; the plug-in left
    // in the folder has no driver any more and is not catalogued.
    dir.remove("FixAlpha.so");
    ASSERT_TRUE(scan());
    EXPECT_EQ(base(), (Rows{{"2", "FixBeta.so", "1.0.0", "Beta"}}));
    EXPECT_EQ(conn(), (Rows{{"3", "2", "Cable", "any", "115200"}}));
    EXPECT_EQ(plug(), (Rows{{"3", "2", "MiscMisc.plug", "1.0.0"}}));
    EXPECT_EQ(model(), (Rows{{"3", "3", "MISC", "MISC", ""}}));
    EXPECT_THAT(seen.skippedFiles, ElementsAre("Alpha3310.plug"));
}

TEST_F(Scan, BrokenFilesAreLeftOutWithALogLine)
{
    dir.addFixture("FixAlpha.so");
    dir.writeFile("Garbage.so", "this is not a library\n");
    const std::string longName = std::string(98, 'L') + ".so"; // 101 characters
    const std::string longestName = std::string(97, 'M') + ".so"; // 100: still fits
    dir.addFixture("FixBeta.so", longName);
    dir.addFixture("FixBeta.so", longestName);
    const std::vector<std::string> broken = {
        "NegVer.so",       "NegSuppDrv.so",   "NoIsConnected.so", "LongVer.so",
        "LongMan.so",      "NoCleanup.plug",  "Unresolved.plug",  "NegVerPlug.plug",
        "NegSupp.plug",    "Orphan.plug",
    };
    for (const std::string &f : broken)
        dir.addFixture(f);
    ASSERT_TRUE(scan());

    EXPECT_EQ(base(), (Rows{{"1", "FixAlpha.so", "1.0.0", "Alpha"}, {"2", longestName, "1.0.0", "Beta"}}));
    EXPECT_EQ(tables.plug.totalRows(), 0);
    EXPECT_EQ(tables.model.totalRows(), 0);
    std::vector<std::string> expected = broken;
    expected.push_back("Garbage.so");
    expected.push_back(longName);
    EXPECT_THAT(seen.skippedFiles, UnorderedElementsAreArray(expected));
    for (size_t i = 0; i < seen.reasons.size(); ++i)
        EXPECT_FALSE(seen.reasons[i].empty()) << seen.skippedFiles[i];
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(Scan, EarlierRowStaysWhileItsFileExists)
{
    dir.addFixture("FixAlpha.so");
    dir.addFixture("Alpha3310.plug");
    ASSERT_TRUE(scan());
    const Rows b = base(), c = conn(), p = plug(), m = model();

    // The files overwritten by garbage and by a plug-in without cleanup: left out, rows kept.
    dir.writeFile("FixAlpha.so", "garbage");
    dir.addFixture("NoCleanup.plug", "Alpha3310.plug");
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.skippedFiles, ElementsAre("FixAlpha.so", "Alpha3310.plug"));
    EXPECT_THAT(seen.notices, IsEmpty());
    EXPECT_EQ(base(), b);
    EXPECT_EQ(conn(), c);
    EXPECT_EQ(plug(), p);
    EXPECT_EQ(model(), m);
}

TEST_F(Scan, FileNamesDifferingInCaseAreTwoFiles)
{
    // On a case-sensitive file system the name is the file's identity: neither file takes the
    // other's row, so a second scan changes nothing.
    dir.addFixture("FixAlpha.so", "twin.so");
    dir.addFixture("FixBeta.so", "TWIN.so");
    ASSERT_TRUE(scan());
    EXPECT_EQ(base(), (Rows{{"1", "TWIN.so", "1.0.0", "Beta"}, {"2", "twin.so", "1.0.0", "Alpha"}}));
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.notices, IsEmpty());

    // A file renamed in case only is catalogued under its new name in the same scan.
    fs::rename(dir.plugin("twin.so"), dir.plugin("Twin.so"));
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.notices, ElementsAre("Mng Twin.so"));
    EXPECT_EQ(base(), (Rows{{"1", "TWIN.so", "1.0.0", "Beta"}, {"3", "Twin.so", "1.0.0", "Alpha"}}));
}

#ifdef SV_HAVE_REAL_PLUGINS
TEST_F(Scan, RealDriverAndPlugIn)
{
    dir.addRealPair();
    ASSERT_TRUE(scan());
    EXPECT_THAT(seen.skippedFiles, IsEmpty()) << (seen.reasons.empty() ? "" : seen.reasons[0]);
    EXPECT_THAT(seen.notices, ElementsAre("Mng Pelurin.so", "Pulg Generic.plug"));
    EXPECT_EQ(base(), (Rows{{"1", "Pelurin.so", "1.2.0", "Other"}}));
    EXPECT_EQ(conn(), (Rows{{"1", "1", "Cable", "any", "57600,38400,19200,9600"}, {"2", "1", "IrDA", "", ""}}));
    EXPECT_EQ(plug(), (Rows{{"1", "1", "Generic.plug", "1.0.0"}}));
    EXPECT_EQ(model(), (Rows{{"1", "1", "Other", "MISC", ""}, {"2", "1", "MISC", "MISC", ""}}));

    // The simulated handset's identity finds the pair through the last-resort "MISC" row.
    PhoneIdent ident{};
    std::strcpy(ident.Man, "SIMULATED");
    std::strcpy(ident.ModelA, "HS-1000");
    std::string driver, plugin;
    EXPECT_EQ(tables.snapshot()->FindPlug(ident, driver, plugin), 0);
    EXPECT_EQ(driver, "Pelurin.so");
    EXPECT_EQ(plugin, "Generic.plug");
    EXPECT_STREQ(ident.Man, "SIMULATED");
    EXPECT_STREQ(ident.ModelA, "HS-1000");
}
#endif

// ---- The table operations on their own ----

TEST(CatalogueTables, NextIdTakesTheSmallestFreeId)
{
    Tables t;
    EXPECT_EQ(core::NextId(t.base), 1);
    for (int id : {1, 2, 4, 7}) {
        t.base.append();
        t.base.setInt("ID", id);
        t.base.post();
    }
    EXPECT_EQ(core::NextId(t.base), 3);
}

TEST(CatalogueTables, SaveRowsStopAtTheEndMarkerAndTheCount)
{
    Tables t;
    const std::string longText(101, 'x');
    const ConnSupp conn[] = {{"Cable", "any", "any"},
                             {"Cable", longText.c_str(), "9600"}, // would be cut: left out
                             {"IrDA", nullptr, nullptr},
                             {nullptr, "after", "the end"}};
    Recorder seen;
    core::SaveConnInfo(t.refs(), 5, conn, &seen, "X.so");
    EXPECT_EQ(textRows(t.conn, kConnFields), (Rows{{"1", "5", "Cable", "any", "any"}, {"2", "5", "IrDA", "", ""}}));
    EXPECT_THAT(seen.skippedFiles, ElementsAre("X.so"));
    // Saving again replaces the rows of that driver.
    core::SaveConnInfo(t.refs(), 5, conn + 2, nullptr);
    EXPECT_EQ(textRows(t.conn, kConnFields), (Rows{{"1", "5", "IrDA", "", ""}}));

    const PlugSupp models[] = {{"A", "1", "x"}, {"A", "2", nullptr}, {"A", "3", ""}};
    core::SaveModelRef(t.refs(), 9, models, 2, nullptr);
    EXPECT_EQ(textRows(t.model, kModelFields), (Rows{{"1", "9", "A", "1", "x"}, {"2", "9", "A", "2", ""}}));
    const PlugSupp early[] = {{"B", "1", ""}, {nullptr, "2", ""}, {"B", "3", ""}};
    core::SaveModelRef(t.refs(), 9, early, 3, nullptr);
    EXPECT_EQ(textRows(t.model, kModelFields), (Rows{{"1", "9", "B", "1", ""}}));
    core::SaveModelRef(t.refs(), 9, early, -1, nullptr);
    EXPECT_EQ(t.model.totalRows(), 0);
    // A manufacturer of 51 characters or a model of 101 would be stored cut: left out.
    const std::string longMan(51, 'A');
    const PlugSupp tooLong[] = {{longMan.c_str(), "1", ""}, {"A", longText.c_str(), ""}, {"A", "2", longText.c_str()},
                                {"A", "3", ""}};
    seen.clear();
    core::SaveModelRef(t.refs(), 9, tooLong, 4, &seen, "X.plug");
    EXPECT_EQ(textRows(t.model, kModelFields), (Rows{{"1", "9", "A", "3", ""}}));
    EXPECT_THAT(seen.skippedFiles, ElementsAre("X.plug", "X.plug", "X.plug"));
}

} // namespace
