// The handset identity by the generic V.250 commands (+GMI, +GMM, +GMR, +GSN), which answer with
// the bare value and no reply prefix.

#include "dv_at.h"

extern "C" DV_API int32_t GdcTe_getMan(AtTe *te, char *buf, int32_t len) {
    return AtTe_getAny(te, "+GMI", nullptr, nullptr, buf, len, 0);
}

extern "C" DV_API int32_t GdcTe_getModel(AtTe *te, char *buf, int32_t len) {
    return AtTe_getAny(te, "+GMM", nullptr, nullptr, buf, len, 0);
}

extern "C" DV_API int32_t GdcTe_getVer(AtTe *te, char *buf, int32_t len) {
    return AtTe_getAny(te, "+GMR", nullptr, nullptr, buf, len, 0);
}

extern "C" DV_API int32_t GdcTe_getSerial(AtTe *te, char *buf, int32_t len) {
    return AtTe_getAny(te, "+GSN", nullptr, nullptr, buf, len, 0);
}
