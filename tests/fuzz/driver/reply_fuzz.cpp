// Fuzz entry for the replies the generic driver reads from a handset: the input is everything the
// handset sends back, through a transport that takes every command (tests/fuzz/feed_sock.h). The
// first byte picks the exchanges: the message layer (+CPMS?, +CPMS=, the +CMGL listing and the
// +CMGR walk, +CSCA?, +CMGW), the phone-book layer (+CSCS=?, +CPBR=?, +CPBS?, multi-line +CPBR
// listings) or the information object (+CBC, +CSQ, +CCLK?, +CNUM, identity). The pure line parsers
// also run over every line of the input.
// Promise on any input: a result, never a crash or a hang; every text handed out is terminated
// within its buffer and valid UTF-8 where the driver promises it; counts stay within their ranges.

#include "fuzz/feed_sock.h"
#include "fuzz/fuzz_check.h"
#include "gmc_te.h"
#include "oth_info.h"
#include "pb_at.h"
#include "sms_at.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kMaxSteps = 2000; // a listing longer than this over a fuzz input is itself a fault

void checkResult(int32_t r) { FUZZ_CHECK(r >= -300); }

void checkText(const char *buf, size_t size) { FUZZ_CHECK(std::memchr(buf, '\0', size) != nullptr); }

void smsExchanges(AtTe *te) {
    SmsAt *at = SmsAt_new(te);
    FUZZ_CHECK(at != nullptr);
    int32_t stor = -1, used = -1, total = -1;
    int32_t r = SmsAt_getStor(at, &stor, &used, &total);
    checkResult(r);
    checkResult(SmsAt_setStor(at, 1));
    std::vector<uint8_t> pdu(SMS_AT_PDU_BUF + 1, 0xA5); // one guard byte
    int steps = 0;
    for (int32_t first = 1;; first = 0) {
        SmsRecord rec;
        int32_t index = -7;
        r = SmsAt_readNext(at, first, pdu.data(), &rec, &index);
        checkResult(r);
        FUZZ_CHECK(pdu[SMS_AT_PDU_BUF] == 0xA5);
        if (r != 1)
            break;
        checkText(rec.number, sizeof rec.number);
        checkText(rec.text, sizeof rec.text);
        FUZZ_CHECK(fuzzWellFormedUtf8(rec.text, std::strlen(rec.text)));
        FUZZ_CHECK(++steps < kMaxSteps);
    }
    char sca[40];
    std::memset(sca, '#', sizeof sca);
    r = SmsAt_getSca(at, sca, sizeof sca);
    checkResult(r);
    checkText(sca, sizeof sca);
    const uint8_t tpdu[] = {0x11, 0x00, 0x03, 0x91, 0x21, 0xF3, 0x00, 0x00, 0xA9, 0x01, 0x31};
    int32_t index = -7;
    checkResult(SmsAt_sendPdu(at, tpdu, sizeof tpdu, nullptr, 1, 2, &index));
    FUZZ_CHECK(index >= -1);
    SmsAt_delete(at);
}

void pbExchanges(AtTe *te) {
    PbAtCtx *ctx = PbAt_new(te);
    FUZZ_CHECK(ctx != nullptr);
    checkResult(PbAt_chooseCs(ctx));
    FUZZ_CHECK(ctx->cs == PB_CS_GSM || ctx->cs == PB_CS_UCS2 || ctx->cs == PB_CS_UTF8);
    for (int32_t code = 1; code <= 2; ++code) {
        checkResult(PbAt_selectStor(ctx, code));
        int32_t r = PbAt_listBegin(ctx);
        checkResult(r);
        for (int steps = 0; r == 1; ++steps) {
            PbEntry e;
            r = PbAt_listNext(ctx, &e);
            checkResult(r);
            FUZZ_CHECK(steps < kMaxSteps);
        }
    }
    std::vector<PbEntry> entries;
    int32_t cme = 0;
    checkResult(PbAt_readRange(ctx, 1, 10, 10, &entries, &cme));
    FUZZ_CHECK(entries.size() <= 10);
    PbAt_delete(ctx);
}

void infoExchanges(AtTe *te) {
    OthInfo *info = OthInfo_new(nullptr, nullptr, te);
    FUZZ_CHECK(info != nullptr);
    InfoItf *itf = &info->itf;
    char a[48], b[48];
    int32_t level = -7, signal = -7;
    int32_t r = itf->getBattery(itf, &level);
    checkResult(r);
    FUZZ_CHECK(r < 0 ? level == -7 : level >= 0 && level <= 100); // percent
    r = itf->getSignal(itf, &signal);
    checkResult(r);
    FUZZ_CHECK(r < 0 ? signal == -7 : signal >= -1 && signal <= 100);
    PhoneTime t;
    checkResult(itf->getClock(itf, &t));
    checkResult(itf->getNum(itf, a, sizeof a));
    checkText(a, sizeof a);
    checkResult(itf->getModel(itf, a, sizeof a, b, sizeof b));
    checkText(a, sizeof a);
    checkText(b, sizeof b);
    for (InfoItf_getTextFn fn : {itf->getMan, itf->getVer, itf->getImei, itf->getImsi, itf->getNetCode}) {
        std::memset(a, '#', sizeof a);
        checkResult(fn(itf, a, sizeof a));
        checkText(a, sizeof a);
    }
    std::memset(a, '#', sizeof a);
    checkResult(GmcTe_testCs(te, a, sizeof a));
    checkText(a, sizeof a);
    OthInfo_delete(info);
}

// The line parsers over each line of the input, as the layers hand them lines.
void parseLines(const uint8_t *data, size_t size) {
    std::string_view all(reinterpret_cast<const char *>(data), size);
    size_t start = 0;
    bool hex8 = false;
    while (start <= all.size()) {
        size_t end = all.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = all.size();
        std::string line(all.substr(start, end - start)); // exactly sized copy
        PbRange range;
        if (PbAt_parseRange(line, &range) == 0 && !range.empty())
            FUZZ_CHECK(range.first <= range.last);
        PbStorInfo stor;
        PbAt_parseStor(line, &stor);
        PbEntry e;
        if (PbAt_parseEntry(line, &e) == 0) {
            for (int32_t cs : {PB_CS_GSM, PB_CS_UCS2, PB_CS_UTF8}) {
                std::string text = PbAt_decodeText(cs, e.text, &hex8);
                for (unsigned char c : text)
                    FUZZ_CHECK(c >= 0x20 && c != 0x7F);
            }
        }
        std::string cstr(line.c_str());
        SmsAt_storedIndex(cstr.c_str());
        char sca[24];
        SmsAt_scaText(cstr.c_str(), sca, sizeof sca);
        checkText(sca, sizeof sca);
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 16 * 1024)
        return 0;
    FeedSock feed(data + 1, size - 1);
    AtTe *te = AtTe_new(&feed.sock);
    FUZZ_CHECK(te != nullptr);
    switch (data[0] % 3) {
    case 0:
        smsExchanges(te);
        break;
    case 1:
        pbExchanges(te);
        break;
    default:
        infoExchanges(te);
        break;
    }
    AtTe_delete(te);
    parseLines(data + 1, size - 1);
    return 0;
}
