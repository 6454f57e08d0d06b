// ObxBody: the bytes of a response's Body and End-of-Body headers as an AbsFile, so the vCard
// splitter and the info.log parser read a GET response as it arrives, packet by packet.

#include "obex/obex_int.h"

#include "dv_result.h"

#include <cstring>
#include <new>

namespace {

struct ObxBody {
    AbsFile itf;
    ObxClt *clt;          // not owned
    const uint8_t *cur;   // the current body header's bytes (inside the client's response packet)
    int32_t len;
    int32_t pos;
    bool done;            // the response is complete
};

ObxBody *of(AbsFile *f) { return static_cast<ObxBody *>(f->self); }

// Moves to the next body header with data: 1, 0 at the end of the response, or the client's error.
int32_t nextPiece(ObxBody *b) {
    while (!b->done) {
        int32_t id = 0, length = 0;
        const uint8_t *value = nullptr;
        int32_t r = ObxClt_rxRspHdr(b->clt, &id, &value, &length);
        if (r < 0)
            return r;
        if (r == 0) {
            b->done = true;
            b->cur = nullptr;
            b->len = b->pos = 0;
            break;
        }
        if ((id == OBX_HDR_BODY || id == OBX_HDR_END_OF_BODY) && length > 0) {
            b->cur = value;
            b->len = length;
            b->pos = 0;
            return 1;
        }
    }
    return 0;
}

int32_t bodyGetc(AbsFile *f) {
    ObxBody *b = of(f);
    if (b->pos >= b->len) {
        int32_t r = nextPiece(b);
        if (r <= 0)
            return r == 0 ? ABSFILE_EOF : r;
    }
    return b->cur[b->pos++];
}

int32_t bodyUngetc(AbsFile *f) {
    ObxBody *b = of(f);
    if (b->pos <= 0 || !b->cur)
        return DV_E_STATE;
    --b->pos;
    return 0;
}

int32_t bodyRead(AbsFile *f, void *dst, int32_t n) {
    ObxBody *b = of(f);
    if (n <= 0 || !dst)
        return 0;
    int32_t done = 0;
    auto *out = static_cast<uint8_t *>(dst);
    while (done < n) {
        if (b->pos >= b->len) {
            int32_t r = nextPiece(b);
            if (r < 0)
                return done > 0 ? done : r;
            if (r == 0)
                break;
        }
        int32_t take = b->len - b->pos < n - done ? b->len - b->pos : n - done;
        std::memcpy(out + done, b->cur + b->pos, static_cast<size_t>(take));
        b->pos += take;
        done += take;
    }
    return done;
}

void bodyDelete(AbsFile *f) { delete of(f); }
int32_t bodyPutc(AbsFile *, int32_t) { return DV_E_NOTIMPL; }
int32_t bodyWrite(AbsFile *, const void *, int32_t) { return DV_E_NOTIMPL; }
int32_t bodyPrint(AbsFile *, const char *, ...) { return DV_E_NOTIMPL; }
int32_t bodySeek(AbsFile *, int32_t, int32_t) { return DV_E_UNSUPPORTED; }
int32_t bodyNone(AbsFile *) { return DV_E_UNSUPPORTED; }

} // namespace

extern "C" DV_API AbsFile *ObxBody_new(ObxClt *clt) {
    if (!clt)
        return nullptr;
    auto *b = new (std::nothrow) ObxBody{};
    if (!b)
        return nullptr;
    b->itf = AbsFile{b,        bodyDelete, bodyPutc, bodyGetc,  bodyUngetc, bodyRead,
                     bodyWrite, bodyPrint, bodySeek, bodyNone, bodyNone,   bodyNone};
    b->clt = clt;
    return &b->itf;
}

extern "C" DV_API void ObxBody_delete(AbsFile *stream) {
    if (stream)
        bodyDelete(stream);
}
