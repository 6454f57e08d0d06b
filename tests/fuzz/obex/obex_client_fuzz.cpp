// Fuzz entry for everything the OBEX and IrMC clients read from a handset: the input is the whole
// byte stream a server sends back (CONNECT response, info.log, a whole-store read, a PUT by record
// id, a GET by record id, the DISCONNECT response), served by an in-memory transport that takes
// every byte sent and ends the link when the input runs out. The header walk also runs alone over
// the input.
// Promise on any input: every call answers a result (never a crash, never a read outside a
// packet); a header lies inside the bytes walked; the store information stays within its table;
// a card stays under the bound; after a failure the client is idle or connected, never mid-request.

#include "dv_irmc.h"
#include "dv_obex.h"
#include "dv_result.h"
#include "dv_stream.h"
#include "fuzz/fuzz_check.h"
#include "irmc/irmc_int.h"
#include "obex/obex_int.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Feed {
    CnsSock sock;
    const uint8_t *data;
    size_t size;
    size_t pos;
};

Feed *feedOf(CnsSock *s) { return static_cast<Feed *>(s->self); }

int32_t feedOpen(CnsSock *) { return 0; }
int32_t feedSend(CnsSock *, const void *buf, int32_t len, int32_t, int32_t) {
    FUZZ_CHECK(buf && len >= 3);
    return len;
}
int32_t feedRecv(CnsSock *s, void *buf, int32_t len) {
    Feed *f = feedOf(s);
    if (len <= 0)
        return 0;
    if (f->pos >= f->size)
        return DV_E_CLOSED;
    // Hand the bytes out in uneven pieces, as a link does.
    size_t n = static_cast<size_t>(len);
    size_t piece = 1 + (f->data[f->pos] % 7);
    if (n > piece)
        n = piece;
    if (n > f->size - f->pos)
        n = f->size - f->pos;
    std::memcpy(buf, f->data + f->pos, n);
    f->pos += n;
    return static_cast<int32_t>(n);
}
int32_t feedGetOpt(CnsSock *, int32_t, int32_t, int32_t *) { return DV_E_UNSUPPORTED; }
int32_t feedSetOpt(CnsSock *, int32_t, int32_t, const int32_t *) { return DV_E_UNSUPPORTED; }

void checkResult(int32_t r) { FUZZ_CHECK(r >= DV_E_DISABLED); }

void checkIdleOrConnected(McClt *m) {
    int32_t st = ObxClt_state(McClt_obex(m));
    FUZZ_CHECK(st == OBX_STATE_IDLE || st == OBX_STATE_CONNECTED || st == OBX_STATE_RESPONSE);
}

void walkHeaders(const uint8_t *data, size_t size) {
    std::vector<uint8_t> copy(data, data + size); // exactly sized: an over-read trips the sanitizer
    size_t off = 0;
    for (;;) {
        ObxHdr h;
        size_t before = off;
        int32_t r = ObxHdr_next(copy.data(), copy.size(), &off, &h);
        FUZZ_CHECK(r == 1 || r == 0 || r == DV_E_MALFORMED);
        if (r != 1) {
            FUZZ_CHECK(r != 0 || off == copy.size());
            break;
        }
        FUZZ_CHECK(off > before && off <= copy.size());
        FUZZ_CHECK(h.length >= 0 && h.value >= copy.data() + before && h.value + h.length <= copy.data() + off);
        if (h.id == OBX_HDR_APP_PARAMS) {
            StrBuf *id = StrBuf_new(8);
            int32_t cc = -1;
            McApp_parse(h.value, h.length, id, &cc, nullptr);
            FUZZ_CHECK(StrBuf_len(id) <= h.length && cc >= -1);
            StrBuf_delete(id);
        }
    }
}

void runClient(const uint8_t *data, size_t size) {
    std::vector<uint8_t> copy(data, data + size);
    Feed f{};
    f.sock.self = &f;
    f.sock.open = feedOpen;
    f.sock.send = feedSend;
    f.sock.recv = feedRecv;
    f.sock.getOpt = feedGetOpt;
    f.sock.setOpt = feedSetOpt;
    f.data = copy.data();
    f.size = copy.size();

    McClt *m = McClt_new(&f.sock, 192, 208);
    FUZZ_CHECK(m);
    int32_t r = McClt_conn(m);
    checkResult(r);
    if (r == 0) {
        FUZZ_CHECK(ObxClt_packetSize(McClt_obex(m)) >= 64 && ObxClt_packetSize(McClt_obex(m)) % 16 == 0);
        McFieldDesc fields[3];
        McStoreInfo info{};
        info.fields = fields;
        info.fieldCapacity = 3;
        r = McClt_getInfo(m, MC_KIND_PB, &info);
        checkResult(r);
        checkIdleOrConnected(m);
        FUZZ_CHECK(info.fieldCount >= 0 && info.fieldCount <= 3);
        FUZZ_CHECK(info.maxRecords >= -1 && info.totalRecords >= -1 && info.freeRecords >= -1);

        AbsFile *card = MemBuf_new(256, 0);
        for (int32_t i = 0, first = 1; i < 20 && ObxClt_isConn(McClt_obex(m)); ++i, first = 0) {
            MemBuf_clear(card);
            int32_t index = -1;
            r = McClt_read2(m, MC_KIND_PB, &index, card, first);
            checkResult(r);
            if (r != 1)
                break;
            FUZZ_CHECK(index == i && MemBuf_len(card) <= MC_MAX_OBJECT);
        }
        checkIdleOrConnected(m);

        StrBuf *id = StrBuf_new(8);
        int32_t cc = -1;
        const char text[] = "BEGIN:VCARD\r\nN:F\r\nEND:VCARD\r\n";
        AbsFile *in = AbsFileMem_new(const_cast<char *>(text), sizeof text - 1, sizeof text - 1, 0);
        checkResult(McClt_insert4(m, MC_KIND_PB, in, id, &cc, nullptr));
        checkIdleOrConnected(m);
        MemBuf_clear(card);
        r = McClt_read4(m, MC_KIND_PB, StrBuf_len(id) > 0 && StrBuf_len(id) <= MC_LUID_MAX ? StrBuf_buf(id) : "X", card);
        checkResult(r);
        FUZZ_CHECK(r != 1 || MemBuf_len(card) <= MC_MAX_OBJECT);
        AbsFileMem_delete(in);
        StrBuf_delete(id);
        MemBuf_delete(card);
    }
    McClt_delete(m); // sends DISCONNECT when connected and reads its answer from the rest
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    walkHeaders(data, size);
    runClient(data, size);
    return 0;
}
