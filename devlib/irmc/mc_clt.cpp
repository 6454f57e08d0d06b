// McClt: IrMC 1.1 object access over the OBEX client. Object names are built in UTF-8 and sent as
// UCS-2 Name headers; whole-store reads are cut into cards as the GET response arrives.

#include "irmc/irmc_int.h"

#include "obex/obex_int.h"

#include "dv_charset.h"
#include "dv_log.h"
#include "dv_result.h"
#include "dv_vcard.h"

#include <cstdio>
#include <cstring>
#include <new>

struct McClt {
    CnsSock *sock;             // not owned
    ObxClt *obx;
    McStoreInfo supp[4];       // per kind, read on demand and kept (no field table)
    bool suppRead[4];
    VcfStrmDec *dec;
    AbsFile *body;             // the whole-store read in progress, or NULL
    int32_t counter;           // cards handed out by that read
};

namespace {

constexpr int32_t kNameRoom = 256;   // object names: "telecom/" kind "/luid/" id "." ext
constexpr int32_t kPiece3 = 64;      // Body pieces of a PUT by static index
constexpr int32_t kPiece4 = 160;     // and by record id
const char kTarget[] = "IRMC-SYNC";

struct Kind {
    const char *name;
    const char *ext;
};
const Kind kKinds[4] = {{"pb", "vcf"}, {"cal", "vcs"}, {"msg", "vmg"}, {"nt", "vnt"}};

const Kind *kindOf(int32_t kind) { return kind >= 1 && kind <= 4 ? &kKinds[kind - 1] : nullptr; }

// A whole-store read left unfinished is read to its end, so the next request starts in step.
void finishListing(McClt *m) {
    if (!m->body)
        return;
    if (ObxClt_state(m->obx) == OBX_STATE_RESPONSE)
        ObxClt_rxRspWhole(m->obx);
    ObxBody_delete(m->body);
    m->body = nullptr;
}

int32_t putName(McClt *m, const char *name) {
    uint8_t ucs2[2 * kNameRoom];
    int32_t units = CsUtil_utf8ToUcs2(name, ucs2, kNameRoom);
    if (units < 0)
        return DV_E_ARG;
    return ObxClt_txReqHdr(m->obx, OBX_HDR_NAME, ucs2, 2 * units);
}

// Starts a request for the object name (after ending an unfinished whole-store read).
int32_t begin(McClt *m, int32_t opcode, const char *name) {
    finishListing(m);
    int32_t r = ObxClt_txReqBeg(m->obx, opcode);
    if (r >= 0)
        r = putName(m, name);
    return r;
}

int32_t nameInfo(char *out, int32_t kind) {
    const Kind *k = kindOf(kind);
    if (!k)
        return DV_E_ARG;
    std::snprintf(out, kNameRoom, "telecom/%s/info.log", k->name);
    return 0;
}

int32_t nameWhole(char *out, int32_t kind) {
    const Kind *k = kindOf(kind);
    if (!k)
        return DV_E_ARG;
    std::snprintf(out, kNameRoom, "telecom/%s.%s", k->name, k->ext);
    return 0;
}

int32_t nameIndex(char *out, int32_t kind, int32_t n) {
    const Kind *k = kindOf(kind);
    if (!k || n < 0)
        return DV_E_ARG;
    std::snprintf(out, kNameRoom, "telecom/%s/%d.%s", k->name, n, k->ext);
    return 0;
}

int32_t nameLuid(char *out, int32_t kind, const char *id) {
    const Kind *k = kindOf(kind);
    if (!k || !id)
        return DV_E_ARG;
    int n = std::snprintf(out, kNameRoom, "telecom/%s/luid/%s.%s", k->name, id, k->ext);
    return n > 0 && n < kNameRoom ? 0 : DV_E_ARG;
}

uint8_t *be32(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
    return p;
}

// The stream's bytes from its start as Body, in pieces of `piece` bytes.
int32_t putBody(McClt *m, AbsFile *stream, int32_t piece) {
    int32_t r = AbsFile_seek(stream, 0, 0);
    if (r < 0)
        return r;
    uint8_t buf[kPiece4];
    bool any = false;
    while ((r = AbsFile_read(stream, buf, piece)) > 0) {
        any = true;
        int32_t w = ObxClt_txReqHdr(m->obx, OBX_HDR_BODY, buf, r);
        if (w < 0)
            return w;
    }
    if (r < 0)
        return r;
    // An empty object is still an object (a PUT without any body deletes it).
    return any ? 0 : ObxClt_txReqHdr(m->obx, OBX_HDR_END_OF_BODY, nullptr, 0);
}

int32_t putLength(McClt *m, AbsFile *stream) {
    int32_t size = AbsFile_size(stream);
    if (size < 0)
        return size;
    uint8_t len[4];
    return ObxClt_txReqHdr(m->obx, OBX_HDR_LENGTH, be32(len, static_cast<uint32_t>(size)), 4);
}

// Ends a request and reads the response, keeping its Application-Parameters.
int32_t finish(McClt *m, StrBuf *id, int32_t *changeCounter, StrBuf *extra) {
    int32_t r = ObxClt_txReqEnd(m->obx);
    int32_t hid = 0, len = 0;
    const uint8_t *v = nullptr;
    while (r >= 0 && (r = ObxClt_rxRspHdr(m->obx, &hid, &v, &len)) == 1)
        if (hid == OBX_HDR_APP_PARAMS)
            McApp_parse(v, len, id, changeCounter, extra);
    return r;
}

// GET of one object into stream: 1, or an error. The object is bounded by MC_MAX_OBJECT.
int32_t getInto(McClt *m, const char *name, AbsFile *stream) {
    int32_t r = begin(m, OBX_OP_GET, name);
    if (r >= 0)
        r = ObxClt_txReqEnd(m->obx);
    if (r < 0)
        return r;
    int32_t total = 0, hid = 0, len = 0;
    const uint8_t *v = nullptr;
    while ((r = ObxClt_rxRspHdr(m->obx, &hid, &v, &len)) == 1) {
        if ((hid != OBX_HDR_BODY && hid != OBX_HDR_END_OF_BODY) || len == 0)
            continue;
        int32_t w = len > MC_MAX_OBJECT - total ? DV_E_FULL : AbsFile_write(stream, v, len);
        if (w != len) {
            // Give up on the rest: reading it to the end is what a hostile handset would want.
            ObxClt_abort(m->obx);
            return w < 0 ? w : DV_E_FULL;
        }
        total += len;
    }
    return r < 0 ? r : 1;
}

int32_t put4(McClt *m, int32_t kind, const char *id, int32_t maxChangeCounter, int32_t hardDelete, AbsFile *stream,
             StrBuf *idOut, int32_t *changeCounter, StrBuf *extra) {
    char name[kNameRoom];
    int32_t r = nameLuid(name, kind, id);
    if (r < 0)
        return r;
    r = begin(m, OBX_OP_PUT, name);
    if (r < 0)
        return r;
    // IrMC 1.1: Max-Change-Counter (0x11) in decimal, Hard-Delete (0x12) without a value.
    uint8_t app[16];
    int32_t n = 0;
    if (maxChangeCounter != 0) {
        char digits[12];
        int d = std::snprintf(digits, sizeof digits, "%d", maxChangeCounter);
        app[n++] = 0x11;
        app[n++] = static_cast<uint8_t>(d);
        std::memcpy(app + n, digits, static_cast<size_t>(d));
        n += d;
    }
    if (hardDelete) {
        app[n++] = 0x12;
        app[n++] = 0;
    }
    if (n > 0 && (r = ObxClt_txReqHdr(m->obx, OBX_HDR_APP_PARAMS, app, n)) < 0)
        return r;
    if (stream) {
        int32_t size = AbsFile_size(stream);
        if (size < 0)
            return size;
        if (size > 0 && (r = putLength(m, stream)) < 0)
            return r;
        if ((r = putBody(m, stream, kPiece4)) < 0)
            return r;
    }
    r = finish(m, idOut, changeCounter, extra);
    return r < 0 ? r : 0;
}

// Runs one operation; a failure that leaves a request open (a header that could not be added, a
// stream that could not be read) drops it, so the next request is not refused for the wrong state.
template <typename Fn>
int32_t guarded(McClt *m, Fn fn) noexcept {
    int32_t r;
    try {
        r = fn();
    } catch (...) {
        r = DV_E_FAIL;
    }
    int32_t state = ObxClt_state(m->obx);
    if (r < 0 && (state == OBX_STATE_REQUEST || state == OBX_STATE_RESPONSE))
        ObxClt_abort(m->obx);
    return r;
}

} // namespace

extern "C" ObxClt *McClt_obex(McClt *m) { return m ? m->obx : nullptr; }

extern "C" DV_API McClt *McClt_new(CnsSock *sock, int32_t rxSize, int32_t txLimit) {
    if (!sock)
        return nullptr;
    auto *m = new (std::nothrow) McClt{};
    if (!m)
        return nullptr;
    m->sock = sock;
    m->obx = ObxClt_new(sock, rxSize, txLimit);
    m->dec = VcfStrmDec_new();
    if (!m->obx || !m->dec) {
        McClt_delete(m);
        return nullptr;
    }
    for (McStoreInfo &s : m->supp)
        McInfo_clear(&s);
    return m;
}

extern "C" DV_API void McClt_delete(McClt *m) {
    if (!m)
        return;
    ObxBody_delete(m->body);
    ObxClt_delete(m->obx);
    VcfStrmDec_delete(m->dec);
    delete m;
}

extern "C" DV_API int32_t McClt_conn(McClt *m) {
    if (!m)
        return DV_E_ARG;
    return guarded(m, [&] {
        SkBuff *target = CFI_dev_alloc_skb(16);
        if (!target)
            return static_cast<int32_t>(DV_E_NOMEM);
        ObxHdr_put(target, OBX_HDR_TARGET, kTarget, static_cast<int32_t>(sizeof kTarget - 1));
        int32_t r = ObxClt_conn(m->obx, 0, target);
        CFI_dev_kfree_skb(target);
        return r;
    });
}

extern "C" DV_API int32_t McClt_disc(McClt *m) {
    if (!m)
        return DV_E_ARG;
    ObxBody_delete(m->body);
    m->body = nullptr;
    return ObxClt_disc(m->obx, nullptr);
}

extern "C" DV_API int32_t McClt_getInfo(McClt *m, int32_t kind, McStoreInfo *info) {
    if (!m || !info)
        return DV_E_ARG;
    return guarded(m, [&] {
        char name[kNameRoom];
        int32_t r = nameInfo(name, kind);
        if (r < 0)
            return r;
        r = begin(m, OBX_OP_GET, name);
        if (r >= 0)
            r = ObxClt_txReqEnd(m->obx);
        if (r < 0)
            return r;
        AbsFile *body = ObxBody_new(m->obx);
        if (!body) {
            ObxClt_abort(m->obx);
            return static_cast<int32_t>(DV_E_NOMEM);
        }
        r = McInfo_parse(body, info);
        ObxBody_delete(body);
        if (r >= 0 && ObxClt_state(m->obx) == OBX_STATE_RESPONSE)
            r = ObxClt_rxRspWhole(m->obx);
        return r < 0 ? r : 0;
    });
}

extern "C" DV_API int32_t McClt_getSupp(McClt *m, int32_t kind, int32_t *flags) {
    if (!m || !flags || !kindOf(kind))
        return DV_E_ARG;
    if (!m->suppRead[kind - 1]) {
        int32_t r = McClt_getInfo(m, kind, &m->supp[kind - 1]);
        if (r < 0)
            return r;
        m->suppRead[kind - 1] = true;
    }
    *flags = m->supp[kind - 1].access;
    return 0;
}

extern "C" DV_API int32_t McClt_read2(McClt *m, int32_t kind, int32_t *index, AbsFile *stream, int32_t first) {
    if (!m || !stream || !kindOf(kind))
        return DV_E_ARG;
    return guarded(m, [&] {
        if (first) {
            char name[kNameRoom];
            nameWhole(name, kind);
            int32_t r = begin(m, OBX_OP_GET, name);
            if (r >= 0)
                r = ObxClt_txReqEnd(m->obx);
            if (r < 0)
                return r;
            m->body = ObxBody_new(m->obx);
            VcfStrmDec_delete(m->dec);
            m->dec = VcfStrmDec_new();
            if (!m->body || !m->dec) {
                ObxClt_abort(m->obx);
                ObxBody_delete(m->body);
                m->body = nullptr;
                return static_cast<int32_t>(DV_E_NOMEM);
            }
            m->counter = 0;
        }
        if (!m->body)
            return 0;
        AbsFile *out = McLimit_new(stream, MC_MAX_OBJECT);
        if (!out)
            return static_cast<int32_t>(DV_E_NOMEM);
        int32_t r = VcfStrmDec_dec(m->dec, m->body, out);
        // The response is over: a last card cut short keeps what it has.
        if (r == 0)
            r = VcfStrmDec_finish(m->dec, out);
        AbsFile_delete(out);
        if (r == 1) {
            if (index)
                *index = m->counter;
            ++m->counter;
            return 1;
        }
        if (r < 0 && ObxClt_state(m->obx) == OBX_STATE_RESPONSE)
            ObxClt_abort(m->obx); // the card could not be taken: the rest cannot be read in step
        ObxBody_delete(m->body);
        m->body = nullptr;
        return r;
    });
}

extern "C" DV_API int32_t McClt_read3(McClt *m, int32_t kind, int32_t n, AbsFile *stream) {
    if (!m || !stream)
        return DV_E_ARG;
    return guarded(m, [&] {
        char name[kNameRoom];
        int32_t r = nameIndex(name, kind, n);
        return r < 0 ? r : getInto(m, name, stream);
    });
}

extern "C" DV_API int32_t McClt_read4(McClt *m, int32_t kind, const char *id, AbsFile *stream) {
    if (!m || !stream)
        return DV_E_ARG;
    return guarded(m, [&] {
        char name[kNameRoom];
        int32_t r = nameLuid(name, kind, id);
        return r < 0 ? r : getInto(m, name, stream);
    });
}

extern "C" DV_API int32_t McClt_write3(McClt *m, int32_t kind, int32_t n, AbsFile *stream) {
    if (!m || !stream)
        return DV_E_ARG;
    return guarded(m, [&] {
        char name[kNameRoom];
        int32_t r = nameIndex(name, kind, n);
        if (r >= 0)
            r = begin(m, OBX_OP_PUT, name);
        if (r >= 0)
            r = putLength(m, stream);
        if (r >= 0)
            r = putBody(m, stream, kPiece3);
        if (r >= 0)
            r = finish(m, nullptr, nullptr, nullptr);
        return r < 0 ? r : 0;
    });
}

extern "C" DV_API int32_t McClt_clear3(McClt *m, int32_t kind, int32_t n) {
    if (!m)
        return DV_E_ARG;
    return guarded(m, [&] {
        char name[kNameRoom];
        int32_t r = nameIndex(name, kind, n);
        if (r >= 0)
            r = begin(m, OBX_OP_PUT, name);
        if (r >= 0)
            r = finish(m, nullptr, nullptr, nullptr);
        return r < 0 ? r : 0;
    });
}

extern "C" DV_API int32_t McClt_clear2(McClt *m, int32_t kind) {
    if (!m)
        return DV_E_ARG;
    return guarded(m, [&] {
        char name[kNameRoom];
        int32_t r = nameWhole(name, kind);
        if (r >= 0)
            r = begin(m, OBX_OP_PUT, name);
        if (r >= 0)
            r = finish(m, nullptr, nullptr, nullptr);
        return r < 0 ? r : 0;
    });
}

extern "C" DV_API int32_t McClt_insert4(McClt *m, int32_t kind, AbsFile *stream, StrBuf *id, int32_t *changeCounter,
                                        StrBuf *extra) {
    if (!m)
        return DV_E_ARG;
    return guarded(m, [&] { return put4(m, kind, "", 0, 0, stream, id, changeCounter, extra); });
}

extern "C" DV_API int32_t McClt_write4(McClt *m, int32_t kind, const char *id, int32_t maxChangeCounter,
                                       AbsFile *stream, int32_t *changeCounter, StrBuf *extra) {
    if (!m || !id)
        return DV_E_ARG;
    return guarded(m, [&] { return put4(m, kind, id, maxChangeCounter, 0, stream, nullptr, changeCounter, extra); });
}

extern "C" DV_API int32_t McClt_clear4(McClt *m, int32_t kind, const char *id, int32_t maxChangeCounter,
                                       int32_t hardDelete, int32_t *changeCounter, StrBuf *extra) {
    if (!m || !id)
        return DV_E_ARG;
    return guarded(
        m, [&] { return put4(m, kind, id, maxChangeCounter, hardDelete, nullptr, nullptr, changeCounter, extra); });
}

extern "C" DV_API int32_t McClt_write2Beg(McClt *, int32_t) { return DV_E_NOTIMPL; }
extern "C" DV_API int32_t McClt_write2Data(McClt *, const void *, int32_t) { return DV_E_NOTIMPL; }
