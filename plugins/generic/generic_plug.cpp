// Our model plug-in for the manufacturer "Other": it hands out the generic driver's information,
// message and phone-book objects over whatever connection the generic driver opened. Its "MISC"
// rows make it the fallback for any handset that no other plug-in names.

#include "ms_mng.h"
#include "ms_plug.h"
#include "oth_info.h"
#include "oth_pb.h"
#include "oth_sms.h"

#include "dv_result.h"
#include "dv_util.h"

#define PLUG_API extern "C" __attribute__((visibility("default")))

namespace {

const PlugSupp kModels[] = {
    {"Other", "MISC", ""},
    // The catalogue's last resort is the first "MISC" row of the manufacturer "MISC".
    {"MISC", "MISC", ""},
};

// One connection at a time: the program loads the plug-in per connection.
struct Binding {
    ItfMng *mng = nullptr;
    OthInfo *info = nullptr;
    OthSms *sms = nullptr;
    OthPb *pb = nullptr;
} g_bound;

void release() {
    if (g_bound.pb)
        OthPb_delete(g_bound.pb);
    if (g_bound.sms)
        OthSms_delete(g_bound.sms);
    if (g_bound.info)
        OthInfo_delete(g_bound.info);
    ItfMng_delete(g_bound.mng);
    g_bound = Binding{};
}

} // namespace

PLUG_API int32_t MsPlug_getVer(int32_t *major, int32_t *minor, int32_t *build) {
    if (major)
        *major = 1;
    if (minor)
        *minor = 0;
    if (build)
        *build = 0;
    return 0;
}

PLUG_API int32_t MsPlug_getSupp(const char **man, const PlugSupp **table) {
    if (man)
        *man = "Other";
    if (table)
        *table = kModels;
    return static_cast<int32_t>(sizeof kModels / sizeof kModels[0]);
}

PLUG_API int32_t MsPlug_init(ConnHandle *conn) {
    if (!conn || conn->magic != MS_CONN_MAGIC || !conn->te)
        return DV_E_ARG;
    release(); // a second init without cleanup rebinds rather than leaking the first objects
    // The three objects share one registry, so the handset is switched between phone-book and
    // message mode only when the other object was used last.
    g_bound.mng = ItfMng_new(4);
    if (!g_bound.mng)
        return DV_E_NOMEM;
    g_bound.info = OthInfo_new(nullptr, g_bound.mng, conn->te);
    g_bound.sms = OthSms_new(nullptr, g_bound.mng, conn->te);
    g_bound.pb = OthPb_new(nullptr, g_bound.mng, conn->te);
    if (!g_bound.info || !g_bound.sms || !g_bound.pb) {
        release();
        return DV_E_NOMEM;
    }
    return 0;
}

PLUG_API int32_t MsPlug_getItf(int32_t id, void **itf) {
    if (!itf)
        return DV_E_ARG;
    *itf = nullptr;
    if (!g_bound.mng)
        return DV_E_NOTCONN;
    switch (id) {
    case MS_ITF_INFO:
        *itf = &g_bound.info->itf;
        return 0;
    case MS_ITF_SMS:
        *itf = &g_bound.sms->itf;
        return 0;
    case MS_ITF_PB:
        *itf = &g_bound.pb->itf;
        return 0;
    default:
        // No IrMC phone book and no further books: the program treats these as absent.
        return DV_E_UNSUPPORTED;
    }
}

PLUG_API int32_t MsPlug_cleanup(void) {
    release();
    return 0;
}
