// The two OBEX self-tests: a card pushed to the inbox, and a folder listing fetched from the
// folder-browsing service and kept in "fld-list.log".

#include "obex/obex_int.h"

#include "dv_log.h"
#include "dv_result.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kTestSize = 208;

const char kSampleCard[] = "BEGIN:VCARD\r\n"
                           "VERSION:2.1\r\n"
                           "N:Tester;Obex\r\n"
                           "TEL;CELL:+15550100\r\n"
                           "END:VCARD\r\n";

// The folder-browsing service's published UUID F9EC7BC4-953C-11D2-984E-525400DC9E09.
const uint8_t kFolderBrowsing[16] = {0xF9, 0xEC, 0x7B, 0xC4, 0x95, 0x3C, 0x11, 0xD2,
                                     0x98, 0x4E, 0x52, 0x54, 0x00, 0xDC, 0x9E, 0x09};

const char kFolderListing[] = "x-obex/folder-listing";

// "test.vcf" as UCS-2 big-endian, without the terminating unit.
int32_t asciiToUcs2(const char *s, uint8_t *out, int32_t room) {
    int32_t n = 0;
    for (; s[n] && 2 * (n + 1) <= room; ++n) {
        out[2 * n] = 0;
        out[2 * n + 1] = static_cast<uint8_t>(s[n]);
    }
    return 2 * n;
}

int32_t openAndConnect(CnsSock *sock, ObxClt **out, const SkBuff *headers) {
    int32_t r = sock->open(sock);
    if (r < 0)
        return r;
    ObxClt *clt = ObxClt_new(sock, kTestSize, kTestSize);
    if (!clt)
        return DV_E_NOMEM;
    r = ObxClt_conn(clt, 0, headers);
    if (r < 0) {
        ObxClt_delete(clt);
        return r;
    }
    *out = clt;
    return 0;
}

int32_t pushCard(ObxClt *clt) {
    uint8_t name[32];
    int32_t nameLen = asciiToUcs2("test.vcf", name, sizeof name);
    const auto size = static_cast<uint32_t>(sizeof kSampleCard - 1);
    const uint8_t length[4] = {static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                               static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)};
    int32_t r = ObxClt_txReqBeg(clt, OBX_OP_PUT);
    if (r >= 0)
        r = ObxClt_txReqHdr(clt, OBX_HDR_NAME, name, nameLen);
    if (r >= 0)
        r = ObxClt_txReqHdr(clt, OBX_HDR_LENGTH, length, 4);
    if (r >= 0)
        r = ObxClt_txReqHdr(clt, OBX_HDR_BODY, kSampleCard, static_cast<int32_t>(size));
    if (r >= 0)
        r = ObxClt_txReqEnd(clt);
    if (r >= 0)
        r = ObxClt_rxRspWhole(clt);
    return r;
}

int32_t fetchListing(ObxClt *clt) {
    // IrOBEX: the Type header is null-terminated ASCII.
    int32_t r = ObxClt_txReqBeg(clt, OBX_OP_GET);
    if (r >= 0)
        r = ObxClt_txReqHdr(clt, OBX_HDR_TYPE, kFolderListing, static_cast<int32_t>(sizeof kFolderListing));
    if (r >= 0)
        r = ObxClt_txReqEnd(clt);
    if (r < 0)
        return r;
    std::FILE *f = std::fopen("fld-list.log", "wb");
    if (!f) {
        ObxClt_rxRspWhole(clt);
        return DV_E_NOFILE;
    }
    int32_t id = 0, length = 0;
    const uint8_t *value = nullptr;
    bool writeFailed = false;
    while ((r = ObxClt_rxRspHdr(clt, &id, &value, &length)) == 1) {
        if ((id == OBX_HDR_BODY || id == OBX_HDR_END_OF_BODY) && length > 0 &&
            std::fwrite(value, 1, static_cast<size_t>(length), f) != static_cast<size_t>(length))
            writeFailed = true;
    }
    if (std::fclose(f) != 0)
        writeFailed = true;
    if (r < 0)
        return r;
    return writeFailed ? DV_E_NOFILE : 0;
}

} // namespace

extern "C" DV_API int32_t ObxIbxClt_test(CnsSock *sock) {
    if (!sock)
        return DV_E_ARG;
    ObxClt *clt = nullptr;
    int32_t r = openAndConnect(sock, &clt, nullptr);
    if (r < 0) {
        Stdout_printf("ObxIbxClt_test: connect fail (%d)\n", r);
        return r;
    }
    r = pushCard(clt);
    Stdout_printf("ObxIbxClt_test: put test.vcf (%d)\n", r);
    int32_t d = ObxClt_disc(clt, nullptr);
    ObxClt_delete(clt);
    return r < 0 ? r : d;
}

extern "C" DV_API int32_t ObxFldClt_test(CnsSock *sock) {
    if (!sock)
        return DV_E_ARG;
    SkBuff *target = CFI_dev_alloc_skb(32);
    if (!target)
        return DV_E_NOMEM;
    ObxHdr_put(target, OBX_HDR_TARGET, kFolderBrowsing, sizeof kFolderBrowsing);
    ObxClt *clt = nullptr;
    int32_t r = openAndConnect(sock, &clt, target);
    CFI_dev_kfree_skb(target);
    if (r < 0) {
        Stdout_printf("ObxFldClt_test: connect fail (%d)\n", r);
        return r;
    }
    r = fetchListing(clt);
    Stdout_printf("ObxFldClt_test: folder listing (%d)\n", r);
    int32_t d = ObxClt_disc(clt, nullptr);
    ObxClt_delete(clt);
    return r < 0 ? r : d;
}
