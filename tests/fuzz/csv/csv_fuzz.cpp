// Fuzz entry for the CSV decoder, over any bytes a file may hold, and for the encoder -> decoder
// round trip.
// Promise on any input: a result, never a crash; handler calls nest (an item only inside a line,
// begin and end alternate); and fields written by the encoder read back unchanged.

#include "dv_csv.h"
#include "dv_result.h"
#include "fuzz/fuzz_check.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string tempPath(const char *tag) {
    return "/tmp/selvark-csv-fuzz-" + std::to_string(::getpid()) + "-" + tag + ".csv";
}

void spill(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
    std::fclose(f);
}

struct Events {
    bool open = false;
    int lines = 0;
    std::vector<std::vector<std::string>> rows;
    static void begin(void *c) {
        auto *e = static_cast<Events *>(c);
        FUZZ_CHECK(!e->open);
        e->open = true;
        e->rows.emplace_back();
    }
    static void item(void *c, const char *text) {
        auto *e = static_cast<Events *>(c);
        FUZZ_CHECK(e->open && text != nullptr);
        e->rows.back().push_back(text);
    }
    static void end(void *c) {
        auto *e = static_cast<Events *>(c);
        FUZZ_CHECK(e->open);
        e->open = false;
        ++e->lines;
    }
};

Events decodeFile(const std::string &path, int32_t maxLines, int32_t *result) {
    Events ev;
    CsvFileDecHandler table{Events::begin, Events::item, Events::end, &ev};
    CsvFileDec *d = CsvFileDec_new(path.c_str());
    FUZZ_CHECK(d != nullptr);
    FUZZ_CHECK(CsvFileDec_regHandle(d, &table) == 1);
    *result = CsvFileDec_do(d, maxLines);
    // Stopped early: the rest of the file must still read without trouble.
    if (maxLines != 0) {
        int32_t more = CsvFileDec_do(d, 0);
        FUZZ_CHECK(more >= 0 || more == DV_E_CANCELLED);
    }
    CsvFileDec_delete(d);
    FUZZ_CHECK(!ev.open);
    return ev;
}

// Lines of fields cut out of the data: 0x01 ends a field, 0x02 a line. A last empty field would be
// read back as none (a separator before the line end adds no field), so such lines get an "x".
std::vector<std::vector<std::string>> fieldsOf(const uint8_t *data, size_t size) {
    std::vector<std::vector<std::string>> lines(1, std::vector<std::string>(1));
    for (size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == '\0')
            continue;
        if (c == '\x01')
            lines.back().emplace_back();
        else if (c == '\x02')
            lines.emplace_back(1);
        else
            lines.back().back().push_back(c);
    }
    for (auto &line : lines)
        if (line.back().empty())
            line.back() = "x";
    return lines;
}

void checkRoundTrip(const uint8_t *data, size_t size) {
    std::vector<std::vector<std::string>> lines = fieldsOf(data, size);
    std::string path = tempPath("rt");
    CsvFileEnc *e = CsvFileEnc_new(path.c_str());
    FUZZ_CHECK(e != nullptr);
    for (const auto &line : lines) {
        FUZZ_CHECK(CsvFileEnc_addLineBeg(e) == 1);
        for (const std::string &f : line)
            FUZZ_CHECK(CsvFileEnc_addLineItemStr(e, f.c_str()) == 1);
        FUZZ_CHECK(CsvFileEnc_addLineEnd(e) == 1);
    }
    CsvFileEnc_delete(e);
    int32_t r;
    Events ev = decodeFile(path, 0, &r);
    std::remove(path.c_str());
    FUZZ_CHECK(r == static_cast<int32_t>(lines.size()));
    FUZZ_CHECK(ev.rows == lines);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    std::string path = tempPath("in");
    spill(path, data, size);
    for (int32_t maxLines : {0, 1, 3, -8}) {
        int32_t r;
        Events ev = decodeFile(path, maxLines, &r);
        if (size == 0)
            FUZZ_CHECK(r == DV_E_EMPTY);
        else if (maxLines == 0)
            FUZZ_CHECK(r >= ev.lines); // empty lines count but open no line
        else
            FUZZ_CHECK(r >= 0 || r == DV_E_CANCELLED);
    }
    std::remove(path.c_str());
    checkRoundTrip(data, size);
    return 0;
}
