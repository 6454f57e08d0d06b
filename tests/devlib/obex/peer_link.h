// A simulated OBEX/IrMC handset in a private IrDA stand-in folder, and a CnsIrda transport that
// reaches it: the real transport, the real wait loop, and a peer that parses OBEX on its own.

#ifndef SELVARK_TESTS_PEER_LINK_H
#define SELVARK_TESTS_PEER_LINK_H

#include "dv_transport.h"
#include "obex_peer.h"
#include "vos/vos_int.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace peerlink {

constexpr int32_t kRxTimeoutMs = 3000; // generous: the tests run under the sanitizers

class PeerLink {
public:
    explicit PeerLink(obexpeer::PeerConfig cfg = {}) {
        char tmpl[] = "/tmp/selvark-obex-XXXXXX";
        const char *made = ::mkdtemp(tmpl);
        EXPECT_NE(made, nullptr);
        dir_ = made ? made : "";
        ::setenv("SELVARK_IRDA_DIR", dir_.c_str(), 1);
        cfg.dir = dir_;
        peer_ = std::make_unique<obexpeer::ObexPeer>(cfg);
        EXPECT_EQ(peer_->start(), 0);
        Vos_attach();
        irda_ = CnsIrda_new(0, 4096, 0);
        EXPECT_NE(irda_, nullptr);
        if (irda_) {
            EXPECT_EQ(CnsSock_setOpt(sock(), CNSSOCK_SO_RCVTIMEO, kRxTimeoutMs), 0);
        }
    }

    ~PeerLink() {
        CnsIrda_delete(irda_);
        peer_->stop();
        Vos_detach();
        ::unsetenv("SELVARK_IRDA_DIR");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    PeerLink(const PeerLink &) = delete;
    PeerLink &operator=(const PeerLink &) = delete;

    CnsSock *sock() { return CnsIrda_toSock(irda_); }
    obexpeer::ObexPeer &peer() { return *peer_; }
    const std::string &dir() const { return dir_; }

private:
    std::string dir_;
    std::unique_ptr<obexpeer::ObexPeer> peer_;
    CnsIrda *irda_ = nullptr;
};

} // namespace peerlink

#endif
