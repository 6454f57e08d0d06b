// line_rate — how close reading a full handset comes to the speed of its line.
//
// The simulated handset runs throttled (both ways) at the baud rate, holding 200 messages in "SM"
// and "ME" (7-bit, UCS2, concatenated parts, stored submits) and 250 phone-book entries with names
// outside ASCII (they travel as UCS2). The generic driver and our plug-in are loaded from the
// Plug-in folder as the program loads them, and everything is read through the interfaces as the
// worker reads it. Twice: once with the handset's +CMGL listing, once with +CMGL refused so the
// driver reads position by position with +CMGR. For each part it prints the wall time, the bytes
// on the line each way and the ratio of wall time to the line-time bound, (bytes both ways) × 10 /
// baud: a ratio of 1 means the line never idled.
//
//   line_rate [--baud N] [--plugins DIR]     (a Release build: -DCMAKE_BUILD_TYPE=Release)
//
// Exit status 0 when both totals meet their targets (listing ≤ 1.15, walk ≤ 1.5), else 1.

#include "handset_sim.h"
#include "integration/plugin_host.h"

#include "dv_transport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSmMessages = 60;
constexpr int kMeMessages = 140;
constexpr int kSmContacts = 100;
constexpr int kMeContacts = 150;

const char *const kFamilies[] = {"张", "王", "李", "赵", "Петров", "Müller", "Øster", "Δήμος"};
const char *const kGiven[] = {"伟", "芳", "娜", "敏", "静", "Иван", "Jörg", "Åsa"};

std::string phone(int i) { return "+86139" + std::to_string(10000000 + i * 7919 % 90000000); }

// One message of the mix, by position: a long 7-bit text, a UCS2 text, a two-part concatenated
// message (both parts), a stored submit.
void addMessages(handsetsim::SmsStorage &s, int count, int salt) {
    int index = 1;
    for (int i = 0; index <= count; ++i) {
        const std::string from = phone(salt + i);
        switch (i % 5) {
        case 0:
        case 1:
            s.messages[index] = {index, 1,
                                 handsetsim::encodeDeliverPdu(from, "Meeting moved to room " + std::to_string(i) +
                                                                        ", bring the printed agenda and the budget "
                                                                        "figures for the third quarter please.")};
            ++index;
            break;
        case 2:
            s.messages[index] = {index, 0, handsetsim::encodeDeliverPdu(from, "明天下午三点在会议室见面，请带上第" +
                                                                                  std::to_string(i) + "季度的报告。")};
            ++index;
            break;
        case 3:
            for (int part = 1; part <= 2 && index <= count; ++part, ++index)
                s.messages[index] = {index, 1,
                                     handsetsim::encodeDeliverPartPdu(
                                         from,
                                         part == 1 ? std::string(150, 'a' + (i % 26))
                                                   : "and the end of message " + std::to_string(i),
                                         i & 0xFF, 2, part)};
            break;
        default:
            s.messages[index] = {index, 3, handsetsim::encodeSubmitPdu(from, "OK, see you there. " + std::to_string(i))};
            ++index;
            break;
        }
    }
}

void addContacts(handsetsim::PhonebookStorage &pb, int count, int salt) {
    // Every other position used, so the batches of ten also meet empty positions. Names fit the
    // 14 characters of a SIM.
    for (int i = 0; i < count; ++i) {
        const int index = pb.first + i * 2;
        const std::string name = std::string(kFamilies[(i + salt) % 8]) + " " + kGiven[(i * 3 + salt) % 8] + std::to_string(i);
        pb.entries[index] = {index, phone(salt * 1000 + i), 145, name};
    }
}

handsetsim::Scenario handset(int baud, bool cmglRefused) {
    handsetsim::Scenario sc = handsetsim::defaultScenario();
    sc.smsStorages = {handsetsim::SmsStorage{"SM", 70, {}}, handsetsim::SmsStorage{"ME", 150, {}}};
    addMessages(sc.smsStorages[0], kSmMessages, 1);
    addMessages(sc.smsStorages[1], kMeMessages, 2);
    sc.phonebooks = {handsetsim::PhonebookStorage{"SM", 1, 250, 40, 14, true, {}},
                     handsetsim::PhonebookStorage{"ME", 1, 500, 40, 30, true, {}}};
    addContacts(sc.phonebooks[0], kSmContacts, 3);
    addContacts(sc.phonebooks[1], kMeContacts, 4);
    sc.faults.throttleBaud = baud;
    sc.profile.cmglFails = cmglRefused;
    return sc;
}

struct Figures {
    double seconds = 0;
    uint64_t in = 0;  // bytes to the handset
    uint64_t out = 0; // bytes from the handset
    size_t entries = 0;
    int32_t result = 0;
    double bound(int baud) const { return static_cast<double>(in + out) * 10.0 / baud; }
    double ratio(int baud) const { return seconds / bound(baud); }
    Figures &operator+=(const Figures &o) {
        seconds += o.seconds;
        in += o.in;
        out += o.out;
        entries += o.entries;
        result = result ? result : o.result;
        return *this;
    }
};

// Runs `read` with a clean transcript and counts what crossed the line meanwhile.
Figures measure(handsetsim::HandsetSim &sim, const std::function<size_t(int32_t &)> &read) {
    sim.clearTranscript();
    Figures f;
    const auto t0 = Clock::now();
    f.entries = read(f.result);
    f.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    for (const auto &e : sim.transcript()) {
        if (e.dir == handsetsim::Direction::In)
            f.in += e.bytes.size();
        else if (e.dir == handsetsim::Direction::Out)
            f.out += e.bytes.size();
    }
    return f;
}

void print(const char *what, const Figures &f, int baud) {
    std::printf("  %-26s %5zu entries %8.3f s   to handset %7llu B   from handset %7llu B   bound %7.3f s   "
                "ratio %5.3f%s\n",
                what, f.entries, f.seconds, static_cast<unsigned long long>(f.in),
                static_cast<unsigned long long>(f.out), f.bound(baud), f.ratio(baud),
                f.result ? "   FAILED" : "");
}

struct Run {
    Figures sms, pb;
    bool ok = false;
};

Run runOnce(const std::string &plugins, int baud, bool cmglRefused) {
    Run run;
    handsetsim::HandsetSim sim(handset(baud, cmglRefused));
    const std::string tty = sim.start();
    plughost::PluginHost host(plugins);
    if (!host.loaded()) {
        std::fprintf(stderr, "cannot load the driver and plug-in from %s: %s\n", plugins.c_str(), host.error().c_str());
        return run;
    }
    const std::string baudText = std::to_string(baud);
    const int32_t rc = host.connect(ConnCfg{"Cable", tty.c_str(), baudText.c_str()});
    if (rc != 0) {
        std::fprintf(stderr, "connect failed: %d\n", rc);
        return run;
    }
    run.sms = measure(sim, [&](int32_t &result) {
        size_t n = 0;
        for (int32_t storage : {1, 2}) {
            const auto w = plughost::readMessages(host.sms(), storage);
            n += w.entries.size();
            result = result ? result : w.end;
        }
        return n;
    });
    run.pb = measure(sim, [&](int32_t &result) {
        size_t n = 0;
        for (int32_t storage : {1, 2}) {
            const auto w = plughost::readContacts(host.pb(), storage);
            n += w.entries.size();
            result = result ? result : w.end;
        }
        return n;
    });
    host.close();
    sim.stop();
    const size_t wantSms = kSmMessages + kMeMessages, wantPb = kSmContacts + kMeContacts;
    if (run.sms.entries != wantSms || run.pb.entries != wantPb)
        std::fprintf(stderr, "read %zu of %zu messages and %zu of %zu contacts\n", run.sms.entries, wantSms,
                     run.pb.entries, wantPb);
    run.ok = run.sms.result == 0 && run.pb.result == 0 && run.sms.entries == wantSms && run.pb.entries == wantPb;
    return run;
}

} // namespace

int main(int argc, char **argv) {
    int baud = 115200;
    std::string plugins = SELVARK_PLUGIN_DIR;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--baud") && i + 1 < argc)
            baud = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--plugins") && i + 1 < argc)
            plugins = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--baud N] [--plugins DIR]\n", argv[0]);
            return 2;
        }
    }
    if (baud <= 0) {
        std::fprintf(stderr, "bad baud rate\n");
        return 2;
    }
    std::printf("line_rate: %d messages and %d phone-book entries at %d baud (bound = bytes both ways x 10 / baud)\n",
                kSmMessages + kMeMessages, kSmContacts + kMeContacts, baud);

    bool met = true;
    struct Path {
        const char *name;
        bool cmglRefused;
        double target;
    };
    for (const Path &p : {Path{"listing (+CMGL)", false, 1.15}, Path{"per-index walk (+CMGL refused)", true, 1.5}}) {
        const Run r = runOnce(plugins, baud, p.cmglRefused);
        Figures total = r.sms;
        total += r.pb;
        std::printf("%s\n", p.name);
        print("messages", r.sms, baud);
        print("phone book", r.pb, baud);
        print("all", total, baud);
        const bool ok = r.ok && total.ratio(baud) <= p.target;
        std::printf("  target <= %.2f: %s\n", p.target, ok ? "met" : "MISSED");
        met = met && ok;
    }
    return met ? 0 : 1;
}
