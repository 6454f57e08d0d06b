// The IrMC store information (info.log, IrMC 1.1) and the Application-Parameters of level-4
// responses. Both come from the handset, so every count and length is checked before use.
//
// info.log is a list of "Key:value" lines. The keys used: Total-Records, Maximum-Records and
// Free-Records (a number or "*"), IEL (the access levels offered) and X-IRMC-FIELDS, whose block
// between "<BEGIN>" and "<END>" describes each field the handset stores, one line each:
//     TEL;CELL[1=20]:=40        property, ";" type words, "[" sub-field limits "]", ":=" max length

#include "irmc/irmc_int.h"

#include "dv_result.h"
#include "dv_util.h"
#include "dv_vcard.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr size_t kLineMax = 1024;

struct Token {
    char sep;         // the separator, or 0 for a word
    std::string word;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isSep(char c) { return c == ':' || c == ';' || c == '[' || c == ']' || c == '='; }

std::vector<Token> tokenize(const std::string &line) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (isBlank(c)) {
            ++i;
        } else if (isSep(c)) {
            out.push_back(Token{c, {}});
            ++i;
        } else {
            size_t from = i;
            while (i < line.size() && !isBlank(line[i]) && !isSep(line[i]))
                ++i;
            out.push_back(Token{0, line.substr(from, i - from)});
        }
    }
    return out;
}

bool isWord(const std::vector<Token> &t, size_t i) { return i < t.size() && t[i].sep == 0; }
bool isSepAt(const std::vector<Token> &t, size_t i, char c) { return i < t.size() && t[i].sep == c; }

bool same(const std::string &a, const char *b) { return StrUtil_stricmp(a.c_str(), b) == 0; }

// A non-negative number: decimal, octal with a leading 0, hexadecimal with a leading 0x.
bool parseNumber(const std::string &s, int32_t *out) {
    if (s.empty())
        return false;
    int base = 10;
    size_t i = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    } else if (s.size() > 1 && s[0] == '0') {
        base = 8;
        i = 1;
    }
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
        if (d >= base)
            return false;
        v = v * base + d;
        if (v > INT32_MAX)
            return false;
    }
    *out = static_cast<int32_t>(v);
    return true;
}

// "*" (not known) or a number.
bool parseCount(const std::vector<Token> &t, size_t i, int32_t *out) {
    if (!isWord(t, i) || isWord(t, i + 1) || i + 1 < t.size())
        return false;
    if (t[i].word == "*") {
        *out = -1;
        return true;
    }
    return parseNumber(t[i].word, out);
}

int32_t propertyCode(const std::string &name) {
    static const struct {
        const char *name;
        int32_t code;
    } kProps[] = {{"N", VCARD_TYPE_N},         {"BDAY", VCARD_TYPE_BDAY}, {"TEL", VCARD_TYPE_TEL},
                  {"EMAIL", VCARD_TYPE_EMAIL}, {"URL", VCARD_TYPE_URL},   {"ADR", VCARD_TYPE_ADR},
                  {"ORG", VCARD_TYPE_ORG},     {"TITLE", VCARD_TYPE_TITLE}, {"NOTE", VCARD_TYPE_NOTE}};
    for (const auto &p : kProps)
        if (same(name, p.name))
            return p.code;
    return 0;
}

int32_t typeFlags(const std::string &word, bool tel) {
    const char *w = word.c_str();
    int32_t f = 0;
    if (StrUtil_stristr(w, "WORK"))
        f |= VCARD_FLAG_WORK;
    else if (StrUtil_stristr(w, "HOME"))
        f |= VCARD_FLAG_HOME;
    else if (StrUtil_stristr(w, "PREF"))
        f |= VCARD_FLAG_PREF;
    if (tel) {
        if (StrUtil_stristr(w, "CELL"))
            f |= VCARD_FLAG_CELL;
        else if (StrUtil_stristr(w, "PAGER"))
            f |= VCARD_FLAG_PAGER;
        else if (StrUtil_stristr(w, "FAX"))
            f |= VCARD_FLAG_FAX;
    }
    return f;
}

// One line of the field block: false when it is malformed (the line is then dropped).
bool parseField(const std::vector<Token> &t, int32_t type, McFieldDesc *d) {
    *d = McFieldDesc{type, 0, -1, {0, 0, 0, 0, 0, 0, 0}, 0};
    bool tel = type == VCARD_TYPE_TEL;
    size_t i = 1;
    while (i < t.size()) {
        if (isSepAt(t, i, ';')) {
            if (!isWord(t, i + 1))
                return false;
            d->flags |= typeFlags(t[i + 1].word, tel);
            i += 2;
        } else if (isSepAt(t, i, '[')) {
            ++i;
            for (;;) {
                int32_t k = 0, v = 0;
                if (!isWord(t, i) || !isSepAt(t, i + 1, '=') || !isWord(t, i + 2) || !parseNumber(t[i].word, &k) ||
                    !parseNumber(t[i + 2].word, &v))
                    return false;
                // Sub-fields are numbered 1 to 7; a handset that names another has nothing we keep.
                if (k >= 1 && k <= 7)
                    d->sub[k - 1] = v;
                i += 3;
                if (isSepAt(t, i, ';')) {
                    ++i;
                } else if (isSepAt(t, i, ']')) {
                    ++i;
                    break;
                } else {
                    return false;
                }
            }
        } else if (isSepAt(t, i, ':')) {
            ++i;
            if (isSepAt(t, i, '=')) {
                if (!isWord(t, i + 1) || !parseNumber(t[i + 1].word, &d->maxLen))
                    return false;
                i += 2;
            } else {
                d->maxLen = -1;
            }
        } else {
            return false;
        }
    }
    if (type >= VCARD_TYPE_TEL && type <= VCARD_TYPE_ADR &&
        !(d->flags & (VCARD_FLAG_HOME | VCARD_FLAG_WORK | VCARD_FLAG_PREF)))
        d->flags |= VCARD_FLAG_GENERAL;
    if (tel && !(d->flags & (VCARD_FLAG_CELL | VCARD_FLAG_PAGER | VCARD_FLAG_FAX)))
        d->flags |= VCARD_FLAG_VOICE;
    return true;
}

// Reads one line (through LF, CR dropped at the end) into line, cut at kLineMax bytes: 1, 0 at the
// end of data with nothing read, the stream's error, or -201 once *left bytes have been read (the
// information comes from the handset: one that never ends it must not keep us reading).
int32_t readLine(AbsFile *in, std::string *line, int32_t *left) {
    line->clear();
    bool any = false;
    for (;;) {
        int32_t c = AbsFile_getc(in);
        if (c == ABSFILE_EOF)
            return any ? 1 : 0;
        if (c < 0)
            return c;
        if (*left <= 0)
            return DV_E_FULL;
        --*left;
        any = true;
        if (c == '\n')
            break;
        if (line->size() < kLineMax)
            line->push_back(static_cast<char>(c));
    }
    while (!line->empty() && line->back() == '\r')
        line->pop_back();
    return 1;
}

enum class Block { None, SeekBegin, Fields };

} // namespace

extern "C" void McInfo_clear(McStoreInfo *info) {
    info->maxRecords = info->totalRecords = info->freeRecords = -1;
    info->access = MC_ACCESS_BASIC;
    info->fieldCount = 0;
    if (!info->fields || info->fieldCapacity < 0)
        info->fieldCapacity = 0;
}

extern "C" int32_t McInfo_accessOfIel(int32_t iel) {
    switch (iel) {
    case 0x2:
        return MC_ACCESS_BASIC | MC_ACCESS_WHOLE;
    case 0x4:
        return MC_ACCESS_BASIC | MC_ACCESS_WHOLE | MC_ACCESS_INDEX;
    case 0x8:
        return MC_ACCESS_BASIC | MC_ACCESS_WHOLE | MC_ACCESS_LUID;
    case 0x10:
        return MC_ACCESS_BASIC | MC_ACCESS_WHOLE | MC_ACCESS_INDEX | MC_ACCESS_LUID;
    default:
        return MC_ACCESS_BASIC;
    }
}

extern "C" int32_t McInfo_parse(AbsFile *in, McStoreInfo *info) {
    McInfo_clear(info);
    std::string line;
    Block block = Block::None;
    int32_t r;
    int32_t left = MC_MAX_OBJECT;
    while ((r = readLine(in, &line, &left)) == 1) {
        std::vector<Token> t = tokenize(line);
        if (block == Block::SeekBegin) {
            for (const Token &tok : t)
                if (tok.sep == 0 && same(tok.word, "<BEGIN>"))
                    block = Block::Fields;
            continue;
        }
        if (block == Block::Fields) {
            if (!isWord(t, 0))
                continue;
            if (same(t[0].word, "<END>")) {
                block = Block::None;
                continue;
            }
            int32_t type = propertyCode(t[0].word);
            McFieldDesc d;
            if (type == 0 || !parseField(t, type, &d))
                continue;
            if (info->fieldCount < info->fieldCapacity)
                info->fields[info->fieldCount++] = d;
            continue;
        }
        if (!isWord(t, 0) || !isSepAt(t, 1, ':'))
            continue;
        const std::string &key = t[0].word;
        int32_t v = 0;
        if (same(key, "Total-Records")) {
            if (parseCount(t, 2, &v))
                info->totalRecords = v;
        } else if (same(key, "Maximum-Records")) {
            if (parseCount(t, 2, &v))
                info->maxRecords = v;
        } else if (same(key, "Free-Records")) {
            if (parseCount(t, 2, &v))
                info->freeRecords = v;
        } else if (same(key, "IEL")) {
            if (isWord(t, 2) && parseNumber(t[2].word, &v))
                info->access = McInfo_accessOfIel(v);
        } else if (same(key, "X-IRMC-FIELDS")) {
            block = Block::SeekBegin;
            for (size_t i = 2; i < t.size(); ++i)
                if (t[i].sep == 0 && same(t[i].word, "<BEGIN>"))
                    block = Block::Fields;
        }
    }
    return r < 0 ? r : 0;
}

extern "C" void McApp_parse(const uint8_t *value, int32_t length, StrBuf *id, int32_t *changeCounter,
                            StrBuf *extra) {
    if (!value || length <= 0)
        return;
    for (int32_t at = 0; at + 2 <= length;) {
        int32_t tag = value[at];
        int32_t n = value[at + 1];
        if (n > length - at - 2)
            break; // runs past the header's end
        const uint8_t *v = value + at + 2;
        if (tag == 1 && id) {
            StrBuf_clear(id);
            StrBuf_appendBuf(id, v, n);
        } else if (tag == 2 && changeCounter) {
            int64_t cc = 0;
            int32_t digits = 0;
            for (int32_t i = 0; i < n && v[i] >= '0' && v[i] <= '9' && cc <= INT32_MAX; ++i, ++digits)
                cc = cc * 10 + (v[i] - '0');
            if (digits > 0 && cc <= INT32_MAX)
                *changeCounter = static_cast<int32_t>(cc);
        } else if (tag == 3 && extra) {
            StrBuf_clear(extra);
            StrBuf_appendBuf(extra, v, n);
        }
        at += 2 + n;
    }
}

namespace {

struct McLimit {
    AbsFile itf;
    AbsFile *inner;
    int32_t left;
};

McLimit *limitOf(AbsFile *f) { return static_cast<McLimit *>(f->self); }

int32_t limitWrite(AbsFile *f, const void *src, int32_t n) {
    McLimit *l = limitOf(f);
    if (n < 0)
        return DV_E_ARG;
    if (n > l->left)
        return DV_E_FULL;
    int32_t r = AbsFile_write(l->inner, src, n);
    if (r > 0)
        l->left -= r;
    return r;
}

int32_t limitPutc(AbsFile *f, int32_t ch) {
    uint8_t b = static_cast<uint8_t>(ch);
    int32_t r = limitWrite(f, &b, 1);
    return r == 1 ? ch : r < 0 ? r : DV_E_FULL;
}

void limitDelete(AbsFile *f) { delete limitOf(f); }
int32_t limitGetc(AbsFile *) { return DV_E_UNSUPPORTED; }
int32_t limitUngetc(AbsFile *) { return DV_E_STATE; }
int32_t limitRead(AbsFile *, void *, int32_t) { return DV_E_UNSUPPORTED; }
int32_t limitPrint(AbsFile *, const char *, ...) { return DV_E_UNSUPPORTED; }
int32_t limitSeek(AbsFile *, int32_t, int32_t) { return DV_E_UNSUPPORTED; }
int32_t limitNone(AbsFile *) { return DV_E_UNSUPPORTED; }
int32_t limitFlush(AbsFile *) { return 0; }

} // namespace

extern "C" AbsFile *McLimit_new(AbsFile *inner, int32_t max) {
    auto *l = new (std::nothrow) McLimit{};
    if (!l)
        return nullptr;
    l->itf = AbsFile{l,         limitDelete, limitPutc, limitGetc, limitUngetc, limitRead,
                     limitWrite, limitPrint, limitSeek, limitNone, limitFlush,  limitNone};
    l->inner = inner;
    l->left = max;
    return &l->itf;
}
