// The card splitter: cuts a stream of several vCards (a whole IrMC phone book, a .vcf file) into
// single cards, line by line. Nested cards (vCard 2.1 AGENT) stay inside the card that holds them.

#include "vcard/vcard_int.h"

#include "dv_result.h"

#include <new>

struct VcfStrmDec {
    std::string line;     // the current line with its line end (at most kVcardMaxLine bytes)
    bool lastWasCr = false;
    int32_t depth = 0;
};

namespace {

constexpr int32_t kMaxDepth = 1000; // deeper nesting is not a card any handset writes

int32_t writeLine(AbsFile *out, const std::string &line) {
    int32_t n = static_cast<int32_t>(line.size());
    int32_t w = AbsFile_write(out, line.data(), n);
    if (w < 0)
        return w;
    return w < n ? DV_E_FULL : 0;
}

int32_t split(VcfStrmDec *d, AbsFile *input, AbsFile *output) {
    for (;;) {
        int c = AbsFile_getc(input);
        if (c < 0)
            return c == DV_E_EOF ? 0 : c;
        if (d->line.size() < kVcardMaxLine)
            d->line.push_back(static_cast<char>(c));
        bool cr = d->lastWasCr;
        d->lastWasCr = c == '\r';
        if (c != '\n')
            continue;
        if (d->line.back() != '\n') {
            // A line cut at the limit still gets its line end, so the card around it stays well
            // formed.
            if (cr && d->line.back() != '\r')
                d->line.push_back('\r');
            d->line.push_back('\n');
        }
        bool begin = vcard::equalsNoCase(d->line, "BEGIN:VCARD\r\n");
        bool end = vcard::equalsNoCase(d->line, "END:VCARD\r\n");
        int32_t r = 0;
        bool complete = false;
        if (d->depth == 0) {
            if (begin) {
                r = writeLine(output, d->line);
                d->depth = 1;
            }
        } else {
            r = writeLine(output, d->line);
            if (begin && d->depth < kMaxDepth)
                ++d->depth;
            else if (end && --d->depth == 0)
                complete = true;
        }
        d->line.clear();
        if (r < 0)
            return r;
        if (complete)
            return 1;
    }
}

} // namespace

extern "C" DV_API VcfStrmDec *VcfStrmDec_new(void) {
    VcfStrmDec *d = new (std::nothrow) VcfStrmDec;
    if (!d)
        return nullptr;
    try {
        d->line.reserve(256);
    } catch (...) {
        delete d;
        return nullptr;
    }
    return d;
}

extern "C" DV_API void VcfStrmDec_delete(VcfStrmDec *d) { delete d; }

extern "C" DV_API int32_t VcfStrmDec_dec(VcfStrmDec *d, AbsFile *input, AbsFile *output) {
    if (!d || !input || !output)
        return DV_E_ARG;
    try {
        return split(d, input, output);
    } catch (const std::bad_alloc &) {
        return DV_E_NOMEM;
    } catch (...) {
        return DV_E_FAIL;
    }
}
