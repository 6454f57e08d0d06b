// Fuzz entry for the IrMC store information parser over any info.log text a handset may send.
// Promise on any input: a result (never a crash); the counts are -1 or non-negative; the access
// flags are one of the five the IEL values give; no more descriptions than the table holds, each
// with a known property code, a length of -1 or more and non-negative sub-field limits.

#include "dv_irmc.h"
#include "dv_result.h"
#include "dv_stream.h"
#include "fuzz/fuzz_check.h"
#include "irmc/irmc_int.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<uint8_t> copy(data, data + size);
    AbsFile *in = AbsFileMem_new(copy.data(), static_cast<int32_t>(copy.size()), static_cast<int32_t>(copy.size()), 0);
    FUZZ_CHECK(in);
    std::vector<McFieldDesc> fields(4);
    McStoreInfo info{};
    info.fields = fields.data();
    info.fieldCapacity = static_cast<int32_t>(fields.size());
    FUZZ_CHECK(McInfo_parse(in, &info) == 0);
    AbsFileMem_delete(in);
    FUZZ_CHECK(info.maxRecords >= -1 && info.totalRecords >= -1 && info.freeRecords >= -1);
    FUZZ_CHECK(info.access == 1 || info.access == 3 || info.access == 7 || info.access == 11 || info.access == 15);
    FUZZ_CHECK(info.fieldCount >= 0 && info.fieldCount <= info.fieldCapacity);
    for (int32_t i = 0; i < info.fieldCount; ++i) {
        const McFieldDesc &d = fields[static_cast<size_t>(i)];
        FUZZ_CHECK((d.type >= 3 && d.type <= 8) || (d.type >= 10 && d.type <= 12));
        FUZZ_CHECK(d.maxLen >= -1 && d.reserved == 0);
        for (int32_t s : d.sub)
            FUZZ_CHECK(s >= 0);
    }
    return 0;
}
