// End to end, with nothing mocked between the test and the simulated handset: the generic driver
// and our model plug-in loaded from the Plug-in folder and bound by export name, a connection over
// a pseudo-terminal or over the IrDA stand-in, and a whole session through the numbered interfaces
// as the program runs it. Then the faults a session meets: another handset's IMEI, a link that
// drops and a handset that falls silent in the middle of a listing, after which every call must
// answer a link fault within its time-out.

#include "dv_result.h"
#include "dv_transport.h"
#include "dv_util.h"
#include "handset_sim.h"
#include "integration/plugin_host.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using handsetsim::CannedReply;
using handsetsim::DropMode;
using handsetsim::HandsetSim;
using plughost::PluginHost;

enum class Link { Cable, Irda };

std::string linkName(const ::testing::TestParamInfo<Link> &info) {
    return info.param == Link::Cable ? "Pty" : "IrDA";
}

// The handset's contents: both phone books with names outside ASCII, both message storages with
// 7-bit, UCS2, submitted and concatenated messages.
handsetsim::Scenario contents() {
    handsetsim::Scenario sc = handsetsim::defaultScenario();
    auto &sm = sc.phonebooks[0];
    sm.entries[1] = {1, "+8613912345678", 145, "Alice"};
    sm.entries[2] = {2, "+4930123456", 145, "Jörg Müller"};
    sm.entries[4] = {4, "10086", 129, "王小明"};
    for (int i = 10; i <= 24; ++i) // beyond the driver's first batch of ten positions
        sm.entries[i] = {i, "13900000" + std::to_string(100 + i), 129, "Contact " + std::to_string(i)};
    auto &me = sc.phonebooks[1];
    me.entries[1] = {1, "0301234", 129, "Büro"};
    me.entries[7] = {7, "+8613800000001", 145, "李四"};

    auto &smsSm = sc.smsStorages[0].messages;
    smsSm[1] = {1, 1, handsetsim::encodeDeliverPdu("+8613912345678", "See you at eight", "05/03/16,19:02:11+32")};
    smsSm[2] = {2, 0, handsetsim::encodeDeliverPdu("10086", "余额 12.50 元")};
    smsSm[3] = {3, 2, handsetsim::encodeSubmitPdu("+8613912345678", "On my way")};
    auto &smsMe = sc.smsStorages[1].messages;
    smsMe[1] = {1, 1, handsetsim::encodeDeliverPartPdu("+4930123456", "Grüße aus Köln, Teil eins ", 7, 2, 1)};
    smsMe[2] = {2, 1, handsetsim::encodeDeliverPartPdu("+4930123456", "und Teil zwei.", 7, 2, 2)};
    smsMe[5] = {5, 3, handsetsim::encodeSubmitPdu("10086", "查询余额")};
    return sc;
}

// The sender or recipient and the text the handset holds for a stored message, from the
// simulator's own decoder.
handsetsim::Tpdu decoded(const handsetsim::SmsMessage &m) {
    std::vector<uint8_t> full;
    EXPECT_TRUE(handsetsim::fromHex(m.pdu, full));
    const size_t sc = full.empty() ? 0 : full[0] + 1u;
    handsetsim::Tpdu t;
    EXPECT_TRUE(handsetsim::decodeTpdu(full.data() + sc, full.size() - sc, t)) << m.pdu;
    return t;
}

long msSince(std::chrono::steady_clock::time_point t0) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
}

class EndToEnd : public ::testing::TestWithParam<Link> {
protected:
    void SetUp() override {
        if (GetParam() == Link::Irda) {
            if (!HandsetSim::irdaSupported())
                GTEST_SKIP() << "built without the IrDA stand-in";
            char tmpl[] = "/tmp/selvark-e2e-XXXXXX";
            ASSERT_NE(mkdtemp(tmpl), nullptr);
            dir_ = tmpl;
            setenv("SELVARK_IRDA_DIR", dir_.c_str(), 1);
        }
        handsetsim::Scenario sc = contents();
        if (GetParam() == Link::Irda) {
            sc.irda.enabled = true;
            sc.irda.dir = dir_;
        }
        sim_ = std::make_unique<HandsetSim>(std::move(sc));
        path_ = sim_->start();
        host_ = std::make_unique<PluginHost>(SELVARK_PLUGIN_DIR);
        ASSERT_TRUE(host_->loaded()) << host_->error();
    }
    void TearDown() override {
        host_.reset();
        if (sim_) {
            if (HasFailure())
                std::cerr << "handset transcript:\n" << sim_->transcriptText();
            sim_->stop();
        }
        if (!dir_.empty()) {
            unsetenv("SELVARK_IRDA_DIR");
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }

    ConnCfg cfg() const {
        return GetParam() == Link::Cable ? ConnCfg{"Cable", path_.c_str(), "115200"} : ConnCfg{"IrDA", "", ""};
    }
    // Connects and shortens the transport's receive time-out, so that a dead link is not waited on
    // for the default 9 s.
    void connect(int32_t rxTimeoutMs = 1000) {
        ASSERT_EQ(host_->connect(cfg()), 0);
        ASSERT_EQ(CnsSock_setOpt(host_->handle()->sock, CNSSOCK_SO_RCVTIMEO, rxTimeoutMs), 0);
    }

    HandsetSim &sim() { return *sim_; }
    PluginHost &host() { return *host_; }

    std::string dir_;
    std::unique_ptr<HandsetSim> sim_;
    std::string path_;
    std::unique_ptr<PluginHost> host_;
};

// ---- the whole session ----

TEST_P(EndToEnd, AWholeSessionThroughThePlugInsInterfaces) {
    connect(9000);
    EXPECT_STREQ(host().ident().Man, "SIMULATED");

    // Asked in the program's order; the plug-in has 15, 11 and 12, the rest are absent.
    const auto &asked = host().asked();
    ASSERT_EQ(asked.size(), 7u);
    for (size_t i = 0; i < asked.size(); ++i) {
        EXPECT_EQ(asked[i].id, plughost::kAskedIds[i]);
        const bool present = asked[i].id == MS_ITF_INFO || asked[i].id == MS_ITF_SMS || asked[i].id == MS_ITF_PB;
        EXPECT_EQ(asked[i].result >= 0, present) << asked[i].id << ": " << asked[i].result;
        EXPECT_EQ(host().itf(asked[i].id) != nullptr, present) << asked[i].id;
    }

    InfoItf *info = host().info();
    char imei[64] = {};
    ASSERT_GT(info->getImei(info, imei, sizeof imei), 0);
    EXPECT_STREQ(imei, "350000000000006");
    EXPECT_EQ(host().pbCaps(), 1 | 2) << "interface 12 takes both storages; 13 and 14 are absent";

    // Every message of both storages, as the handset holds them.
    SmsItf *sms = host().sms();
    for (int32_t storage : {1, 2}) {
        const std::string name = storage == 1 ? "SM" : "ME";
        const auto held = sim().smsStorage(name)->messages;
        const auto walk = plughost::readMessages(sms, storage);
        ASSERT_EQ(walk.end, 0) << name;
        EXPECT_EQ(walk.used, static_cast<int32_t>(held.size())) << name;
        ASSERT_EQ(walk.entries.size(), held.size()) << name;
        for (size_t i = 0; i < walk.entries.size(); ++i) {
            const SmsRecord &rec = walk.entries[i];
            ASSERT_TRUE(held.count(walk.indexes[i])) << name << " " << walk.indexes[i];
            const handsetsim::Tpdu t = decoded(held.at(walk.indexes[i]));
            EXPECT_EQ(rec.kind, t.kind == handsetsim::TpduKind::Submit ? SMS_KIND_SUBMITTED : SMS_KIND_RECEIVED);
            EXPECT_EQ(rec.state, SMS_STATE_TEXT);
            EXPECT_EQ(std::string(rec.number), t.number) << name << " " << walk.indexes[i];
            EXPECT_EQ(std::string(rec.text), t.text) << name << " " << walk.indexes[i];
        }
    }

    // Every phone-book entry of both storages.
    PbItf *pb = host().pb();
    for (int32_t storage : {1, 2}) {
        const std::string name = storage == 1 ? "SM" : "ME";
        const auto held = sim().phonebook(name)->entries;
        const auto walk = plughost::readContacts(pb, storage);
        ASSERT_EQ(walk.end, 0) << name;
        EXPECT_EQ(walk.used, static_cast<int32_t>(held.size())) << name;
        ASSERT_EQ(walk.entries.size(), held.size()) << name;
        for (size_t i = 0; i < walk.entries.size(); ++i) {
            ASSERT_TRUE(held.count(walk.indexes[i])) << name << " " << walk.indexes[i];
            const auto &e = held.at(walk.indexes[i]);
            const std::string &card = walk.entries[i];
            EXPECT_NE(card.find(e.text), std::string::npos) << e.text << " in\n" << card;
            EXPECT_NE(card.find(e.number), std::string::npos) << e.number << " in\n" << card;
        }
    }

    // Write a contact at the first free position of "ME".
    StorItf *pst = &pb->stor;
    ASSERT_EQ(pst->setStor(pst, 2), 0);
    const std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:周;杰\r\nTEL;CELL:+8613711112222\r\nEND:VCARD\r\n";
    ASSERT_EQ(pst->beginWrite(pst, 0, -1, MS_WRITE_PB), 0);
    ASSERT_EQ(pst->writeData(pst, card.data(), static_cast<int32_t>(card.size())), static_cast<int32_t>(card.size()));
    int32_t written = -1;
    ASSERT_EQ(pst->commitWrite(pst, &written), 0);
    EXPECT_TRUE(written == 2 || written == -1) << written << ": the first free position, when the reply names it";
    const auto me = sim().phonebook("ME")->entries;
    ASSERT_TRUE(me.count(2));
    EXPECT_EQ(me.at(2).number, "+8613711112222");
    EXPECT_NE(me.at(2).text.find("周"), std::string::npos) << me.at(2).text;

    // Store a message in "SM", and send one.
    StorItf *sst = &sms->stor;
    ASSERT_EQ(sst->setStor(sst, 1), 0);
    SmsSendRec out{};
    std::strcpy(out.number, "+8613800138000");
    std::strcpy(out.text, "Stored: 明天见");
    ASSERT_EQ(sst->beginWrite(sst, 0, -1, MS_WRITE_SMS), 0);
    ASSERT_EQ(sst->writeData(sst, &out, sizeof out), static_cast<int32_t>(sizeof out));
    int32_t stored = -1;
    ASSERT_EQ(sst->commitWrite(sst, &stored), 0);
    const auto smNow = sim().smsStorage("SM")->messages;
    ASSERT_TRUE(smNow.count(stored)) << stored;
    EXPECT_EQ(decoded(smNow.at(stored)).text, "Stored: 明天见");

    SmsSendRec send{};
    std::strcpy(send.number, "10086");
    std::strcpy(send.text, "CXYE");
    ASSERT_EQ(sms->send(sms, &send), 0);
    const auto sent = sim().submitted();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].decoded.number, "10086");
    EXPECT_EQ(sent[0].decoded.text, "CXYE");

    // Delete the stored message and two contacts.
    EXPECT_EQ(sst->del(sst, 0, stored), 0);
    EXPECT_FALSE(sim().smsStorage("SM")->messages.count(stored));
    ASSERT_EQ(pst->setStor(pst, 1), 0);
    EXPECT_EQ(pst->del(pst, 0, 2), 0);
    ASSERT_EQ(pst->setStor(pst, 2), 0);
    EXPECT_EQ(pst->del(pst, 0, 2), 0);
    EXPECT_FALSE(sim().phonebook("SM")->entries.count(2));
    EXPECT_FALSE(sim().phonebook("ME")->entries.count(2));
    EXPECT_EQ(plughost::readContacts(pb, 1).entries.size(), sim().phonebook("SM")->entries.size());

    EXPECT_EQ(host().isConnected(), 1);
    EXPECT_EQ(host().close(), 0);
    EXPECT_EQ(host().cleanupResult(), 0);
    host().unload();
    if (GetParam() == Link::Irda) {
        for (int i = 0; i < 200 && sim().state().irdaConnected; ++i)
            usleep(10000);
        EXPECT_FALSE(sim().state().irdaConnected) << "the link is closed";
    }
}

// ---- another handset ----

TEST_P(EndToEnd, AnotherHandsetsImeiIsNoticed) {
    connect();
    InfoItf *info = host().info();
    char first[64] = {}, again[64] = {};
    ASSERT_GT(info->getImei(info, first, sizeof first), 0);
    // The cable now leads to another handset: the next idle step reads its IMEI, not a kept one.
    sim().setImei("359999000000017");
    ASSERT_GT(info->getImei(info, again, sizeof again), 0);
    EXPECT_STREQ(again, "359999000000017");
    EXPECT_STRNE(first, again);
}

// ---- a link that drops in the middle of a listing ----

// After the drop: every call through the interfaces answers a link fault, each well inside the
// receive time-out; the link test fails; cleanup and disconnect still succeed (and nothing leaks,
// which the sanitizer build checks when the test ends).
// `linkTest`: also check that MsMng_isConnected fails (it takes its own three tries of 1 s on a
// handset that says nothing, so a silent handset skips it).
void expectDeadLink(PluginHost &host, int32_t rxTimeoutMs, bool linkTest = true) {
    InfoItf *info = host.info();
    SmsItf *sms = host.sms();
    PbItf *pb = host.pb();
    char buf[256];
    int32_t a = 0, b = 0, c = 0, d = 0, index = 0;
    SmsSendRec rec{};
    std::strcpy(rec.number, "10086");
    std::strcpy(rec.text, "x");
    struct Call {
        const char *name;
        std::function<int32_t()> run;
    };
    const Call calls[] = {
        {"info.getImei", [&] { return info->getImei(info, buf, sizeof buf); }},
        {"info.getBattery", [&] { return info->getBattery(info, &a); }},
        {"info.getSignal", [&] { return info->getSignal(info, &a); }},
        {"sms.readNext", [&] { return sms->stor.readNext(&sms->stor, 0, &index, 1); }},
        {"sms.setStor", [&] { return sms->stor.setStor(&sms->stor, 2); }},
        {"sms.getStat", [&] { return sms->stor.getStat(&sms->stor, 0, &a, &b, &c, &d); }},
        {"sms.send", [&] { return sms->send(sms, &rec); }},
        {"sms.del", [&] { return sms->stor.del(&sms->stor, 0, 1); }},
        {"pb.setStor", [&] { return pb->stor.setStor(&pb->stor, 1); }},
        {"pb.getStat", [&] { return pb->stor.getStat(&pb->stor, 0, &a, &b, &c, &d); }},
        {"pb.readNext", [&] { return pb->stor.readNext(&pb->stor, 0, &index, 1); }},
        {"pb.readAt", [&] { return pb->stor.readAt(&pb->stor, 0, 1); }},
        {"pb.del", [&] { return pb->stor.del(&pb->stor, 0, 1); }},
    };
    for (const Call &call : calls) {
        const auto t0 = std::chrono::steady_clock::now();
        const int32_t r = call.run();
        const long ms = msSince(t0);
        EXPECT_EQ(NetUtil_isFaultErr(r), 1) << call.name << " answered " << r;
        // At most one receive time-out each; the slack is for a loaded machine, not for a retry.
        EXPECT_LE(ms, 2 * rxTimeoutMs + 1000) << call.name;
    }
    if (linkTest) {
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(host.isConnected(), 0);
        EXPECT_LE(msSince(t0), 3 * 1000 + 1500) << "the link test: three tries of 1 s at most";
    }
    EXPECT_EQ(host.close(), 0);
    EXPECT_EQ(host.cleanupResult(), 0);
}

TEST_P(EndToEnd, TheLinkDropsInTheMiddleOfTheMessageListing) {
    connect(1000);
    SmsItf *sms = host().sms();
    ASSERT_EQ(sms->stor.setStor(&sms->stor, 1), 0);
    // The first entry and half of the second arrive, then the cable is pulled.
    const auto held = sim().smsStorage("SM")->messages;
    const std::string pdu1 = held.at(1).pdu;
    const std::string partial = "\r\n+CMGL: 1,1,," + std::to_string(pdu1.size() / 2 - 1) + "\r\n" + pdu1 +
                                "\r\n+CMGL: 2,0,,3";
    sim().addCanned(CannedReply{"+CMGL=4", partial, 0, 1, DropMode::Hangup});

    int32_t index = 0;
    int32_t r = 1;
    std::vector<int32_t> seen;
    const auto t0 = std::chrono::steady_clock::now();
    for (int32_t first = 1; r == 1; first = 0) {
        r = sms->stor.readNext(&sms->stor, 0, &index, first);
        if (r == 1)
            seen.push_back(index);
    }
    EXPECT_EQ(NetUtil_isFaultErr(r), 1) << "the listing ends in a link fault, not as a short list: " << r;
    EXPECT_LE(msSince(t0), 2 * 1000 + 1000);
    EXPECT_LE(seen.size(), 1u);
    expectDeadLink(host(), 1000);
}

TEST_P(EndToEnd, TheLinkDropsInTheMiddleOfThePhoneBookListing) {
    connect(1000);
    PbItf *pb = host().pb();
    ASSERT_EQ(pb->stor.setStor(&pb->stor, 1), 0);
    // The first batch of positions comes whole; the second breaks off after one entry.
    sim().addCanned(CannedReply{"+CPBR=11,*", "\r\n+CPBR: 11,\"13900000111\",129,\"0043\"\r\n+CPBR: 12,\"139", 0, 1,
                                DropMode::Hangup});
    int32_t index = 0;
    int32_t r = 1;
    std::vector<int32_t> seen;
    std::vector<char> buf(10241);
    for (int32_t first = 1; r == 1; first = 0) {
        r = pb->stor.readNext(&pb->stor, 0, &index, first);
        if (r == 1) {
            seen.push_back(index);
            EXPECT_GT(pb->stor.readData(&pb->stor, buf.data(), static_cast<int32_t>(buf.size())), 0);
        }
    }
    EXPECT_EQ(NetUtil_isFaultErr(r), 1) << "the listing ends in a link fault, not as a short list: " << r;
    EXPECT_GE(seen.size(), 3u) << "the first batch was read";
    EXPECT_LE(seen.size(), 5u) << "nothing beyond the break";
    expectDeadLink(host(), 1000);
}

// The handset falls silent in the middle of a listing (the cable stays, nothing comes back): each
// later call gives up after one receive time-out, shortened here to 200 ms.
TEST_P(EndToEnd, TheHandsetFallsSilentInTheMiddleOfTheMessageListing) {
    connect(200);
    SmsItf *sms = host().sms();
    ASSERT_EQ(sms->stor.setStor(&sms->stor, 2), 0);
    const std::string pdu1 = sim().smsStorage("ME")->messages.at(1).pdu;
    sim().addCanned(CannedReply{"+CMGL=4", "\r\n+CMGL: 1,1,," + std::to_string(pdu1.size() / 2 - 1) + "\r\n" + pdu1 + "\r\n",
                                0, 1, DropMode::Mute});
    int32_t index = 0;
    int32_t r = 1;
    const auto t0 = std::chrono::steady_clock::now();
    for (int32_t first = 1; r == 1; first = 0)
        r = sms->stor.readNext(&sms->stor, 0, &index, first);
    EXPECT_EQ(r, DV_E_TIMEOUT);
    EXPECT_LE(msSince(t0), 200 + 1500);
    expectDeadLink(host(), 200, false);
}

INSTANTIATE_TEST_SUITE_P(Link, EndToEnd, ::testing::Values(Link::Cable, Link::Irda), linkName);

} // namespace
