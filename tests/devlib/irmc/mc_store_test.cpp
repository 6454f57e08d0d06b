// The IrMC client and the phone-book store against the simulated IrMC handset over the IrDA
// stand-in: store sizes from info.log, listings and the record-id map, writes and deletes by
// record id and by static index, access levels, the registry switch, a dropped link, and the
// self-test.

#include "devlib/obex/peer_link.h"
#include "dv_irmc.h"
#include "dv_obex.h"
#include "dv_result.h"
#include "dv_util.h"
#include "irmc/irmc_int.h"
#include "obex/obex_int.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using obexpeer::Bytes;
using obexpeer::ObexPeer;
using obexpeer::PeerConfig;
using peerlink::PeerLink;

std::string card(const std::string &name, const std::string &tel) {
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + name + "\r\nTEL;CELL:" + tel + "\r\nEND:VCARD\r\n";
}

PeerConfig luidStore(const std::string &maximum = "*", int capacity = 100) {
    PeerConfig cfg;
    cfg.maximumRecords = maximum;
    cfg.capacity = capacity;
    cfg.iel = "0x8";
    return cfg;
}

std::string textOf(const Bytes &b) { return std::string(b.begin(), b.end()); }

class Store : public ::testing::Test {
protected:
    explicit Store(PeerConfig cfg = luidStore()) : link(cfg) {}

    void SetUp() override {
        mng = ItfMng_new(4);
        ASSERT_NE(mng, nullptr);
        store = McVcf_new(nullptr, mng, link.sock(), 50, 8);
        ASSERT_NE(store, nullptr);
    }

    void TearDown() override {
        McVcf_delete(store);
        ItfMng_delete(mng);
    }

    McPbItf *itf() { return &store->itf; }

    // Every card of one listing: position and text.
    std::vector<std::pair<int32_t, std::string>> listAll() {
        std::vector<std::pair<int32_t, std::string>> out;
        for (int32_t first = 1;; first = 0) {
            int32_t index = -1;
            int32_t r = itf()->readNext(itf(), 0, &index, first);
            EXPECT_GE(r, 0);
            if (r <= 0)
                break;
            char buf[1024];
            int32_t n = itf()->readData(itf(), buf, sizeof buf);
            EXPECT_GT(n, 0);
            out.emplace_back(index, std::string(buf, n > 0 ? static_cast<size_t>(n) : 0));
        }
        return out;
    }

    int32_t write(int32_t index, int32_t isNew, const std::string &text, int32_t *pos) {
        int32_t r = itf()->beginWrite(itf(), 0, index, isNew);
        if (r < 0)
            return r;
        r = itf()->writeData(itf(), text.data(), static_cast<int32_t>(text.size()));
        if (r < 0)
            return r;
        return itf()->commitWrite(itf(), pos);
    }

    PeerLink link;
    ItfMng *mng = nullptr;
    McVcf *store = nullptr;
};

// ---- store size and status ----

TEST_F(Store, StarMaximumWithTotalAndFreeGivesTheirSum) {
    for (int i = 0; i < 5; ++i)
        link.peer().addCard(card("P" + std::to_string(i), "+100" + std::to_string(i)));
    int32_t total = 0, used = 0, first = -9, last = 0, caps = 0;
    ASSERT_EQ(itf()->getStat(itf(), 0, &total, &used, &first, &last), 0);
    EXPECT_EQ(store->info.maxRecords, -1);
    EXPECT_EQ(store->info.access, 11);
    EXPECT_EQ(total, 100) << "the store size, never Maximum-Records' -1";
    EXPECT_EQ(used, 5);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 99);
    EXPECT_EQ(StrMap_count(store->map), 100);
    ASSERT_EQ(itf()->getCaps(itf(), &caps), 0);
    EXPECT_EQ(caps, 40 | 0x15);
}

struct SizeCase {
    const char *name;
    const char *maximum;
    bool counts;        // Total-Records and Free-Records given
    int capacity;
    int32_t total;
};

class StoreSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(StoreSize, ComesFromMaximumElseTheCountsElseTheDefault) {
    PeerConfig cfg = luidStore(GetParam().maximum, GetParam().capacity);
    cfg.giveTotal = cfg.giveFree = GetParam().counts;
    PeerLink link(cfg);
    McVcf *s = McVcf_new(nullptr, nullptr, link.sock(), 50, 0);
    int32_t total = 0, last = 0;
    ASSERT_EQ(s->itf.getStat(&s->itf, 0, &total, nullptr, nullptr, &last), 0);
    EXPECT_EQ(total, GetParam().total);
    EXPECT_EQ(last, GetParam().total - 1);
    McVcf_delete(s);
}

INSTANTIATE_TEST_SUITE_P(Irmc, StoreSize,
                         ::testing::Values(SizeCase{"maximum", "250", true, 10, 250},
                                           SizeCase{"star_counts", "*", true, 30, 30},
                                           SizeCase{"zero_counts", "0", true, 12, 12},
                                           SizeCase{"star_no_counts", "*", false, 30, 50},
                                           SizeCase{"absent_no_counts", "", false, 30, 50},
                                           SizeCase{"absurd_maximum", "2000000000", true, 10, 65535}),
                         [](const auto &row) { return std::string(row.param.name); });

// ---- listing and the record-id map ----

TEST_F(Store, ReadingTheSameCardTwiceGivesTheSamePosition) {
    link.peer().addCard(card("Ann", "+1"), "A1");
    link.peer().addCard(card("Bob", "+2"), "B2");
    link.peer().addCard(card("Cid", "+3"), std::string(40, 'L')); // the longest id kept
    auto one = listAll();
    auto two = listAll();
    ASSERT_EQ(one.size(), 3u);
    ASSERT_EQ(two.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(one[i].first, static_cast<int32_t>(i));
        EXPECT_EQ(two[i].first, one[i].first);
        EXPECT_EQ(two[i].second, one[i].second);
    }
    EXPECT_NE(one[0].second.find("N:Ann"), std::string::npos);
    EXPECT_EQ(StrMap_used(store->map), 3) << "a 40-character id is found again, never added twice";
    EXPECT_STREQ(StrMap_get(store->map, 2), std::string(40, 'L').c_str());

    // readData goes on where it stopped; readDataAgain starts over.
    int32_t index = -1;
    ASSERT_EQ(itf()->readNext(itf(), 0, &index, 1), 1);
    char again[1024];
    ASSERT_EQ(itf()->readData(itf(), again, 6), 6);
    int32_t n = itf()->readData(itf(), again, sizeof again);
    EXPECT_EQ(std::string(again, n > 0 ? static_cast<size_t>(n) : 0), one[0].second.substr(6));
    n = itf()->readDataAgain(itf(), again, sizeof again);
    EXPECT_EQ(std::string(again, n > 0 ? static_cast<size_t>(n) : 0), one[0].second);

    // readAt by position reads the record by its id.
    ASSERT_EQ(itf()->readAt(itf(), 0, 1), 1);
    n = itf()->readData(itf(), again, sizeof again);
    EXPECT_NE(std::string(again, static_cast<size_t>(n)).find("N:Bob"), std::string::npos);
    EXPECT_EQ(link.peer().requests().back().name, "telecom/pb/luid/B2.vcf");
    EXPECT_EQ(itf()->readAt(itf(), 0, 7), 0) << "an empty position";
    EXPECT_EQ(itf()->readData(itf(), again, sizeof again), DV_E_STATE);
}

// Handsets that write their phone book with LF line ends, and one whose last card is cut short
// (its END:VCARD missing): every card is listed, the last with what it has.
TEST_F(Store, CardsWithLfLineEndsAndALastCardCutShortAreAllListed) {
    link.peer().addCard("BEGIN:VCARD\nVERSION:2.1\nN:Ann\nTEL;CELL:+1\nEND:VCARD\n", "A1");
    link.peer().addCard("BEGIN:VCARD\rN:Bob\rTEL:+2\rEND:VCARD \r", "B2");
    link.peer().addCard("BEGIN:VCARD\nN:Cid\nTEL:+3\n", "C3");
    auto cards = listAll();
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_NE(cards[0].second.find("N:Ann\r\n"), std::string::npos);
    EXPECT_NE(cards[1].second.find("N:Bob\r\n"), std::string::npos);
    EXPECT_NE(cards[2].second.find("TEL:+3\r\n"), std::string::npos);
    EXPECT_EQ(cards[2].second.substr(cards[2].second.size() - 11), "END:VCARD\r\n");
    EXPECT_EQ(StrMap_used(store->map), 3);
}

TEST_F(Store, ACardWithoutAUsableRecordIdIsMalformed) {
    link.peer().addCard(card("Long", "+1"), std::string(41, 'X'));
    link.peer().addCard(card("Next", "+2"), "N2");
    link.peer().putCard(5, card("NoId", "+3"), ""); // handed out without any X-IRMC-LUID
    int32_t index = -1;
    EXPECT_EQ(itf()->readNext(itf(), 0, &index, 1), DV_E_MALFORMED) << "an id longer than 40 characters";
    char buf[256];
    EXPECT_EQ(itf()->readData(itf(), buf, sizeof buf), DV_E_STATE) << "no current entry";
    EXPECT_EQ(itf()->readNext(itf(), 0, &index, 0), 1) << "the listing goes on";
    EXPECT_EQ(index, 0);
    EXPECT_EQ(itf()->readNext(itf(), 0, &index, 0), DV_E_MALFORMED) << "no id at all";
    EXPECT_EQ(itf()->readNext(itf(), 0, &index, 0), 0);
    EXPECT_EQ(StrMap_used(store->map), 1);
}

TEST_F(Store, ACardWhoseRecordIdHoldsAZeroByteIsMalformed) {
    // BASE64 without a character set is binary: "AEE=" is the bytes 00 41.
    const std::string binary = "BEGIN:VCARD\r\nN:Bin\r\nX-IRMC-LUID;ENCODING=BASE64:AEE=\r\nEND:VCARD\r\n";
    link.peer().putCard(0, binary, "");
    link.peer().putCard(1, binary, "");
    int32_t index = -1;
    EXPECT_EQ(itf()->readNext(itf(), 0, &index, 1), DV_E_MALFORMED);
    EXPECT_EQ(itf()->readNext(itf(), 0, &index, 0), DV_E_MALFORMED);
    EXPECT_EQ(itf()->readNext(itf(), 0, &index, 0), 0);
    EXPECT_EQ(StrMap_used(store->map), 0);
}

// ---- writing and deleting by record id ----

TEST_F(Store, NewRecordsAreInsertedAndThenUpdatedByTheirId) {
    link.peer().setChangeCounter(40);
    int32_t pos = -9;
    ASSERT_EQ(write(-1, 1, card("New", "+9"), &pos), 0);
    EXPECT_EQ(pos, 0);
    const char *id = StrMap_get(store->map, pos);
    ASSERT_NE(id, nullptr);
    auto put = link.peer().requests().back();
    EXPECT_EQ(put.name, "telecom/pb/luid/.vcf");
    EXPECT_EQ(textOf(put.body), card("New", "+9"));
    EXPECT_TRUE(put.hasLength);
    EXPECT_EQ(put.length, card("New", "+9").size());
    ASSERT_EQ(link.peer().used(), 1);
    EXPECT_EQ(link.peer().slots()[0]->luid, id);

    // A second new record takes the next free position.
    int32_t pos2 = -9;
    ASSERT_EQ(write(-1, 0, card("Two", "+8"), &pos2), 1);
    EXPECT_EQ(pos2, 1);

    // Rewriting position 0 goes to its record id.
    ASSERT_EQ(write(0, 0, card("Changed", "+7"), &pos), 0);
    put = link.peer().requests().back();
    EXPECT_EQ(put.name, std::string("telecom/pb/luid/") + StrMap_get(store->map, 0) + ".vcf");
    EXPECT_EQ(link.peer().slots()[0]->card, card("Changed", "+7"));
    EXPECT_EQ(link.peer().changeCounter(), 43);

    EXPECT_EQ(itf()->commitWrite(itf(), &pos), DV_E_STATE) << "one commit per write";
    EXPECT_EQ(itf()->writeData(itf(), "x", 1), DV_E_STATE);
}

TEST_F(Store, WriteWithAChangeCounterSendsItInDecimal) {
    link.peer().addCard(card("Cc", "+5"), "C7");
    link.peer().setChangeCounter(99);
    ASSERT_EQ(CnsSock_open(link.sock()), 0);
    McClt *m = McClt_new(link.sock(), 192, 208);
    ASSERT_EQ(McClt_conn(m), 0);
    std::string text = card("Cc2", "+6");
    AbsFile *in = AbsFileMem_new(text.data(), static_cast<int32_t>(text.size()), static_cast<int32_t>(text.size()), 0);
    int32_t cc = -1;
    StrBuf *extra = StrBuf_new(8);
    ASSERT_EQ(McClt_write4(m, MC_KIND_PB, "C7", 7, in, &cc, extra), 0);
    auto put = link.peer().requests().back();
    ASSERT_EQ(put.appParams.size(), 1u);
    EXPECT_EQ(ObexPeer::appTags(put.appParams[0]), (std::vector<std::pair<int, Bytes>>{{0x11, Bytes{'7'}}}));
    EXPECT_EQ(cc, 100) << "the change counter of the response";
    EXPECT_EQ(link.peer().slots()[0]->card, text);

    StrBuf *id = StrBuf_new(8);
    ASSERT_EQ(McClt_insert4(m, MC_KIND_PB, in, id, &cc, nullptr), 0);
    EXPECT_EQ(std::string(StrBuf_buf(id)), link.peer().slots()[1]->luid);
    EXPECT_EQ(link.peer().requests().back().appParams.size(), 0u) << "no counter, no parameters";

    ASSERT_EQ(McClt_clear4(m, MC_KIND_PB, "C7", 12, 1, &cc, nullptr), 0);
    put = link.peer().requests().back();
    ASSERT_EQ(put.appParams.size(), 1u);
    EXPECT_EQ(ObexPeer::appTags(put.appParams[0]),
              (std::vector<std::pair<int, Bytes>>{{0x11, Bytes{'1', '2'}}, {0x12, Bytes{}}}));
    EXPECT_FALSE(put.hasBody);
    EXPECT_FALSE(link.peer().slots()[0].has_value());

    int32_t flags = 0;
    ASSERT_EQ(McClt_getSupp(m, MC_KIND_PB, &flags), 0);
    EXPECT_EQ(flags, 11);
    size_t asked = link.peer().requests().size();
    ASSERT_EQ(McClt_getSupp(m, MC_KIND_PB, &flags), 0);
    EXPECT_EQ(link.peer().requests().size(), asked) << "read once and kept";
    EXPECT_EQ(McClt_getSupp(m, MC_KIND_CAL, &flags), DV_E_IO) << "the handset has no calendar";

    EXPECT_EQ(McClt_write4(m, 9, "C7", 0, in, nullptr, nullptr), DV_E_ARG) << "no such object kind";
    EXPECT_EQ(McClt_write2Beg(m, MC_KIND_PB), DV_E_NOTIMPL);
    EXPECT_EQ(McClt_read4(m, MC_KIND_PB, "gone", in), DV_E_IO) << "Not Found";
    StrBuf_delete(id);
    StrBuf_delete(extra);
    AbsFileMem_delete(in);
    McClt_delete(m);
}

TEST_F(Store, AnInsertAnsweredWithoutARecordIdIsMalformed) {
    listAll();
    // Success with no Application-Parameters: the card is on the handset under an id we never
    // learn, so the position must not be reported as written.
    link.peer().scriptNext(Bytes{0xA0, 0x00, 0x03});
    int32_t pos = -9;
    EXPECT_EQ(write(-1, 1, card("Lost", "+1"), &pos), DV_E_MALFORMED);
    EXPECT_EQ(pos, -9);
    EXPECT_EQ(StrMap_used(store->map), 0);
    // An id longer than the map keeps is refused the same way.
    Bytes rsp{0xA0, 0x00, 0x00, 0x4C, 0x00, 0x00, 0x01, 41};
    rsp.insert(rsp.end(), 41, 'Z');
    rsp[5] = static_cast<uint8_t>(rsp.size() - 3);
    rsp[2] = static_cast<uint8_t>(rsp.size());
    link.peer().scriptNext(rsp);
    EXPECT_EQ(write(-1, 1, card("Lost", "+1"), &pos), DV_E_MALFORMED);
    EXPECT_EQ(StrMap_used(store->map), 0);
    // An id with a zero byte would be kept as an empty text, that is a free slot.
    link.peer().scriptNext(Bytes{0xA0, 0x00, 0x0A, 0x4C, 0x00, 0x07, 0x01, 0x02, 0x00, 'Z'});
    EXPECT_EQ(write(-1, 1, card("Lost", "+1"), &pos), DV_E_MALFORMED);
    EXPECT_EQ(pos, -9);
    EXPECT_EQ(StrMap_used(store->map), 0);
}

TEST(IrmcClient, AnObjectOverTheBoundIsRefusedAndTheExchangeDropped) {
    PeerConfig cfg = luidStore("10", 10);
    cfg.mtu = 2000;
    cfg.maxPacket = 65535;
    PeerLink link(cfg);
    std::string huge = "BEGIN:VCARD\r\nN:Huge\r\n";
    while (huge.size() <= MC_MAX_OBJECT)
        huge += "NOTE:" + std::string(1000, 'n') + "\r\n"; // many lines: the card splitter cuts only long ones
    link.peer().addCard(huge + "END:VCARD\r\n", "HUGE");
    link.peer().addCard(card("Small", "+2"), "SMALL");
    ASSERT_EQ(CnsSock_open(link.sock()), 0);
    McClt *m = McClt_new(link.sock(), 65535, 4096);
    ASSERT_EQ(McClt_conn(m), 0);
    AbsFile *out = MemBuf_new(1024, 0);
    EXPECT_EQ(McClt_read4(m, MC_KIND_PB, "HUGE", out), DV_E_FULL);
    EXPECT_LE(MemBuf_len(out), MC_MAX_OBJECT);
    EXPECT_EQ(ObxClt_isConn(McClt_obex(m)), 0) << "the rest is never read";
    int32_t index = -1;
    MemBuf_clear(out);
    ASSERT_EQ(McClt_conn(m), 0);
    EXPECT_EQ(McClt_read2(m, MC_KIND_PB, &index, out, 1), DV_E_FULL) << "a card of a whole-store read too";
    EXPECT_EQ(ObxClt_isConn(McClt_obex(m)), 0);
    MemBuf_delete(out);
    McClt_delete(m);
}

TEST(IrmcClient, ARequestThatFailsBeforeItIsSentIsDropped) {
    PeerLink link(luidStore("10", 10));
    link.peer().addCard(card("Kept", "+1"), "K1");
    ASSERT_EQ(CnsSock_open(link.sock()), 0);
    McClt *m = McClt_new(link.sock(), 0, 0);
    ASSERT_EQ(McClt_conn(m), 0);
    AbsFile *out = MemBuf_new(64, 0);
    AbsFile *unseekable = McLimit_new(out, 64);
    const std::string longId(120, 'I'); // its Name header does not fit a packet
    struct {
        const char *what;
        std::function<int32_t()> op;
        int32_t expected;
    } cases[] = {
        {"read4 of a long id", [&] { return McClt_read4(m, MC_KIND_PB, longId.c_str(), out); }, DV_E_ARG},
        {"write4 of a long id", [&] { return McClt_write4(m, MC_KIND_PB, longId.c_str(), 0, out, nullptr, nullptr); },
         DV_E_ARG},
        {"write3 of a stream that cannot seek", [&] { return McClt_write3(m, MC_KIND_PB, 1, unseekable); },
         DV_E_UNSUPPORTED},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.op(), c.expected);
        EXPECT_NE(ObxClt_state(McClt_obex(m)), OBX_STATE_REQUEST);
        if (!ObxClt_isConn(McClt_obex(m))) {
            ASSERT_EQ(McClt_conn(m), 0);
        }
        MemBuf_clear(out);
        EXPECT_EQ(McClt_read4(m, MC_KIND_PB, "K1", out), 1) << "the next request goes through";
    }
    AbsFile_delete(unseekable);
    MemBuf_delete(out);
    McClt_delete(m);
}

TEST(IrmcClient, AnInformationObjectOverTheBoundIsRefused) {
    PeerConfig cfg = luidStore("10", 10);
    cfg.mtu = 2000;
    cfg.maxPacket = 65535;
    std::string info = "IEL:0x8\r\n";
    while (info.size() <= MC_MAX_OBJECT)
        info += "X-Pad:" + std::string(1000, 'p') + "\r\n";
    cfg.infoLog = info;
    PeerLink link(cfg);
    ASSERT_EQ(CnsSock_open(link.sock()), 0);
    McClt *m = McClt_new(link.sock(), 65535, 4096);
    ASSERT_EQ(McClt_conn(m), 0);
    McStoreInfo got{};
    EXPECT_EQ(McClt_getInfo(m, MC_KIND_PB, &got), DV_E_FULL);
    EXPECT_EQ(ObxClt_isConn(McClt_obex(m)), 0) << "the rest is never read";
    McClt_delete(m);
}

TEST_F(Store, DeletingAnEmptyPositionHasNoRecordId) {
    link.peer().addCard(card("Del", "+4"), "D4");
    listAll();
    EXPECT_EQ(itf()->del(itf(), 0, 3), DV_E_NORECORD);
    EXPECT_EQ(itf()->del(itf(), 0, 1000), DV_E_NORECORD) << "outside the map";
    size_t before = link.peer().requests().size();
    ASSERT_EQ(itf()->del(itf(), 0, 0), 0);
    auto req = link.peer().requests();
    EXPECT_EQ(req.size(), before + 1);
    EXPECT_EQ(req.back().name, "telecom/pb/luid/D4.vcf");
    EXPECT_EQ(link.peer().used(), 0);
    EXPECT_EQ(StrMap_get(store->map, 0), nullptr);
    EXPECT_EQ(itf()->del(itf(), 0, 0), DV_E_NORECORD);
}

class SmallStore : public Store {
protected:
    SmallStore() : Store(luidStore("3", 3)) {}
};

TEST_F(SmallStore, AFullMapRefusesANewRecordWithoutAskingTheHandset) {
    for (int i = 0; i < 3; ++i)
        link.peer().addCard(card("F" + std::to_string(i), "+3"));
    EXPECT_EQ(listAll().size(), 3u);
    ASSERT_EQ(StrMap_used(store->map), StrMap_count(store->map));
    size_t before = link.peer().requests().size();
    int32_t pos = -9;
    EXPECT_EQ(write(-1, 1, card("Over", "+0"), &pos), DV_E_FULL);
    EXPECT_EQ(pos, -9);
    EXPECT_EQ(link.peer().requests().size(), before);

    // Deleting all empties the handset and the map; a new record then fits.
    ASSERT_EQ(itf()->delAll(itf()), 0);
    EXPECT_EQ(link.peer().requests().back().name, "telecom/pb.vcf");
    EXPECT_EQ(link.peer().used(), 0);
    EXPECT_EQ(StrMap_used(store->map), 0);
    EXPECT_EQ(write(-1, 1, card("Fits", "+0"), &pos), 0);
}

// ---- access levels ----

struct AccessCase {
    const char *name;
    const char *iel;
    int32_t caps;
    bool whole, index, luid;
};

class Access : public ::testing::TestWithParam<AccessCase> {};

TEST_P(Access, OperationsNotOfferedAnswerMinus94) {
    const AccessCase &c = GetParam();
    PeerConfig cfg = luidStore("10", 10);
    cfg.iel = c.iel;
    PeerLink link(cfg);
    link.peer().addCard(card("A", "+1"), "A1");
    McVcf *s = McVcf_new(nullptr, nullptr, link.sock(), 0, 0);
    McPbItf *itf = &s->itf;
    int32_t caps = -1, index = -1, stor = 0;
    ASSERT_EQ(itf->getCaps(itf, &caps), 0);
    EXPECT_EQ(caps, c.caps);
    int32_t r = itf->readNext(itf, 0, &index, 1);
    EXPECT_EQ(r, c.whole ? 1 : DV_E_UNSUPPORTED);
    r = itf->readAt(itf, 0, 0);
    EXPECT_EQ(r == DV_E_UNSUPPORTED, !c.index && !c.luid) << r;
    EXPECT_EQ(itf->beginWrite(itf, 0, -1, 1), c.luid ? 0 : DV_E_UNSUPPORTED);
    EXPECT_EQ(itf->beginWrite(itf, 0, 0, 0), c.luid || c.index ? 0 : DV_E_UNSUPPORTED);
    EXPECT_EQ(itf->delAll(itf) == DV_E_UNSUPPORTED, !c.whole);
    // Slots that never talk to the handset.
    EXPECT_EQ(itf->getStor(itf, &stor), 0);
    EXPECT_EQ(stor, 2);
    EXPECT_EQ(itf->setStor(itf, 2), 0);
    EXPECT_EQ(itf->setStor(itf, 1), DV_E_UNSUPPORTED);
    EXPECT_EQ(itf->reserved15(itf), 0);
    EXPECT_EQ(itf->reserved17(itf), DV_E_UNSUPPORTED);
    McVcf_delete(s);
}

INSTANTIATE_TEST_SUITE_P(Irmc, Access,
                         ::testing::Values(AccessCase{"level1", "0x1", 0, false, false, false},
                                           AccessCase{"level2", "0x2", 40, true, false, false},
                                           AccessCase{"level3", "0x4", 40 | 0x15, true, true, false},
                                           AccessCase{"level4", "0x8", 40 | 0x15, true, false, true},
                                           AccessCase{"all", "0x10", 40 | 0x15, true, true, true}),
                         [](const auto &row) { return std::string(row.param.name); });

class IndexStore : public Store {
protected:
    static PeerConfig config() {
        PeerConfig cfg = luidStore("20", 20);
        cfg.iel = "0x4";
        return cfg;
    }
    IndexStore() : Store(config()) {}
};

TEST_F(IndexStore, StaticIndexReadsWritesAndDeletes) {
    link.peer().putCard(3, card("Three", "+3"), "");
    ASSERT_EQ(itf()->readAt(itf(), 0, 3), 1);
    EXPECT_EQ(link.peer().requests().back().name, "telecom/pb/3.vcf");
    char buf[512];
    int32_t n = itf()->readData(itf(), buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), card("Three", "+3"));
    EXPECT_EQ(itf()->readAt(itf(), 0, 4), DV_E_IO) << "the handset has nothing there";

    const std::string big = card("Big " + std::string(300, 'b'), "+4");
    int32_t pos = -9;
    ASSERT_EQ(write(4, 0, big, &pos), 4);
    EXPECT_EQ(pos, 4);
    auto put = link.peer().requests().back();
    EXPECT_EQ(put.name, "telecom/pb/4.vcf");
    EXPECT_EQ(textOf(put.body), big);
    EXPECT_EQ(put.length, big.size());
    EXPECT_EQ(link.peer().slots()[4]->card, big);

    ASSERT_EQ(itf()->del(itf(), 0, 3), 0);
    EXPECT_FALSE(link.peer().slots()[3].has_value());
    EXPECT_EQ(link.peer().requests().back().name, "telecom/pb/3.vcf");
    EXPECT_FALSE(link.peer().requests().back().hasBody);
}

// ---- connection life ----

TEST_F(Store, TheRegistrySwitchDisconnectsAndTheNextOperationReconnects) {
    int leaves = 0;
    int32_t other = ItfMng_reg(
        mng, &leaves, [](void *) { return 0; },
        [](void *user) {
            ++*static_cast<int *>(user);
            return 0;
        });
    ASSERT_GE(other, 0);
    int32_t caps = 0;
    ASSERT_EQ(itf()->getCaps(itf(), &caps), 0);
    EXPECT_EQ(store->connected, 1);
    ASSERT_EQ(ItfMng_exec(mng, other), 0);
    EXPECT_EQ(store->connected, 0);
    EXPECT_EQ(link.peer().requests().back().opcode, OBX_OP_DISCONNECT);
    ASSERT_EQ(itf()->getCaps(itf(), &caps), 0);
    EXPECT_EQ(leaves, 1);
    EXPECT_EQ(link.peer().connections(), 2);
    EXPECT_EQ(store->infoRead, 1);
    auto reqs = link.peer().requests();
    EXPECT_EQ(reqs.back().opcode, OBX_OP_CONNECT) << "info.log is read once per store";
    EXPECT_EQ(std::string(reqs.back().target.begin(), reqs.back().target.end()), "IRMC-SYNC");
    EXPECT_EQ(reqs.back().clientMax, 255) << "192 asked, the IrOBEX minimum announced";
}

TEST_F(Store, ALinkDroppedMidListingIsReopenedByTheNextOperation) {
    PeerConfig cfg = link.peer().config();
    cfg.bodyChunk = 40;
    link.peer().configure(cfg);
    for (int i = 0; i < 4; ++i)
        link.peer().addCard(card("Drop" + std::to_string(i), "+1"));
    int32_t index = -1;
    ASSERT_EQ(itf()->readNext(itf(), 0, &index, 1), 1);
    link.peer().dropNext();
    int32_t r;
    while ((r = itf()->readNext(itf(), 0, &index, 0)) == 1) {
    }
    EXPECT_EQ(r, DV_E_CLOSED);
    auto all = listAll();
    EXPECT_EQ(all.size(), 4u);
    EXPECT_EQ(link.peer().connections(), 2);
}

TEST_F(Store, AStatusReadThatFailsKeepsWhatTheHandsetOffers) {
    PeerConfig cfg = link.peer().config();
    cfg.fields = {"TEL;CELL:=24"};
    link.peer().configure(cfg);
    int32_t caps = 0, total = 0, count = 0;
    const McFieldDesc *table = nullptr;
    ASSERT_EQ(itf()->getCaps(itf(), &caps), 0);
    ASSERT_EQ(caps, 40 | 0x15);
    // info.log answered with a packet whose first header is cut short.
    link.peer().scriptNext(Bytes{0xA0, 0x00, 0x05, 0x48, 0x00});
    EXPECT_EQ(itf()->getStat(itf(), 0, &total, nullptr, nullptr, nullptr), DV_E_MALFORMED);
    ASSERT_EQ(itf()->getCaps(itf(), &caps), 0);
    EXPECT_EQ(caps, 40 | 0x15) << "the access levels survive a failed re-read";
    EXPECT_EQ(store->info.maxRecords, -1);
    EXPECT_EQ(store->info.totalRecords, 0);
    ASSERT_EQ(itf()->getFieldInfo(itf(), &table, &count), 0);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(itf()->getStat(itf(), 0, &total, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(total, 100);
}

TEST_F(Store, FieldDescriptionsComeFromTheInformation) {
    PeerConfig cfg = link.peer().config();
    cfg.fields = {"N[1=20;2=20]:=40", "TEL;CELL:=24"};
    link.peer().configure(cfg);
    const McFieldDesc *table = nullptr;
    int32_t count = 0;
    ASSERT_EQ(itf()->getFieldInfo(itf(), &table, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(table[0].type, 3);
    EXPECT_EQ(table[0].maxLen, 40);
    EXPECT_EQ(table[1].flags, 0x140);
}

TEST_F(Store, OperationsOnAMissingOrDeletedStore) {
    EXPECT_EQ(McVcf_new(nullptr, nullptr, nullptr, 10, 0), nullptr);
    McPbItf copy = store->itf;
    McVcf record;
    McVcf *placed = McVcf_new(&record, nullptr, link.sock(), 10, 0);
    ASSERT_EQ(placed, &record);
    EXPECT_EQ(placed->owned, 0);
    McPbItf *itf2 = &placed->itf;
    McVcf_delete(placed);
    EXPECT_EQ(record.magic, 0u);
    int32_t caps = 0;
    EXPECT_EQ(itf2->getCaps(itf2, &caps), DV_E_ARG);
    McVcf_delete(placed); // a deleted store is left alone
    EXPECT_EQ(copy.readData(&copy, nullptr, 0), DV_E_STATE) << "nothing read yet";
}

// ---- self-test ----

TEST(IrmcSelfTest, WritesTheDecodedInformationAndTheCards) {
    PeerConfig cfg = luidStore("10", 10);
    cfg.iel = "0x10";
    cfg.fields = {"TEL;HOME:=20"};
    PeerLink link(cfg);
    link.peer().addCard(card("Self", "+1"), "S0");
    link.peer().addCard(card("Test", "+2"), "S1");
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(link.dir());
    EXPECT_EQ(McClt_test(link.sock()), 0);
    std::ifstream info("info-dec.log", std::ios::binary);
    std::stringstream text;
    text << info.rdbuf();
    EXPECT_EQ(text.str(), "Capacity: 10\r\nUsed: 2\r\nFreed: 8\r\nIEL: 0f\r\nVcfFieldInfo:\r\n"
                          "5;00000801:20 [0;0;0;0;0;0;0]\r\n");
    EXPECT_TRUE(std::filesystem::exists("mc3rx-0.vcf"));
    EXPECT_TRUE(std::filesystem::exists("mc3rx-1.vcf"));
    std::filesystem::current_path(old);
}

} // namespace
