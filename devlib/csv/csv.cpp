// The CSV codec: an encoder that builds each line in memory and writes it whole, and a decoder that
// reads one token at a time and reports lines to a handler table.
//
// Quoting follows RFC 4180: a field holding ",", a double quote, CR or LF is put between double
// quotes with its double quotes doubled. A CR LF inside a quoted field is data, not a line end.

#include "dv_csv.h"

#include "dv_log.h"
#include "dv_result.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

// A field longer than this is cut: a file without quotes closing is not read into memory whole.
constexpr size_t kMaxField = 1024 * 1024;

enum Token { kField, kSeparator, kLineEnd, kEnd };

template <typename F> int32_t guarded(F f) {
    try {
        return f();
    } catch (const std::bad_alloc &) {
        return DV_E_NOMEM;
    } catch (...) {
        return DV_E_FAIL;
    }
}

} // namespace

struct CsvFileEnc {
    FILE *file = nullptr;
    std::string line;
    int32_t items = 0; // fields in the current line, so an empty first field still gets its separator
};

struct CsvFileDec {
    FILE *file = nullptr;
    CsvFileDecHandler handler{};
    std::string field;
    bool started = false; // something was read already, so running out is not an empty file
};

// ---- encoder ----

extern "C" DV_API CsvFileEnc *CsvFileEnc_new(const char *path) {
    if (!path)
        return nullptr;
    CsvFileEnc *e = new (std::nothrow) CsvFileEnc;
    if (e)
        e->file = std::fopen(path, "wb");
    return e;
}

extern "C" DV_API void CsvFileEnc_delete(CsvFileEnc *e) {
    if (!e)
        return;
    if (e->file)
        std::fclose(e->file);
    delete e;
}

extern "C" DV_API int32_t CsvFileEnc_addLineBeg(CsvFileEnc *e) {
    if (!e || !e->file)
        return e ? DV_E_NOFILE : DV_E_ARG;
    e->line.clear();
    e->items = 0;
    return 1;
}

extern "C" DV_API int32_t CsvFileEnc_addLineItemStr(CsvFileEnc *e, const char *text) {
    if (!e || !text)
        return DV_E_ARG;
    if (!e->file)
        return DV_E_NOFILE;
    return guarded([&] {
        if (e->items > 0)
            e->line.push_back(',');
        if (std::strpbrk(text, ",\"\r\n") == nullptr) {
            e->line += text;
        } else {
            e->line.push_back('"');
            for (const char *s = text; *s; ++s) {
                if (*s == '"')
                    e->line.push_back('"');
                e->line.push_back(*s);
            }
            e->line.push_back('"');
        }
        ++e->items;
        return 1;
    });
}

extern "C" DV_API int32_t CsvFileEnc_addLineItemInt(CsvFileEnc *e, int32_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(n));
    return CsvFileEnc_addLineItemStr(e, text);
}

extern "C" DV_API int32_t CsvFileEnc_addLineEnd(CsvFileEnc *e) {
    if (!e)
        return DV_E_ARG;
    if (!e->file)
        return DV_E_NOFILE;
    return guarded([&] {
        e->line += "\r\n";
        size_t n = std::fwrite(e->line.data(), 1, e->line.size(), e->file);
        bool ok = n == e->line.size();
        e->line.clear();
        e->items = 0;
        return ok ? 1 : DV_E_NOFILE;
    });
}

// ---- decoder ----

namespace {

void putBack(CsvFileDec *d, int c, int line) {
    if (c != EOF && std::ungetc(c, d->file) == EOF)
        Stdout_printf("%s[%d]: fault error\n", "csvfile", line);
}

void addChar(CsvFileDec *d, int c) {
    if (d->field.size() < kMaxField)
        d->field.push_back(static_cast<char>(c));
}

// A plain field (or what follows a closing quote) up to "," or CR, which are put back.
void readPlain(CsvFileDec *d) {
    for (;;) {
        int c = std::fgetc(d->file);
        if (c == EOF)
            return;
        if (c == ',' || c == '\r') {
            putBack(d, c, __LINE__);
            return;
        }
        addChar(d, c);
    }
}

// One token; the field's text is left in d->field. -9 on a read error.
int32_t nextToken(CsvFileDec *d) {
    int c = std::fgetc(d->file);
    if (c == EOF)
        return std::ferror(d->file) ? static_cast<int32_t>(DV_E_IO) : static_cast<int32_t>(kEnd);
    if (c == '\r') {
        // CR LF ends a line; a CR alone does too, and the character after it is kept.
        int next = std::fgetc(d->file);
        if (next != '\n')
            putBack(d, next, __LINE__);
        return kLineEnd;
    }
    if (c == ',')
        return kSeparator;
    d->field.clear();
    if (c == '"') {
        for (;;) {
            c = std::fgetc(d->file);
            if (c == EOF)
                return kField; // an unclosed quote at the end of the file keeps what it holds
            if (c == '"') {
                int next = std::fgetc(d->file);
                if (next == '"') {
                    addChar(d, '"');
                    continue;
                }
                putBack(d, next, __LINE__);
                break;
            }
            addChar(d, c);
        }
        // Text after the closing quote (malformed, e.g. "ab"cd) stays in the same field, so the
        // fields after it keep their columns.
        readPlain(d);
        return kField;
    }
    addChar(d, c);
    readPlain(d);
    return kField;
}

int32_t decode(CsvFileDec *d, int32_t maxLines) {
    const CsvFileDecHandler &h = d->handler;
    bool first = !d->started;
    d->started = true;
    bool lineOpen = false;
    bool hadField = false;
    int32_t prev = kLineEnd; // the start of a line behaves like a line end
    int32_t count = 0;
    auto openLine = [&] {
        if (!lineOpen) {
            lineOpen = true;
            if (h.lineBegin)
                h.lineBegin(h.ctx);
        }
    };
    for (;;) {
        int32_t tok = nextToken(d);
        if (tok < 0)
            return tok;
        if (first && tok == kEnd)
            return DV_E_EMPTY;
        first = false;
        switch (tok) {
        case kField:
            openLine();
            if (h.item)
                h.item(h.ctx, d->field.c_str());
            hadField = true;
            break;
        case kSeparator:
            if (prev == kLineEnd || prev == kSeparator) {
                openLine();
                if (h.item)
                    h.item(h.ctx, "");
                hadField = true;
            }
            break;
        case kLineEnd:
            if (lineOpen) {
                lineOpen = false;
                if (h.lineEnd)
                    h.lineEnd(h.ctx);
            }
            if (maxLines == -8)
                return DV_E_CANCELLED;
            ++count;
            if (maxLines > 0 && count >= maxLines)
                return hadField ? count : DV_E_CANCELLED;
            hadField = false;
            break;
        default: // kEnd
            if (lineOpen) {
                if (h.lineEnd)
                    h.lineEnd(h.ctx);
                return count + 1;
            }
            return count;
        }
        prev = tok;
    }
}

} // namespace

extern "C" DV_API CsvFileDec *CsvFileDec_new(const char *path) {
    if (!path)
        return nullptr;
    CsvFileDec *d = new (std::nothrow) CsvFileDec;
    if (d)
        d->file = std::fopen(path, "rb");
    return d;
}

extern "C" DV_API void CsvFileDec_delete(CsvFileDec *d) {
    if (!d)
        return;
    if (d->file)
        std::fclose(d->file);
    delete d;
}

extern "C" DV_API int32_t CsvFileDec_regHandle(CsvFileDec *d, const CsvFileDecHandler *table) {
    if (!d || !table)
        return DV_E_ARG;
    d->handler = *table;
    return 1;
}

extern "C" DV_API int32_t CsvFileDec_do(CsvFileDec *d, int32_t maxLines) {
    if (!d)
        return DV_E_ARG;
    if (!d->file)
        return DV_E_NOFILE;
    return guarded([&] { return decode(d, maxLines); });
}
