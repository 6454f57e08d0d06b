// Process attach and detach of the library.

#include "attach.h"
#include "dv_charset.h"
#include "vos/vos_int.h"

namespace {
bool g_attached = false;
}

extern "C" void Dravnik_attach(void) {
    if (g_attached)
        Dravnik_detach();
    Vos_attach();
    CsUtil_init(); // the library works without libquorl.so: ASCII text only
    g_attached = true;
}

extern "C" void Dravnik_detach(void) {
    if (!g_attached)
        return;
    CsUtil_cleanup();
    Vos_detach();
    g_attached = false;
}
