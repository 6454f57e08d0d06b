// The shared library's entry: attach when loaded into a process, detach when unloaded.

#include "attach.h"

__attribute__((constructor)) static void dravnikLoad() { Dravnik_attach(); }
__attribute__((destructor)) static void dravnikUnload() { Dravnik_detach(); }
