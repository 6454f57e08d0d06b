// The phone-book object against the simulated handset over a pseudo-terminal: the character-set
// choice, listing in batches across gaps and empty batches, vCards in and out, writing, deleting,
// status and field limits, and the listings of handsets that deviate from 27.007.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "driver/sim_fixture.h"
#include "dv_result.h"
#include "dv_util.h"
#include "dv_vcard.h"
#include "oth_pb.h"
#include "pb_at.h"

namespace {

using handsetsim::EmptyRange;
using handsetsim::Layout;
using handsetsim::PhonebookEntry;
using handsetsim::Profile;
using handsetsim::Scenario;

const char kSmithCard[] = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;John\r\nTEL;CELL:+8613800138000\r\nEND:VCARD\r\n";
const char kZhang[] = "\xE5\xBC\xA0\xE4\xB8\x89"; // 张三, UCS2 5F20 4E09

std::string repeat(const std::string &s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// A handset that offers only these character sets.
Scenario withCharsets(std::vector<std::string> sets) {
    Scenario sc = handsetsim::defaultScenario();
    sc.charsets = std::move(sets);
    return sc;
}

// The fields of a vCard that the phone book carries.
struct Card {
    std::string rawN; // the N value as the card holds it
    std::string name; // N, formatted as one text
    std::string tel;
    int telCount = 0;
};

Card parseCard(const std::string &text) {
    Card card;
    AbsFile *mem = AbsFileMem_new(const_cast<char *>(text.data()), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size()), 0);
    Vcard *v = Vcard_new(mem);
    std::vector<char> value(2048);
    for (;;) {
        int32_t type = 0, flags = 0, size = static_cast<int32_t>(value.size());
        if (Vcard_get(v, &type, &flags, value.data(), &size, nullptr, 0) <= 0 || type == VCARD_TYPE_END)
            break;
        if (type == VCARD_TYPE_N) {
            card.rawN = value.data();
            VcardName n;
            VcardName_dec(&n, value.data());
            char s[300];
            VcardName_toStr(&n, s, sizeof s);
            card.name = s;
        } else if (type == VCARD_TYPE_TEL) {
            card.tel = value.data();
            ++card.telCount;
        }
    }
    Vcard_delete(v);
    AbsFileMem_delete(mem);
    return card;
}

struct Listed {
    int32_t index;
    Card card;
};

// The phone-book object over a session's terminal, in a registry as a plug-in makes it.
class Book {
public:
    explicit Book(AtTe *te, bool withRegistry = true) {
        if (withRegistry)
            mng_ = ItfMng_new(4);
        pb_ = OthPb_new(nullptr, mng_, te);
    }
    ~Book() {
        OthPb_delete(pb_);
        ItfMng_delete(mng_);
    }
    Book(const Book &) = delete;
    Book &operator=(const Book &) = delete;

    OthPb *obj() const { return pb_; }
    ItfMng *mng() const { return mng_; }
    PbItf *itf() const { return &pb_->itf; }
    StorItf *st() const { return &pb_->itf.stor; }

    // What the worker does for a read list: select, status, then walk with readNext/readData.
    int32_t readList(int32_t stor, std::vector<Listed> *out) {
        int32_t r = st()->setStor(st(), stor);
        if (r < 0)
            return r;
        int32_t total = 0, used = 0, first = 0, last = 0;
        r = st()->getStat(st(), 0, &total, &used, &first, &last);
        if (r < 0)
            return r;
        int32_t index = -1;
        std::vector<char> buf(10241);
        for (r = st()->readNext(st(), 0, &index, 1); r == 1; r = st()->readNext(st(), 0, &index, 0)) {
            int32_t n = st()->readData(st(), buf.data(), static_cast<int32_t>(buf.size()));
            if (n < 0)
                return n;
            out->push_back({index, parseCard(std::string(buf.data(), static_cast<size_t>(n)))});
            if (out->size() > 1000)
                return DV_E_FAIL; // a listing that never ends
        }
        return r;
    }

    // What the worker does for one write job.
    int32_t write(int32_t index, const std::string &card, int32_t *outIndex = nullptr) {
        int32_t r = st()->beginWrite(st(), 0, index, MS_WRITE_PB);
        if (r < 0)
            return r;
        r = st()->writeData(st(), card.data(), static_cast<int32_t>(card.size()));
        if (r < 0)
            return r;
        int32_t at = 12345;
        r = st()->commitWrite(st(), &at);
        if (outIndex)
            *outIndex = at;
        return r;
    }

private:
    ItfMng *mng_ = nullptr;
    OthPb *pb_ = nullptr;
};

std::vector<std::string> commandsStarting(handsetsim::HandsetSim &sim, const std::string &prefix) {
    std::vector<std::string> out;
    for (const auto &c : sim.commands())
        if (c.compare(0, prefix.size(), prefix) == 0)
            out.push_back(c);
    return out;
}

// "+CPBR=" batches and single reads, without the "+CPBR=?" queries.
std::vector<std::string> reads(handsetsim::HandsetSim &sim) {
    std::vector<std::string> out;
    for (const auto &c : commandsStarting(sim, "AT+CPBR="))
        if (c != "AT+CPBR=?")
            out.push_back(c);
    return out;
}

std::vector<int32_t> indexesOf(const std::vector<Listed> &list) {
    std::vector<int32_t> out;
    for (const auto &l : list)
        out.push_back(l.index);
    return out;
}

void put(handsetsim::HandsetSim &sim, int index, const std::string &text, const std::string &number = "+8613800138000",
         const std::string &storage = "SM") {
    sim.putPhonebookEntry(storage, PhonebookEntry{index, number, number.rfind('+', 0) == 0 ? 145 : 129, text});
}

// ================================================================================================
// Character-set choice

struct CsRow {
    const char *name;
    std::vector<std::string> offered;
    std::vector<handsetsim::CannedReply> canned;
    int32_t code;          // the phone book's set afterwards
    std::string selection; // the +CSCS= command sent ("" none)
};

void PrintTo(const CsRow &row, std::ostream *os) { *os << row.name; }

class CharsetChoice : public ::testing::TestWithParam<CsRow> {};

TEST_P(CharsetChoice, OnFirstUse) {
    const CsRow &row = GetParam();
    simfx::SimSession s(withCharsets(row.offered));
    for (const auto &c : row.canned)
        s.sim().addCanned(c);
    ASSERT_EQ(0, s.open());
    Book book(s.te());
    int32_t stor = -1;
    // A refused selection is no failure of the operation that caused it.
    ASSERT_EQ(0, book.st()->getStor(book.st(), &stor));
    EXPECT_EQ(1, stor);
    EXPECT_EQ(row.code, book.obj()->ctx->cs);
    EXPECT_EQ(std::vector<std::string>{"AT+CSCS=?"}, commandsStarting(s.sim(), "AT+CSCS=?"));
    EXPECT_EQ(std::vector<std::string>{row.selection}, commandsStarting(s.sim(), "AT+CSCS=\""));
}

INSTANTIATE_TEST_SUITE_P(
    Offers, CharsetChoice,
    ::testing::Values(
        CsRow{"ucs2BeforeUtf8", {"GSM", "UCS2", "UTF-8"}, {}, PB_CS_UCS2, "AT+CSCS=\"UCS2\""},
        CsRow{"utf8WithoutUcs2", {"GSM", "UTF-8"}, {}, PB_CS_UTF8, "AT+CSCS=\"UTF-8\""},
        CsRow{"gsmWhenNeither", {"GSM", "IRA"}, {}, PB_CS_GSM, "AT+CSCS=\"GSM\""},
        CsRow{"refusedKeepsCurrent", {"GSM", "UCS2"}, {{"+CSCS=\"UCS2\"", "\r\n+CME ERROR: 4\r\n"}}, PB_CS_GSM,
              "AT+CSCS=\"UCS2\""},
        CsRow{"noListGivesGsm", {"GSM", "UCS2"}, {{"+CSCS=?", "\r\nERROR\r\n"}}, PB_CS_GSM, "AT+CSCS=\"GSM\""}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(CharsetSwitch, RunsOnlyWhenAnotherObjectWasUsed) {
    simfx::SimSession s;
    ASSERT_EQ(0, s.open());
    Book book(s.te());
    int calls = 0;
    auto other = [](void *user) -> int32_t {
        ++*static_cast<int *>(user);
        return 0;
    };
    const int32_t otherEntry = ItfMng_reg(book.mng(), &calls, other, nullptr);
    ASSERT_GE(otherEntry, 0);
    int32_t stor = 0, kind = 0;
    ASSERT_EQ(0, book.st()->getStor(book.st(), &stor));
    ASSERT_EQ(0, book.st()->getStor(book.st(), &stor));
    EXPECT_EQ(1u, commandsStarting(s.sim(), "AT+CSCS=?").size());
    ASSERT_EQ(0, ItfMng_exec(book.mng(), otherEntry));
    // getCaps touches no handset state: it does not switch back.
    ASSERT_EQ(0, book.st()->getCaps(book.st(), &kind));
    EXPECT_EQ(MS_CAPS_PB, kind);
    EXPECT_EQ(1u, commandsStarting(s.sim(), "AT+CSCS=?").size());
    ASSERT_EQ(0, book.st()->getStor(book.st(), &stor));
    EXPECT_EQ(2u, commandsStarting(s.sim(), "AT+CSCS=?").size());
    EXPECT_EQ(1, calls);
}

TEST(CharsetSwitch, NoneWithoutRegistry) {
    simfx::SimSession s;
    ASSERT_EQ(0, s.open());
    Book book(s.te(), false);
    int32_t stor = 0;
    ASSERT_EQ(0, book.st()->getStor(book.st(), &stor));
    EXPECT_TRUE(commandsStarting(s.sim(), "AT+CSCS").empty());
    EXPECT_EQ(PB_CS_GSM, book.obj()->ctx->cs);
}

TEST(CharsetSwitch, LinkFaultIsReturned) {
    simfx::SimSession s;
    ASSERT_EQ(0, s.open(300));
    Book book(s.te());
    s.sim().setSilent(true);
    int32_t stor = 77;
    EXPECT_EQ(DV_E_TIMEOUT, book.st()->getStor(book.st(), &stor));
    EXPECT_EQ(77, stor);
}

// ================================================================================================
// Listing

class PbSim : public simfx::SimFixture {};

TEST_F(PbSim, ThreeUsedAtTheStartReadOneBatch) {
    for (int i = 1; i <= 3; ++i)
        put(sim(), i, "N" + std::to_string(i));
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3}), indexesOf(list));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBR=1,10"}, reads(sim()));
    EXPECT_EQ("N2", list[1].card.name);
    EXPECT_EQ("+8613800138000", list[1].card.tel);
}

struct GapRow {
    const char *name;
    Layout layout;
    EmptyRange empty;
};

void PrintTo(const GapRow &row, std::ostream *os) { *os << row.name; }

class ListingAcrossGaps : public simfx::SimFixture, public ::testing::WithParamInterface<GapRow> {};

// Empty batches in the middle of the range, answered with OK or with +CME ERROR: 22, lose nothing
// after them.
TEST_P(ListingAcrossGaps, ReadsEveryEntry) {
    sim().updateProfile([](Profile &p) {
        p.layout = GetParam().layout;
        p.emptyRange = GetParam().empty;
    });
    // The character-set query goes through AtTe_getAny, which finds the end of a reply only in the
    // blank layout; the listing itself is read either way.
    sim().addCanned({"+CSCS=?", "\r\n+CSCS: (\"GSM\",\"UCS2\")\r\n\r\nOK\r\n"});
    put(sim(), 1, "First");
    put(sim(), 15, "Middle");
    put(sim(), 250, "Last");
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    EXPECT_EQ((std::vector<int32_t>{1, 15, 250}), indexesOf(list));
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ("Last", list[2].card.name);
    const auto batches = reads(sim());
    ASSERT_EQ(25u, batches.size());
    EXPECT_EQ("AT+CPBR=1,10", batches[0]);
    EXPECT_EQ("AT+CPBR=11,20", batches[1]);
    EXPECT_EQ("AT+CPBR=241,250", batches[24]);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ListingAcrossGaps,
                         ::testing::Values(GapRow{"blankOk", Layout::Blank, EmptyRange::Ok},
                                           GapRow{"blankNotFound", Layout::Blank, EmptyRange::NotFound},
                                           GapRow{"compactOk", Layout::Compact, EmptyRange::Ok},
                                           GapRow{"compactNotFound", Layout::Compact, EmptyRange::NotFound}),
                         [](const auto &p) { return std::string(p.param.name); });

TEST_F(PbSim, EmptyStorageSendsNoBatch) {
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(reads(sim()).empty());
}

TEST_F(PbSim, Ucs2NamesBecomeUtf8) {
    put(sim(), 1, kZhang);
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(PB_CS_UCS2, book.obj()->ctx->cs);
    EXPECT_EQ(kZhang, list[0].card.name);
    EXPECT_NE(std::string::npos, sim().transcriptText().find("5F204E09"));
}

// A 60-character UCS2 name is a line of some 270 bytes: it must arrive whole, closing quote and all.
TEST_F(PbSim, LongUcs2NameSurvives) {
    auto sm = *sim().phonebook("SM");
    sm.textLength = 60;
    sim().setPhonebook(sm);
    const std::string name = repeat("\xE4\xB8\x89", 60);
    put(sim(), 7, name);
    put(sim(), 8, "after");
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(";" + name, list[0].card.rawN);
    EXPECT_EQ("after", list[1].card.name);
}

TEST_F(PbSim, UsedCountStopsTheWalk) {
    put(sim(), 3, "a");
    put(sim(), 12, "b");
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    EXPECT_EQ((std::vector<int32_t>{3, 12}), indexesOf(list));
    EXPECT_EQ((std::vector<std::string>{"AT+CPBR=1,10", "AT+CPBR=11,20"}), reads(sim()));
}

TEST_F(PbSim, SecondStorageIsSelected) {
    put(sim(), 1, "Sim");
    put(sim(), 42, "Phone", "123", "ME");
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(2, &list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(42, list[0].index);
    EXPECT_EQ("Phone", list[0].card.name);
    EXPECT_EQ(std::vector<std::string>{"AT+CPBS=\"ME\""}, commandsStarting(sim(), "AT+CPBS=\""));
}

// A SIM that is not ready is no empty range: the listing fails instead of counting as read.
TEST_F(PbSim, SimBusyFailsTheListing) {
    put(sim(), 1, "a");
    sim().addCanned({"+CPBR=1,10", "\r\n+CME ERROR: 14\r\n"});
    Book book(te());
    std::vector<Listed> list;
    EXPECT_EQ(DV_E_IO, book.readList(1, &list));
    EXPECT_TRUE(list.empty());
}

TEST_F(PbSim, DroppedLinkEndsTheListingWithAFault) {
    put(sim(), 1, "a");
    put(sim(), 20, "b");
    Book book(te());
    ASSERT_EQ(0, book.st()->setStor(book.st(), 1));
    int32_t index = 0;
    ASSERT_EQ(1, book.st()->readNext(book.st(), 0, &index, 1));
    sim().dropLink(handsetsim::DropMode::Hangup);
    const int32_t r = book.st()->readNext(book.st(), 0, &index, 0);
    EXPECT_TRUE(NetUtil_isFaultErr(r)) << r;
    // The listing is over: no entry comes after the failure.
    EXPECT_EQ(0, book.st()->readNext(book.st(), 0, &index, 0));
}

// ---- handsets that deviate from 27.007 ----

struct QuirkRow {
    const char *name;
    std::function<void(Profile &)> profile;
    std::vector<PhonebookEntry> entries; // SM
    std::vector<int32_t> indexes;        // as reported
    std::vector<std::string> names;
    std::vector<std::string> tels;
};

void PrintTo(const QuirkRow &row, std::ostream *os) { *os << row.name; }

class QuirkyListing : public simfx::SimFixture, public ::testing::WithParamInterface<QuirkRow> {};

TEST_P(QuirkyListing, Survives) {
    const QuirkRow &row = GetParam();
    sim().updateProfile(row.profile);
    for (const auto &e : row.entries)
        sim().putPhonebookEntry("SM", e);
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    EXPECT_EQ(row.indexes, indexesOf(list));
    std::vector<std::string> names, tels;
    for (const auto &l : list) {
        names.push_back(l.card.name);
        tels.push_back(l.card.tel);
    }
    EXPECT_EQ(row.names, names);
    if (!row.tels.empty()) {
        EXPECT_EQ(row.tels, tels);
    }
}

const std::vector<PhonebookEntry> kTwo = {{1, "+441", 145, "Bob"}, {2, "+442", 145, "John"}};

INSTANTIATE_TEST_SUITE_P(
    Profiles, QuirkyListing,
    ::testing::Values(
        QuirkRow{"unquotedUcs2Names", [](Profile &p) { p.pbTextUnquoted = true; }, kTwo, {1, 2}, {"Bob", "John"}, {}},
        // "Bob" has an odd number of bytes, so the handset shows its hand before "John" comes.
        QuirkRow{"hex8WhileUcs2", [](Profile &p) { p.pbUcs2AsHex8 = true; }, kTwo, {1, 2}, {"Bob", "John"}, {}},
        QuirkRow{"trailingDateAndTime", [](Profile &p) { p.pbExtraFields = ",\"05/03/17\",\"14:30\""; }, kTwo,
                 {1, 2}, {"Bob", "John"}, {"+441", "+442"}},
        QuirkRow{"indexOffByOne", [](Profile &p) { p.pbIndexOffset = 1; }, kTwo, {2, 3}, {"Bob", "John"}, {}},
        QuirkRow{"controlBytesInNumber", [](Profile &) {}, {{1, "12\x01""34\x7f""5", 129, "Ctl"}}, {1}, {"Ctl"},
                 {"12345"}},
        QuirkRow{"mailInNumber", [](Profile &) {}, {{1, "john@example.com", 129, "Mail"}}, {1}, {"Mail"},
                 {"john@example.com"}},
        QuirkRow{"rangeWithoutParentheses", [](Profile &p) { p.cpbrTest = handsetsim::CpbrTestShape::NoParen; },
                 kTwo, {1, 2}, {"Bob", "John"}, {}},
        QuirkRow{"rangeWithExtraFields", [](Profile &p) { p.cpbrTest = handsetsim::CpbrTestShape::Extra; }, kTwo,
                 {1, 2}, {"Bob", "John"}, {}},
        QuirkRow{"rangeAfterTheOk", [](Profile &p) { p.cpbrTest = handsetsim::CpbrTestShape::AfterOk; }, kTwo,
                 {1, 2}, {"Bob", "John"}, {}},
        // "()" says nothing; +CPBS? still tells 250 locations.
        QuirkRow{"rangeAsEmptyParentheses", [](Profile &p) { p.cpbrTest = handsetsim::CpbrTestShape::Empty; },
                 {{1, "1", 129, "a"}, {30, "2", 129, "b"}}, {1, 30}, {"a", "b"}, {}},
        // A single location is all the handset admits to.
        QuirkRow{"rangeAsSingleLocation", [](Profile &p) { p.cpbrTest = handsetsim::CpbrTestShape::Single; }, kTwo,
                 {1}, {"Bob"}, {}},
        QuirkRow{"noCountsInCpbs", [](Profile &p) { p.cpbsCounts = false; }, {{1, "1", 129, "a"}, {250, "2", 129, "b"}},
                 {1, 250}, {"a", "b"}, {}}),
    [](const auto &p) { return std::string(p.param.name); });

// ---- single positions and the entry bytes ----

TEST_F(PbSim, ReadDataNeedsACurrentEntry) {
    Book book(te());
    char buf[64];
    EXPECT_EQ(DV_E_STATE, book.st()->readData(book.st(), buf, sizeof buf));
    EXPECT_EQ(DV_E_STATE, book.st()->readDataAgain(book.st(), buf, sizeof buf));
    EXPECT_TRUE(sim().commands().empty());
}

struct ReadAtRow {
    const char *name;
    EmptyRange empty;
    int32_t index;
    int32_t rc;
};

void PrintTo(const ReadAtRow &row, std::ostream *os) { *os << row.name; }

class ReadAt : public simfx::SimFixture, public ::testing::WithParamInterface<ReadAtRow> {};

TEST_P(ReadAt, Position) {
    sim().updateProfile([](Profile &p) { p.emptyRange = GetParam().empty; });
    put(sim(), 5, "Five");
    Book book(te());
    EXPECT_EQ(GetParam().rc, book.st()->readAt(book.st(), 0, GetParam().index));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBR=" + std::to_string(GetParam().index)}, reads(sim()));
}

INSTANTIATE_TEST_SUITE_P(Positions, ReadAt,
                         ::testing::Values(ReadAtRow{"holdsAnEntry", EmptyRange::Ok, 5, 1},
                                           ReadAtRow{"emptyAnsweredOk", EmptyRange::Ok, 6, 0},
                                           ReadAtRow{"emptyAnsweredNotFound", EmptyRange::NotFound, 6, 0},
                                           ReadAtRow{"outsideAnsweredInvalidIndex", EmptyRange::Ok, 300, 0}),
                         [](const auto &p) { return std::string(p.param.name); });

TEST_F(PbSim, ReadDataInPiecesAndAgain) {
    put(sim(), 5, "Five", "555");
    Book book(te());
    ASSERT_EQ(1, book.st()->readAt(book.st(), 0, 5));
    std::string whole(512, '\0');
    const int32_t n = book.st()->readDataAgain(book.st(), whole.data(), static_cast<int32_t>(whole.size()));
    ASSERT_GT(n, 10);
    whole.resize(static_cast<size_t>(n));
    EXPECT_EQ("Five", parseCard(whole).name);
    EXPECT_EQ("555", parseCard(whole).tel);
    // Slot 6 goes on from where it stopped; slot 8 starts again.
    char head[10];
    ASSERT_EQ(10, book.st()->readDataAgain(book.st(), head, sizeof head));
    std::string rest(512, '\0');
    const int32_t m = book.st()->readData(book.st(), rest.data(), static_cast<int32_t>(rest.size()));
    ASSERT_EQ(n - 10, m);
    EXPECT_EQ(whole, std::string(head, 10) + rest.substr(0, static_cast<size_t>(m)));
    EXPECT_EQ(0, book.st()->readData(book.st(), rest.data(), static_cast<int32_t>(rest.size())));
}

// ================================================================================================
// Writing

class GsmBook : public simfx::SimFixture {
protected:
    Scenario scenario() override { return withCharsets({"GSM", "IRA"}); }
};

TEST_F(GsmBook, WritesNameAndNumberAtPosition) {
    Book book(te());
    int32_t at = 0;
    ASSERT_EQ(0, book.write(5, kSmithCard, &at));
    EXPECT_EQ(-1, at);
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=5,\"+8613800138000\",145,\"Smith John\""},
              commandsStarting(sim(), "AT+CPBW"));
    const auto sm = *sim().phonebook("SM");
    ASSERT_EQ(1u, sm.entries.count(5));
    EXPECT_EQ("Smith John", sm.entries.at(5).text);
    EXPECT_EQ("+8613800138000", sm.entries.at(5).number);
}

TEST_F(GsmBook, WithoutTelSendsEmptyNumberOfType129) {
    Book book(te());
    ASSERT_EQ(0, book.write(5, "BEGIN:VCARD\r\nN:Smith;John\r\nEND:VCARD\r\n"));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=5,\"\",129,\"Smith John\""}, commandsStarting(sim(), "AT+CPBW"));
}

TEST_F(GsmBook, NegativePositionTakesTheFirstFree) {
    put(sim(), 1, "a");
    put(sim(), 2, "b");
    Book book(te());
    int32_t at = 0;
    ASSERT_EQ(0, book.write(-1, kSmithCard, &at));
    EXPECT_EQ(-1, at);
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=,\"+8613800138000\",145,\"Smith John\""},
              commandsStarting(sim(), "AT+CPBW"));
    EXPECT_EQ("Smith John", sim().phonebook("SM")->entries.at(3).text);
}

TEST_F(GsmBook, OnlyFirstNameAndTelAreTaken) {
    Book book(te());
    ASSERT_EQ(0, book.write(9, "BEGIN:VCARD\r\nVERSION:2.1\r\nTEL;HOME:0101\r\nN:;Ann\r\nTEL:0202\r\n"
                               "N:Other;Name\r\nEMAIL:a@b.c\r\nEND:VCARD\r\n"));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=9,\"0101\",129,\"Ann\""}, commandsStarting(sim(), "AT+CPBW"));
}

TEST_F(GsmBook, EmptyCardEmptiesThePosition) {
    put(sim(), 4, "gone");
    Book book(te());
    ASSERT_EQ(0, book.write(4, "BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\n"));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=4"}, commandsStarting(sim(), "AT+CPBW"));
    EXPECT_EQ(0u, sim().phonebook("SM")->entries.count(4));
}

struct HandsetRefusalRow {
    const char *name;
    int32_t index;
    std::string card;
    int cme; // what the handset answers
};

void PrintTo(const HandsetRefusalRow &row, std::ostream *os) { *os << row.name; }

class HandsetRefuses : public simfx::SimFixture, public ::testing::WithParamInterface<HandsetRefusalRow> {
protected:
    Scenario scenario() override { return withCharsets({"GSM", "IRA"}); }
};

// What the handset refuses comes back as -9; nothing is stored, and the next command is in step.
TEST_P(HandsetRefuses, WriteFails) {
    const HandsetRefusalRow &row = GetParam();
    auto sm = *sim().phonebook("SM");
    sm.last = 3; // a small SIM book: full for the write to the first free position
    sim().setPhonebook(sm);
    put(sim(), 1, "a");
    put(sim(), 2, "b");
    if (row.index < 0)
        put(sim(), 3, "c");
    Book book(te());
    EXPECT_EQ(DV_E_IO, book.write(row.index, row.card));
    EXPECT_NE(std::string::npos, sim().transcriptText().find("+CME ERROR: " + std::to_string(row.cme)));
    int32_t stor = 0;
    EXPECT_EQ(0, book.st()->getStor(book.st(), &stor));
    EXPECT_EQ(row.index == -1 ? 3u : 2u, sim().phonebook("SM")->entries.size());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, HandsetRefuses,
    ::testing::Values(
        HandsetRefusalRow{"storageFull", -1, kSmithCard, 20},
        HandsetRefusalRow{"indexOutsideRange", 4, kSmithCard, 21},
        // The SIM book takes 14 characters and 40 digits.
        HandsetRefusalRow{"nameTooLong", 3, "BEGIN:VCARD\r\nN:A very long family;and given name\r\nEND:VCARD\r\n", 24},
        HandsetRefusalRow{"numberTooLong", 3,
                          "BEGIN:VCARD\r\nN:a\r\nTEL:" + std::string(41, '5') + "\r\nEND:VCARD\r\n", 26}),
    [](const auto &p) { return std::string(p.param.name); });

struct RefusalRow {
    const char *name;
    std::string card;
    int32_t index;
    int32_t rc;
};

void PrintTo(const RefusalRow &row, std::ostream *os) { *os << row.name; }

class WriteRefused : public simfx::SimFixture, public ::testing::WithParamInterface<RefusalRow> {
protected:
    Scenario scenario() override { return withCharsets({"GSM", "IRA"}); }
};

// Nothing that cannot stand between quotes reaches the handset: no +CPBW is sent at all.
TEST_P(WriteRefused, NothingSent) {
    const RefusalRow &row = GetParam();
    put(sim(), 1, "keep");
    Book book(te());
    EXPECT_EQ(row.rc, book.write(row.index, row.card));
    EXPECT_TRUE(commandsStarting(sim(), "AT+CPBW").empty());
    EXPECT_TRUE(commandsStarting(sim(), "AT+CMGD").empty());
    EXPECT_EQ(1u, sim().phonebook("SM")->entries.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cards, WriteRefused,
    ::testing::Values(
        // a character the GSM alphabet lacks
        RefusalRow{"letterGsmLacks", "BEGIN:VCARD\r\nN;CHARSET=UTF-8:Zo\xC3\xAB\r\nTEL:1\r\nEND:VCARD\r\n", 5, DV_E_ARG},
        RefusalRow{"quoteInNumber", "BEGIN:VCARD\r\nN:a\r\nTEL:1\";+CMGD=1;\"\r\nEND:VCARD\r\n", 5, DV_E_ARG},
        RefusalRow{"lineBreakInName",
                   "BEGIN:VCARD\r\nN;ENCODING=QUOTED-PRINTABLE:x=0D=0AAT+CMGD=1\r\nTEL:1\r\nEND:VCARD\r\n", 5,
                   DV_E_ARG},
        RefusalRow{"controlInNumber", "BEGIN:VCARD\r\nN:a\r\nTEL;ENCODING=QUOTED-PRINTABLE:1=1B2\r\nEND:VCARD\r\n",
                   5, DV_E_ARG},
        RefusalRow{"nothingForFirstFree", "BEGIN:VCARD\r\nEND:VCARD\r\n", -1, DV_E_ARG},
        RefusalRow{"noVcard", "hello, world", 5, DV_E_TOOLONG}),
    [](const auto &p) { return std::string(p.param.name); });

TEST_F(PbSim, Ucs2NamesGoAsHex) {
    Book book(te());
    const std::string card = std::string("BEGIN:VCARD\r\nN;CHARSET=UTF-8:;") + kZhang + "\r\nTEL:10086\r\nEND:VCARD\r\n";
    ASSERT_EQ(0, book.write(5, card));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=5,\"10086\",129,\"5F204E09\""}, commandsStarting(sim(), "AT+CPBW"));
    EXPECT_EQ(kZhang, sim().phonebook("SM")->entries.at(5).text);
}

// In UCS2 a quote in a name is four hex digits like any other character.
TEST_F(PbSim, Ucs2HexCarriesAQuoteSafely) {
    Book book(te());
    ASSERT_EQ(0, book.write(5, "BEGIN:VCARD\r\nN:;O\"Neil\r\nTEL:1\r\nEND:VCARD\r\n"));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=5,\"1\",129,\"004F0022004E00650069006C\""},
              commandsStarting(sim(), "AT+CPBW"));
    EXPECT_EQ("O\"Neil", sim().phonebook("SM")->entries.at(5).text);
}

TEST_F(PbSim, WriteStateErrors) {
    Book book(te());
    int32_t at = 0;
    EXPECT_EQ(DV_E_STATE, book.st()->writeData(book.st(), "x", 1));
    EXPECT_EQ(DV_E_STATE, book.st()->commitWrite(book.st(), &at));
    EXPECT_EQ(DV_E_UNSUPPORTED, book.st()->beginWrite(book.st(), 0, 1, MS_WRITE_SMS));
    ASSERT_EQ(0, book.st()->beginWrite(book.st(), 0, 1, MS_WRITE_PB));
    ASSERT_EQ(3, book.st()->writeData(book.st(), "BEG", 3));
    EXPECT_EQ(DV_E_ARG, book.st()->writeData(book.st(), nullptr, 3));
    // A commit ends the write; the next needs a new beginWrite.
    EXPECT_EQ(DV_E_TOOLONG, book.st()->commitWrite(book.st(), &at));
    EXPECT_EQ(DV_E_STATE, book.st()->commitWrite(book.st(), &at));
    EXPECT_TRUE(commandsStarting(sim(), "AT+CPBW").empty());
}

// A card written in pieces, as a caller with a small buffer would.
TEST_F(GsmBook, CardInPieces) {
    Book book(te());
    const std::string card = kSmithCard;
    ASSERT_EQ(0, book.st()->beginWrite(book.st(), 0, 7, MS_WRITE_PB));
    for (size_t i = 0; i < card.size(); i += 5) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(5, card.size() - i));
        ASSERT_EQ(n, book.st()->writeData(book.st(), card.data() + i, n));
    }
    int32_t at = 0;
    ASSERT_EQ(0, book.st()->commitWrite(book.st(), &at));
    EXPECT_EQ("Smith John", sim().phonebook("SM")->entries.at(7).text);
}

// ================================================================================================
// Deleting

struct DelRow {
    const char *name;
    EmptyRange empty;
};

void PrintTo(const DelRow &row, std::ostream *os) { *os << row.name; }

class Deleting : public simfx::SimFixture, public ::testing::WithParamInterface<DelRow> {
protected:
    void SetUp() override {
        simfx::SimFixture::SetUp();
        sim().updateProfile([](Profile &p) { p.emptyRange = GetParam().empty; });
    }
};

TEST_P(Deleting, OnePosition) {
    put(sim(), 5, "Five");
    Book book(te());
    ASSERT_EQ(0, book.st()->del(book.st(), 0, 5));
    EXPECT_EQ(0u, sim().phonebook("SM")->entries.count(5));
    // An empty position answers 0 and sends no +CPBW.
    ASSERT_EQ(0, book.st()->del(book.st(), 0, 6));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=5"}, commandsStarting(sim(), "AT+CPBW"));
}

TEST_P(Deleting, AllAcrossGaps) {
    put(sim(), 1, "a");
    put(sim(), 15, "b");
    put(sim(), 250, "c");
    Book book(te());
    ASSERT_EQ(0, book.st()->delAll(book.st()));
    EXPECT_TRUE(sim().phonebook("SM")->entries.empty());
    EXPECT_EQ((std::vector<std::string>{"AT+CPBW=1", "AT+CPBW=15", "AT+CPBW=250"}), commandsStarting(sim(), "AT+CPBW"));
}

TEST_P(Deleting, AllStopsOnceUsedAreGone) {
    put(sim(), 2, "a");
    put(sim(), 4, "b");
    Book book(te());
    ASSERT_EQ(0, book.st()->delAll(book.st()));
    EXPECT_TRUE(sim().phonebook("SM")->entries.empty());
    const auto r = reads(sim());
    ASSERT_FALSE(r.empty());
    EXPECT_EQ("AT+CPBR=4", r.back());
}

INSTANTIATE_TEST_SUITE_P(EmptyAnswers, Deleting,
                         ::testing::Values(DelRow{"ok", EmptyRange::Ok}, DelRow{"notFound", EmptyRange::NotFound}),
                         [](const auto &p) { return std::string(p.param.name); });

struct ReadErrorRow {
    const char *name;
    std::string reply; // the handset's answer to reading the position
    int32_t rc;        // what del answers
};

void PrintTo(const ReadErrorRow &row, std::ostream *os) { *os << row.name; }

class DeleteAfterReadError : public simfx::SimFixture, public ::testing::WithParamInterface<ReadErrorRow> {};

// Only "nothing there" lets a delete succeed without a +CPBW; a locked phone or a failed memory is
// no empty position, and the delete must not be reported done while the entry stays.
TEST_P(DeleteAfterReadError, AnswersByTheError) {
    put(sim(), 5, "Five");
    sim().addCanned({"+CPBR=5", GetParam().reply});
    Book book(te());
    EXPECT_EQ(GetParam().rc, book.st()->del(book.st(), 0, 5));
    EXPECT_TRUE(commandsStarting(sim(), "AT+CPBW").empty());
    EXPECT_EQ(1u, sim().phonebook("SM")->entries.count(5));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, DeleteAfterReadError,
    ::testing::Values(ReadErrorRow{"notFound", "\r\n+CME ERROR: 22\r\n", 0},
                      ReadErrorRow{"invalidIndex", "\r\n+CME ERROR: 21\r\n", 0},
                      ReadErrorRow{"plainError", "\r\nERROR\r\n", 0},
                      ReadErrorRow{"phoneToSimPin", "\r\n+CME ERROR: 5\r\n", DV_E_IO},
                      ReadErrorRow{"simBusy", "\r\n+CME ERROR: 14\r\n", DV_E_IO},
                      ReadErrorRow{"memoryFailure", "\r\n+CME ERROR: 23\r\n", DV_E_IO},
                      ReadErrorRow{"networkPersonalisationPin", "\r\n+CME ERROR: 40\r\n", DV_E_IO}),
    [](const auto &p) { return std::string(p.param.name); });

// A storage that refuses to be emptied: every entry is tried, and the failure is reported.
TEST_F(PbSim, DeleteAllOnReadOnlyStorageReportsTheRefusal) {
    put(sim(), 1, "a");
    put(sim(), 2, "b");
    auto sm = *sim().phonebook("SM");
    sm.writable = false;
    sim().setPhonebook(sm);
    Book book(te());
    EXPECT_EQ(DV_E_IO, book.st()->delAll(book.st()));
    EXPECT_EQ((std::vector<std::string>{"AT+CPBW=1", "AT+CPBW=2"}), commandsStarting(sim(), "AT+CPBW"));
    EXPECT_EQ(2u, sim().phonebook("SM")->entries.size());
}

// ================================================================================================
// Storage, status and field limits

TEST_F(PbSim, StorageSelection) {
    Book book(te());
    int32_t stor = 0;
    ASSERT_EQ(0, book.st()->setStor(book.st(), 0));
    EXPECT_TRUE(commandsStarting(sim(), "AT+CPBS=").empty());
    EXPECT_EQ(DV_E_ARG, book.st()->setStor(book.st(), 7));
    EXPECT_TRUE(commandsStarting(sim(), "AT+CPBS=").empty());
    ASSERT_EQ(0, book.st()->setStor(book.st(), 2));
    ASSERT_EQ(0, book.st()->getStor(book.st(), &stor));
    EXPECT_EQ(2, stor);
    EXPECT_EQ("ME", sim().state().phonebook);
    // "OTHER" is no storage this handset has.
    EXPECT_EQ(DV_E_IO, book.st()->setStor(book.st(), 3));
}

TEST_F(PbSim, Status) {
    for (int i : {1, 9, 40})
        put(sim(), i, "x");
    Book book(te());
    int32_t total = 0, used = 0, first = 0, last = 0;
    ASSERT_EQ(0, book.st()->getStat(book.st(), 0, &total, &used, &first, &last));
    EXPECT_EQ(250, total);
    EXPECT_EQ(3, used);
    EXPECT_EQ(1, first);
    EXPECT_EQ(250, last);
}

TEST_F(PbSim, StatusWithoutCountsTakesTotalFromTheRange) {
    sim().updateProfile([](Profile &p) { p.cpbsCounts = false; });
    Book book(te());
    ASSERT_EQ(0, book.st()->setStor(book.st(), 2));
    int32_t total = 0, used = 0, first = 0, last = 0;
    ASSERT_EQ(0, book.st()->getStat(book.st(), 0, &total, &used, &first, &last));
    EXPECT_EQ(500, total);
    EXPECT_EQ(-1, used);
    EXPECT_EQ(1, first);
    EXPECT_EQ(500, last);
}

TEST_F(PbSim, FieldInfo) {
    Book book(te());
    const TFieldParam *table = nullptr;
    int32_t count = 0;
    ASSERT_EQ(0, book.itf()->getFieldInfo(book.itf(), &table, &count));
    ASSERT_EQ(2, count);
    ASSERT_NE(nullptr, table);
    const uint8_t zeros[32] = {};
    EXPECT_EQ(3, table[0].type);
    EXPECT_EQ(0, table[0].flags);
    EXPECT_EQ(14, table[0].maxLen);
    EXPECT_EQ(5, table[1].type);
    EXPECT_EQ(0, table[1].flags);
    EXPECT_EQ(40, table[1].maxLen);
    EXPECT_EQ(0, std::memcmp(zeros, table[0].reserved, sizeof zeros));
    ASSERT_EQ(0, book.st()->setStor(book.st(), 2));
    ASSERT_EQ(0, book.itf()->getFieldInfo(book.itf(), &table, &count));
    EXPECT_EQ(30, table[0].maxLen);
    EXPECT_EQ(0, book.itf()->reserved15(book.itf()));
    EXPECT_EQ(0, book.itf()->reserved16(book.itf()));
    EXPECT_EQ(DV_E_UNSUPPORTED, book.itf()->reserved17(book.itf()));
}

TEST_F(PbSim, FieldInfoOfARefusedQueryIsZero) {
    sim().addCanned({"+CPBR=?", "\r\n+CME ERROR: 3\r\n"});
    Book book(te());
    const TFieldParam *table = nullptr;
    int32_t count = 0;
    ASSERT_EQ(0, book.itf()->getFieldInfo(book.itf(), &table, &count));
    ASSERT_EQ(2, count);
    EXPECT_EQ(0, table[0].maxLen);
    EXPECT_EQ(0, table[1].maxLen);
}

// ================================================================================================
// The object

TEST(OthPbObject, LifeCycle) {
    simfx::SimSession s;
    ASSERT_EQ(0, s.open());
    EXPECT_EQ(nullptr, OthPb_new(nullptr, nullptr, nullptr));
    EXPECT_EQ(DV_E_ARG, OthPb_delete(nullptr));

    // A full registry leaves nothing behind.
    ItfMng *full = ItfMng_new(0);
    EXPECT_EQ(nullptr, OthPb_new(nullptr, full, s.te()));
    ItfMng_delete(full);

    // In the caller's buffer: not freed by the delete, dead afterwards.
    alignas(OthPb) unsigned char store[sizeof(OthPb)];
    ItfMng *mng = ItfMng_new(2);
    OthPb *pb = OthPb_new(store, mng, s.te());
    ASSERT_EQ(static_cast<void *>(store), static_cast<void *>(pb));
    EXPECT_EQ(OTH_PB_MAGIC, pb->head.magic);
    EXPECT_EQ(0, pb->head.owned);
    EXPECT_EQ(pb, pb->itf.stor.self);
    PbItf *itf = &pb->itf;
    int32_t stor = 0;
    ASSERT_EQ(0, itf->stor.getStor(&itf->stor, &stor));
    EXPECT_EQ(0, ItfMng_current(mng));
    EXPECT_EQ(0, OthPb_delete(pb));
    EXPECT_EQ(0u, pb->head.magic);
    EXPECT_EQ(-1, ItfMng_current(mng));
    EXPECT_EQ(DV_E_ARG, OthPb_delete(pb));
    EXPECT_EQ(DV_E_ARG, itf->stor.getStor(&itf->stor, &stor));
    EXPECT_EQ(DV_E_ARG, itf->stor.getCaps(&itf->stor, &stor));
    // The registry slot is free again.
    EXPECT_EQ(0, ItfMng_reg(mng, &stor, nullptr, nullptr));
    ItfMng_delete(mng);
}

} // namespace

// ================================================================================================
// Handsets as they are: absurd ranges, entry shapes, number and name encodings

namespace shapes {

// A storage that announces two thousand million positions.
Scenario absurdRange(bool counts) {
    Scenario sc = handsetsim::defaultScenario();
    sc.phonebooks = {handsetsim::PhonebookStorage{"SM", 1, 2000000000, 40, 14, true, {}}};
    sc.profile.cpbsCounts = counts;
    return sc;
}

class AbsurdRange : public simfx::SimFixture {
protected:
    Scenario scenario() override { return absurdRange(true); }
};

// "(1-2000000000)" with a huge total: the walk ends once the used entries were read.
TEST_F(AbsurdRange, ListingStopsAtTheUsedCount) {
    for (int i = 1; i <= 3; ++i)
        put(sim(), i, "N" + std::to_string(i));
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3}), indexesOf(list));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBR=1,10"}, reads(sim()));
    int32_t total = 0, used = 0, first = 0, last = 0;
    ASSERT_EQ(0, book.st()->getStat(book.st(), 0, &total, &used, &first, &last));
    EXPECT_EQ(65535, last);
}

TEST_F(AbsurdRange, DeleteAllStopsOnceTheUsedAreGone) {
    put(sim(), 2, "a");
    put(sim(), 4, "b");
    Book book(te());
    ASSERT_EQ(0, book.st()->delAll(book.st()));
    EXPECT_TRUE(sim().phonebook("SM")->entries.empty());
    EXPECT_EQ((std::vector<std::string>{"AT+CPBR=1", "AT+CPBR=2", "AT+CPBR=3", "AT+CPBR=4"}), reads(sim()));
}

class AbsurdRangeWithoutCounts : public simfx::SimFixture {
protected:
    Scenario scenario() override { return absurdRange(false); }
};

// Without a used count only the position bound ends the walk: it stops at 65535, in seconds.
TEST_F(AbsurdRangeWithoutCounts, ListingStopsAtTheBound) {
    put(sim(), 7, "a");
    put(sim(), 65535, "b");
    put(sim(), 65536, "beyond");
    Book book(te());
    std::vector<Listed> list;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(0, book.readList(1, &list));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
    EXPECT_EQ((std::vector<int32_t>{7, 65535}), indexesOf(list));
    EXPECT_EQ("AT+CPBR=65531,65535", reads(sim()).back());
}

// The worker's read of a storage (field limits, select, status, listing) asks for the range and the
// counts once; a write makes the next listing ask for the counts again, a new selection for both.
TEST_F(PbSim, RangeAndCountsAreAskedOncePerSelection) {
    put(sim(), 1, "a");
    Book book(te());
    const TFieldParam *table = nullptr;
    int32_t count = 0;
    ASSERT_EQ(0, book.st()->setStor(book.st(), 1));
    ASSERT_EQ(0, book.itf()->getFieldInfo(book.itf(), &table, &count));
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(0, &list));
    ASSERT_EQ(1u, list.size());
    auto countOf = [&](const std::string &cmd) {
        const auto c = sim().commands();
        return std::count(c.begin(), c.end(), cmd);
    };
    EXPECT_EQ(1, countOf("AT+CPBR=?"));
    EXPECT_EQ(1, countOf("AT+CPBS?"));

    ASSERT_EQ(0, book.write(2, kSmithCard));
    list.clear();
    ASSERT_EQ(0, book.readList(0, &list));
    EXPECT_EQ(2u, list.size());
    EXPECT_EQ(1, countOf("AT+CPBR=?"));
    EXPECT_EQ(2, countOf("AT+CPBS?")) << "counts asked again after the write";

    sim().clearCommands();
    list.clear();
    ASSERT_EQ(0, book.readList(2, &list));
    EXPECT_EQ(1, countOf("AT+CPBR=?"));
    EXPECT_EQ(1, countOf("AT+CPBS?"));
}

struct ShapeRow {
    const char *name;
    std::vector<std::string> charsets;
    std::function<void(Profile &)> edit;
    std::string batch; // the handset's answer to "+CPBR=1,10" ("" its own)
    std::vector<std::pair<std::string, std::string>> want; // name and TEL of each entry
};

void PrintTo(const ShapeRow &row, std::ostream *os) { *os << row.name; }

class EntryShapes : public simfx::SimFixture, public ::testing::WithParamInterface<ShapeRow> {
protected:
    Scenario scenario() override { return withCharsets(GetParam().charsets); }
};

TEST_P(EntryShapes, EveryEntryIsRead) {
    const ShapeRow &row = GetParam();
    sim().updateProfile([&](Profile &p) {
        if (row.edit)
            row.edit(p);
    });
    // The handset's own entries give the used count; a canned batch replaces their lines.
    for (size_t i = 0; i < row.want.size(); ++i)
        sim().putPhonebookEntry("SM", PhonebookEntry{static_cast<int>(i + 1), "8613800138000", 145, "x"});
    if (!row.batch.empty())
        sim().addCanned({"+CPBR=1,10", "\r\n" + row.batch + "\r\n\r\nOK\r\n"});
    Book book(te());
    std::vector<Listed> list;
    ASSERT_EQ(0, book.readList(1, &list));
    ASSERT_EQ(row.want.size(), list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(row.want[i].first, list[i].card.name) << i;
        EXPECT_EQ(row.want[i].second, list[i].card.tel) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Handsets, EntryShapes,
    ::testing::Values(
        ShapeRow{"emptyTypeField", {"GSM"}, nullptr,
                 "+CPBR: 1,\"\",,\"Ann\"\r\n+CPBR: 2,\"\",,\"Bob\",,\r\n+CPBR: 3,\"555\",,\"Cy\"",
                 {{"Ann", ""}, {"Bob", ""}, {"Cy", "555"}}},
        ShapeRow{"emptyFieldBeforeNumberAndDate", {"GSM"}, nullptr,
                 "+CPBR: 1,,\"5551234\",129,\"Dee\",\"05/03/17,14:30\"\r\n"
                 "+CPBR: 2,\"\",\"+4912345\",145,\"Eve\",\"2005/03/17 14:30:00\"",
                 {{"Dee", "5551234"}, {"Eve", "+4912345"}}},
        ShapeRow{"hex8NamesEndingInZero", {"UCS2"}, nullptr,
                 "+CPBR: 1,\"123\",129,\"4A6F6500\"\r\n+CPBR: 2,\"456\",129,\"416E6E00\"",
                 {{"Joe", "123"}, {"Ann", "456"}}},
        // "@" is code 0 of the GSM alphabet: some handsets send it raw inside the quotes.
        ShapeRow{"gsmAtSignAsRawZero", {"GSM"}, nullptr,
                 std::string("+CPBR: 1,\"555\",129,\"a\0b\"\r\n+CPBR: 2,\"556\",129,\"\0x\"", 49),
                 {{"a@b", "555"}, {"@x", "556"}}},
        // Under any other character set a zero byte inside the quotes is padding, in the number too.
        ShapeRow{"zeroPaddingOutsideGsm", {"UTF-8"}, nullptr,
                 std::string("+CPBR: 1,\"555\0\0\",129,\"Anna\0\0\"\r\n+CPBR: 2,\"556\",129,\"B\0o\"", 55),
                 {{"Anna", "555"}, {"Bo", "556"}}},
        ShapeRow{"zeroPaddingAfterUcs2Hex", {"UCS2"}, nullptr,
                 std::string("+CPBR: 1,\"555\",129,\"00410042\0\0\"", 31), {{"AB", "555"}}},
        ShapeRow{"internationalWithoutPlus", {"GSM"}, [](Profile &p) { p.pbIntlWithoutPlus = true; }, "",
                 {{"x", "+8613800138000"}}},
        ShapeRow{"bytesThatAreNoText", {"UTF-8"}, nullptr,
                 "+CPBR: 1,\"12\xA1\x01" "3\",129,\"Na\xFFme\x02\"",
                 {{"Na\xEF\xBF\xBDme", "12\xEF\xBF\xBD" "3"}}}),
    [](const auto &p) { return std::string(p.param.name); });

// A number of type 145 shown without "+" is written back as an international number.
TEST_F(PbSim, InternationalNumberWithoutPlusIsWrittenBackAsSuch) {
    sim().updateProfile([](Profile &p) { p.pbIntlWithoutPlus = true; });
    put(sim(), 1, "Li", "+8613800138000");
    Book book(te());
    ASSERT_EQ(1, book.st()->readAt(book.st(), 0, 1));
    std::string card(1024, '\0');
    card.resize(static_cast<size_t>(book.st()->readData(book.st(), card.data(), static_cast<int32_t>(card.size()))));
    ASSERT_EQ(0, book.write(2, card));
    EXPECT_EQ(std::vector<std::string>{"AT+CPBW=2,\"+8613800138000\",145,\"004C0069\""},
              commandsStarting(sim(), "AT+CPBW"));
}

// Names under +CSCS="GSM": every character of the default alphabet and its extension table comes
// out as UTF-8 and goes back the same, through a vCard each way. The whole alphabet is spread over
// entries of at most 16 characters (a name holds at most 79 bytes of UTF-8).
const std::string kGsmAlphabet =
    "@\xC2\xA3$\xC2\xA5\xC3\xA8\xC3\xA9\xC3\xB9\xC3\xAC\xC3\xB2\xC3\x87\xC3\x98\xC3\xB8\xC3\x85\xC3\xA5\xCE\x94_"
    "\xCE\xA6\xCE\x93\xCE\x9B\xCE\xA9\xCE\xA0\xCE\xA8\xCE\xA3\xCE\x98\xCE\x9E\xC3\x86\xC3\xA6\xC3\x9F\xC3\x89 !\"#"
    "\xC2\xA4%&'()*+,-./:;<=>?\xC2\xA1\xC3\x84\xC3\x96\xC3\x91\xC3\x9C\xC2\xA7\xC2\xBF\xC3\xA4\xC3\xB6\xC3\xB1"
    "\xC3\xBC\xC3\xA0^{}\\[~]|\xE2\x82\xAC";

// text cut into pieces of at most n characters (UTF-8 sequences kept whole)
std::vector<std::string> pieces(const std::string &text, size_t n) {
    std::vector<std::string> out(1);
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && chars == n) {
            out.emplace_back();
            chars = 0;
        }
        if (starts)
            ++chars;
        out.back().push_back(text[i]);
    }
    return out;
}

class GsmNames : public simfx::SimFixture {
protected:
    Scenario scenario() override {
        Scenario sc = withCharsets({"GSM", "IRA"});
        sc.phonebooks = {handsetsim::PhonebookStorage{"SM", 1, 250, 40, 20, true, {}}};
        return sc;
    }
    // Each name read from the handset, and written back to position 100 + its own.
    void roundTrip(const std::vector<std::string> &names) {
        for (size_t i = 0; i < names.size(); ++i)
            put(sim(), static_cast<int>(i + 1), names[i], "5551234");
        Book book(te());
        std::vector<Listed> list;
        ASSERT_EQ(0, book.readList(1, &list));
        ASSERT_EQ(names.size(), list.size());
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(names[i], list[i].card.name) << "read " << i;
            ASSERT_EQ(1, book.st()->readAt(book.st(), 0, static_cast<int32_t>(i + 1)));
            std::string card(4096, '\0');
            card.resize(static_cast<size_t>(
                book.st()->readData(book.st(), card.data(), static_cast<int32_t>(card.size()))));
            ASSERT_EQ(0, book.write(static_cast<int32_t>(101 + i), card)) << "write " << i;
        }
        const auto sm = *sim().phonebook("SM");
        for (size_t i = 0; i < names.size(); ++i) {
            ASSERT_EQ(1u, sm.entries.count(static_cast<int>(101 + i)));
            EXPECT_EQ(names[i], sm.entries.at(static_cast<int>(101 + i)).text) << "written " << i;
        }
    }
};

TEST_F(GsmNames, TheWholeAlphabetRoundTrips) {
    const auto names = pieces(kGsmAlphabet, 16);
    ASSERT_EQ(5u, names.size());
    roundTrip(names);
}

TEST_F(GsmNames, NamesThatWereCopiedByteForByte) {
    roundTrip({"Jos\xC3\xA9", "a@b", "a_b", "a$b", "M\xC3\xBCller", "[x]", "50\xE2\x82\xAC"});
}

} // namespace shapes
