// The print buffer behind the streams' printf slot.

#include "stream/stream_int.h"
#include "dv_log.h"
#include "dv_result.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace dvstream {

bool PrintBuf_init(PrintBuf &pb, int32_t printSize) {
    pb.size = printSize < 0 ? kDefaultPrintSize : printSize;
    pb.buf = nullptr;
    if (pb.size == 0)
        return true;
    pb.buf = static_cast<char *>(std::malloc(static_cast<size_t>(pb.size)));
    return pb.buf != nullptr;
}

void PrintBuf_free(PrintBuf &pb) {
    std::free(pb.buf);
    pb.buf = nullptr;
}

int32_t PrintBuf_format(PrintBuf &pb, bool mayGrow, const char *faultText, const char *fmt, va_list args) {
    if (pb.size <= 0)
        return DV_E_UNSUPPORTED;
    if (!pb.buf)
        return DV_E_NOMEM;
    if (!fmt)
        return DV_E_ARG;
    va_list again;
    va_copy(again, args);
    int len = std::vsnprintf(pb.buf, static_cast<size_t>(pb.size), fmt, args);
    if (len < 0) {
        va_end(again);
        return DV_E_ARG;
    }
    if (len < pb.size) {
        va_end(again);
        return len;
    }
    // User data (a long vCard value, a long reply) must never end the program: grow the print
    // buffer of a stream that may grow anyway, and refuse the print everywhere else.
    if (!mayGrow || len >= INT_MAX - 1) {
        va_end(again);
        Stdout_printf("%s", faultText);
        return DV_E_FULL;
    }
    char *bigger = static_cast<char *>(std::realloc(pb.buf, static_cast<size_t>(len) + 1));
    if (!bigger) {
        va_end(again);
        return DV_E_FULL;
    }
    pb.buf = bigger;
    pb.size = len + 1;
    len = std::vsnprintf(pb.buf, static_cast<size_t>(pb.size), fmt, again);
    va_end(again);
    return len < 0 ? DV_E_ARG : len;
}

} // namespace dvstream
