// The generic phone-book object: PbItf over the AT phone-book layer (pb_at.h), entries handed out
// and taken in as vCard 2.1 texts.

#include "oth_pb.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "dv_result.h"
#include "dv_vcard.h"
#include "pb_at.h"

namespace {

constexpr int32_t kBufSize = 256;
// Room for a TEL value and a formatted N (the five parts of a VcardName and their blanks): what
// does not fit a handset's fields is refused by the handset, never cut here.
constexpr int32_t kNumberRoom = 256;
constexpr int32_t kNameRoom = static_cast<int32_t>(sizeof(VcardName)) + 8;

OthPb *objOf(const void *itf) {
    OthPb *pb = pl::self<OthPb>(itf);
    return pb && pb->head.magic == OTH_PB_MAGIC ? pb : nullptr;
}

void dropBuf(AbsFile *&mb) {
    MemBuf_delete(mb);
    mb = nullptr;
}

// The read buffer becomes a vCard of the entry: N (the name as its given part) and TEL.
int32_t buildCard(OthPb *pb, const PbEntry &e) {
    dropBuf(pb->readBuf);
    AbsFile *mb = MemBuf_new(kBufSize, 0);
    if (!mb)
        return DV_E_NOMEM;
    Vcard *v = Vcard_new(mb);
    if (!v) {
        MemBuf_delete(mb);
        return DV_E_NOMEM;
    }
    const std::string name = PbAt_decodeText(pb->ctx->cs, e.text, &pb->ctx->hex8);
    int32_t r = Vcard_addBeg(v);
    if (r >= 0)
        r = Vcard_addName(v, name.c_str());
    if (r >= 0)
        r = Vcard_addTel(v, 0, e.number.c_str());
    if (r >= 0)
        r = Vcard_addEnd(v);
    Vcard_delete(v);
    if (r >= 0)
        r = AbsFile_seek(mb, 0, 0);
    if (r < 0) {
        MemBuf_delete(mb);
        return r;
    }
    pb->readBuf = mb;
    return 0;
}

int32_t copyOut(OthPb *pb, void *buf, int32_t size, bool fromStart) {
    if (!pb->readBuf)
        return DV_E_STATE;
    if (!buf || size < 0)
        return DV_E_ARG;
    if (fromStart) {
        int32_t r = AbsFile_seek(pb->readBuf, 0, 0);
        if (r < 0)
            return r;
    }
    return size == 0 ? 0 : AbsFile_read(pb->readBuf, buf, size);
}

// The first N (formatted as one text) and the first TEL of the vCard in the write buffer. -251
// when the data holds no vCard.
int32_t takeCard(AbsFile *mb, std::string *name, std::string *number) {
    int32_t r = AbsFile_seek(mb, 0, 0);
    if (r < 0)
        return r;
    Vcard *v = Vcard_new(mb);
    if (!v)
        return DV_E_NOMEM;
    bool begun = false, haveName = false, haveTel = false;
    std::string value(static_cast<size_t>(std::max(kNameRoom, kNumberRoom)) * 4, '\0');
    for (;;) {
        int32_t type = 0, flags = 0;
        int32_t size = static_cast<int32_t>(value.size());
        r = Vcard_get(v, &type, &flags, value.data(), &size, nullptr, 0);
        if (r <= 0)
            break;
        const char *val = value.c_str();
        if (type == VCARD_TYPE_BEGIN) {
            begun = true;
        } else if (type == VCARD_TYPE_END) {
            break;
        } else if (type == VCARD_TYPE_N && !haveName) {
            VcardName n;
            VcardName_dec(&n, val);
            char text[kNameRoom];
            int32_t len = VcardName_toStr(&n, text, sizeof text);
            name->assign(text, len > 0 ? static_cast<size_t>(len) : 0);
            haveName = true;
        } else if (type == VCARD_TYPE_TEL && !haveTel) {
            number->assign(val, std::min<size_t>(std::strlen(val), kNumberRoom - 1));
            haveTel = true;
        }
    }
    Vcard_delete(v);
    if (r < 0)
        return r;
    return begun ? 0 : DV_E_TOOLONG;
}

// The character-set choice, run by the registry when this object becomes current.
int32_t enterPb(void *user) {
    auto *pb = static_cast<OthPb *>(user);
    if (!pb || pb->head.magic != OTH_PB_MAGIC)
        return DV_E_ARG;
    return PbAt_chooseCs(pb->ctx);
}

// Storage codes 0 (keep) to 3 name a storage; anything else is refused before it reaches the
// handset.
bool isStorCode(int32_t code) { return code >= 0 && code <= 3; }

struct OthPbOps {
    static int32_t getStor(StorItf *itf, int32_t *stor) {
        OthPb *pb = objOf(itf);
        if (!pb || !stor)
            return DV_E_ARG;
        PbStorInfo info;
        int32_t r = PbAt_queryStor(pb->ctx, &info);
        // Only a status query leaves its counts for the listing that follows it.
        pb->ctx->haveStor = false;
        if (r < 0)
            return r;
        *stor = info.stor;
        return 0;
    }

    static int32_t setStor(StorItf *itf, int32_t stor) {
        OthPb *pb = objOf(itf);
        if (!pb || !isStorCode(stor))
            return DV_E_ARG;
        if (stor == 0)
            return 0;
        return PbAt_selectStor(pb->ctx, stor);
    }

    static int32_t getCaps(StorItf *itf, int32_t *kind) {
        if (!objOf(itf) || !kind)
            return DV_E_ARG;
        *kind = MS_CAPS_PB;
        return 0;
    }

    static int32_t getStat(StorItf *itf, int32_t, int32_t *total, int32_t *used, int32_t *first, int32_t *last) {
        OthPb *pb = objOf(itf);
        if (!pb)
            return DV_E_ARG;
        PbStorInfo info;
        int32_t r = PbAt_queryStor(pb->ctx, &info);
        if (r < 0)
            return r;
        PbRange range;
        r = PbAt_queryRange(pb->ctx, &range);
        if (r < 0)
            return r;
        pb->textLen = range.textLen;
        pb->numLen = range.numLen;
        range = PbAt_walkRange(range, info);
        int32_t t = info.total;
        if (t <= 0 && !range.empty())
            t = static_cast<int32_t>(std::min<int64_t>(int64_t{range.last} - range.first + 1, INT32_MAX));
        if (total)
            *total = t;
        if (used)
            *used = info.used;
        if (first)
            *first = range.empty() ? -1 : range.first;
        if (last)
            *last = range.empty() ? -1 : range.last;
        return 0;
    }

    static int32_t readNext(StorItf *itf, int32_t, int32_t *index, int32_t first) {
        OthPb *pb = objOf(itf);
        if (!pb)
            return DV_E_ARG;
        if (first) {
            dropBuf(pb->readBuf);
            int32_t r = PbAt_listBegin(pb->ctx);
            if (r <= 0)
                return r;
        }
        PbEntry e;
        int32_t r = PbAt_listNext(pb->ctx, &e);
        if (r <= 0)
            return r;
        r = buildCard(pb, e);
        if (r < 0)
            return r;
        if (index)
            *index = e.index;
        return 1;
    }

    static int32_t readData(StorItf *itf, void *buf, int32_t size) {
        OthPb *pb = objOf(itf);
        return pb ? copyOut(pb, buf, size, false) : DV_E_ARG;
    }

    static int32_t readAt(StorItf *itf, int32_t, int32_t index) {
        OthPb *pb = objOf(itf);
        if (!pb || index < 0)
            return DV_E_ARG;
        std::vector<PbEntry> found;
        int32_t r = PbAt_readRange(pb->ctx, index, -1, 1, &found, nullptr);
        if (r < 0)
            return r;
        if (found.empty())
            return 0;
        // Some handsets report another index than the one asked; the entry is still the answer.
        r = buildCard(pb, found.front());
        return r < 0 ? r : 1;
    }

    static int32_t readDataAgain(StorItf *itf, void *buf, int32_t size) {
        OthPb *pb = objOf(itf);
        return pb ? copyOut(pb, buf, size, true) : DV_E_ARG;
    }

    static int32_t beginWrite(StorItf *itf, int32_t, int32_t index, int32_t mode) {
        OthPb *pb = objOf(itf);
        if (!pb)
            return DV_E_ARG;
        if (mode != MS_WRITE_PB)
            return DV_E_UNSUPPORTED;
        dropBuf(pb->writeBuf);
        pb->writeBuf = MemBuf_new(kBufSize, 0);
        if (!pb->writeBuf)
            return DV_E_NOMEM;
        pb->writeIndex = index < 0 ? -1 : index;
        return 0;
    }

    static int32_t writeData(StorItf *itf, const void *buf, int32_t len) {
        OthPb *pb = objOf(itf);
        if (!pb)
            return DV_E_ARG;
        if (!pb->writeBuf)
            return DV_E_STATE;
        if (!buf || len < 0)
            return DV_E_ARG;
        if (len == 0)
            return 0;
        int32_t r = AbsFile_write(pb->writeBuf, buf, len);
        return r == len ? len : DV_E_ARG;
    }

    static int32_t commitWrite(StorItf *itf, int32_t *index) {
        OthPb *pb = objOf(itf);
        if (!pb)
            return DV_E_ARG;
        if (index)
            *index = -1;
        if (!pb->writeBuf)
            return DV_E_STATE;
        std::string name, number;
        int32_t r = takeCard(pb->writeBuf, &name, &number);
        const int32_t at = pb->writeIndex;
        dropBuf(pb->writeBuf);
        if (r < 0)
            return r;
        return PbAt_write(pb->ctx, at, number, name);
    }

    static int32_t del(StorItf *itf, int32_t, int32_t index) {
        OthPb *pb = objOf(itf);
        if (!pb || index < 0)
            return DV_E_ARG;
        std::vector<PbEntry> found;
        int32_t r = PbAt_readRange(pb->ctx, index, -1, 1, &found, nullptr);
        if (r < 0)
            return r;
        if (found.empty())
            return 0; // nothing there: nothing to send
        return PbAt_write(pb->ctx, index, {}, {});
    }

    static int32_t delAll(StorItf *itf) {
        OthPb *pb = objOf(itf);
        if (!pb)
            return DV_E_ARG;
        PbRange range;
        int32_t r = PbAt_queryRange(pb->ctx, &range);
        if (r < 0)
            return r;
        PbStorInfo info;
        r = PbAt_takeStor(pb->ctx, &info);
        if (r < 0)
            return r;
        range = PbAt_walkRange(range, info);
        int32_t deleted = 0;
        int32_t refused = 0; // the first position the handset would not empty
        for (int64_t i = range.first; i <= range.last; ++i) {
            if (info.used >= 0 && deleted >= info.used)
                break;
            std::vector<PbEntry> found;
            r = PbAt_readRange(pb->ctx, static_cast<int32_t>(i), -1, 1, &found, nullptr);
            if (r < 0)
                return r;
            if (found.empty())
                continue;
            r = PbAt_write(pb->ctx, static_cast<int32_t>(i), {}, {});
            if (r < 0) {
                if (NetUtil_isFaultErr(r))
                    return r;
                if (refused == 0)
                    refused = r;
                continue;
            }
            ++deleted;
        }
        // The walk goes on past a position the handset refused, but the caller learns of it.
        return refused;
    }

    static int32_t getFieldInfo(PbItf *itf, const TFieldParam **table, int32_t *count) {
        OthPb *pb = objOf(itf);
        if (!pb)
            return DV_E_ARG;
        PbRange range;
        int32_t r = PbAt_queryRange(pb->ctx, &range);
        if (r < 0 && NetUtil_isFaultErr(r))
            return r;
        pb->textLen = r < 0 ? 0 : range.textLen;
        pb->numLen = r < 0 ? 0 : range.numLen;
        std::memset(pb->fields, 0, sizeof pb->fields);
        pb->fields[0].type = VCARD_TYPE_N;
        pb->fields[0].maxLen = pb->textLen;
        pb->fields[1].type = VCARD_TYPE_TEL;
        pb->fields[1].maxLen = pb->numLen;
        if (table)
            *table = pb->fields;
        if (count)
            *count = 2;
        return 0;
    }
};

constexpr PbItf kSlots = pl::pbSlots<OthPbOps>();

void release(OthPb *pb) {
    PbAt_delete(pb->ctx);
    pb->ctx = nullptr;
    dropBuf(pb->readBuf);
    dropBuf(pb->writeBuf);
    pb->head.magic = 0;
    pb->head.entry = -1;
    pb->itf.stor.self = nullptr;
    if (pb->head.owned)
        delete pb;
}

} // namespace

PL_API OthPb *OthPb_new(void *buf, ItfMng *mng, AtTe *te) {
    try {
        if (!te)
            return nullptr;
        OthPb *pb = buf ? new (buf) OthPb{} : new (std::nothrow) OthPb{};
        if (!pb)
            return nullptr;
        pb->head.magic = OTH_PB_MAGIC;
        pb->head.owned = buf ? 0 : 1;
        pb->head.mng = mng;
        pb->head.entry = -1;
        pb->itf = kSlots;
        pb->itf.stor.self = pb;
        pb->te = te;
        pb->writeIndex = -1;
        pb->ctx = PbAt_new(te);
        if (!pb->ctx) {
            release(pb);
            return nullptr;
        }
        if (!pl::LiveObjects<OthPb>::add(pb)) {
            release(pb);
            return nullptr;
        }
        if (mng) {
            int32_t entry = ItfMng_reg(mng, pb, enterPb, nullptr);
            if (entry < 0) {
                OthPb_delete(pb);
                return nullptr;
            }
            pb->head.entry = entry;
        }
        return pb;
    } catch (...) {
        return nullptr;
    }
}

PL_API int32_t OthPb_delete(OthPb *pb) {
    try {
        if (!pb || !pl::LiveObjects<OthPb>::has(pb) || pb->head.magic != OTH_PB_MAGIC)
            return DV_E_ARG;
        pl::LiveObjects<OthPb>::remove(pb);
        if (pb->head.mng && pb->head.entry >= 0)
            ItfMng_unreg(pb->head.mng, pb->head.entry);
        release(pb);
        return 0;
    } catch (...) {
        return DV_E_FAIL;
    }
}
