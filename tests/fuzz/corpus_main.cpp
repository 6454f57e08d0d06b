// Runs a fuzz target's saved inputs as a regression test: every regular file of every folder (or
// file) named on the command line goes once through LLVMFuzzerTestOneInput, in name order. A crash
// or a sanitizer report fails the test; so does a corpus that holds no input at all.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char **argv) {
    std::vector<fs::path> inputs;
    for (int a = 1; a < argc; ++a) {
        std::error_code ec;
        fs::path p(argv[a]);
        if (fs::is_directory(p, ec)) {
            for (const auto &e : fs::directory_iterator(p, ec))
                if (e.is_regular_file())
                    inputs.push_back(e.path());
        } else if (fs::is_regular_file(p, ec)) {
            inputs.push_back(p);
        } else {
            std::fprintf(stderr, "no such corpus: %s\n", argv[a]);
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "the corpus holds no input\n");
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto &p : inputs) {
        std::ifstream f(p, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        // An empty file still runs, with a non-null pointer as libFuzzer passes.
        static const uint8_t kNone = 0;
        LLVMFuzzerTestOneInput(bytes.empty() ? &kNone : bytes.data(), bytes.size());
    }
    std::printf("%zu inputs ran\n", inputs.size());
    return 0;
}
