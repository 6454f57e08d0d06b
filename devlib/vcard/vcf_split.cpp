// The card splitter: cuts a stream of several vCards (a whole IrMC phone book, a .vcf file) into
// single cards, line by line. Nested cards (vCard 2.1 AGENT) stay inside the card that holds them.
// Lines may end with CR LF, LF alone or CR alone; every line goes out with CR LF, as vCard 2.1
// writes it.

#include "vcard/vcard_int.h"

#include "dv_result.h"

#include <new>

struct VcfStrmDec {
    std::string line;       // the current line without its line end (at most kVcardMaxLine bytes)
    bool afterCr = false;   // the last character was a CR: an LF now completes that same line end
    int32_t depth = 0;
};

namespace {

constexpr int32_t kMaxDepth = 1000; // deeper nesting is not a card any handset writes

int32_t writeLine(AbsFile *out, const std::string &line) {
    std::string text = line + "\r\n";
    int32_t n = static_cast<int32_t>(text.size());
    int32_t w = AbsFile_write(out, text.data(), n);
    if (w < 0)
        return w;
    return w < n ? DV_E_FULL : 0;
}

// Takes the line held as a whole line: 1 when it completes a card, 0 when it does not, or the
// output's error.
int32_t takeLine(VcfStrmDec *d, AbsFile *output) {
    // A file saved as UTF-8 with a byte-order mark carries it in front of its first BEGIN:VCARD.
    static const char kBom[] = "\xEF\xBB\xBF";
    if (d->depth == 0 && d->line.compare(0, 3, kBom) == 0)
        d->line.erase(0, 3);
    bool begin = vcard::isMarkerLine(d->line, "BEGIN:VCARD");
    bool end = vcard::isMarkerLine(d->line, "END:VCARD");
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
    return complete ? 1 : 0;
}

int32_t split(VcfStrmDec *d, AbsFile *input, AbsFile *output) {
    for (;;) {
        int c = AbsFile_getc(input);
        if (c < 0) {
            if (c != DV_E_EOF)
                return c;
            // A last "END:VCARD" needs no line end: it closes the card now. A line end that
            // arrives later is an empty line outside the card.
            if (d->depth == 1 && vcard::isMarkerLine(d->line, "END:VCARD"))
                return takeLine(d, output);
            return 0;
        }
        bool crLf = d->afterCr && c == '\n';
        d->afterCr = c == '\r';
        if (crLf)
            continue; // the LF of a CR LF whose line was taken at the CR
        if (c != '\r' && c != '\n') {
            if (d->line.size() < kVcardMaxLine)
                d->line.push_back(static_cast<char>(c));
            continue;
        }
        int32_t r = takeLine(d, output);
        if (r != 0)
            return r;
    }
}

int32_t finish(VcfStrmDec *d, AbsFile *output) {
    int32_t r = 0;
    if (!d->line.empty())
        r = takeLine(d, output);
    if (r != 0)
        return r;
    if (d->depth == 0)
        return 0;
    // A card cut short keeps what it has: close every card still open.
    for (; d->depth > 0; --d->depth) {
        r = writeLine(output, "END:VCARD");
        if (r < 0) {
            d->depth = 0;
            return r;
        }
    }
    return 1;
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

extern "C" DV_API int32_t VcfStrmDec_finish(VcfStrmDec *d, AbsFile *output) {
    if (!d || !output)
        return DV_E_ARG;
    try {
        int32_t r = finish(d, output);
        d->afterCr = false;
        return r;
    } catch (const std::bad_alloc &) {
        return DV_E_NOMEM;
    } catch (...) {
        return DV_E_FAIL;
    }
}

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
