// The OBEX client against the simulated OBEX peer over the IrDA stand-in: connect and disconnect,
// negotiated packet sizes, PUT split into Continue packets, GET across Continue packets, refusals,
// state errors, a dropped link, every truncation of recorded responses, the body stream and the
// self-tests.

#include "devlib/obex/peer_link.h"
#include "dv_obex.h"
#include "dv_result.h"
#include "obex/obex_int.h"
#include "transport/irda_standin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using obexpeer::Bytes;
using obexpeer::ObexPeer;
using obexpeer::PeerConfig;
using peerlink::PeerLink;

const char kIrmcSync[] = "IRMC-SYNC";

Bytes ucs2(const std::string &s) {
    Bytes b;
    for (char c : s) {
        b.push_back(0);
        b.push_back(static_cast<uint8_t>(c));
    }
    return b;
}

SkBuff *targetHeader() {
    SkBuff *skb = CFI_dev_alloc_skb(32);
    ObxHdr_put(skb, OBX_HDR_TARGET, kIrmcSync, 9);
    return skb;
}

std::string cardOf(size_t bytes) {
    std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Long;Card\r\nNOTE:";
    while (card.size() + 13 < bytes)
        card.push_back(static_cast<char>('a' + card.size() % 26));
    return card + "\r\nEND:VCARD\r\n";
}

Bytes pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 7 + (i >> 8)); // holds NUL bytes: the transport must keep them
    return b;
}

int32_t lastHeaderOf(const Bytes &packet) {
    std::vector<int> ids = ObexPeer::headerIds(packet);
    return ids.empty() ? -1 : ids.back();
}

class ObexClient : public ::testing::Test {
protected:
    explicit ObexClient(PeerConfig cfg = {}) : link(cfg) {}

    void TearDown() override { ObxClt_delete(clt); }

    // A client connected to the IrMC service (the peer then gives a Connection-Id).
    void connect(int32_t rx = 0, int32_t tx = 0) {
        ASSERT_EQ(CnsSock_open(link.sock()), 0);
        clt = ObxClt_new(link.sock(), rx, tx);
        ASSERT_NE(clt, nullptr);
        SkBuff *target = targetHeader();
        ASSERT_EQ(ObxClt_conn(clt, 0, target), 0);
        CFI_dev_kfree_skb(target);
    }

    int32_t get(const std::string &name, std::string *body) {
        int32_t r = ObxClt_txReqBeg(clt, OBX_OP_GET);
        Bytes n = ucs2(name);
        if (r >= 0)
            r = ObxClt_txReqHdr(clt, OBX_HDR_NAME, n.data(), static_cast<int32_t>(n.size()));
        if (r >= 0)
            r = ObxClt_txReqEnd(clt);
        int32_t id = 0, len = 0;
        const uint8_t *v = nullptr;
        while (r >= 0 && (r = ObxClt_rxRspHdr(clt, &id, &v, &len)) == 1)
            if (id == OBX_HDR_BODY || id == OBX_HDR_END_OF_BODY)
                body->append(reinterpret_cast<const char *>(v), static_cast<size_t>(len));
        return r;
    }

    PeerLink link;
    ObxClt *clt = nullptr;
};

// ---- connect and disconnect ----

TEST_F(ObexClient, ConnectsAnnouncingTheMinimumAndDisconnects) {
    ASSERT_EQ(CnsSock_open(link.sock()), 0);
    // The IrMC store asks for 192: below the IrOBEX minimum, so 255 is announced.
    clt = ObxClt_new(link.sock(), 192, 208);
    ASSERT_NE(clt, nullptr);
    EXPECT_EQ(ObxClt_isConn(clt), 0);
    SkBuff *target = targetHeader();
    ASSERT_EQ(ObxClt_conn(clt, 0, target), 0);
    CFI_dev_kfree_skb(target);
    EXPECT_EQ(ObxClt_isConn(clt), 1);
    EXPECT_EQ(ObxClt_conn(clt, 0, nullptr), 0) << "already connected";
    EXPECT_EQ(ObxClt_disc(clt, nullptr), 0);
    EXPECT_EQ(ObxClt_isConn(clt), 0);
    EXPECT_EQ(ObxClt_disc(clt, nullptr), DV_E_NOTCONN);

    auto reqs = link.peer().requests();
    ASSERT_EQ(reqs.size(), 2u);
    const Bytes &c = reqs[0].packets.at(0);
    ASSERT_GE(c.size(), 7u);
    EXPECT_EQ(c[0], OBX_OP_CONNECT);
    EXPECT_EQ(c[3], 0x12) << "version";
    EXPECT_EQ(reqs[0].clientMax, 255);
    EXPECT_EQ(std::string(reqs[0].target.begin(), reqs[0].target.end()), kIrmcSync);
    EXPECT_EQ(reqs[1].opcode, OBX_OP_DISCONNECT);
    EXPECT_EQ(ObexPeer::headerIds(reqs[1].packets.at(0)), std::vector<int>{OBX_HDR_CONNECTION_ID});
}

struct SizeCase {
    const char *name;
    uint16_t peerMax;
    int32_t txLimit;
    int32_t packetSize;
};

class PacketSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PacketSize, IsTheSmallerLimitRoundedDownTo16) {
    PeerConfig cfg;
    cfg.maxPacket = GetParam().peerMax;
    PeerLink link(cfg);
    ASSERT_EQ(CnsSock_open(link.sock()), 0);
    ObxClt *clt = ObxClt_new(link.sock(), 0, GetParam().txLimit);
    ASSERT_EQ(ObxClt_conn(clt, 0, nullptr), 0);
    EXPECT_EQ(ObxClt_packetSize(clt), GetParam().packetSize);
    ObxClt_delete(clt);
}

INSTANTIATE_TEST_SUITE_P(
    Obex, PacketSize,
    ::testing::Values(SizeCase{"peer1000_limit240", 1000, 240, 240}, SizeCase{"peer255_limit255", 255, 255, 240},
                      SizeCase{"peer1000_limit1000", 1000, 1000, 992}, SizeCase{"peer600_limit4096", 600, 4096, 592},
                      // Under the IrOBEX minimum: taken at 255, never 0 (body splitting would spin).
                      SizeCase{"peer100_limit240", 100, 240, 240}, SizeCase{"peer10_limit4096", 10, 4096, 240},
                      SizeCase{"peer0_limit0", 0, 0, 240}),
    [](const auto &row) { return std::string(row.param.name); });

// ---- PUT ----

struct PieceCase {
    const char *name;
    size_t piece;      // body handed over in pieces of this size
    bool endExplicit;  // the last piece goes as End-of-Body
};

class PutSplit : public ObexClient, public ::testing::WithParamInterface<PieceCase> {};

TEST_P(PutSplit, GoesOutInContinuePacketsEndingWithEndOfBody) {
    connect();
    const Bytes body = pattern(1000);
    Bytes name = ucs2("note.bin");
    ASSERT_EQ(ObxClt_txReqBeg(clt, OBX_OP_PUT), 0);
    ASSERT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_NAME, name.data(), static_cast<int32_t>(name.size())), 0);
    for (size_t at = 0; at < body.size(); at += GetParam().piece) {
        size_t n = std::min(GetParam().piece, body.size() - at);
        int32_t id = GetParam().endExplicit && at + n == body.size() ? OBX_HDR_END_OF_BODY : OBX_HDR_BODY;
        ASSERT_EQ(ObxClt_txReqHdr(clt, id, body.data() + at, static_cast<int32_t>(n)), 0) << at;
    }
    ASSERT_EQ(ObxClt_txReqEnd(clt), 0);
    ASSERT_EQ(ObxClt_rxRspWhole(clt), 0);
    EXPECT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_BODY, "x", 1), DV_E_STATE) << "the request is over";

    auto reqs = link.peer().requests();
    const obexpeer::Request &put = reqs.back();
    EXPECT_EQ(put.body, body);
    ASSERT_GE(put.packets.size(), 5u); // 1000 bytes never fit fewer than five 240-byte packets
    ASSERT_EQ(put.responses.size(), put.packets.size());
    for (size_t i = 0; i < put.packets.size(); ++i) {
        const Bytes &p = put.packets[i];
        bool last = i + 1 == put.packets.size();
        EXPECT_LE(p.size(), 240u) << i;
        EXPECT_EQ(p[0], last ? (OBX_OP_PUT | OBX_FINAL) : OBX_OP_PUT) << i;
        EXPECT_EQ(put.responses[i][0], last ? 0xA0 : 0x90) << i;
        std::vector<int> ids = ObexPeer::headerIds(p);
        // The Connection-Id leads the first packet and only that one.
        EXPECT_EQ(!ids.empty() && ids.front() == OBX_HDR_CONNECTION_ID, i == 0) << i;
    }
    EXPECT_EQ(lastHeaderOf(put.packets.back()), OBX_HDR_END_OF_BODY);
    // Full packets: every packet but the last is filled to the packet size.
    for (size_t i = 0; i + 1 < put.packets.size(); ++i)
        EXPECT_GE(put.packets[i].size(), 237u) << i;
}

INSTANTIATE_TEST_SUITE_P(Obex, PutSplit,
                         ::testing::Values(PieceCase{"whole", 1000, false}, PieceCase{"whole_end", 1000, true},
                                           PieceCase{"pieces64", 64, false}, PieceCase{"pieces160_end", 160, true},
                                           PieceCase{"bytes", 1, false}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(ObexClient, EndOfBodyWithoutDataClosesTheLastBodyHeader) {
    connect();
    ASSERT_EQ(ObxClt_txReqBeg(clt, OBX_OP_PUT), 0);
    ASSERT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_BODY, "abc", 3), 0);
    ASSERT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_END_OF_BODY, nullptr, 0), 0);
    EXPECT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_BODY, "d", 1), DV_E_STATE) << "body data after End-of-Body";
    ASSERT_EQ(ObxClt_txReqEnd(clt), 0);
    ASSERT_EQ(ObxClt_rxRspWhole(clt), 0);
    const obexpeer::Request put = link.peer().requests().back();
    ASSERT_EQ(put.packets.size(), 1u);
    EXPECT_EQ(ObexPeer::headerIds(put.packets[0]), (std::vector<int>{OBX_HDR_CONNECTION_ID, OBX_HDR_END_OF_BODY}));
    EXPECT_EQ(std::string(put.body.begin(), put.body.end()), "abc");
}

// ---- GET ----

TEST_F(ObexClient, GetAcrossThreeContinuePacketsDeliversTheWholeBody) {
    PeerConfig cfg = link.peer().config();
    cfg.bodyChunk = 100;
    link.peer().configure(cfg);
    const std::string card = cardOf(330);
    link.peer().putCard(0, card, "ABC");
    connect();
    std::string body;
    ASSERT_EQ(get("telecom/pb/luid/ABC.vcf", &body), 0);
    EXPECT_EQ(body, card.substr(0, card.size() - 11) + "X-IRMC-LUID:ABC\r\nEND:VCARD\r\n");
    EXPECT_EQ(ObxClt_state(clt), OBX_STATE_CONNECTED);

    const obexpeer::Request g = link.peer().requests().back();
    ASSERT_EQ(g.responses.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(g.responses[static_cast<size_t>(i)][0], 0x90) << i;
    EXPECT_EQ(g.responses[3][0], 0xA0);
    // The follow-up requests are empty final GETs.
    for (size_t i = 1; i < g.packets.size(); ++i)
        EXPECT_EQ(g.packets[i], (Bytes{OBX_OP_GET | OBX_FINAL, 0, 3})) << i;
}

TEST_F(ObexClient, TakesResponsesUpToTheAnnouncedSizeAboveItsPacketSize) {
    link.peer().putCard(0, cardOf(1000), "BIG");
    connect(); // announces 255, sends 240
    ASSERT_EQ(ObxClt_packetSize(clt), 240);
    std::string body;
    ASSERT_EQ(get("telecom/pb/luid/BIG.vcf", &body), 0);
    EXPECT_GT(body.size(), 1000u);
    const obexpeer::Request g = link.peer().requests().back();
    ASSERT_GE(g.responses.size(), 4u);
    EXPECT_EQ(g.responses[0].size(), 255u) << "the peer fills to what we announced";
}

TEST_F(ObexClient, BodyStreamReadsAcrossPacketsAndEndsWithEndOfData) {
    PeerConfig cfg = link.peer().config();
    cfg.bodyChunk = 7;
    link.peer().configure(cfg);
    const std::string card = "BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\n";
    link.peer().putCard(0, card, "S1");
    connect();
    Bytes n = ucs2("telecom/pb/luid/S1.vcf");
    ASSERT_EQ(ObxClt_txReqBeg(clt, OBX_OP_GET), 0);
    ASSERT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_NAME, n.data(), static_cast<int32_t>(n.size())), 0);
    ASSERT_EQ(ObxClt_txReqEnd(clt), 0);
    AbsFile *body = ObxBody_new(clt);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(AbsFile_ungetc(body), DV_E_STATE) << "nothing read yet";
    EXPECT_EQ(AbsFile_getc(body), 'B');
    EXPECT_EQ(AbsFile_ungetc(body), 0);
    std::string got;
    got.push_back(static_cast<char>(AbsFile_getc(body)));
    char buf[10];
    int32_t r;
    while ((r = AbsFile_read(body, buf, sizeof buf)) > 0)
        got.append(buf, static_cast<size_t>(r));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(AbsFile_getc(body), ABSFILE_EOF);
    EXPECT_EQ(got, "BEGIN:VCARD\r\nN:A\r\nX-IRMC-LUID:S1\r\nEND:VCARD\r\n");
    EXPECT_EQ(AbsFile_putc(body, 'x'), DV_E_NOTIMPL);
    EXPECT_EQ(AbsFile_write(body, "x", 1), DV_E_NOTIMPL);
    EXPECT_EQ(body->print(body, "%d", 1), DV_E_NOTIMPL);
    EXPECT_EQ(AbsFile_seek(body, 0, 0), DV_E_UNSUPPORTED);
    EXPECT_EQ(AbsFile_size(body), DV_E_UNSUPPORTED);
    EXPECT_EQ(ObxClt_state(clt), OBX_STATE_CONNECTED);
    ObxBody_delete(body);
}

// ---- refusals and errors ----

TEST_F(ObexClient, ARefusalEndsTheRequestWithMinus9AndTheClientGoesOn) {
    link.peer().putCard(0, "BEGIN:VCARD\r\nEND:VCARD\r\n", "R1");
    connect();
    std::string body;
    link.peer().failNext(0xC3); // Forbidden
    EXPECT_EQ(get("telecom/pb/luid/R1.vcf", &body), DV_E_IO);
    EXPECT_EQ(ObxClt_state(clt), OBX_STATE_CONNECTED);
    EXPECT_EQ(get("telecom/pb/luid/NONE.vcf", &body), DV_E_IO) << "Not Found";
    EXPECT_EQ(get("telecom/pb/luid/R1.vcf", &body), 0);

    // A packet sent without the final bit must be answered with Continue.
    link.peer().scriptNext(Bytes{0xA0, 0x00, 0x03});
    ASSERT_EQ(ObxClt_txReqBeg(clt, OBX_OP_PUT), 0);
    Bytes data = pattern(600);
    EXPECT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_BODY, data.data(), static_cast<int32_t>(data.size())), DV_E_IO);
    EXPECT_EQ(ObxClt_state(clt), OBX_STATE_CONNECTED);
}

TEST_F(ObexClient, StateAndArgumentErrors) {
    ASSERT_EQ(CnsSock_open(link.sock()), 0);
    clt = ObxClt_new(link.sock(), 0, 0);
    EXPECT_EQ(ObxClt_txReqBeg(clt, OBX_OP_GET), DV_E_NOTCONN);
    EXPECT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_BODY, "x", 1), DV_E_NOTCONN);
    EXPECT_EQ(ObxClt_rxRspHdr(clt, nullptr, nullptr, nullptr), DV_E_NOTCONN);
    EXPECT_EQ(ObxClt_setPath(clt, 0, nullptr), DV_E_NOTCONN);
    ASSERT_EQ(ObxClt_conn(clt, 0, nullptr), 0);
    EXPECT_EQ(ObxClt_txReqBeg(clt, OBX_OP_CONNECT), DV_E_ARG);
    EXPECT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_NAME, "x", 2), DV_E_STATE);
    EXPECT_EQ(ObxClt_txReqEnd(clt), DV_E_STATE);
    EXPECT_EQ(ObxClt_rxRspHdr(clt, nullptr, nullptr, nullptr), DV_E_STATE);
    ASSERT_EQ(ObxClt_txReqBeg(clt, OBX_OP_PUT), 0);
    EXPECT_EQ(ObxClt_txReqBeg(clt, OBX_OP_PUT), DV_E_STATE);
    Bytes huge(300, 'n');
    EXPECT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_NAME, huge.data(), 300), DV_E_ARG) << "larger than any packet";
    EXPECT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_LENGTH, "ab", 2), DV_E_ARG) << "a four-byte header of 2";
    EXPECT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_NAME, nullptr, 4), DV_E_ARG);
    EXPECT_EQ(ObxClt_setPath(clt, 0, nullptr), DV_E_STATE);
    EXPECT_EQ(link.peer().requests().size(), 1u) << "nothing but the CONNECT was sent";
}

TEST_F(ObexClient, SetPathSendsFlagsAndTheConnectionId) {
    connect();
    EXPECT_EQ(ObxClt_setPath(clt, 0x02, nullptr), 0);
    const obexpeer::Request s = link.peer().requests().back();
    ASSERT_EQ(s.opcode, OBX_OP_SETPATH);
    ASSERT_GE(s.packets[0].size(), 10u);
    EXPECT_EQ(s.packets[0][3], 0x02);
    EXPECT_EQ(s.packets[0][4], 0x00);
    EXPECT_EQ(ObexPeer::headerIds(s.packets[0]), std::vector<int>{OBX_HDR_CONNECTION_ID});
}

TEST_F(ObexClient, ADroppedLinkMidGetAnswersMinus71AndLeavesTheClientIdle) {
    PeerConfig cfg = link.peer().config();
    cfg.bodyChunk = 50;
    link.peer().configure(cfg);
    link.peer().putCard(0, cardOf(400), "D1");
    connect();
    Bytes n = ucs2("telecom/pb/luid/D1.vcf");
    ASSERT_EQ(ObxClt_txReqBeg(clt, OBX_OP_GET), 0);
    ASSERT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_NAME, n.data(), static_cast<int32_t>(n.size())), 0);
    ASSERT_EQ(ObxClt_txReqEnd(clt), 0);
    link.peer().dropNext();
    int32_t r;
    while ((r = ObxClt_rxRspHdr(clt, nullptr, nullptr, nullptr)) == 1) {
    }
    EXPECT_EQ(r, DV_E_CLOSED);
    EXPECT_EQ(ObxClt_isConn(clt), 0);
    EXPECT_EQ(ObxClt_txReqBeg(clt, OBX_OP_GET), DV_E_NOTCONN);
}

// ---- malformed responses ----

// The offsets at which a response's parts end (header by header, after its fixed fields): a cut
// there leaves a well-formed shorter packet; a cut anywhere else cuts a part.
std::vector<size_t> boundaries(const Bytes &rsp, size_t fixed) {
    std::vector<size_t> ends{fixed};
    size_t at = fixed;
    while (at < rsp.size()) {
        uint8_t id = rsp[at];
        size_t size = (id & 0xC0) == 0x80 ? 2 : (id & 0xC0) == 0xC0 ? 5 : (static_cast<size_t>(rsp[at + 1]) << 8) | rsp[at + 2];
        at += size;
        ends.push_back(at);
    }
    return ends;
}

Bytes cut(const Bytes &rsp, size_t len) {
    if (len < 3)
        return Bytes{rsp[0], 0, static_cast<uint8_t>(len)}; // a length field under the prefix
    Bytes t(rsp.begin(), rsp.begin() + static_cast<long>(len));
    t[1] = static_cast<uint8_t>(len >> 8);
    t[2] = static_cast<uint8_t>(len & 0xFF);
    return t;
}

TEST_F(ObexClient, EveryTruncationOfARecordedConnectAnswersMinus92) {
    connect();
    const Bytes good = link.peer().requests().front().responses.at(0);
    std::vector<size_t> ends = boundaries(good, 7);
    ASSERT_EQ(ends.size(), 3u) << "fixed fields, Who, Connection-Id";
    ASSERT_EQ(ends.back(), good.size());
    for (size_t len = 0; len < good.size(); ++len) {
        ObxClt_disc(clt, nullptr);
        link.peer().scriptNext(cut(good, len));
        SkBuff *target = targetHeader();
        int32_t r = ObxClt_conn(clt, 0, target);
        CFI_dev_kfree_skb(target);
        bool wellFormed = std::find(ends.begin(), ends.end(), len) != ends.end();
        EXPECT_EQ(r, wellFormed ? 0 : DV_E_MALFORMED) << "cut at " << len;
        EXPECT_EQ(ObxClt_isConn(clt), wellFormed ? 1 : 0) << "cut at " << len;
    }
}

TEST_F(ObexClient, EveryTruncationOfARecordedGetAndPutAnswersMinus92) {
    link.peer().putCard(0, "BEGIN:VCARD\r\nN:T\r\nEND:VCARD\r\n", "T1");
    connect();
    std::string body;
    ASSERT_EQ(get("telecom/pb/luid/T1.vcf", &body), 0);
    const Bytes getRsp = link.peer().requests().back().responses.at(0);
    // A PUT by record id: its Success carries Application-Parameters.
    Bytes n = ucs2("telecom/pb/luid/T1.vcf");
    ASSERT_EQ(ObxClt_txReqBeg(clt, OBX_OP_PUT), 0);
    ASSERT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_NAME, n.data(), static_cast<int32_t>(n.size())), 0);
    ASSERT_EQ(ObxClt_txReqHdr(clt, OBX_HDR_BODY, body.data(), static_cast<int32_t>(body.size())), 0);
    ASSERT_EQ(ObxClt_txReqEnd(clt), 0);
    ASSERT_EQ(ObxClt_rxRspWhole(clt), 0);
    const Bytes putRsp = link.peer().requests().back().responses.at(0);
    ASSERT_EQ(ObexPeer::headerIds(putRsp), std::vector<int>{OBX_HDR_APP_PARAMS});

    for (const Bytes *good : {&getRsp, &putRsp}) {
        std::vector<size_t> ends = boundaries(*good, 3);
        for (size_t len = 0; len < good->size(); ++len) {
            if (!ObxClt_isConn(clt)) {
                SkBuff *target = targetHeader();
                ASSERT_EQ(ObxClt_conn(clt, 0, target), 0);
                CFI_dev_kfree_skb(target);
            }
            link.peer().scriptNext(cut(*good, len));
            int32_t r = ObxClt_txReqBeg(clt, OBX_OP_GET);
            if (r >= 0)
                r = ObxClt_txReqHdr(clt, OBX_HDR_NAME, n.data(), static_cast<int32_t>(n.size()));
            if (r >= 0)
                r = ObxClt_txReqEnd(clt);
            if (r >= 0)
                r = ObxClt_rxRspWhole(clt);
            bool wellFormed = len >= 3 && std::find(ends.begin(), ends.end(), len) != ends.end();
            EXPECT_EQ(r, wellFormed ? 0 : DV_E_MALFORMED) << "cut at " << len;
        }
    }
}

TEST_F(ObexClient, AResponseLongerThanTheAnnouncedSizeIsMalformed) {
    connect();
    link.peer().scriptNext(Bytes{0xA0, 0x01, 0x00}); // 256 > 255
    ASSERT_EQ(ObxClt_txReqBeg(clt, OBX_OP_GET), 0);
    EXPECT_EQ(ObxClt_txReqEnd(clt), DV_E_MALFORMED);
    EXPECT_EQ(ObxClt_isConn(clt), 0);
}

// The peer also offers the "OBEX" service, whose frames carry OBEX packets without IrCOMM's
// control byte; a raw stand-in client checks it, since CnsIrda speaks IrCOMM only.
TEST(ObexPeerService, ObexServiceAnswersWithoutIrcommFraming) {
    PeerLink link;
    int fd = IrdaStandin_connect(nullptr, link.peer().config().deviceId, "OBEX");
    ASSERT_GE(fd, 0);
    int mtu = 0, r = 0;
    for (int i = 0; i < 200 && (r = IrdaStandin_readHello(fd, &mtu)) == 0; ++i)
        ::poll(nullptr, 0, 5);
    ASSERT_EQ(r, 1);
    const uint8_t connect[] = {0x80, 0x00, 0x07, 0x10, 0x00, 0x01, 0x00};
    ASSERT_EQ(::send(fd, connect, sizeof connect, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof connect));
    pollfd pfd{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, peerlink::kRxTimeoutMs), 1);
    uint8_t rsp[64];
    ssize_t n = ::recv(fd, rsp, sizeof rsp, 0);
    ASSERT_EQ(n, 7);
    EXPECT_EQ(rsp[0], 0xA0);
    EXPECT_EQ(link.peer().requests().at(0).clientMax, 0x100);
    ::close(fd);
}

// ---- self-tests ----

class ObexSelfTest : public ::testing::Test {
protected:
    void SetUp() override {
        old = std::filesystem::current_path();
        std::filesystem::current_path(link.dir());
    }
    void TearDown() override { std::filesystem::current_path(old); }

    PeerLink link;
    std::filesystem::path old;
};

TEST_F(ObexSelfTest, InboxPushesTheSampleCard) {
    ASSERT_EQ(ObxIbxClt_test(link.sock()), 0);
    auto inbox = link.peer().inbox();
    ASSERT_EQ(inbox.count("test.vcf"), 1u);
    std::string card(inbox["test.vcf"].begin(), inbox["test.vcf"].end());
    EXPECT_EQ(card.rfind("BEGIN:VCARD\r\n", 0), 0u);
    auto reqs = link.peer().requests();
    const obexpeer::Request &put = reqs.at(1);
    EXPECT_EQ(put.opcode, OBX_OP_PUT);
    EXPECT_TRUE(put.hasLength);
    EXPECT_EQ(put.length, card.size());
    EXPECT_EQ(reqs.at(0).clientMax, 255);
    EXPECT_EQ(reqs.back().opcode, OBX_OP_DISCONNECT);
}

TEST_F(ObexSelfTest, FolderListingIsWrittenToItsFile) {
    ASSERT_EQ(ObxFldClt_test(link.sock()), 0);
    auto reqs = link.peer().requests();
    EXPECT_EQ(reqs.at(0).target.size(), 16u);
    EXPECT_EQ(reqs.at(1).type, "x-obex/folder-listing");
    std::ifstream f("fld-list.log", std::ios::binary);
    std::stringstream text;
    text << f.rdbuf();
    EXPECT_NE(text.str().find("<folder-listing"), std::string::npos);
}

} // namespace
