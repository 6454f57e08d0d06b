#include "platform/paths.h"

#include "temp_tree.h"

#include <unistd.h>

using platform_test::TempTree;

TEST(Paths, ProgramDirIsTheFolderOfTheRunningBinary)
{
    std::string dir = platform::programDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.front(), '/');
    EXPECT_NE(dir.back(), '/');
    EXPECT_EQ(access((dir + "/platform_tests").c_str(), X_OK), 0) << dir;
}

TEST(Paths, ProgramDirOverrideWinsUntilCleared)
{
    std::string real = platform::programDir();
    platform::setProgramDirOverride("/some/where/");
    EXPECT_EQ(platform::programDir(), "/some/where");
    platform::setProgramDirOverride("");
    EXPECT_EQ(platform::programDir(), real);
}

TEST(Paths, ResolveCaseMapsOntoTheDisk)
{
    TempTree t;
    t.file("Plug-in/Pelurin.so");
    t.file("Language/English.dat");
    t.file("Language/english.DAT");  // two candidates for "ENGLISH.dat"
    t.file("ini/set.ini");
    t.file("Data/Exact.cds");
    t.file("Data/exact.cds");        // exact spelling present: it wins over the folded one

    struct Case {
        const char *in;
        const char *out;
    } cases[] = {
        {"plug-in/PELURIN.SO", "Plug-in/Pelurin.so"},        // other case, at two levels
        {"Plug-in/Pelurin.so", "Plug-in/Pelurin.so"},        // as spelled
        {"language/ENGLISH.dat", "Language/English.dat"},    // two candidates: the byte-wise first
        {"Data/exact.cds", "Data/exact.cds"},                // exact match first
        {"INI/set.ini", "ini/set.ini"},
        {"INI/New.ini", "ini/New.ini"},                      // missing file keeps its spelling
        {"Temp/Sub/TempVcardFile.crd", "Temp/Sub/TempVcardFile.crd"},  // missing folder: the whole tail
        {"PLUG-IN/./pelurin.so", "Plug-in/./Pelurin.so"},
        {"ini/", "ini/"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::resolveCase(t.root() + "/" + c.in), t.root() + "/" + c.out) << c.in;
}

TEST(Paths, ResolveCaseOfTheRootAndOfNothing)
{
    EXPECT_EQ(platform::resolveCase("/"), "/");
    EXPECT_EQ(platform::resolveCase(""), "");
}

TEST(Paths, FilesWithSuffixIgnoresCaseAndFoldersAndSortsByName)
{
    TempTree t;
    t.file("b.so");
    t.file("A.SO");
    t.file("c.So");
    t.file("notes.txt");
    t.file("x.so.txt");
    t.file(".so");          // nothing before the suffix
    t.dir("folder.so");
    t.file("a.plug");
    std::filesystem::create_symlink(t.path("b.so"), t.path("link.so"));
    std::filesystem::create_symlink(t.path("gone"), t.path("dangling.so"));

    EXPECT_EQ(platform::filesWithSuffix(t.root(), ".so"),
              (std::vector<std::string>{"A.SO", "b.so", "c.So", "link.so"}));
    EXPECT_EQ(platform::filesWithSuffix(t.root(), ".PLUG"), (std::vector<std::string>{"a.plug"}));
    EXPECT_TRUE(platform::filesWithSuffix(t.path("missing"), ".so").empty());
}
