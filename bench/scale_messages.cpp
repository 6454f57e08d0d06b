// bench/scale paths of the message store: adding one message to a table of n, removing the
// phone-side rows, and the core's listing of box 0.

#include "bench_text.h"
#include "bench_timing.h"
#include "content/fake_env.h"
#include "content/sms_manage.h"
#include "core/db_schema.h"
#include "scale.h"

#include <chrono>
#include <string>

namespace {

using bench::Clock;

std::string bodyOf(int i)
{
    static const std::string chinese = bench::chineseBody();
    return i % 3 == 0 ? chinese
                      : "Message number " + std::to_string(i) +
                            ": see you at the station at eight, bring the tickets please.";
}

// n messages, a twentieth in the recycle box and (phoneEvery > 0) every phoneEvery-th in box 8.
platform::Table makeMessages(int n, int phoneEvery = 0)
{
    platform::Table t = core::makeDbTable(core::DbTable::Smsinfo);
    for (int i = 1; i <= n; ++i) {
        t.append();
        t.setInt("id", i);
        t.setInt("boxid", phoneEvery > 0 && i % phoneEvery == 0 ? 8 : i % 20 == 0 ? 5 : 1 + i % 4);
        t.setInt("states", i % 3);
        t.setText("Tel", "+86138" + std::to_string(10000000 + i));
        t.setText("time", "2026-03-04 05:06:07");
        t.setText("body", bodyOf(i));
        t.setText("Sca", "+8613800000000");
        t.post();
    }
    return t;
}

// Seconds per message of adding 200 received messages one AddMessages call each.
double addOneMessage(int n)
{
    platform::Table t = makeMessages(n);
    content::FakeEnv env;
    content::TSMSManage sms(env, &t);
    auto add = [&](int k) {
        content::ArraySms one(1);
        one[0].boxid = 1;
        one[0].Tel = "+8613900000000";
        one[0].time = "2026-03-05 06:07:08";
        one[0].body = "A new message " + std::to_string(k);
        sms.AddMessages(one, 0, false);
    };
    // The first add of a session makes the table's lookup index (a pass, once); the list of the
    // box is shown, as in the program.
    add(-1);
    sms.FillList(1);
    const int adds = 200;
    const auto t0 = Clock::now();
    for (int k = 0; k < adds; ++k)
        add(k);
    return std::chrono::duration<double>(Clock::now() - t0).count() / adds;
}

// Removing the phone-side rows, a tenth of n.
double removePhoneRows(int n)
{
    platform::Table t = makeMessages(n, 10);
    content::FakeEnv env;
    content::TSMSManage sms(env, &t);
    const auto t0 = Clock::now();
    sms.RemovePhoneRows();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The core's list of box 0.
double listBox0(int n)
{
    platform::Table t = makeMessages(n);
    content::FakeEnv env;
    content::TSMSManage sms(env, &t);
    sms.FillList(5); // another box listed first, as when the user switches
    const auto t0 = Clock::now();
    const content::SmsList list = sms.FillList(0);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    return list.rows.empty() ? -1 : s;
}

const bool registered = RegisterScalePath({"add one message", 100000, 1000000, addOneMessage}) &&
                        RegisterScalePath({"remove phone-side rows", 10000, 100000, removePhoneRows}) &&
                        RegisterScalePath({"core listing of box 0", 80000, 800000, listBox0});

} // namespace
