// The IrMC self-test: the phone book's information decoded into "info-dec.log" and its cards into
// "mc3rx-<n>.vcf", for looking at what a handset offers.

#include "irmc/irmc_int.h"

#include "dv_log.h"
#include "dv_result.h"

#include <cstdio>
#include <vector>

namespace {

constexpr int32_t kFieldRoom = 32;

int32_t writeInfo(const McStoreInfo &info) {
    std::FILE *f = std::fopen("info-dec.log", "wb");
    if (!f)
        return DV_E_NOFILE;
    std::fprintf(f, "Capacity: %d\r\n", info.maxRecords);
    std::fprintf(f, "Used: %d\r\n", info.totalRecords);
    std::fprintf(f, "Freed: %d\r\n", info.freeRecords);
    std::fprintf(f, "IEL: %02x\r\n", static_cast<unsigned>(info.access));
    std::fprintf(f, "VcfFieldInfo:\r\n");
    for (int32_t i = 0; i < info.fieldCount; ++i) {
        const McFieldDesc &d = info.fields[i];
        std::fprintf(f, "%d;%08x:%d [%d;%d;%d;%d;%d;%d;%d]\r\n", d.type, static_cast<unsigned>(d.flags), d.maxLen,
                     d.sub[0], d.sub[1], d.sub[2], d.sub[3], d.sub[4], d.sub[5], d.sub[6]);
    }
    return std::fclose(f) == 0 ? 0 : DV_E_NOFILE;
}

int32_t writeCard(int32_t n, AbsFile *card) {
    char name[32];
    std::snprintf(name, sizeof name, "mc3rx-%d.vcf", n);
    std::FILE *f = std::fopen(name, "wb");
    if (!f)
        return DV_E_NOFILE;
    int32_t len = MemBuf_len(card);
    bool ok = len <= 0 || std::fwrite(MemBuf_buf(card), 1, static_cast<size_t>(len), f) == static_cast<size_t>(len);
    return std::fclose(f) == 0 && ok ? 0 : DV_E_NOFILE;
}

int32_t readCards(McClt *m, const McStoreInfo &info) {
    AbsFile *card = MemBuf_new(1024, 0);
    if (!card)
        return DV_E_NOMEM;
    int32_t r = 0;
    if (info.access & MC_ACCESS_INDEX) {
        for (int32_t n = 0; r >= 0 && n < info.totalRecords; ++n) {
            MemBuf_clear(card);
            r = McClt_read3(m, MC_KIND_PB, n, card);
            if (r >= 0)
                r = writeCard(n, card);
        }
    } else if (info.access & MC_ACCESS_WHOLE) {
        int32_t n = 0;
        for (int32_t first = 1;; first = 0) {
            MemBuf_clear(card);
            r = McClt_read2(m, MC_KIND_PB, &n, card, first);
            if (r <= 0)
                break;
            r = writeCard(n, card);
            if (r < 0)
                break;
        }
    }
    MemBuf_delete(card);
    return r < 0 ? r : 0;
}

} // namespace

extern "C" DV_API int32_t McClt_test(CnsSock *sock) {
    if (!sock)
        return DV_E_ARG;
    try {
        int32_t r = sock->open(sock);
        if (r < 0)
            return r;
        McClt *m = McClt_new(sock, 0, 0);
        if (!m)
            return DV_E_NOMEM;
        std::vector<McFieldDesc> fields(kFieldRoom);
        McStoreInfo info{};
        info.fields = fields.data();
        info.fieldCapacity = kFieldRoom;
        r = McClt_conn(m);
        if (r >= 0)
            r = McClt_getInfo(m, MC_KIND_PB, &info);
        if (r >= 0)
            r = writeInfo(info);
        if (r >= 0)
            r = readCards(m, info);
        Stdout_printf("McClt_test: %d\n", r);
        if (ObxClt_isConn(McClt_obex(m)))
            McClt_disc(m);
        McClt_delete(m);
        return r;
    } catch (...) {
        return DV_E_FAIL;
    }
}
