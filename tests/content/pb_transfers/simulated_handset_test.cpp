// Phone-book transfers through the real worker, the real driver, our model plug-in and the
// simulated handset over a pseudo-terminal; the handset's phone books and transcript are checked
// afterwards. Our plug-in offers interface 12 only: SIM and phone memory.

#include "content/batch_runner.h"
#include "content/fake_env.h"
#include "content/phonebook_manage.h"
#include "content/simulated_link.h"
#include "core/comm/comm_fixture.h"
#include "core/comm/comm_thread.h"

#include "dv_result.h"
#include "handset_sim.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

#ifdef SV_HAVE_REAL_PLUGINS

namespace pb_test {
namespace {

using content::StorageCode;

class SimPhoneBook : public ::testing::Test, protected content_test::SimulatedLink {
protected:
    void TearDown() override
    {
        clt.reset();
        close();
    }
    void start(const std::string &scenario, std::function<void()> pump = {})
    {
        fixctl_reset();
        content::WorkerBatchRunner::Setup setup;
        setup.stepped = !pump;
        setup.pump = std::move(pump);
        ASSERT_NO_FATAL_FAILURE(open(scenario, setup));
        clt = std::make_unique<core::TCardClt>(*worker);
        env.app.Connected = true;
        env.app.PbCap2 = true;
        pb.AttachTransfers(*runner, clt.get(), nullptr, nullptr);
        ASSERT_EQ(comm->Connect(), 0);
        clt->SetItf(MS_ITF_PB, comm->currentSerial());
        if (!setup.stepped)
            worker->start();
    }
    // "index=text/number" of a handset storage.
    std::string onHandset(const std::string &storage)
    {
        std::string out;
        const std::optional<handsetsim::PhonebookStorage> book = sim->phonebook(storage);
        for (const auto &[i, e] : book->entries)
            out += (out.empty() ? "" : " ") + std::to_string(i) + "=" + e.text + "/" + e.number;
        return out;
    }
    std::vector<std::string> sentCommands(const std::string &prefix)
    {
        std::vector<std::string> out;
        for (const handsetsim::TranscriptEntry &t : sim->transcript())
            if (t.dir == handsetsim::Direction::In && t.bytes.rfind("AT" + prefix, 0) == 0)
                out.push_back(t.bytes.substr(0, t.bytes.find('=')));
        return out;
    }
    std::string nameAt(StorageCode s, int32_t pos)
    {
        auto c = pb.LoadContact(content::kHandsetBook, s, pos);
        if (!c)
            return "<none>";
        for (const content::TVcardFields &f : *c)
            if (f.type == content::kFieldName) { // the driver reads a name as the given part (";Alice")
                std::string v = f.value;
                v.erase(std::remove(v.begin(), v.end(), ';'), v.end());
                return v;
            }
        return "?";
    }
    // Type and value of each field, a name's empty trailing parts left out (";Li Si;;;" and
    // ";Li Si" are the same name).
    static std::vector<std::string> plain(const content::TMobileVacrd &fields)
    {
        std::vector<std::string> out;
        for (const content::TVcardFields &f : fields) {
            std::string v = f.value;
            if (f.type == content::kFieldName)
                while (!v.empty() && v.back() == ';')
                    v.pop_back();
            out.push_back(std::to_string(f.type) + ":" + v);
        }
        return out;
    }
    // Entries of both handset storages named name.
    int onPhoneCount(const std::string &name)
    {
        int n = 0;
        for (const char *st : {"SM", "ME"}) {
            const std::optional<handsetsim::PhonebookStorage> book = sim->phonebook(st);
            for (const auto &[i, e] : book->entries)
                n += e.text == name;
        }
        return n;
    }
    // Rows of the handset's book named name whose change is still to be written.
    int pendingWith(const std::string &name)
    {
        int n = 0;
        for (StorageCode s : {StorageCode::Sim, StorageCode::Phone})
            for (const content::IdMngRec &r : pb.handsetStorage(s).idMng)
                if ((r.state == content::PosState::New || r.state == content::PosState::Changed) &&
                    nameAt(s, r.pos) == name)
                    ++n;
        return n;
    }
    // Where the contact is: on the handset or pending, each copy counted once.
    int count(const std::string &name) { return onPhoneCount(name) + pendingWith(name); }
    int32_t save(StorageCode s, int32_t pos, const std::string &name, const std::string &tel)
    {
        return pb.SaveContact(0, s, pos, {{content::kFieldName, -1, name}, {content::kFieldTel, 0, tel}});
    }

    std::unique_ptr<core::TCardClt> clt;
    content::FakeEnv env;
    content::TPhoneBookManage pb{env};
};

TEST_F(SimPhoneBook, EditAddAndDeleteAreWrittenWithExactlyThoseCommands)
{
    start("default.json");
    pb.ReadFromPhone(0);
    ASSERT_FALSE(pb.handset().cancelled);
    EXPECT_EQ(nameAt(StorageCode::Sim, 1), "Alice");
    EXPECT_EQ(nameAt(StorageCode::Sim, 3), "J\xC3\xB6rg M\xC3\xBCller");
    EXPECT_EQ(pb.book(0).limits.simName, 14);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Phone).last, 500);

    ASSERT_EQ(save(StorageCode::Sim, 1, "Alicia", "+8613912345678"), 0);
    ASSERT_EQ(save(StorageCode::Sim, -1, "Dora", "555"), 0);
    ASSERT_EQ(pb.DeleteContacts(0, StorageCode::Sim, {2}), 0);
    const size_t before = sim->transcript().size();
    ASSERT_EQ(pb.WriteChanges(0), 0);
    EXPECT_TRUE(env.prompt.texts().empty());
    const std::string sm = onHandset("SM");
    EXPECT_NE(sm.find("1=Alicia/+8613912345678"), std::string::npos) << sm;
    EXPECT_EQ(sm.find("2="), std::string::npos) << sm;
    EXPECT_NE(sm.find("4=Dora/555"), std::string::npos) << sm;
    std::vector<std::string> writes;
    const auto all = sim->transcript();
    for (size_t i = before; i < all.size(); ++i)
        if (all[i].dir == handsetsim::Direction::In && all[i].bytes.rfind("AT+CPBW=", 0) == 0)
            writes.push_back(all[i].bytes.substr(0, all[i].bytes.find(',') == std::string::npos
                                                         ? all[i].bytes.size() - 1
                                                         : all[i].bytes.find(',')));
    EXPECT_EQ(writes, (std::vector<std::string>{"AT+CPBW=1", "AT+CPBW=2", "AT+CPBW=4"}));
    EXPECT_FALSE(pb.HasChanges(0, 0));
}

TEST_F(SimPhoneBook, ANameTheHandsetRefusesIsReportedByNameAndStaysPending)
{
    start("default.json");
    pb.ReadFromPhone(0);
    // Longer than the handset takes, kept whole by a file book's copy: the handset answers 24.
    const std::string longName = "Maximilian Alexander Long";
    int32_t pos = 2;
    ASSERT_EQ(pb.SaveContact(0, StorageCode::Sim, pos,
                             {{content::kFieldName, -1, longName}, {content::kFieldTel, 0, "10086"}}),
              0);
    EXPECT_LT(pb.WriteChanges(0), 0);
    EXPECT_EQ(env.prompt.texts(), (std::vector<std::string>{"<PbMng_MessCode3>\r" + longName}));
    // The handset keeps its entry; the edit is not thrown away but waits for the user.
    EXPECT_NE(onHandset("SM").find("2=Service/10086"), std::string::npos);
    EXPECT_TRUE(pb.HasChanges(0, 1));
}

TEST_F(SimPhoneBook, ThreeSimEntriesPastedIntoPhoneMemory)
{
    start("default.json");
    pb.ReadFromPhone(0);
    pb.SetClipboard(0, 1, 0, {1, 2, 3});
    pb.Paste(0, 2);
    ASSERT_EQ(pb.WriteChanges(0), 0);
    const std::string me = onHandset("ME");
    EXPECT_EQ(me, "1=Alice/+8613912345678 2=Service/10086 3=J\xC3\xB6rg M\xC3\xBCller/+4930123456");
}

TEST_F(SimPhoneBook, AHangUpDuringAWriteIsReportedAndTheChangesStayPending)
{
    start("default.json");
    pb.ReadFromPhone(0);
    ASSERT_EQ(save(StorageCode::Sim, 1, "Alicia", "+8613912345678"), 0);
    ASSERT_EQ(save(StorageCode::Sim, -1, "Dora", "555"), 0);
    sim->addCanned(handsetsim::CannedReply{"+CPBW*", "", -1, -1, handsetsim::DropMode::Hangup});
    const int32_t r = pb.WriteChanges(0);
    EXPECT_LT(r, 0);
    ASSERT_FALSE(env.prompt.texts().empty());
    EXPECT_NE(env.prompt.texts().front().find("<ErrInfo_CommErrInfo>"), std::string::npos);
    EXPECT_TRUE(pb.HasChanges(0, 1));
    EXPECT_TRUE(pb.book(0).changed);
    EXPECT_EQ(nameAt(StorageCode::Sim, 1), "Alicia");
}

// Every way a contact reaches the handset, against every way its write can fail: afterwards the
// contact is on the handset or still pending with its text, never lost and never on the handset
// twice; written again once the handset is back, it is there exactly once and nothing is pending.
enum class Move { CutSimToMe, CutMeToSim, EditInPlace, EditDeleteThenWrite, CopyFileToSim };
enum class Fault { JobError, HangUp, Silent };
struct MoveCase {
    Move move;
    const char *name;  // the contact's name once moved
    const char *write; // the command that writes it (a canned reply's pattern)
};
const MoveCase kMoves[] = {
    {Move::CutSimToMe, "Alice", "+CPBW=1,*"},
    {Move::CutMeToSim, "Mem", "+CPBW=4,*"},
    {Move::EditInPlace, "Alicia", "+CPBW=1,*"},
    {Move::EditDeleteThenWrite, "Alicia", "+CPBW=1,*"},
    {Move::CopyFileToSim, "Filed", "+CPBW=4,*"},
};

class SimPhoneBookFault : public SimPhoneBook, public ::testing::WithParamInterface<std::tuple<size_t, Fault>> {};

TEST_P(SimPhoneBookFault, NoContactIsLostOrWrittenTwice)
{
    const MoveCase &c = kMoves[std::get<0>(GetParam())];
    const Fault fault = std::get<1>(GetParam());
    start("default.json");
    ASSERT_EQ(comm->SetReceiveTimeout(300), 0); // a silent handset costs 300 ms
    sim->putPhonebookEntry("ME", {5, "777", 129, "Mem"});
    pb.ReadFromPhone(0);
    ASSERT_EQ(nameAt(StorageCode::Phone, 5), "Mem");
    switch (c.move) {
    case Move::CutSimToMe:
        pb.SetClipboard(0, 1, 1, {1});
        pb.Paste(0, 2);
        break;
    case Move::CutMeToSim:
        pb.SetClipboard(0, 2, 1, {5});
        pb.Paste(0, 1);
        break;
    case Move::EditDeleteThenWrite:
        pb.handsetStorage(StorageCode::Sim).capCode &= ~1; // the handset cannot overwrite
        [[fallthrough]];
    case Move::EditInPlace:
        ASSERT_EQ(save(StorageCode::Sim, 1, "Alicia", "+8613912345678"), 0);
        break;
    case Move::CopyFileToSim: {
        const int file = pb.AddFileBook("/tmp/copy.csv");
        int32_t pos = -1;
        ASSERT_EQ(pb.SaveContact(file, StorageCode::Sim, pos,
                                 {{content::kFieldName, -1, "Filed"}, {content::kFieldTel, 0, "999"}}),
                  0);
        env.prompt.script({core::kIdYes});
        pb.CopyContacts(file, 1, {pos}, 1, content::kHandsetBook);
        break;
    }
    }
    ASSERT_GE(count(c.name), 1); // a cut's source is still there beside its pending copy
    switch (fault) {
    case Fault::JobError:
        sim->addCanned({c.write, "\r\n+CME ERROR: 20\r\n", -1, 1});
        break;
    case Fault::HangUp:
        sim->addCanned({c.write, "", -1, 1, handsetsim::DropMode::Hangup});
        break;
    case Fault::Silent:
        sim->addCanned({c.write, "", -1, 1, handsetsim::DropMode::Mute});
        break;
    }
    EXPECT_LT(pb.WriteChanges(0), 0);
    auto where = [&] { return onHandset("SM") + " | " + onHandset("ME") + " | pending " + std::to_string(pendingWith(c.name)); };
    EXPECT_GE(count(c.name), 1) << where();
    EXPECT_LE(onPhoneCount(c.name), 1) << where();
    if (fault != Fault::JobError) {
        // The program hears of the lost link; the handset comes back on a fresh port.
        pb.PhoneDisconnected();
        comm->Close();
        sim->dropLink(handsetsim::DropMode::Hangup);
        sim->reconnect();
        ASSERT_EQ(comm->Connect(), 0);
        clt->SetItf(MS_ITF_PB, comm->currentSerial());
        EXPECT_GE(count(c.name), 1) << where();
    }
    if (c.move == Move::EditDeleteThenWrite)
        pb.handsetStorage(StorageCode::Sim).capCode |= 1; // the generic driver writes new entries in mode 0 only
    EXPECT_EQ(pb.WriteChanges(0), 0);
    EXPECT_EQ(onPhoneCount(c.name), 1) << where();
    EXPECT_EQ(pendingWith(c.name), 0);
    EXPECT_FALSE(pb.HasChanges(0, 0));
}

std::string moveFaultName(const ::testing::TestParamInfo<std::tuple<size_t, Fault>> &p)
{
    const char *moves[] = {"CutSimToMe", "CutMeToSim", "EditInPlace", "EditDeleteThenWrite", "CopyFileToSim"};
    const char *faults[] = {"JobError", "HangUp", "Silent"};
    return std::string(moves[std::get<0>(p.param)]) + "_" + faults[int(std::get<1>(p.param))];
}

INSTANTIATE_TEST_SUITE_P(MovesAndFaults, SimPhoneBookFault,
                         ::testing::Combine(::testing::Range<size_t>(0, std::size(kMoves)),
                                            ::testing::Values(Fault::JobError, Fault::HangUp, Fault::Silent)),
                         moveFaultName);

TEST_F(SimPhoneBook, ACancelWhilePhoneMemoryIsReadKeepsItsEarlierRows)
{
    bool armed = false;
    start("default.json", [&] {
        if (!armed)
            return;
        for (const handsetsim::TranscriptEntry &t : sim->transcript())
            if (t.dir == handsetsim::Direction::In && t.bytes.find("\"ME\"") != std::string::npos) {
                armed = false;
                runner->cancel();
                return;
            }
    });
    sim->putPhonebookEntry("ME", {5, "777", 129, "Mem"});
    pb.ReadFromPhone(2);
    ASSERT_EQ(nameAt(StorageCode::Phone, 5), "Mem");
    const auto records = pb.handsetStorage(StorageCode::Phone).idMng;
    sim->putPhonebookEntry("ME", {6, "888", 129, "Other"});
    armed = true;
    pb.ReadFromPhone(2);
    EXPECT_TRUE(pb.handset().cancelled);
    EXPECT_EQ(nameAt(StorageCode::Phone, 5), "Mem");
    EXPECT_EQ(nameAt(StorageCode::Phone, 6), "<none>");
    EXPECT_EQ(pb.handsetStorage(StorageCode::Phone).idMng, records);
}

TEST_F(SimPhoneBook, WithoutLengthsNamesAreCopiedUncut)
{
    start("default.json");
    sim->addCanned(handsetsim::CannedReply{"+CPBR=?", "\r\n+CPBR: (1-250)\r\n\r\nOK\r\n"});
    pb.ReadFromPhone(1);
    EXPECT_EQ(pb.book(0).limits.simName, 0);
    const int file = pb.AddFileBook("/tmp/names.csv");
    int32_t pos = -1;
    const std::string longName = "Bartholomew Fitzgerald-Smythe";
    ASSERT_EQ(pb.SaveContact(file, StorageCode::Sim, pos,
                             {{content::kFieldName, -1, longName}, {content::kFieldTel, 0, "123"}}),
              0);
    env.prompt.script({core::kIdYes});
    pb.CopyContacts(file, 1, {pos}, 1, content::kHandsetBook);
    EXPECT_EQ(nameAt(StorageCode::Sim, 4), longName);
}

TEST_F(SimPhoneBook, CsvRoundTripUnderUcs2Books)
{
    start("ucs2-books.json");
    env.app.PhoneMan = "SIMULATED";
    env.app.PhoneModel = "HS-2000";
    sim->putPhonebookEntry("ME", {3, "+4930", 145, "Wu (x), \"y\""});
    pb.ReadFromPhone(0);
    ASSERT_FALSE(pb.handset().cancelled);
    ASSERT_EQ(nameAt(StorageCode::Sim, 1), "\xE5\xBC\xA0\xE4\xB8\x89");
    char tmpl[] = "/tmp/pbcsv-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string path = std::string(tmpl) + "/handset.csv";
    ASSERT_EQ(pb.ExportToCsv(0, path), 0);
    const int b = pb.ImportFromCsv(path);
    ASSERT_GT(b, 0);
    for (StorageCode s : {StorageCode::Sim, StorageCode::Phone}) {
        SCOPED_TRACE(content::toInt(s));
        std::vector<std::pair<int32_t, content::TMobileVacrd>> a, c;
        for (int32_t p : {1, 3, 7}) {
            auto x = pb.LoadContact(0, s, p), y = pb.LoadContact(b, s, p);
            EXPECT_EQ(x.has_value(), y.has_value()) << p;
            if (x && y) {
                EXPECT_EQ(plain(*x), plain(*y)) << p;
            }
        }
    }
    EXPECT_EQ(nameAt(StorageCode::Phone, 3), "Wu (x), \"y\"");
    EXPECT_EQ(pb.book(b).limits, pb.book(0).limits);
    EXPECT_EQ(pb.book(b).phoneType, (content::PhoneType{"SIMULATED", "HS-2000"}));
    std::remove(path.c_str());
    rmdir(tmpl);
}

} // namespace
} // namespace pb_test

#endif
