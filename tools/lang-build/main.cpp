// lang-build <texts.tsv> <Language/Name.dat>: turns a language's editable texts into the table
// file the program loads. Exit 0 when written; 1 naming every bad line; 2 on a usage or I/O error.
#include "lang_tsv.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: lang-build <texts.tsv> <output.dat>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", argv[1]);
        return 2;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    const langbuild::ParseResult r = langbuild::parseTsv(buf.str(), argv[1]);
    if (!r.ok()) {
        for (const std::string &e : r.errors)
            std::fprintf(stderr, "%s\n", e.c_str());
        return 1;
    }
    const std::string err = langbuild::writeLanguageFile(r.entries, argv[2]);
    if (!err.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[2], err.c_str());
        return 2;
    }
    return 0;
}
