// sim_fixture.h — a simulated handset on a pseudo-terminal with a serial transport and an AT
// terminal over it, for the driver's tests. Header-only: #include "driver/sim_fixture.h" and link
// `handset_sim` and `pelurin_core` (or `Dravnik`).
//
//   SimSession s;                       // default scenario, started
//   ASSERT_EQ(0, s.open());             // Cns232 on the slave path, opened, AtTe over it
//   GmcTe_getMan(s.te(), buf, sizeof buf);
//   s.sim().setSilent(true);            // faults, canned replies, transcript ...
//
// or, as a GoogleTest fixture whose scenario a test class may override:
//
//   class PbTest : public simfx::SimFixture {
//       handsetsim::Scenario scenario() override { auto sc = SimFixture::scenario(); ...; return sc; }
//   };
//   TEST_F(PbTest, Reads) { ... te() ... sim() ... }
//
// Teardown order: the terminal, then the transport (closing the port), then the simulator.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "dv_at.h"
#include "dv_result.h"
#include "dv_transport.h"
#include "handset_sim.h"

namespace simfx {

class SimSession {
public:
    explicit SimSession(handsetsim::Scenario sc = handsetsim::defaultScenario())
        : sim_(std::make_unique<handsetsim::HandsetSim>(std::move(sc))) {
        path_ = sim_->start();
    }
    static std::unique_ptr<SimSession> fromJson(const std::string &json) {
        return std::make_unique<SimSession>(handsetsim::parseScenario(json));
    }
    ~SimSession() {
        close();
        sim_->stop();
    }
    SimSession(const SimSession &) = delete;
    SimSession &operator=(const SimSession &) = delete;

    // Opens a serial transport on the simulator's slave path and an AT terminal over it. rxTimeoutMs
    // >= 0 replaces the transport's receive time-out (9000 ms), so a test of a silent handset need
    // not wait it out. 0, or the open's error (nothing stays open then).
    int32_t open(int32_t rxTimeoutMs = -1, int32_t baud = 0) {
        close();
        port_ = Cns232_newPath(path_.c_str(), baud, 2048, 2048);
        if (!port_)
            return DV_E_NOMEM;
        int32_t rc = CnsSock_open(Cns232_toSock(port_));
        if (rc == 0 && rxTimeoutMs >= 0)
            rc = CnsSock_setOpt(Cns232_toSock(port_), CNSSOCK_SO_RCVTIMEO, rxTimeoutMs);
        if (rc == 0) {
            te_ = AtTe_new(Cns232_toSock(port_));
            if (!te_)
                rc = DV_E_NOMEM;
        }
        if (rc != 0)
            close();
        return rc;
    }
    // Deletes the terminal and the transport; harmless when nothing is open.
    void close() {
        AtTe_delete(te_);
        te_ = nullptr;
        Cns232_delete(port_);
        port_ = nullptr;
    }

    handsetsim::HandsetSim &sim() { return *sim_; }
    const std::string &path() const { return path_; }
    AtTe *te() const { return te_; }
    CnsSock *sock() const { return port_ ? Cns232_toSock(port_) : nullptr; }

private:
    std::unique_ptr<handsetsim::HandsetSim> sim_;
    std::string path_;
    Cns232 *port_ = nullptr;
    AtTe *te_ = nullptr;
};

// A started simulator with an open terminal for every test. Override scenario() to change the
// handset, rxTimeoutMs() to shorten the transport's receive time-out.
class SimFixture : public ::testing::Test {
protected:
    virtual handsetsim::Scenario scenario() { return handsetsim::defaultScenario(); }
    virtual int32_t rxTimeoutMs() { return -1; }

    void SetUp() override {
        session_ = std::make_unique<SimSession>(scenario());
        ASSERT_EQ(0, session_->open(rxTimeoutMs())) << "cannot open " << session_->path();
    }
    void TearDown() override {
        if (HasFailure() && session_)
            std::cerr << "handset transcript:\n" << session_->sim().transcriptText();
        session_.reset();
    }

    SimSession &session() { return *session_; }
    handsetsim::HandsetSim &sim() { return session_->sim(); }
    AtTe *te() const { return session_->te(); }
    CnsSock *sock() const { return session_->sock(); }

private:
    std::unique_ptr<SimSession> session_;
};

} // namespace simfx
