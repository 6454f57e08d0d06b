// Throughput of the SMS PDU codec: decoding the TPDUs of a storage listing (7-bit with a header,
// UCS2, a status report, down to the record) and encoding the longest SUBMITs. Bytes are TPDU
// octets; items are messages.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sms_pdu.h"

namespace {

std::vector<uint8_t> fromHex(const std::string &hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// A full DELIVER: 6-octet concatenation header and 153 septets of 7-bit text.
std::vector<uint8_t> longGsmDeliver() {
    std::vector<uint8_t> t = fromHex("440C91947110325476000050307141030023A00500032A0201");
    // 153 septets 'A' (0x41) after one fill bit: a repeating 7-octet pattern from the packer.
    std::vector<uint8_t> septets(153, 0x41);
    std::vector<uint8_t> packed((153 * 7 + 1 + 7) / 8, 0);
    size_t bit = 1;
    for (uint8_t s : septets)
        for (int b = 0; b < 7; ++b, ++bit)
            if (s >> b & 1)
                packed[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    t.insert(t.end(), packed.begin(), packed.end());
    return t;
}

// A full DELIVER of 70 UCS2 units, one of them a surrogate pair.
std::vector<uint8_t> longUcs2Deliver() {
    std::string hex = "040C919471103254760008503071410300238C";
    for (int i = 0; i < 68; ++i)
        hex += "4E2D";
    hex += "D83DDE00";
    return fromHex(hex);
}

const std::vector<uint8_t> kGsm = longGsmDeliver();
const std::vector<uint8_t> kUcs2 = longUcs2Deliver();
const std::vector<uint8_t> kReport =
    fromHex("062A0D91683108108300F0503071410300235030714103002300FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");

void decodePdu(benchmark::State &state, const std::vector<uint8_t> &tpdu) {
    SmsPduRec rec;
    if (SmsPdu_decode(tpdu.data(), tpdu.size(), &rec) < 0) {
        state.SkipWithError("the TPDU did not decode");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(SmsPdu_decode(tpdu.data(), tpdu.size(), &rec));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * tpdu.size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_DecodeGsm7WithHeader(benchmark::State &state) { decodePdu(state, kGsm); }
void BM_DecodeUcs2(benchmark::State &state) { decodePdu(state, kUcs2); }
void BM_DecodeStatusReport(benchmark::State &state) { decodePdu(state, kReport); }

// What the short-message object does for every entry of a listing.
void BM_DecodeToRecord(benchmark::State &state) {
    SmsRecord rec;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SmsPdu_decodeRecord(kGsm.data(), kGsm.size(), &rec));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kGsm.size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void encodeText(benchmark::State &state, const std::string &text) {
    SmsSendRec msg{};
    std::string number = "+8613800138000";
    number.copy(msg.number, number.size());
    text.copy(msg.text, text.size());
    uint8_t out[SMS_PDU_SUBMIT_BUF];
    int32_t n = 0;
    for (auto _ : state) {
        n = SmsPdu_encodeSendRec(&msg, out, sizeof out);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    if (n < 0)
        state.SkipWithError("the message did not encode");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (n > 0 ? n : 0));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_EncodeGsm160(benchmark::State &state) { encodeText(state, std::string(160, 'A')); }

void BM_EncodeUcs2_70(benchmark::State &state) {
    std::string text;
    for (int i = 0; i < 70; ++i)
        text += "\xE4\xB8\xAD";
    encodeText(state, text);
}

BENCHMARK(BM_DecodeGsm7WithHeader);
BENCHMARK(BM_DecodeUcs2);
BENCHMARK(BM_DecodeStatusReport);
BENCHMARK(BM_DecodeToRecord);
BENCHMARK(BM_EncodeGsm160);
BENCHMARK(BM_EncodeUcs2_70);

} // namespace
