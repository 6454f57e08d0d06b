// The mode switch in front of the driver's interface operations.

#include "itf.h"

extern "C" int32_t PlItf_enter(const void *itf) {
    const auto *head = pl::self<const PlItfHead>(itf);
    // A slot reached through a deleted object (magic cleared by its _delete) must not drive the
    // handset with whatever the record still holds.
    if (!head || head->magic == 0)
        return DV_E_ARG;
    if (!head->mng)
        return 0;
    return ItfMng_exec(head->mng, head->entry);
}
