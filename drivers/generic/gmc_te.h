/*
 * gmc_te.h — the driver's identity and character-set queries over an AT terminal.
 *
 * The exported GmcTe_* queries are declared in ms_mng.h (plug-ins use them too); this header adds
 * what the driver's own objects share: the error prefix of 3GPP 27.007 replies and the model pair
 * that both the connect and the information object read.
 *
 * Buffers and the terminal stay the caller's. Result codes as in ms_mng.h.
 * Runs on the caller's thread and takes no lock.
 */
#ifndef PL_GMC_TE_H
#define PL_GMC_TE_H

#include "dv_at.h"
#include "ms_mng.h"
#include "pl_export.h"

PL_BEGIN_DECLS

/* The extended-error prefix of 27.007 commands ("+CME ERROR: <n>" under +CMEE=1). */
#define GMC_CME "+CME"

/* The model pair. Each given buffer is emptied first. With no buffer, "+CGMM" alone (its value is
 * dropped). Otherwise "+GMM" into the first given buffer; a link fault ends there; when "+GMM"
 * answered and a second buffer is given, "+CGMM" fills the second; when "+GMM" was refused,
 * "+CGMM" fills the first. Answers the result of the last query (a length or an error). */
int32_t GmcTe_getModelPair(AtTe *te, char *buf1, int32_t size1, char *buf2, int32_t size2);

PL_END_DECLS

#endif
