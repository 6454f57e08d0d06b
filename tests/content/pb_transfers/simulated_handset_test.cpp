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

TEST_F(SimPhoneBook, ANameTheHandsetRefusesIsReportedAndTheStorageReadAgain)
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
    EXPECT_EQ(env.prompt.texts(), (std::vector<std::string>{"<PbMng_MessCode3>"}));
    EXPECT_EQ(nameAt(StorageCode::Sim, 2), "Service"); // the handset's real contents
    EXPECT_FALSE(pb.HasChanges(0, 1));
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
