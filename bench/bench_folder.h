// A program folder for the benchmarks that start Selvark: the built program, libraries, driver,
// plug-in, texts and splash from the build's dist folder, and a message table of n messages
// across the local boxes (made through the message store, a third of them Chinese).
#pragma once

// First: its header uses a name that Qt's headers define as a keyword.
#include "content/sms_transfer.h"

#include "bench_text.h"
#include "content/fake_env.h"
#include "content/sms_manage.h"
#include "core/db_schema.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace bench {

// Message i: inbox, outbox, sent items and drafts in turn, so box 0 (which leaves the recycle
// boxes out) lists every one.
inline content::Ssms messageOf(int i)
{
    static const std::string chinese = chineseBody();
    content::Ssms m;
    m.boxid = 1 + i % 4;
    m.states = uint8_t(i % 3);
    m.Tel = "+86138" + std::to_string(10000000 + i);
    m.time = "2026-03-04 05:06:07";
    m.body = i % 3 == 0 ? chinese
                        : "Message number " + std::to_string(i) +
                              ": see you at the station at eight, bring the tickets please.";
    m.Sca = "+8613800000000";
    return m;
}

inline bool makeFolder(const std::filesystem::path &dir, int messages)
{
    namespace fs = std::filesystem;
    const fs::path dist = SELVARK_DIST_DIR;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(dist, ec)) {
        const std::string name = e.path().filename().string();
        if (name == "Selvark" || name == "Face.jpg" || name.find(".so") != std::string::npos)
            fs::copy(e.path(), dir / name, fs::copy_options::copy_symlinks, ec);
        else if (name == "Plug-in" || name == "Language")
            fs::copy(e.path(), dir / name, fs::copy_options::recursive, ec);
        if (ec) {
            std::fprintf(stderr, "cannot copy %s: %s\n", e.path().c_str(), ec.message().c_str());
            return false;
        }
    }
    fs::create_directories(dir / "Database");
    platform::Table table = core::makeDbTable(core::DbTable::Smsinfo);
    content::FakeEnv env;
    content::TSMSManage store(env, &table);
    content::ArraySms list;
    list.reserve(size_t(messages));
    for (int i = 1; i <= messages; ++i)
        list.push_back(messageOf(i));
    store.AddMessages(list, 0, false);
    const std::string path = (dir / "Database" / core::dbTableDef(core::DbTable::Smsinfo).fileName).string();
    if (platform::TableResult r = table.save(path); !r) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return false;
    }
    return true;
}

} // namespace bench
