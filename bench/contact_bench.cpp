// Timings of the contact model: parsing and building 10,000 typical contacts (a name, two or three
// numbers, a mail address, an address or a note; a third of them Chinese), as reading a full
// handset, opening a large contact file or copying a whole book does. Prints the median of several
// runs and fails (exit 1) when either takes 0.2 s or more. A program, not a test: run it by hand in
// a Release build, e.g. `build-rel/bench/contact_bench [contacts]`.

#include "content/phonebook_manage.h"

#include "bench_contacts.h"
#include "bench_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace content;

namespace {

constexpr double kLimitSeconds = 0.2;
constexpr int kRuns = 7;

TMobileVacrd typicalContact(int i)
{
    return bench::typicalContact(i, "met at the fair\r\ncall after 6", 0);
}

} // namespace

int main(int argc, char **argv)
{
    int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::vector<TMobileVacrd> contacts;
    for (int i = 0; i < count; ++i)
        contacts.push_back(typicalContact(i));

    std::vector<std::string> texts(contacts.size());
    double build = bench::medianSeconds(kRuns, [&] {
        for (size_t i = 0; i < contacts.size(); ++i)
            texts[i] = TPhoneBookManage::BuildContact(contacts[i]);
    });
    size_t bytes = 0;
    for (const std::string &t : texts)
        bytes += t.size();

    size_t fields = 0;
    double parse = bench::medianSeconds(kRuns, [&] {
        fields = 0;
        for (const std::string &t : texts)
            fields += TPhoneBookManage::ParseContact(t).size();
    });
    bool same = true;
    for (size_t i = 0; i < contacts.size() && same; ++i)
        same = TPhoneBookManage::ParseContact(texts[i]).size() == contacts[i].size();

    std::printf("%d contacts, %zu bytes of vCard text, %zu fields\n", count, bytes, fields);
    std::printf("build: %.3f s (median of %d)\n", build, kRuns);
    std::printf("parse: %.3f s (median of %d)\n", parse, kRuns);
    if (!same) {
        std::printf("FAIL: a parsed contact lost fields\n");
        return 1;
    }
    if (build >= kLimitSeconds || parse >= kLimitSeconds) {
        std::printf("FAIL: over %.1f s\n", kLimitSeconds);
        return 1;
    }
    return 0;
}
