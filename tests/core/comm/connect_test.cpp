// Connect and Disconnect against the fixture drivers and plug-ins: which drivers are tried, the
// switch to another driver, every failing step, and what stays loaded afterwards.

#include "comm_fixture.h"

#include "dv_result.h"

#include <cstring>

namespace comm_test {
namespace {

TEST_F(CommTest, SelectedMakerServedTriesOnlyItsDriver)
{
    scan(kBoth);
    params("alp"); // a prefix, in other case
    ASSERT_EQ(comm->Connect(), 0);
    EXPECT_EQ(callLog(), Log{"CtlAlpha.so MsMng_connect"} + attachCalls("CtlAlphaPlug.plug"));
    EXPECT_EQ(platform::Module::openCount(), 2);
    EXPECT_TRUE(posted().empty()) << "the driver first tried serves the handset: no 1134";
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(selectedMan(), "alp");

    EXPECT_EQ(comm->Connect(), core::kCommAlreadyConnected);

    fixctl_clearLog();
    comm->Disconnect();
    EXPECT_EQ(callLog(), releaseCalls("CtlAlphaPlug.plug", "CtlAlpha.so"));
    EXPECT_EQ(platform::Module::openCount(), 0);
    EXPECT_EQ(comm->Lock(), core::kCommNotConnected);
    comm->Unlock();
}

// With a maker no driver serves (or none), every catalogued driver is a candidate in catalogue
// order: CtlAlpha.so, catalogued and then overwritten with garbage, is passed over.
class CatalogueOrder : public CommTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(CatalogueOrder, PassesOverWhatDoesNotLoadAndConnectsTheFirstThatDoes)
{
    scan(kBoth);
    dir.writeFile("CtlAlpha.so", "this is not a shared object\n");
    fixctl_setIdentity("Beta", "B1", "");
    params(GetParam());
    ASSERT_EQ(comm->Connect(), 0);
    EXPECT_EQ(callLog(), Log{"CtlBeta.so MsMng_connect"} + attachCalls("CtlBetaPlug.plug"));
    EXPECT_EQ(platform::Module::openCount(), 2);
    EXPECT_TRUE(posted().empty());
    EXPECT_EQ(selectedMan(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Maker, CatalogueOrder, ::testing::Values("Zeta", ""));

TEST_F(CommTest, FirstLoadedDriverFailingToConnectEndsTheConnect)
{
    scan(kBoth);
    fixctl_setAnswer("CtlAlpha.so", "MsMng_connect", DV_E_REFUSED);
    params("");
    EXPECT_EQ(comm->Connect(), DV_E_NOTCONN);
    EXPECT_EQ(callLog(), (Log{"CtlAlpha.so MsMng_connect", "CtlAlpha.so unload"})) << "no further candidate";
    EXPECT_EQ(platform::Module::openCount(), 0);

    // A driver that claims success without a handle fails the same way.
    fixctl_setAnswer("CtlAlpha.so", "MsMng_connect", 1);
    EXPECT_EQ(comm->Connect(), DV_E_NOTCONN);
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(CommTest, NoModelPlugInLeavesNothingLoaded)
{
    scan(kBoth);
    fixctl_setIdentity("Zeta", "Z1", ""); // no driver begins with it and there is no "Other" driver
    params("Alpha");
    EXPECT_EQ(comm->Connect(), DV_E_UNSUPPORTED);
    EXPECT_EQ(callLog(), (Log{"CtlAlpha.so MsMng_connect", "CtlAlpha.so MsMng_disconnect", "CtlAlpha.so unload"}));
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(CommTest, NothingCataloguedOrNothingLoadableIsNoCandidate)
{
    scan({});
    EXPECT_EQ(comm->Connect(), DV_E_UNSUPPORTED);

    // Catalogued, then every file overwritten.
    scan({"CtlAlpha.so"});
    dir.writeFile("CtlAlpha.so", "garbage");
    EXPECT_EQ(comm->Connect(), DV_E_UNSUPPORTED);
    EXPECT_TRUE(callLog().empty());

    ProgramDir other;
    other.addFixture("CtlAlpha.so");
    core::TCommMng empty(messages, window, core::CommMngSetup{other.root(), nullptr, {}});
    EXPECT_EQ(empty.Connect(), DV_E_UNSUPPORTED) << "no catalogue yet";
}

// Catalogue tables are read back from disk, so a name may hold anything: only a plain file name
// inside Plug-in is ever loaded.
TEST_F(CommTest, ACatalogueNameWithAFolderPartIsNeverLoaded)
{
    dir.addFixture("CtlAlpha.so");
    auto cat = std::make_shared<const core::Catalogue>(
        std::vector<core::BaseRow>{{1, "../Plug-in/CtlAlpha.so", dir.root() + "/Plug-in/", "1.0.0", 0, "Alpha"}},
        std::vector<core::ConnRow>{}, std::vector<core::PlugRow>{}, std::vector<core::ModelRow>{});
    core::TCommMng m(messages, window, core::CommMngSetup{dir.root(), cat, {}});
    m.SetParams(selected("Alpha"), "Cable", "COM1", "9600");
    EXPECT_EQ(m.Connect(), DV_E_NOTCONN);
    EXPECT_EQ(m.TestConnect("Alpha", "Cable", "9600", "COM1"), DV_E_UNSUPPORTED);
    EXPECT_TRUE(callLog().empty());
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(CommTest, PlugInOfAnotherDriverReconnectsThroughIt)
{
    scan(kBoth);
    fixctl_setIdentity("Beta", "B1", "");
    params("");
    ASSERT_EQ(comm->Connect(), 0);
    const Log expected = Log{"CtlAlpha.so MsMng_connect", "CtlAlpha.so MsMng_disconnect", "CtlAlpha.so unload",
                             "CtlBeta.so MsMng_connect"} +
                         attachCalls("CtlBetaPlug.plug") + Log{"CtlBeta.so MsMng_getSupp"};
    EXPECT_EQ(callLog(), expected);
    EXPECT_EQ(pauses, (std::vector<int>{100, 200}));
    EXPECT_EQ(selectedMan(), "Beta");
    const auto all = messages.messages();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].window, window);
    EXPECT_EQ(all[0].msg, core::WM_CONN_PARAMS_CHANGED);
    EXPECT_EQ(all[0].w, 0);
    EXPECT_EQ(all[0].l, 0);
    EXPECT_EQ(platform::Module::openCount(), 2);

    // The next connect goes straight to the driver now selected.
    comm->Disconnect();
    fixctl_clearLog();
    messages.clear();
    ASSERT_EQ(comm->Connect(), 0);
    EXPECT_EQ(callLog().front(), "CtlBeta.so MsMng_connect");
    EXPECT_TRUE(posted().empty());
}

TEST_F(CommTest, AdoptedManufacturerIsCutAt31BytesOnACharacterBoundary)
{
    scan({"CtlAlpha.so", "CtlLongMan.so", "CtlAlphaPlug.plug", "CtlGammaPlug.plug"});
    fixctl_setIdentity("Gamma", "G1", "");
    params("");
    ASSERT_EQ(comm->Connect(), 0);
    const core::SelectedPhone p = comm->selectedPhone();
    // "Gamma Mobile Handsets Company " is 30 bytes; the next character takes two and would end at
    // byte 32, so it goes whole.
    EXPECT_EQ(core::identText(p.Man), "Gamma Mobile Handsets Company ");
    EXPECT_EQ(p.Man[30], '\0');
    EXPECT_EQ(p.Man[31], '\0');
}

struct FailureRow {
    const char *name;
    std::vector<std::pair<std::string, int32_t>> answers; // (entry, answer) for every library
    int32_t result;
    Log tail; // the log from the plug-in's init on
};

TEST_F(CommTest, EveryFailingStepDisconnectsInReleaseOrder)
{
    const std::string P = "CtlAlphaPlug.plug";
    auto asked = [&](int upTo) {
        Log v;
        const char *ids[] = {"15", "11", "12", "13", "14", "21", "22"};
        for (int i = 0; i < upTo; ++i)
            v.push_back(P + " MsPlug_getItf " + ids[i]);
        return v;
    };
    const Log release = releaseCalls(P, "CtlAlpha.so");
    const std::vector<FailureRow> rows = {
        {"getItf 14 answers -9", {{"MsPlug_getItf 14", DV_E_IO}}, DV_E_NOTCONN,
         Log{P + " MsPlug_init"} + asked(5) + release},
        {"no interface 15", {{"MsPlug_getItf 15", DV_E_UNSUPPORTED}}, DV_E_NOTCONN,
         Log{P + " MsPlug_init"} + asked(7) + release},
        {"init negative", {{"MsPlug_init", DV_E_ARG}}, DV_E_NOTCONN, Log{P + " MsPlug_init"} + release},
        {"getImei negative", {{"getImei", DV_E_TIMEOUT}}, DV_E_NOTCONN,
         Log{P + " MsPlug_init"} + asked(7) + Log{P + " getImei", P + " setStor 1", P + " setStor 2"} + release},
    };
    scan(kBoth);
    params("Alpha");
    for (const FailureRow &row : rows) {
        SCOPED_TRACE(row.name);
        fixctl_reset();
        for (const auto &[entry, answer] : row.answers)
            fixctl_setAnswer(nullptr, entry.c_str(), answer);
        EXPECT_EQ(comm->Connect(), row.result);
        EXPECT_EQ(callLog(), Log{"CtlAlpha.so MsMng_connect"} + row.tail);
        EXPECT_EQ(platform::Module::openCount(), 0);
        EXPECT_EQ(comm->Lock(), core::kCommNotConnected);
        comm->Unlock();
        PhoneIdent ident;
        std::memset(&ident, 0x55, sizeof ident);
        EXPECT_EQ(comm->GetPhoneInfo(ident), DV_E_NOTCONN);
        EXPECT_EQ(core::identText(ident.Man), "");
    }
}

TEST_F(CommTest, PlugInReplacedByOneWithoutAllEntryPointsFailsTheConnect)
{
    scan(kBoth);
    dir.addFixture("NoCleanup.plug", "CtlAlphaPlug.plug"); // catalogued, then replaced
    params("Alpha");
    EXPECT_EQ(comm->Connect(), DV_E_NOTCONN);
    EXPECT_EQ(callLog(), (Log{"CtlAlpha.so MsMng_connect", "CtlAlpha.so MsMng_disconnect", "CtlAlpha.so unload"}));
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(CommTest, DriverReplacedByOneWithoutAllEntryPointsFailsTheConnect)
{
    scan(kBoth);
    dir.addFixture("NoIsConnected.so", "CtlAlpha.so"); // catalogued, then replaced
    params("Alpha");
    EXPECT_EQ(comm->Connect(), DV_E_NOTCONN);
    EXPECT_TRUE(callLog().empty()) << "nothing of the driver is called";
    EXPECT_EQ(platform::Module::openCount(), 0);
}

// The switch to the plug-in's driver failing at each of its steps: whatever was loaded goes, in
// the release order, and the selected manufacturer stays the user's.
struct SwitchFailure {
    const char *name;
    void (*prepare)(ProgramDir &dir);
    Log tail; // the log after the first driver is closed
};

void PrintTo(const SwitchFailure &row, std::ostream *os)
{
    *os << row.name;
}

const SwitchFailure kSwitchFailures[] = {
    {"OtherDriverDoesNotLoad", [](ProgramDir &dir) { dir.writeFile("CtlBeta.so", "garbage"); }, {}},
    {"ItsConnectFails", [](ProgramDir &) { fixctl_setAnswer("CtlBeta.so", "MsMng_connect", DV_E_REFUSED); },
     {"CtlBeta.so MsMng_connect", "CtlBeta.so unload"}},
    {"ItsPlugInInitFails", [](ProgramDir &) { fixctl_setAnswer(nullptr, "MsPlug_init", DV_E_ARG); },
     Log{"CtlBeta.so MsMng_connect", "CtlBetaPlug.plug MsPlug_init"} + releaseCalls("CtlBetaPlug.plug", "CtlBeta.so")},
};

class DriverSwitch : public CommTest, public ::testing::WithParamInterface<SwitchFailure> {};

TEST_P(DriverSwitch, FailingStepReleasesEverything)
{
    scan(kBoth);
    fixctl_setIdentity("Beta", "B1", "");
    GetParam().prepare(dir);
    params("Zeta");
    EXPECT_EQ(comm->Connect(), DV_E_NOTCONN);
    const Log closeFirst = {"CtlAlpha.so MsMng_connect", "CtlAlpha.so MsMng_disconnect", "CtlAlpha.so unload"};
    EXPECT_EQ(callLog(), closeFirst + GetParam().tail);
    EXPECT_EQ(platform::Module::openCount(), 0);
    EXPECT_EQ(selectedMan(), "Zeta");
    EXPECT_TRUE(posted().empty());
}

INSTANTIATE_TEST_SUITE_P(Step, DriverSwitch, ::testing::ValuesIn(kSwitchFailures),
                         [](const ::testing::TestParamInfo<SwitchFailure> &p) { return std::string(p.param.name); });

TEST_F(CommTest, BindingTakesAllFiveEntryPointsOrNone)
{
    scan({});
    EXPECT_FALSE(comm->BindMngExports(platform::Module{}));
    EXPECT_FALSE(comm->BindPlugExports(platform::Module{}));
    const std::string fixtures = SV_FIXTURE_PLUGIN_DIR;
    EXPECT_TRUE(comm->BindMngExports(platform::Module::open(fixtures + "/CtlAlpha.so")));
    EXPECT_FALSE(comm->BindMngExports(platform::Module::open(fixtures + "/NoIsConnected.so")));
    EXPECT_TRUE(comm->BindPlugExports(platform::Module::open(fixtures + "/CtlAlphaPlug.plug")));
    EXPECT_FALSE(comm->BindPlugExports(platform::Module::open(fixtures + "/NoCleanup.plug")));
    comm->Disconnect(); // clears what the successful binds left
}

TEST_F(CommTest, AbsentInterface13StillConnects)
{
    scan(kBoth);
    params("Alpha");
    for (int32_t absent : {DV_E_UNSUPPORTED, DV_E_NOTIMPL, DV_E_ARG}) {
        SCOPED_TRACE(absent);
        fixctl_reset();
        fixctl_setAnswer(nullptr, "MsPlug_getItf 13", absent);
        ASSERT_EQ(comm->Connect(), 0);
        EXPECT_EQ(comm->capabilityBits(), core::kCapPbStor1 | core::kCapPbStor2 | core::kCapPb14);
        comm->Disconnect();
    }
}

TEST_F(CommTest, SwitchFailingToNameItsManufacturerKeepsTheUserChoice)
{
    scan(kBoth);
    fixctl_setIdentity("Beta", "B1", "");
    fixctl_setAnswer("CtlBeta.so", "MsMng_getSupp", -1);
    params("Zeta");
    EXPECT_EQ(comm->Connect(), DV_E_NOTCONN);
    EXPECT_EQ(selectedMan(), "Zeta");
    EXPECT_TRUE(posted().empty());
    const Log log = callLog();
    const Log tail(log.end() - 5, log.end());
    EXPECT_EQ(tail, Log{"CtlBeta.so MsMng_getSupp"} + releaseCalls("CtlBetaPlug.plug", "CtlBeta.so"));
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(CommTest, CapabilityBitsFromTheStoragesAndInterfaces13And14)
{
    struct Row {
        int32_t stor1, stor2;
        bool has13, has14;
        int32_t bits;
    };
    const Row rows[] = {
        {0, 0, true, true, 15},
        {DV_E_UNSUPPORTED, 0, false, true, 2 | 8},
        {0, DV_E_IO, true, false, 1 | 4},
        {DV_E_ARG, DV_E_ARG, false, false, 0},
    };
    scan(kBoth);
    params("Alpha");
    EXPECT_EQ(comm->capabilityBits(), 0);
    for (const Row &r : rows) {
        SCOPED_TRACE(r.bits);
        fixctl_reset();
        fixctl_setAnswer(nullptr, "setStor 1", r.stor1);
        fixctl_setAnswer(nullptr, "setStor 2", r.stor2);
        if (!r.has13)
            fixctl_setAnswer(nullptr, "MsPlug_getItf 13", DV_E_UNSUPPORTED);
        if (!r.has14)
            fixctl_setAnswer(nullptr, "MsPlug_getItf 14", DV_E_NOTIMPL);
        ASSERT_EQ(comm->Connect(), 0);
        EXPECT_EQ(comm->capabilityBits(), r.bits);
        comm->Disconnect();
        EXPECT_EQ(comm->capabilityBits(), 0);
    }
}

TEST_F(CommTest, DriverTextsWithoutTerminatorsAreBounded)
{
    scan(kBoth);
    params("Alpha");
    fixctl_setFlag("unterminated identity", 1); // model B fills all 32 bytes
    fixctl_setFlag("unterminated imei", 1);     // getImei fills all 100 bytes
    ASSERT_EQ(comm->Connect(), 0);
    PhoneIdent ident{};
    ASSERT_EQ(comm->GetPhoneInfo(ident), 0);
    EXPECT_EQ(core::identText(ident.Man), "Alpha");
    EXPECT_EQ(core::identText(ident.ModelA), "A1");
    EXPECT_EQ(core::identText(ident.ModelB), std::string(31, 'X'));
    EXPECT_EQ(ident.ModelB[31], '\0');
    EXPECT_EQ(comm->CheckPhone(), 0) << "the same 99 digits again";
}

} // namespace
} // namespace comm_test
