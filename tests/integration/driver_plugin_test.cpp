// The generic driver and our model plug-in, loaded by path and bound by export name the way the
// program binds them, drive the simulated handset through the numbered interfaces.

#include "dv_result.h"
#include "handset_sim.h"
#include "ms_itf.h"
#include "ms_mng.h"
#include "ms_plug.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using MsMngConnectFn = int32_t (*)(ConnHandle **, const ConnCfg *, PhoneIdent *);
using MsMngHandleFn = int32_t (*)(ConnHandle *);
using MsMngGetSuppFn = int32_t (*)(const char **, const ConnSupp **);

template <typename Fn> Fn bind(void *lib, const char *name) {
    return reinterpret_cast<Fn>(dlsym(lib, name));
}

class DriverAndPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        driver = dlopen(SELVARK_PLUGIN_DIR "/Pelurin.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(driver, nullptr) << dlerror();
        plug = dlopen(SELVARK_PLUGIN_DIR "/Generic.plug", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(plug, nullptr) << dlerror();
        connect = bind<MsMngConnectFn>(driver, "MsMng_connect");
        disconnect = bind<MsMngHandleFn>(driver, "MsMng_disconnect");
        isConnected = bind<MsMngHandleFn>(driver, "MsMng_isConnected");
        init = bind<MsPlugInitFn>(plug, MS_PLUG_INIT);
        getItf = bind<MsPlugGetItfFn>(plug, MS_PLUG_GETITF);
        cleanup = bind<MsPlugCleanupFn>(plug, MS_PLUG_CLEANUP);
        ASSERT_TRUE(connect && disconnect && isConnected && init && getItf && cleanup);
        path = sim.start();
    }
    void TearDown() override {
        if (plug)
            dlclose(plug);
        if (driver)
            dlclose(driver);
        sim.stop();
    }

    handsetsim::HandsetSim sim;
    std::string path;
    void *driver = nullptr;
    void *plug = nullptr;
    MsMngConnectFn connect = nullptr;
    MsMngHandleFn disconnect = nullptr;
    MsMngHandleFn isConnected = nullptr;
    MsPlugInitFn init = nullptr;
    MsPlugGetItfFn getItf = nullptr;
    MsPlugCleanupFn cleanup = nullptr;
};

TEST_F(DriverAndPlugin, CataloguedAsManufacturerOtherWithMiscRows) {
    const char *man = nullptr;
    const ConnSupp *supp = nullptr;
    EXPECT_EQ(bind<MsMngGetSuppFn>(driver, "MsMng_getSupp")(&man, &supp), 2);
    EXPECT_STREQ(man, "Other");

    const char *plugMan = nullptr;
    const PlugSupp *rows = nullptr;
    int32_t n = bind<MsPlugGetSuppFn>(plug, MS_PLUG_GETSUPP)(&plugMan, &rows);
    EXPECT_STREQ(plugMan, "Other"); // the driver it belongs to
    bool miscFallback = false;
    for (int32_t i = 0; i < n && rows[i].Man; ++i)
        miscFallback = miscFallback || (std::strcmp(rows[i].Man, "MISC") == 0 && std::strstr(rows[i].Model1, "MISC"));
    EXPECT_TRUE(miscFallback);
    int32_t v[3] = {-1, -1, -1};
    EXPECT_EQ(bind<MsPlugGetVerFn>(plug, MS_PLUG_GETVER)(&v[0], &v[1], &v[2]), 0);
    EXPECT_GE(v[0], 1);
}

TEST_F(DriverAndPlugin, ConnectBindReadSendAndClose) {
    sim.putSms("SM", handsetsim::SmsMessage{1, 1, handsetsim::encodeDeliverPdu("+8613912345678", "Meet at 5")});
    sim.putPhonebookEntry("SM", handsetsim::PhonebookEntry{3, "+8613800138000", 145, "Smith"});

    ConnCfg cfg{"Cable", path.c_str(), "115200"};
    PhoneIdent ident;
    ConnHandle *h = nullptr;
    ASSERT_EQ(connect(&h, &cfg, &ident), 0);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(ident.Man, "SIMULATED");
    EXPECT_EQ(isConnected(h), 1);

    ASSERT_EQ(init(h), 0);
    // The order in which the program asks; absent interfaces leave the pointer empty.
    const struct {
        int32_t id;
        bool present;
    } asked[] = {{MS_ITF_INFO, true}, {MS_ITF_SMS, true}, {MS_ITF_PB, true},     {MS_ITF_PB2, false},
                 {MS_ITF_PB3, false}, {MS_ITF_RES21, false}, {MS_ITF_RES22, false}};
    void *itf[23] = {};
    for (const auto &a : asked) {
        int32_t r = getItf(a.id, &itf[a.id]);
        if (a.present) {
            EXPECT_GE(r, 0) << a.id;
            EXPECT_NE(itf[a.id], nullptr) << a.id;
        } else {
            EXPECT_TRUE(r == DV_E_UNSUPPORTED || r == DV_E_NOTIMPL || r == DV_E_ARG) << a.id << " " << r;
            EXPECT_EQ(itf[a.id], nullptr) << a.id;
        }
    }

    auto *info = static_cast<InfoItf *>(itf[MS_ITF_INFO]);
    char imei[64];
    EXPECT_GT(info->getImei(info, imei, sizeof imei), 0);
    EXPECT_EQ(std::string(imei), sim.state().imei);
    int32_t signal = -2;
    EXPECT_EQ(info->getSignal(info, &signal), 0);
    EXPECT_GE(signal, -1);

    // Messages: select "SM", count, walk, read the record.
    auto *sms = static_cast<SmsItf *>(itf[MS_ITF_SMS]);
    StorItf *st = &sms->stor;
    ASSERT_EQ(st->setStor(st, 1), 0);
    int32_t total = 0, used = 0, first = 0, last = 0;
    ASSERT_EQ(st->getStat(st, 0, &total, &used, &first, &last), 0);
    EXPECT_EQ(used, 1);
    int32_t index = 0;
    ASSERT_EQ(st->readNext(st, 0, &index, 1), 1);
    EXPECT_EQ(index, 1);
    std::vector<char> entry(10241);
    ASSERT_EQ(st->readData(st, entry.data(), static_cast<int32_t>(entry.size())), static_cast<int32_t>(sizeof(SmsRecord)));
    SmsRecord rec;
    std::memcpy(&rec, entry.data(), sizeof rec);
    EXPECT_EQ(rec.kind, SMS_KIND_RECEIVED);
    EXPECT_STREQ(rec.number, "+8613912345678");
    EXPECT_STREQ(rec.text, "Meet at 5");
    EXPECT_EQ(st->readNext(st, 0, &index, 0), 0);

    // The phone book switches the handset out of message mode and back without the caller knowing.
    auto *pb = static_cast<PbItf *>(itf[MS_ITF_PB]);
    StorItf *pst = &pb->stor;
    ASSERT_EQ(pst->setStor(pst, 1), 0);
    ASSERT_EQ(pst->readNext(pst, 0, &index, 1), 1);
    EXPECT_EQ(index, 3);
    int32_t n = pst->readData(pst, entry.data(), static_cast<int32_t>(entry.size()) - 1);
    ASSERT_GT(n, 0);
    std::string card(entry.data(), static_cast<size_t>(n));
    EXPECT_NE(card.find("Smith"), std::string::npos) << card;
    EXPECT_NE(card.find("+8613800138000"), std::string::npos) << card;

    SmsSendRec out{};
    std::strcpy(out.number, "+8613800138000");
    std::strcpy(out.text, "hello");
    EXPECT_EQ(sms->send(sms, &out), 0);
    auto sent = sim.submitted();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].decoded.text, "hello");
    EXPECT_EQ(sent[0].decoded.number, "+8613800138000");

    EXPECT_EQ(cleanup(), 0);
    EXPECT_EQ(disconnect(h), 0);
}

TEST_F(DriverAndPlugin, InitRefusesAHandleThatIsNotOpen) {
    ConnHandle stale{};
    EXPECT_EQ(init(&stale), DV_E_ARG);
    void *p = reinterpret_cast<void *>(1);
    EXPECT_LT(getItf(MS_ITF_INFO, &p), 0);
    EXPECT_EQ(p, nullptr);
}

} // namespace
