// sms_fixture.h — a message object over the simulated handset, registered in an interface registry
// next to a phone-book object, and the helpers the SMS tests share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "driver/sim_fixture.h"
#include "dv_result.h"
#include "dv_util.h"
#include "oth_pb.h"
#include "oth_sms.h"

namespace smsfx {

// One entry as the worker reads it: readNext, then readData into a buffer.
struct Listed {
    int32_t index = -1;
    SmsRecord rec{};
};

struct Listing {
    std::vector<Listed> entries;
    int32_t end = 0; // the readNext answer that ended the walk
};

inline Listing listAll(StorItf *s) {
    Listing out;
    int32_t index = -1;
    int32_t r = s->readNext(s, 0, &index, 1);
    while (r == 1) {
        uint8_t buf[10241];
        const int32_t n = s->readData(s, buf, sizeof buf);
        EXPECT_EQ(static_cast<int32_t>(sizeof(SmsRecord)), n);
        Listed e;
        e.index = index;
        std::memcpy(&e.rec, buf, sizeof e.rec);
        out.entries.push_back(e);
        r = s->readNext(s, 0, &index, 0);
    }
    out.end = r;
    return out;
}

inline SmsSendRec sendRec(const std::string &number, const std::string &text, const std::string &sca = "") {
    SmsSendRec m{};
    std::strncpy(m.number, number.c_str(), sizeof m.number - 1);
    std::strncpy(m.text, text.c_str(), sizeof m.text - 1);
    std::strncpy(m.sca, sca.c_str(), sizeof m.sca - 1);
    return m;
}

// The simulator's SMS storages with small capacities, so walks over every position stay short.
inline handsetsim::Scenario smallStorages() {
    auto sc = handsetsim::defaultScenario();
    sc.smsStorages = {{"SM", 10, {}}, {"ME", 10, {}}};
    return sc;
}

class SmsTest : public simfx::SimFixture {
protected:
    handsetsim::Scenario scenario() override { return smallStorages(); }

    void SetUp() override {
        SimFixture::SetUp();
        if (HasFatalFailure())
            return;
        mng_ = ItfMng_new(4);
        ASSERT_NE(nullptr, mng_);
        sms_ = OthSms_new(nullptr, mng_, te());
        ASSERT_NE(nullptr, sms_);
        pb_ = OthPb_new(nullptr, mng_, te());
        ASSERT_NE(nullptr, pb_);
    }
    void TearDown() override {
        if (sms_) {
            EXPECT_EQ(0, OthSms_delete(sms_));
        }
        if (pb_) {
            EXPECT_EQ(0, OthPb_delete(pb_));
        }
        ItfMng_delete(mng_);
        SimFixture::TearDown();
    }

    SmsItf *itf() { return &sms_->itf; }
    StorItf *stor() { return &sms_->itf.stor; }

    // Commands the handset received since the last call, each from "AT" without its CR.
    std::vector<std::string> newCommands() {
        auto c = sim().commands();
        sim().clearCommands();
        return c;
    }
    static int count(const std::vector<std::string> &cmds, const std::string &cmd) {
        return static_cast<int>(std::count(cmds.begin(), cmds.end(), cmd));
    }
    // The receive time-out the transport has now.
    int32_t rxTimeout() {
        int32_t v = 0;
        EXPECT_EQ(0, CnsSock_getOpt(sock(), CNSSOCK_SO_RCVTIMEO, &v));
        return v;
    }
    void putSms(const std::string &storage, int index, int stat, const std::string &pduHex) {
        sim().putSms(storage, handsetsim::SmsMessage{index, stat, pduHex});
    }
    // The handset's next answer to cmd (the bytes after the echo), once.
    void reply(const std::string &cmd, const std::string &bytes) {
        sim().addCanned(handsetsim::CannedReply{cmd, bytes, -1, 1});
    }
    int32_t send(const std::string &number, const std::string &text, const std::string &sca = "") {
        const SmsSendRec m = sendRec(number, text, sca);
        return sms_->itf.send(&sms_->itf, &m);
    }
    // Makes the message object current (PDU mode) and forgets the commands that took.
    void enterSmsMode() {
        int32_t t = 0, u = 0, f = 0, l = 0;
        ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
        newCommands();
    }

    ItfMng *mng_ = nullptr;
    OthSms *sms_ = nullptr;
    OthPb *pb_ = nullptr;
};

} // namespace smsfx
