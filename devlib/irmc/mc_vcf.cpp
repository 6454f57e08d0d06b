// McVcf: the IrMC phone book behind the seventeen slots of the phone-book interface. Under
// record-id access (IrMC level 4) positions are slots of a map of record ids: a card read keeps
// the position of its id, and a position written or deleted names the record by that id.

#include "irmc/irmc_int.h"

#include "dv_log.h"
#include "dv_result.h"
#include "dv_vcard.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int32_t kRxSize = 192;        // raised to the IrOBEX minimum by the OBEX client
constexpr int32_t kTxLimit = 208;
constexpr int32_t kBufSize = 1024;
constexpr int32_t kMaxPositions = 65535; // a store size the handset claims beyond this is not believed
constexpr int32_t kLuidWidth = MC_LUID_MAX + 1;
constexpr int32_t kCapsWhole = 40;
constexpr int32_t kCapsRecords = 0x15;

McVcf *objOf(McPbItf *itf) {
    auto *s = itf ? static_cast<McVcf *>(itf->self) : nullptr;
    return s && s->magic == MC_VCF_MAGIC ? s : nullptr;
}

bool has(const McVcf *s, int32_t access) { return (s->info.access & access) != 0; }

void dropBuf(AbsFile *&mb) {
    MemBuf_delete(mb);
    mb = nullptr;
}

int32_t freshBuf(AbsFile *&mb) {
    dropBuf(mb);
    mb = MemBuf_new(kBufSize, 0);
    return mb ? 0 : DV_E_NOMEM;
}

// Maximum-Records when given, else Total-Records + Free-Records when both are, else the default.
int32_t sizeOf(const McVcf *s) {
    int64_t size = s->defaultSize;
    if (s->info.maxRecords >= 1)
        size = s->info.maxRecords;
    else if (s->info.totalRecords >= 0 && s->info.freeRecords >= 0 &&
             static_cast<int64_t>(s->info.totalRecords) + s->info.freeRecords >= 1)
        size = static_cast<int64_t>(s->info.totalRecords) + s->info.freeRecords;
    if (size < 0)
        size = 0;
    return static_cast<int32_t>(size > kMaxPositions ? kMaxPositions : size);
}

bool linkUp(McVcf *s) { return s->connected && ObxClt_isConn(McClt_obex(s->clt)); }

// The registry's leave routine: disconnect and close the transport.
int32_t leave(void *user) {
    auto *s = static_cast<McVcf *>(user);
    if (!s || s->magic != MC_VCF_MAGIC)
        return DV_E_ARG;
    if (s->connected) {
        s->connected = 0;
        McClt_disc(s->clt);
        s->sock->close(s->sock);
    }
    return 0;
}

// The registry's enter routine: open the transport, connect, read the store information once.
int32_t enter(void *user) {
    auto *s = static_cast<McVcf *>(user);
    if (!s || s->magic != MC_VCF_MAGIC)
        return DV_E_ARG;
    if (linkUp(s))
        return 0;
    leave(s); // a link that dropped since: start over
    int32_t r = s->sock->open(s->sock);
    if (r >= 0)
        r = McClt_conn(s->clt);
    if (r >= 0 && !s->infoRead) {
        r = McClt_getInfo(s->clt, MC_KIND_PB, &s->info);
        if (r >= 0)
            s->infoRead = 1;
    }
    if (r >= 0) {
        s->storeSize = sizeOf(s);
        if (has(s, MC_ACCESS_LUID) && !s->map) {
            s->map = StrMap_new(kLuidWidth, s->storeSize);
            if (!s->map)
                r = DV_E_NOMEM;
        }
    }
    if (r < 0) {
        McClt_disc(s->clt);
        s->sock->close(s->sock);
        return r;
    }
    s->connected = 1;
    return 0;
}

// What every slot that talks to the handset does first.
int32_t prepare(McVcf *s) {
    int32_t r = ItfMng_exec(s->mng, s->entry);
    if (r < 0)
        return r;
    return linkUp(s) ? 0 : enter(s);
}

// The X-IRMC-LUID of the card in mb: 0 and the id in out (MC_LUID_MAX + 1 bytes), -92 when it has
// none or a longer one.
int32_t luidOf(AbsFile *mb, char *out) {
    int32_t r = AbsFile_seek(mb, 0, 0);
    if (r < 0)
        return r;
    Vcard *v = Vcard_new(mb);
    if (!v)
        return DV_E_NOMEM;
    r = DV_E_MALFORMED;
    char value[128];
    char name[32];
    for (;;) {
        int32_t type = 0, size = sizeof value;
        int32_t g = Vcard_get(v, &type, nullptr, value, &size, name, sizeof name);
        if (g <= 0 || type == VCARD_TYPE_END)
            break;
        if (type == VCARD_TYPE_OTHER && std::strcmp(name, "X-IRMC-LUID") == 0) {
            // An id cut to the slot would never be found again and would fill the map with copies;
            // one holding a zero byte (a binary value) would be kept as an empty, free slot.
            if (size >= 1 && size <= MC_LUID_MAX && std::strlen(value) == static_cast<size_t>(size)) {
                std::memcpy(out, value, static_cast<size_t>(size) + 1);
                r = 0;
            }
            break;
        }
    }
    Vcard_delete(v);
    if (r >= 0)
        r = AbsFile_seek(mb, 0, 0);
    return r;
}

int32_t copyOut(McVcf *s, void *buf, int32_t size, bool fromStart) {
    if (!s->readBuf)
        return DV_E_STATE;
    if (!buf || size < 0)
        return DV_E_ARG;
    if (fromStart) {
        int32_t r = AbsFile_seek(s->readBuf, 0, 0);
        if (r < 0)
            return r;
    }
    return size == 0 ? 0 : AbsFile_read(s->readBuf, buf, size);
}

// ---- the slots ----

int32_t getStor(McVcf *, int32_t *stor) {
    if (stor)
        *stor = 2;
    return 0;
}

int32_t setStor(McVcf *, int32_t stor) { return stor == 0 || stor == 2 ? 0 : DV_E_UNSUPPORTED; }

int32_t getCaps(McVcf *s, int32_t *caps) {
    int32_t code = 0;
    if (has(s, MC_ACCESS_WHOLE))
        code = kCapsWhole;
    if (has(s, MC_ACCESS_INDEX | MC_ACCESS_LUID))
        code |= kCapsRecords;
    if (caps)
        *caps = code;
    return 0;
}

int32_t getStat(McVcf *s, int32_t *total, int32_t *used, int32_t *first, int32_t *last) {
    // Read into a scratch record: a read that fails half-way must not leave the store believing
    // the handset offers nothing (the information is not read again on reconnect).
    std::vector<McFieldDesc> fields(static_cast<size_t>(s->info.fieldCapacity));
    McStoreInfo fresh = s->info;
    fresh.fields = fields.empty() ? nullptr : fields.data();
    int32_t r = McClt_getInfo(s->clt, MC_KIND_PB, &fresh);
    if (r < 0)
        return r;
    if (fresh.fieldCount > 0)
        std::memcpy(s->info.fields, fresh.fields, static_cast<size_t>(fresh.fieldCount) * sizeof(McFieldDesc));
    fresh.fields = s->info.fields;
    s->info = fresh;
    // Maximum-Records is -1 for "*": the size worked out from the counts is the store's size.
    int32_t t = s->map ? StrMap_count(s->map) : sizeOf(s);
    if (total)
        *total = t;
    if (used)
        *used = s->info.totalRecords;
    if (first)
        *first = 0;
    if (last)
        *last = t > 0 ? t - 1 : -1;
    return 0;
}

int32_t readNext(McVcf *s, int32_t *index, int32_t first) {
    if (!has(s, MC_ACCESS_WHOLE))
        return DV_E_UNSUPPORTED;
    int32_t r = freshBuf(s->readBuf);
    if (r < 0)
        return r;
    int32_t n = 0;
    r = McClt_read2(s->clt, MC_KIND_PB, &n, s->readBuf, first);
    if (r <= 0) {
        dropBuf(s->readBuf);
        return r;
    }
    int32_t pos = n;
    if (has(s, MC_ACCESS_LUID)) {
        char luid[kLuidWidth];
        r = luidOf(s->readBuf, luid);
        if (r < 0) {
            dropBuf(s->readBuf);
            return r;
        }
        if (StrMap_uadd(s->map, luid, &pos) < 0) {
            dropBuf(s->readBuf);
            return DV_E_FAIL;
        }
        Stdout_printf("map-tab-size=%d\n", StrMap_used(s->map));
    } else {
        AbsFile_seek(s->readBuf, 0, 0);
    }
    if (index)
        *index = pos;
    return 1;
}

int32_t readAt(McVcf *s, int32_t index) {
    if (!has(s, MC_ACCESS_INDEX | MC_ACCESS_LUID))
        return DV_E_UNSUPPORTED;
    const char *id = nullptr;
    if (has(s, MC_ACCESS_LUID)) {
        id = StrMap_get(s->map, index);
        if (!id) {
            dropBuf(s->readBuf);
            return 0; // an empty position
        }
    }
    int32_t r = freshBuf(s->readBuf);
    if (r < 0)
        return r;
    r = id ? McClt_read4(s->clt, MC_KIND_PB, id, s->readBuf) : McClt_read3(s->clt, MC_KIND_PB, index, s->readBuf);
    if (r < 0) {
        dropBuf(s->readBuf);
        return r;
    }
    AbsFile_seek(s->readBuf, 0, 0);
    return 1;
}

int32_t beginWrite(McVcf *s, int32_t index, int32_t isNew) {
    bool fresh = isNew != 0 || index < 0; // a negative position asks for the first free one
    if (!has(s, MC_ACCESS_INDEX | MC_ACCESS_LUID) || (fresh && !has(s, MC_ACCESS_LUID)))
        return DV_E_UNSUPPORTED;
    if (!fresh && s->map && index >= StrMap_count(s->map))
        return DV_E_ARG;
    int32_t r = freshBuf(s->writeBuf);
    if (r < 0)
        return r;
    s->writePos = index;
    s->writeNew = fresh ? 1 : 0;
    return 0;
}

int32_t writeData(McVcf *s, const void *buf, int32_t len) {
    if (!s->writeBuf)
        return DV_E_STATE;
    if (len < 0 || (len > 0 && !buf))
        return DV_E_ARG;
    int32_t r = AbsFile_write(s->writeBuf, buf, len);
    if (r < 0 && r != DV_E_FULL)
        return r;
    return r == len ? len : DV_E_ARG;
}

int32_t commit(McVcf *s, int32_t *index) {
    if (!s->writeBuf)
        return DV_E_STATE;
    AbsFile *data = s->writeBuf;
    s->writeBuf = nullptr; // one commit per write
    int32_t r;
    int32_t pos = s->writePos;
    if (!has(s, MC_ACCESS_LUID)) {
        r = has(s, MC_ACCESS_INDEX) ? McClt_write3(s->clt, MC_KIND_PB, pos, data) : DV_E_UNSUPPORTED;
    } else {
        const char *id = s->writeNew ? nullptr : StrMap_get(s->map, pos);
        if (!id) {
            if (StrMap_used(s->map) >= StrMap_count(s->map)) {
                r = DV_E_FULL;
            } else {
                StrBuf *newId = StrBuf_new(kLuidWidth);
                r = newId ? McClt_insert4(s->clt, MC_KIND_PB, data, newId, nullptr, nullptr) : DV_E_NOMEM;
                if (r >= 0) {
                    int32_t n = StrBuf_len(newId);
                    if (n < 1 || n > MC_LUID_MAX || std::strlen(StrBuf_buf(newId)) != static_cast<size_t>(n))
                        r = DV_E_MALFORMED; // stored on the handset, but not under an id we can keep
                    else if (s->writeNew)
                        r = StrMap_add(s->map, StrBuf_buf(newId), &pos) < 0 ? DV_E_FAIL : 0;
                    else
                        r = StrMap_set(s->map, pos, StrBuf_buf(newId)) < 0 ? DV_E_FAIL : 0;
                }
                StrBuf_delete(newId);
            }
        } else {
            r = McClt_write4(s->clt, MC_KIND_PB, id, 0, data, nullptr, nullptr);
        }
    }
    MemBuf_delete(data);
    if (r < 0)
        return r;
    if (index)
        *index = pos;
    return pos;
}

int32_t del(McVcf *s, int32_t index) {
    if (has(s, MC_ACCESS_LUID)) {
        const char *id = StrMap_get(s->map, index);
        if (!id)
            return DV_E_NORECORD;
        int32_t r = McClt_clear4(s->clt, MC_KIND_PB, id, 0, 1, nullptr, nullptr);
        if (r < 0)
            return r;
        StrMap_del(s->map, index);
        return 0;
    }
    return has(s, MC_ACCESS_INDEX) ? McClt_clear3(s->clt, MC_KIND_PB, index) : DV_E_UNSUPPORTED;
}

int32_t delAll(McVcf *s) {
    if (!has(s, MC_ACCESS_WHOLE))
        return DV_E_UNSUPPORTED;
    int32_t r = McClt_clear2(s->clt, MC_KIND_PB);
    if (r >= 0 && s->map)
        StrMap_clear(s->map);
    return r;
}

// ---- slot wrappers: the object check, the registry switch and no exception out ----

template <typename Fn>
int32_t run(McPbItf *itf, bool talks, Fn fn) noexcept {
    try {
        McVcf *s = objOf(itf);
        if (!s)
            return DV_E_ARG;
        if (talks) {
            int32_t r = prepare(s);
            if (r < 0)
                return r;
        }
        return fn(s);
    } catch (...) {
        return DV_E_FAIL;
    }
}

int32_t slotGetStor(McPbItf *itf, int32_t *stor) {
    return run(itf, false, [&](McVcf *s) { return getStor(s, stor); });
}
int32_t slotSetStor(McPbItf *itf, int32_t stor) {
    return run(itf, false, [&](McVcf *s) { return setStor(s, stor); });
}
int32_t slotGetCaps(McPbItf *itf, int32_t *caps) {
    return run(itf, true, [&](McVcf *s) { return getCaps(s, caps); });
}
int32_t slotGetStat(McPbItf *itf, int32_t, int32_t *total, int32_t *used, int32_t *first, int32_t *last) {
    return run(itf, true, [&](McVcf *s) { return getStat(s, total, used, first, last); });
}
int32_t slotReadNext(McPbItf *itf, int32_t, int32_t *index, int32_t first) {
    return run(itf, true, [&](McVcf *s) { return readNext(s, index, first); });
}
int32_t slotReadData(McPbItf *itf, void *buf, int32_t size) {
    return run(itf, false, [&](McVcf *s) { return copyOut(s, buf, size, false); });
}
int32_t slotReadAt(McPbItf *itf, int32_t, int32_t index) {
    return run(itf, true, [&](McVcf *s) { return readAt(s, index); });
}
int32_t slotReadDataAgain(McPbItf *itf, void *buf, int32_t size) {
    return run(itf, false, [&](McVcf *s) { return copyOut(s, buf, size, true); });
}
int32_t slotBeginWrite(McPbItf *itf, int32_t, int32_t index, int32_t isNew) {
    return run(itf, true, [&](McVcf *s) { return beginWrite(s, index, isNew); });
}
int32_t slotWriteData(McPbItf *itf, const void *buf, int32_t len) {
    return run(itf, false, [&](McVcf *s) { return writeData(s, buf, len); });
}
int32_t slotCommit(McPbItf *itf, int32_t *index) {
    return run(itf, true, [&](McVcf *s) { return commit(s, index); });
}
int32_t slotDel(McPbItf *itf, int32_t, int32_t index) {
    return run(itf, true, [&](McVcf *s) { return del(s, index); });
}
int32_t slotDelAll(McPbItf *itf) {
    return run(itf, true, [&](McVcf *s) { return delAll(s); });
}
int32_t slotFieldInfo(McPbItf *itf, const McFieldDesc **table, int32_t *count) {
    return run(itf, true, [&](McVcf *s) {
        if (table)
            *table = s->info.fields;
        if (count)
            *count = s->info.fieldCount;
        return 0;
    });
}
// The reserved slots switch like the others: only 1, 2, 6, 8 and 10 never touch the link.
int32_t slotZero(McPbItf *itf) {
    return run(itf, true, [](McVcf *) { return 0; });
}
int32_t slotNone(McPbItf *itf) {
    return run(itf, true, [](McVcf *) { return static_cast<int32_t>(DV_E_UNSUPPORTED); });
}

const McPbItf kSlots = {nullptr,        slotGetStor,   slotSetStor,     slotGetCaps,  slotGetStat, slotReadNext,
                        slotReadData,   slotReadAt,    slotReadDataAgain, slotBeginWrite, slotWriteData, slotCommit,
                        slotDel,        slotDelAll,    slotFieldInfo,   slotZero,     slotZero,    slotNone};

} // namespace

extern "C" DV_API McVcf *McVcf_new(void *record, ItfMng *mng, CnsSock *sock, int32_t defaultSize,
                                   int32_t fieldCapacity) {
    if (!sock)
        return nullptr;
    auto *s = static_cast<McVcf *>(record ? record : std::calloc(1, sizeof(McVcf)));
    if (!s)
        return nullptr;
    std::memset(s, 0, sizeof *s);
    s->magic = MC_VCF_MAGIC;
    s->owned = record ? 0 : 1;
    s->itf = kSlots;
    s->itf.self = s;
    s->mng = mng;
    s->entry = -1;
    s->sock = sock;
    s->defaultSize = defaultSize > 0 ? defaultSize : 0;
    s->clt = McClt_new(sock, kRxSize, kTxLimit);
    if (fieldCapacity > 0)
        s->info.fields = static_cast<McFieldDesc *>(std::calloc(static_cast<size_t>(fieldCapacity), sizeof(McFieldDesc)));
    s->info.fieldCapacity = s->info.fields ? fieldCapacity : 0;
    McInfo_clear(&s->info);
    bool ok = s->clt && (fieldCapacity <= 0 || s->info.fields);
    if (ok && mng) {
        s->entry = ItfMng_reg(mng, s, enter, leave);
        ok = s->entry >= 0;
        if (!ok)
            s->entry = -1;
    }
    if (!ok) {
        McVcf_delete(s);
        return nullptr;
    }
    return s;
}

extern "C" DV_API void McVcf_delete(McVcf *s) {
    if (!s || s->magic != MC_VCF_MAGIC)
        return;
    leave(s);
    if (s->entry >= 0)
        ItfMng_unreg(s->mng, s->entry);
    McClt_delete(s->clt);
    std::free(s->info.fields);
    StrMap_delete(s->map);
    MemBuf_delete(s->readBuf);
    MemBuf_delete(s->writeBuf);
    bool owned = s->owned != 0;
    s->magic = 0;
    if (owned)
        std::free(s);
}
