// Fuzz entry for what a handset answers the IrMC phone-book store (McVcf behind its interface
// slots: information, a listing, reads by position, a read again) and the OBEX client's SETPATH.
// The input is the whole byte stream the server sends back (tests/fuzz/feed_sock.h); the first
// byte picks which of the two runs and the read buffer's size.
// Promise on any input: a result, never a crash or a hang; a read copies at most the room given;
// the store's counts stay within its size; SETPATH leaves the client idle or connected.

#include "dv_irmc.h"
#include "dv_obex.h"
#include "dv_result.h"
#include "dv_stream.h"
#include "fuzz/feed_sock.h"
#include "fuzz/fuzz_check.h"
#include "obex/obex_int.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr int kMaxSteps = 2000;

void checkResult(int32_t r) { FUZZ_CHECK(r >= DV_E_DISABLED); }

void readStore(const uint8_t *data, size_t size, int32_t room) {
    FeedSock feed(data, size);
    McVcf *s = McVcf_new(nullptr, nullptr, &feed.sock, 500, 8);
    FUZZ_CHECK(s != nullptr);
    McPbItf *itf = &s->itf;
    int32_t total = -1, used = -1, first = -1, last = -1;
    int32_t r = itf->getStat(itf, 0, &total, &used, &first, &last);
    checkResult(r);
    if (r >= 0)
        FUZZ_CHECK(total >= 0 && used >= -1);
    std::vector<char> buf(static_cast<size_t>(room) + 8, '#');
    auto readOut = [&](bool again) {
        for (int i = 0; i < kMaxSteps; ++i) {
            int32_t n = again ? itf->readDataAgain(itf, buf.data(), room) : itf->readData(itf, buf.data(), room);
            checkResult(n);
            FUZZ_CHECK(n <= room);
            for (size_t k = static_cast<size_t>(room); k < buf.size(); ++k)
                FUZZ_CHECK(buf[k] == '#');
            if (n <= 0)
                return;
            again = false;
        }
        FUZZ_CHECK(false); // a card never runs on for ever
    };
    int steps = 0;
    for (int32_t start = 1;; start = 0) {
        int32_t index = -7;
        r = itf->readNext(itf, 0, &index, start);
        checkResult(r);
        if (r != 1)
            break;
        FUZZ_CHECK(index >= 0);
        readOut(false);
        FUZZ_CHECK(++steps < kMaxSteps);
    }
    for (int32_t index : {0, 1, 499}) {
        r = itf->readAt(itf, 0, index);
        checkResult(r);
        if (r == 1) {
            readOut(false);
            readOut(true);
        }
    }
    McVcf_delete(s);
}

void setPaths(const uint8_t *data, size_t size) {
    FeedSock feed(data, size);
    ObxClt *clt = ObxClt_new(&feed.sock, 0, 0);
    FUZZ_CHECK(clt != nullptr);
    if (ObxClt_conn(clt, 0, nullptr) == 0) {
        // Name "telecom" in UTF-16 with its terminator.
        SkBuff *name = CFI_dev_alloc_skb(32);
        FUZZ_CHECK(name != nullptr);
        const char folder[] = "telecom";
        uint8_t *p = skb_put(name, 3 + 2 * static_cast<int32_t>(sizeof folder));
        FUZZ_CHECK(p != nullptr);
        p[0] = 0x01;
        p[1] = 0;
        p[2] = static_cast<uint8_t>(3 + 2 * sizeof folder);
        for (size_t i = 0; i < sizeof folder; ++i) {
            p[3 + 2 * i] = 0;
            p[4 + 2 * i] = static_cast<uint8_t>(folder[i]);
        }
        for (int32_t flags : {2, 3, 0}) {
            int32_t r = ObxClt_setPath(clt, flags, flags == 3 ? nullptr : name);
            checkResult(r);
            int32_t st = ObxClt_state(clt);
            FUZZ_CHECK(st == OBX_STATE_IDLE || st == OBX_STATE_CONNECTED);
            if (!ObxClt_isConn(clt))
                break;
        }
        CFI_dev_kfree_skb(name);
    }
    ObxClt_delete(clt);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 64 * 1024)
        return 0;
    static const int32_t kRooms[] = {1, 2, 16, 300};
    if (data[0] & 0x80)
        setPaths(data + 1, size - 1);
    else
        readStore(data + 1, size - 1, kRooms[data[0] % 4]);
    return 0;
}
