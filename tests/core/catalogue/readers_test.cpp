// The catalogue's readers over snapshots built from rows: choosing a driver and a plug-in for a
// handset, the connection choices and baud lists, and many threads reading one snapshot at once.
#include "catalogue_fixture.h"

#include "dv_result.h"

#include <gmock/gmock.h>

#include <atomic>
#include <iterator>
#include <cstring>
#include <thread>

using namespace catalogue_test;
using core::BaseRow;
using core::Catalogue;
using core::ConnRow;
using core::ModelRow;
using core::PlugRow;
using ::testing::ElementsAre;

namespace {

BaseRow base(int32_t id, const char *name, const char *man)
{
    return {id, name, "/p/Plug-in/", "1.0.0", 7, man};
}
PlugRow plug(int32_t id, int32_t baseId, const char *name)
{
    return {id, baseId, name, "/p/Plug-in/", "1.0.0", 7};
}

// The fixtures' catalogue, with a Beta model last and a same-maker "MISC" row before the models it
// must give way to.
const Catalogue &full()
{
    static const Catalogue c(
        {base(1, "FixAlpha.so", "Alpha"), base(2, "FixBeta.so", "Beta"), base(3, "Pelurin.so", "Other")},
        {},
        {plug(1, 1, "Alpha3310.plug"), plug(2, 1, "Alpha3310i.plug"), plug(3, 1, "AlphaMisc.plug"),
         plug(4, 2, "MiscMisc.plug"), plug(5, 3, "Generic.plug"), plug(6, 2, "Beta100.plug")},
        {{1, 3, "Alpha", "MISC", ""},
         {2, 1, "Alpha", "3310", ""},
         {3, 2, "Alpha", "3310", "i"},
         {4, 4, "MISC", "MISC", ""},
         {5, 5, "Other", "MISC", ""},
         {6, 6, "Beta", "B100", ""},
         {7, 1, "Alpha", std::string(30, 'M') + "\xC3\xA9XYZ", ""}});
    return c;
}

// What the real driver and plug-in give.
const Catalogue &real()
{
    static const Catalogue c({base(1, "Pelurin.so", "Other")}, {}, {plug(1, 1, "Generic.plug")},
                             {{1, 1, "Other", "MISC", ""}, {2, 1, "MISC", "MISC", ""}});
    return c;
}

// No "OTHER" driver and no "MISC" rows.
const Catalogue &bare()
{
    static const Catalogue c({base(1, "FixAlpha.so", "Alpha")}, {}, {plug(1, 1, "Alpha3310.plug")},
                             {{1, 1, "Alpha", "3310", ""}});
    return c;
}

// Fills an identity field with up to 32 bytes; a 32-byte text has no terminator.
void setField(char (&field)[32], const std::string &text)
{
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
}

std::string field(const char (&f)[32])
{
    return std::string(f, strnlen(f, sizeof f));
}

PhoneIdent ident(const std::string &man, const std::string &a, const std::string &b)
{
    PhoneIdent id;
    setField(id.Man, man);
    setField(id.ModelA, a);
    setField(id.ModelB, b);
    return id;
}

struct PlugCase {
    const char *name;
    const Catalogue &(*catalogue)();
    std::string man, modelA, modelB; // the handset's identity
    int32_t result;
    std::string driver, plugin;
    std::string outMan, outA, outB; // the identity afterwards
};

void PrintTo(const PlugCase &c, std::ostream *os)
{
    *os << c.name;
}

const std::string k30M(30, 'M');

const PlugCase kPlugCases[] = {
    // The longer pair wins; a same-maker "MISC" row chosen first gives way to tier 1.
    {"LongerPairWins", full, "Alpha", "3310i", "", 0, "FixAlpha.so", "Alpha3310i.plug", "Alpha", "3310", "i"},
    {"CaseOfTheHandsetIgnored", full, "alpha", "3310I", "", 0, "FixAlpha.so", "Alpha3310i.plug", "Alpha",
     "3310", "i"},
    {"ModelSplitOverBothFields", full, "Alpha", "331", "0i", 0, "FixAlpha.so", "Alpha3310i.plug", "Alpha",
     "3310", "i"},
    // No row names the model: the maker's "MISC" row, identity as the handset gave it.
    {"SameMakerMiscKeepsIdentity", full, "Alpha", "8210", "", 0, "FixAlpha.so", "AlphaMisc.plug", "Alpha",
     "8210", ""},
    // A maker without model rows: the first row of the maker "MISC", which brings its own driver.
    {"MiscMakersRow", full, "Beta", "B200", "", 0, "FixBeta.so", "MiscMisc.plug", "Beta", "B200", ""},
    // A tier-1 row anywhere in the table is never replaced by the last resort.
    {"TierOneNotReplacedByTierThree", full, "Beta", "B100", "", 0, "FixBeta.so", "Beta100.plug", "Beta",
     "B100", ""},
    // No driver of that maker: the "OTHER" driver, the plug-in still from the model rows.
    {"OtherDriverPlugInFromModelRows", real, "Zeta", "Z1", "", 0, "Pelurin.so", "Generic.plug", "Zeta", "Z1",
     ""},
    {"OtherDriverNoPlugIn", bare, "Zeta", "Z1", "", DV_E_UNSUPPORTED, "", "", "Zeta", "Z1", ""},
    {"NoMatchingPlugIn", bare, "Alpha", "8210", "", DV_E_UNSUPPORTED, "FixAlpha.so", "", "Alpha", "8210", ""},
    // A handset that refused "+CGMI": the empty maker matches no driver (it used to take the
    // first one, whatever it serves) and falls to "OTHER".
    {"EmptyManufacturerFallsToOther", real, "", "3310i", "", 0, "Pelurin.so", "Generic.plug", "", "3310i", ""},
    {"EmptyManufacturerWithoutOther", bare, "", "3310", "", DV_E_UNSUPPORTED, "", "", "", "3310", ""},
    {"EmptyManufacturerNotTheFirstDriver", full, "", "3310i", "", 0, "FixBeta.so", "MiscMisc.plug", "", "3310i",
     ""},
    // A model text longer than a field: cut to 31 bytes, before the character that would be
    // split, so the field stays terminated; the 32-byte handset field without a zero is read whole.
    {"LongModelCutOnCharacterBoundary", full, "Alpha", k30M + "\xC3\xA9", "XYZ", 0, "FixAlpha.so",
     "Alpha3310.plug", "Alpha", k30M, "XYZ"},
    {"SimulatedHandset", real, "SIMULATED", "HS-1000", "", 0, "Pelurin.so", "Generic.plug", "SIMULATED",
     "HS-1000", ""},
};

class FindPlug : public ::testing::TestWithParam<PlugCase> {};

TEST_P(FindPlug, ChoosesDriverPlugInAndIdentity)
{
    const PlugCase &c = GetParam();
    PhoneIdent id = ident(c.man, c.modelA, c.modelB);
    std::string driver = "stale", plugin = "stale";
    EXPECT_EQ(c.catalogue().FindPlug(id, driver, plugin), c.result);
    EXPECT_EQ(driver, c.driver);
    EXPECT_EQ(plugin, c.plugin);
    EXPECT_EQ(field(id.Man), c.outMan);
    EXPECT_EQ(field(id.ModelA), c.outA);
    EXPECT_EQ(field(id.ModelB), c.outB);
    if (c.outA.size() < 32) {
        EXPECT_EQ(id.ModelA[31], '\0');
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, FindPlug, ::testing::ValuesIn(kPlugCases),
                         [](const ::testing::TestParamInfo<PlugCase> &p) { return std::string(p.param.name); });

TEST(Catalogue, FindBaseByManIsACaseBlindPrefixMatch)
{
    struct {
        const char *man;
        int32_t result;
        const char *name;
    } cases[] = {
        {"Alpha", 0, "FixAlpha.so"},   {"ALPHA", 0, "FixAlpha.so"}, {"Al", 0, "FixAlpha.so"},
        {"Alphabet", DV_E_UNSUPPORTED, ""}, {"Gamma", DV_E_UNSUPPORTED, ""}, {"", DV_E_ARG, ""},
    };
    for (const auto &c : cases) {
        std::string name = "stale";
        EXPECT_EQ(full().FindBaseByMan(c.man, name), c.result) << c.man;
        EXPECT_EQ(name, c.name) << c.man;
    }
    std::vector<std::string> list = {"stale"};
    full().ListBaseDlls(list);
    EXPECT_THAT(list, ElementsAre("FixAlpha.so", "FixBeta.so", "Pelurin.so"));
}

// ---- Connection choices ----

Catalogue connCatalogue()
{
    return Catalogue({base(1, "FixAlpha.so", "Alpha")},
                     {{1, 1, "Cable", "any", "any"},
                      {2, 1, "Cable", "/dev/ttyX", "9600,,19200"},
                      {3, 1, "Cable", "ANY", "any"}, // "any" in capitals is a port name
                      {4, 9, "IrDA", "", ""}},       // its driver row is gone
                     {}, {});
}

TEST(Catalogue, GetConnChoicesGivesOneElementPerRow)
{
    ProgramDir dir;
    const core::SerialPortSource ports{"/dev/pts/7", dir.fakeSysfs()};
    core::UIConnParamList list = {{"stale", "stale", {}, {}}};
    connCatalogue().GetConnChoices(list, ports);

    const std::vector<std::string> serial = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/pts/7"};
    const std::vector<std::string> defaults = {"19200", "9600", "38400", "57600"};
    const core::UIConnParamList expected = {
        {"Alpha", "Cable", serial, defaults},
        {"Alpha", "Cable", {"/dev/ttyX"}, {"9600", "", "19200"}},
        {"Alpha", "Cable", {"ANY"}, defaults},
        {"", "IrDA", {""}, {}},
    };
    EXPECT_EQ(list, expected);

    std::vector<std::string> found = {"stale"};
    core::EnumSerialPorts(found, ports);
    EXPECT_EQ(found, serial);
}

TEST(Catalogue, ParseBaudList)
{
    struct {
        const char *text;
        std::vector<std::string> items;
    } cases[] = {
        {"19200,9600,38400,57600", {"19200", "9600", "38400", "57600"}},
        {"9600,,19200", {"9600", "", "19200"}},
        {"", {}},
        {"9600", {"9600"}},
        {"9600,", {"9600"}},          // a last empty item is not added
        {",9600", {"", "9600"}},      // an empty first one is
        {",,", {"", ""}},
        {"96 00 baud,1x2", {"9600", "12"}}, // everything but digits and commas is dropped
        {"any", {}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> list = {"stale"};
        core::ParseBaudList(c.text, list);
        EXPECT_EQ(list, c.items) << '"' << c.text << '"';
    }
}

TEST(Catalogue, SnapshotReadsEveryRowWithoutMovingTheCursor)
{
    Tables t;
    for (int id : {1, 2, 3}) {
        t.base.append();
        t.base.setInt("ID", id);
        t.base.setText("DllName", "D" + std::to_string(id) + ".so");
        t.base.post();
    }
    t.base.setFilter(platform::eq("ID", 2));
    t.base.first();
    const int rec = t.base.recNo();
    auto snap = t.snapshot();
    EXPECT_EQ(t.base.recNo(), rec);
    std::vector<std::string> names;
    snap->ListBaseDlls(names);
    EXPECT_THAT(names, ElementsAre("D1.so", "D2.so", "D3.so"));
}

// ---- Many readers ----

TEST(Catalogue, ConcurrentReadersAgreeWithASingleThread)
{
    ProgramDir dir;
    const core::SerialPortSource ports{"/dev/pts/7", dir.fakeSysfs()};
    const Catalogue choices = connCatalogue();

    struct Answer {
        int32_t result;
        std::string driver, plugin;
        PhoneIdent ident;
    };
    auto ask = [](const PlugCase &c) {
        Answer a{0, {}, {}, ident(c.man, c.modelA, c.modelB)};
        a.result = c.catalogue().FindPlug(a.ident, a.driver, a.plugin);
        return a;
    };
    std::vector<Answer> expected;
    for (const PlugCase &c : kPlugCases)
        expected.push_back(ask(c));
    core::UIConnParamList expectedChoices;
    choices.GetConnChoices(expectedChoices, ports);

    constexpr int kThreads = 4, kCalls = 10000;
    std::atomic<int> mismatches{0}, calls{0};
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n) {
        threads.emplace_back([&, n] {
            const size_t cases = std::size(kPlugCases);
            for (int i = 0; i < kCalls; ++i) {
                const size_t k = (size_t(i) + size_t(n) * 3) % cases;
                Answer a = ask(kPlugCases[k]);
                const Answer &e = expected[k];
                if (a.result != e.result || a.driver != e.driver || a.plugin != e.plugin ||
                    std::memcmp(&a.ident, &e.ident, sizeof a.ident) != 0)
                    ++mismatches;
                core::UIConnParamList list;
                choices.GetConnChoices(list, ports);
                if (list != expectedChoices)
                    ++mismatches;
                ++calls;
            }
        });
    }
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(calls.load(), kThreads * kCalls);
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
