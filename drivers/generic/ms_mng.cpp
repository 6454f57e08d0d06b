// The driver's entry points: catalogue answers, connect, link test and disconnect.

#include "ms_mng.h"

#include <climits>
#include <cstring>
#include <new>
#include <unordered_set>

#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"
#include "gmc_te.h"
#include "ms_mng_int.h"
#include "pl_export.h"

namespace {

constexpr int32_t kRingSize = 2048;
constexpr int32_t kLinkTestMs = 1000;
constexpr int32_t kLinkTestTries = 3;
// Before the first command the line must stay quiet this long: what a handset sends as the port
// opens (a reply left from an earlier session, a start-up banner) is no reply to our commands.
int32_t gConnectQuietMs = 50;
// ... and the drain stops after this much, for a handset that never stops talking.
constexpr int32_t kConnectDrainMax = 16 * 1024;

const ConnSupp kSupp[] = {
    {"Cable", "any", "57600,38400,19200,9600"},
    {"IrDA", "", ""},
    {nullptr, nullptr, nullptr},
};
constexpr int32_t kSuppRows = 2;

// Handles that MsMng_connect made and MsMng_disconnect has not yet freed. A repeated disconnect
// must answer -81 without touching the freed record, and the magic word alone cannot tell once
// the memory is gone. Connects and disconnects come from one thread at a time.
std::unordered_set<const ConnHandle *> &liveHandles() {
    static std::unordered_set<const ConnHandle *> live;
    return live;
}

bool isOpen(const ConnHandle *h) {
    return h && liveHandles().count(h) != 0 && h->magic == MS_CONN_MAGIC;
}

enum class Kind { Unknown, Cable, IrDA };

Kind kindOf(const ConnCfg *cfg) {
    if (!cfg || !cfg->type)
        return Kind::Unknown;
    if (StrUtil_stricmp(cfg->type, "Cable") == 0)
        return Kind::Cable;
    if (StrUtil_stricmp(cfg->type, "IrDA") == 0)
        return Kind::IrDA;
    return Kind::Unknown;
}

// Leading decimal digits of s, capped at INT32_MAX; *any tells whether there was a digit.
int32_t leadingNumber(const char *s, bool *any) {
    int64_t n = 0;
    *any = false;
    for (; *s >= '0' && *s <= '9'; ++s) {
        *any = true;
        n = n * 10 + (*s - '0');
        if (n > INT32_MAX)
            return INT32_MAX;
    }
    return static_cast<int32_t>(n);
}

// The link test with its log lines; the pre-hook runs first (a plug-in may wake the handset there).
int32_t linkAlive(ConnHandle *h) {
    Stdout_printf("MsMng_isConnected BEG...\n");
    if (h->preFn)
        h->preFn(h->preCtx);
    if (AtTe_testLink(h->te, kLinkTestMs, kLinkTestTries) < 0) {
        Stdout_printf("MsMng_isConnected END (link disconnected)\n");
        return 0;
    }
    Stdout_printf("MsMng_isConnected END (link alived)\n");
    return 1;
}

// Reads and drops what arrives until the line has been quiet for gConnectQuietMs.
void drainUntilQuiet(CnsSock *sock) {
    int32_t old = 0;
    if (gConnectQuietMs <= 0 || CnsSock_getOpt(sock, CNSSOCK_SO_RCVTIMEO, &old) < 0 ||
        CnsSock_setOpt(sock, CNSSOCK_SO_RCVTIMEO, gConnectQuietMs) < 0)
        return;
    char scratch[256];
    int32_t dropped = 0;
    int32_t r = 0;
    while (dropped < kConnectDrainMax && (r = CnsSock_recv(sock, scratch, sizeof scratch)) > 0)
        dropped += r;
    CnsSock_setOpt(sock, CNSSOCK_SO_RCVTIMEO, old);
    if (dropped > 0)
        Stdout_printf("MsMng_connect: %d bytes on the line dropped\n", static_cast<int>(dropped));
}

// Deletes the terminal, closes and deletes the transport and frees the record. Closing removes
// the transport's poll callback and frees the port for the next open.
void release(ConnHandle *h) {
    AtTe_delete(h->te);
    h->te = nullptr;
    if (h->sock) {
        CnsSock_close(h->sock);
        CnsSock_delete(h->sock);
        h->sock = nullptr;
    }
    h->magic = 0;
    if (h->owned)
        delete h;
}

CnsSock *makeTransport(Kind kind, const ConnCfg *cfg) {
    const int32_t baud = pl::parseBaud(cfg->baud);
    if (kind == Kind::IrDA)
        return CnsIrda_toSock(CnsIrda_new(baud, kRingSize, kRingSize));
    const pl::PortChoice port = pl::choosePort(cfg->port);
    Cns232 *t = port.com > 0 || !port.path ? Cns232_new(port.com, baud, kRingSize, kRingSize)
                                           : Cns232_newPath(port.path, baud, kRingSize, kRingSize);
    return Cns232_toSock(t);
}

// Manufacturer and model pair. A manufacturer the handset will not tell is left empty (the
// connection manager then falls back to the "Other" driver); a link fault ends the connect.
int32_t readIdentity(AtTe *te, PhoneIdent *ident) {
    std::memset(ident, 0, sizeof *ident);
    int32_t rc = GmcTe_getMan(te, ident->Man, sizeof ident->Man);
    if (rc < 0) {
        ident->Man[0] = '\0';
        if (NetUtil_isFaultErr(rc))
            return rc;
    }
    rc = GmcTe_getModelPair(te, ident->ModelA, sizeof ident->ModelA, ident->ModelB, sizeof ident->ModelB);
    if (rc < 0)
        return rc;
    Stdout_printf("%s,%s\n", ident->ModelA, ident->ModelB);
    return 0;
}

int32_t connectImpl(ConnHandle **out, const ConnCfg *cfg, PhoneIdent *ident) {
    Stdout_printf("MsMng_connect beg...\n");
    if (out)
        *out = nullptr;
    const Kind kind = kindOf(cfg);
    // Refuse before opening anything: with nowhere to return the handle, an opened port would stay
    // held and every later open of it would fail.
    if (!out || kind == Kind::Unknown) {
        if (ident)
            std::memset(ident, 0, sizeof *ident);
        Stdout_printf("MsMng_connect ERR_END (%d)\n", DV_E_ARG);
        return DV_E_ARG;
    }

    ConnHandle *h = new (std::nothrow) ConnHandle{};
    if (!h) {
        Stdout_printf("MsMng_connect ERR_END (%d)\n", DV_E_NOMEM);
        return DV_E_NOMEM;
    }
    h->magic = MS_CONN_MAGIC;
    h->owned = 1;

    int32_t rc = 0;
    h->sock = makeTransport(kind, cfg);
    if (!h->sock)
        rc = DV_E_NOMEM;
    if (rc == 0)
        rc = CnsSock_open(h->sock);
    if (rc == 0) {
        drainUntilQuiet(h->sock);
        h->te = AtTe_new(h->sock);
        if (!h->te)
            rc = DV_E_NOMEM;
    }
    if (rc == 0 && !linkAlive(h))
        rc = DV_E_REFUSED;
    if (rc == 0 && ident)
        rc = readIdentity(h->te, ident);
    if (rc == 0) {
        try {
            liveHandles().insert(h);
        } catch (...) {
            rc = DV_E_NOMEM;
        }
    }
    if (rc < 0) {
        if (ident)
            std::memset(ident, 0, sizeof *ident);
        release(h);
        Stdout_printf("MsMng_connect ERR_END (%d)\n", rc);
        return rc;
    }
    *out = h;
    Stdout_printf("MsMng_connect OK_END\n");
    return 0;
}

} // namespace

namespace pl {

int32_t setConnectQuietMs(int32_t ms) {
    const int32_t old = gConnectQuietMs;
    gConnectQuietMs = ms;
    return old;
}

PortChoice choosePort(const char *text) {
    if (!text)
        return {1, nullptr};
    if (text[0] == '/')
        return {0, text};
    if (StrUtil_strincmp(text, "COM", 3) == 0) {
        bool any = false;
        return {leadingNumber(text + 3, &any), nullptr};
    }
    return {1, nullptr};
}

int32_t parseBaud(const char *text) {
    if (!text)
        return -1;
    while (*text == ' ' || *text == '\t')
        ++text;
    bool any = false;
    int32_t baud = leadingNumber(text, &any);
    // 0 would be B0, which hangs the line up; the connection search passes an empty baud text.
    return any && baud > 0 ? baud : -1;
}

} // namespace pl

extern "C" {

PL_API int32_t MsMng_getVer(int32_t *major, int32_t *minor, int32_t *build) {
    if (major)
        *major = 1;
    if (minor)
        *minor = 2;
    if (build)
        *build = 0;
    return 0;
}

PL_API int32_t MsMng_getSupp(const char **man, const ConnSupp **supp) {
    if (man)
        *man = "Other";
    if (supp)
        *supp = kSupp;
    return kSuppRows;
}

PL_API int32_t MsMng_connect(ConnHandle **out, const ConnCfg *cfg, PhoneIdent *ident) {
    try {
        return connectImpl(out, cfg, ident);
    } catch (...) {
        return DV_E_FAIL;
    }
}

PL_API int32_t MsMng_disconnect(ConnHandle *h) {
    try {
        if (!isOpen(h))
            return DV_E_ARG;
        Stdout_printf("MsMng_disconnect BEG...\n");
        liveHandles().erase(h);
        release(h);
        Stdout_printf("MsMng_disconnect END\n");
        return 0;
    } catch (...) {
        return DV_E_FAIL;
    }
}

PL_API int32_t MsMng_isConnected(ConnHandle *h) {
    try {
        return isOpen(h) ? linkAlive(h) : 0;
    } catch (...) {
        return 0;
    }
}

PL_API int32_t MsMng_setPreHandle(ConnHandle *h, void *ctx, MsMngPreHookFn fn) {
    try {
        if (!isOpen(h))
            return DV_E_ARG;
        h->preCtx = ctx;
        h->preFn = fn;
        return 0;
    } catch (...) {
        return DV_E_FAIL;
    }
}

PL_API int32_t MsMng_getPreHandle(ConnHandle *h, void **ctx, MsMngPreHookFn *fn) {
    try {
        if (!isOpen(h))
            return DV_E_ARG;
        if (ctx)
            *ctx = h->preCtx;
        if (fn)
            *fn = h->preFn;
        return 0;
    } catch (...) {
        return DV_E_FAIL;
    }
}

} // extern "C"
