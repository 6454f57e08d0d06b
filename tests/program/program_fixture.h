// What the program tests share: a program folder of their own (the real driver and plug-in, the
// language file), the simulated handset in infrared range on a stand-in folder of the test's own,
// and waiting on the user-interface thread without waiting out a time-out.
#pragma once

#include "content/sms_transfer.h"

#include "core/catalogue/catalogue_fixture.h"
#include "handset_sim.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace program_test {

namespace fs = std::filesystem;

// Processes events until cond holds or the limit passes; true when it held.
inline bool waitUntil(const std::function<bool()> &cond, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(5);
    }
    return true;
}

// A program folder with the real driver and plug-in and the English texts, and the stand-in
// folder the handset is offered in (SELVARK_IRDA_DIR for the test's life).
class ProgramFolder {
public:
    ProgramFolder()
    {
        dir.addRealPair();
        fs::create_directories(dir.root() + "/Language");
        fs::copy_file(catalogue_test::kDistDir + "/Language/English.dat", dir.root() + "/Language/English.dat");
        irda_ = dir.root() + "/irda";
        fs::create_directories(irda_);
        ::setenv("SELVARK_IRDA_DIR", irda_.c_str(), 1);
    }
    ~ProgramFolder() { ::unsetenv("SELVARK_IRDA_DIR"); }

    const std::string &root() const { return dir.root(); }
    const std::string &irdaDir() const { return irda_; }
    // ini/set.ini with the section "comset" and these lines.
    void settings(const std::string &lines) const
    {
        fs::create_directories(root() + "/ini");
        std::ofstream(root() + "/ini/set.ini", std::ios::binary) << "[comset]\n" << lines;
    }
    std::string readFile(const std::string &rel) const
    {
        std::ifstream in(root() + "/" + rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    catalogue_test::ProgramDir dir;

private:
    std::string irda_;
};

// The default handset, with messages in both storages, in range on the folder's stand-in.
inline handsetsim::Scenario handsetInRange(const ProgramFolder &folder)
{
    handsetsim::Scenario sc = handsetsim::defaultScenario();
    sc.irda.enabled = true;
    sc.irda.dir = folder.irdaDir();
    auto &sm = sc.smsStorages[0].messages;
    sm[1] = {1, 1, handsetsim::encodeDeliverPdu("+8613912345678", "See you at eight", "05/03/16,19:02:11+32")};
    sm[2] = {2, 0, handsetsim::encodeDeliverPdu("10086", "Balance 12.50")};
    sm[3] = {3, 2, handsetsim::encodeSubmitPdu("+8613912345678", "On my way")};
    auto &me = sc.smsStorages[1].messages;
    me[4] = {4, 1, handsetsim::encodeDeliverPdu("+4930123456", "Grüße aus Köln")};
    return sc;
}

} // namespace program_test
