#include "platform/loader.h"

#include "temp_tree.h"

using platform::Module;
using platform_test::TempTree;

TEST(Loader, OpensByAbsolutePathAndFindsExactExports)
{
    int before = Module::openCount();
    std::string error;
    Module m = Module::open(SV_TEST_MODULE_OK, &error);
    ASSERT_TRUE(m) << error;
    EXPECT_EQ(Module::openCount(), before + 1);

    auto answer = m.function<int (*)()>("sv_test_answer", &error);
    ASSERT_NE(answer, nullptr) << error;
    EXPECT_EQ(answer(), 42);

    EXPECT_EQ(m.symbol("SV_TEST_ANSWER", &error), nullptr);  // exact name only
    EXPECT_NE(error.find("SV_TEST_ANSWER"), std::string::npos) << error;

    Module moved = std::move(m);
    EXPECT_FALSE(m);
    EXPECT_EQ(Module::openCount(), before + 1);
    EXPECT_TRUE(moved.close());
    EXPECT_EQ(Module::openCount(), before);
    EXPECT_EQ(moved.symbol("sv_test_answer", &error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST(Loader, FailuresAreResultsWithText)
{
    TempTree t;
    t.file("text.so", "this is not a library\n");
    struct Case {
        std::string path;
        const char *expect;  // a piece of the error text
    } cases[] = {
        {t.path("missing.so"), "missing.so"},
        {t.path("text.so"), "text.so"},
        {SV_TEST_MODULE_UNRESOLVED, "sv_test_nowhere"},
        {"libsv_test_module_ok.so", "not an absolute path"},
        {"./x.so", "not an absolute path"},
        {"", "not an absolute path"},
    };
    int before = Module::openCount();
    for (const auto &c : cases) {
        std::string error;
        Module m = Module::open(c.path, &error);
        EXPECT_FALSE(m) << c.path;
        EXPECT_NE(error.find(c.expect), std::string::npos) << c.path << ": " << error;
    }
    EXPECT_EQ(Module::openCount(), before);
}
