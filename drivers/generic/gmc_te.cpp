// Identity and character-set queries of 3GPP 27.007 over the AT terminal.

#include "gmc_te.h"

#include <cstdio>
#include <cstring>

#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"

namespace {

// +CSCS names are short ("GSM", "UCS2", "8859-1"); anything longer is not a character set.
constexpr size_t kCsNameMax = 24;
constexpr int32_t kCsListScratch = 256;

int32_t query(AtTe *te, const char *cmd, const char *prefix, char *buf, int32_t size) {
    if (!te || !buf || size <= 0)
        return DV_E_ARG;
    return AtTe_getAny(te, cmd, prefix, GMC_CME, buf, size, 0);
}

// Identity texts without the blanks some handsets pad them with ("MODEL X  "): the catalogue
// matches models by their text. The terminal already drops the leading ones.
int32_t trimEnd(char *buf, int32_t n) {
    while (n > 0 && (buf[n - 1] == ' ' || buf[n - 1] == '\t'))
        buf[--n] = '\0';
    return n;
}

int32_t identity(AtTe *te, const char *cmd, char *buf, int32_t size) {
    const int32_t n = query(te, cmd, nullptr, buf, size);
    return n > 0 ? trimEnd(buf, n) : n;
}

void clear(char *buf, int32_t size) {
    if (buf && size > 0)
        buf[0] = '\0';
}

} // namespace

extern "C" {

PL_API int32_t GmcTe_getMan(AtTe *te, char *buf, int32_t size) { return identity(te, "+CGMI", buf, size); }
PL_API int32_t GmcTe_getModel(AtTe *te, char *buf, int32_t size) { return identity(te, "+CGMM", buf, size); }
PL_API int32_t GmcTe_getVer(AtTe *te, char *buf, int32_t size) { return identity(te, "+CGMR", buf, size); }
PL_API int32_t GmcTe_getImei(AtTe *te, char *buf, int32_t size) { return identity(te, "+CGSN", buf, size); }
PL_API int32_t GmcTe_getImsi(AtTe *te, char *buf, int32_t size) { return identity(te, "+CIMI", buf, size); }

PL_API int32_t GmcTe_getCs(AtTe *te, char *buf, int32_t size) {
    int32_t n = query(te, "+CSCS?", "+CSCS:", buf, size);
    if (n <= 0)
        return n;
    // +CSCS: "UCS2" — the quotes are the reply's syntax, not part of the name.
    int32_t from = 0;
    int32_t to = n;
    if (buf[0] == '"') {
        from = 1;
        if (to > 1 && buf[to - 1] == '"')
            --to;
    }
    int32_t len = to - from;
    std::memmove(buf, buf + from, static_cast<size_t>(len));
    buf[len] = '\0';
    return len;
}

PL_API int32_t GmcTe_testCs(AtTe *te, char *buf, int32_t size) {
    if (!te || !buf || size <= 0)
        return DV_E_ARG;
    buf[0] = '\0';
    char scratch[kCsListScratch];
    int32_t n = query(te, "+CSCS=?", "+CSCS:", scratch, kCsListScratch);
    if (n < 0)
        return n;
    return StrUtil_strxfrm(buf, scratch, size);
}

PL_API int32_t GmcTe_setCs(AtTe *te, const char *name) {
    if (!te || !name)
        return DV_E_ARG;
    size_t len = std::strlen(name);
    if (len > kCsNameMax)
        return DV_E_ARG;
    // The name goes between quotes on the command line: a quote or a CR in it would end the
    // command early and let the rest run as another one.
    for (size_t i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '"' || c < 0x20 || c == 0x7f)
            return DV_E_ARG;
    }
    char cmd[kCsNameMax + 16];
    std::snprintf(cmd, sizeof cmd, "+CSCS=\"%s\"", name);
    return AtTe_setAny(te, cmd, GMC_CME, nullptr);
}

int32_t GmcTe_getModelPair(AtTe *te, char *buf1, int32_t size1, char *buf2, int32_t size2) {
    if (!te)
        return DV_E_ARG;
    clear(buf1, size1);
    clear(buf2, size2);
    bool has1 = buf1 && size1 > 0;
    bool has2 = buf2 && size2 > 0;
    if (!has1 && !has2) {
        char scratch[64];
        return GmcTe_getModel(te, scratch, sizeof scratch);
    }
    char *first = has1 ? buf1 : buf2;
    int32_t firstSize = has1 ? size1 : size2;
    // "+GMM" is a V.250 command, but under +CMEE=1 handsets refuse it with "+CME ERROR: <n>"
    // like any 27.007 command; without the prefix that line would be read as the model.
    int32_t r = AtTe_getAny(te, "+GMM", nullptr, GMC_CME, first, firstSize, 0);
    if (r > 0)
        r = trimEnd(first, r);
    if (r < 0) {
        if (NetUtil_isFaultErr(r))
            return r;
        first[0] = '\0';
        return GmcTe_getModel(te, first, firstSize);
    }
    if (has1 && has2)
        return GmcTe_getModel(te, buf2, size2);
    return r;
}

PL_API int32_t GmcTe_test(AtTe *te) {
    if (!te)
        return DV_E_ARG;
    char buf[128];
    struct Step {
        const char *label;
        int32_t (*fn)(AtTe *, char *, int32_t);
    };
    static const Step steps[] = {
        {"Get man: ", GmcTe_getMan},   {"Get model: ", GmcTe_getModel}, {"Get Ver: ", GmcTe_getVer},
        {"Get IMEI: ", GmcTe_getImei}, {"Get IMSI: ", GmcTe_getImsi},
    };
    auto run = [&](const char *label, int32_t r) -> int32_t {
        if (r == DV_E_IO)
            return 0; // refused by this handset: go on with the next step
        if (r < 0)
            return r;
        Stdout_printf("%s%s(%d)\n", label, buf, r);
        return 0;
    };
    for (const Step &s : steps) {
        int32_t r = run(s.label, s.fn(te, buf, sizeof buf));
        if (r < 0)
            return r;
    }
    int32_t r = GmcTe_setCs(te, "GSM");
    if (r < 0 && r != DV_E_IO)
        return r;
    Stdout_printf("Set CS: %s\n", r == 0 ? "OK" : "ERROR");
    r = run("Get CS: ", GmcTe_getCs(te, buf, sizeof buf));
    if (r < 0)
        return r;
    return run("Get CS-LIST: ", GmcTe_testCs(te, buf, sizeof buf));
}

} // extern "C"
