// Process attach and detach of the library.

#include "attach.h"
#include "vos/vos_int.h"

namespace {
bool g_attached = false;
}

extern "C" void Dravnik_attach(void) {
    if (g_attached)
        Dravnik_detach();
    Vos_attach();
    g_attached = true;
}

extern "C" void Dravnik_detach(void) {
    if (!g_attached)
        return;
    Vos_detach();
    g_attached = false;
}
