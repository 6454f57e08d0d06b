// The program killed with SIGKILL at random moments after operations it completed — a download,
// a draft saved, a message deleted, a phrase added — and started again, over and over on one
// program folder. Each run is a forked child that starts the program block, reports what its
// start loaded, does one operation, reports "done" when the call returned and "disk" once the
// database says every table is on disk, and waits to be killed. The test kills it either just
// after "done" (a save may be under way) or just after "disk", then reads the table files as the
// next start will: every operation reported on disk must be there, no file may be damaged, and
// the next start must load exactly what the files hold, without a box.
//
// The test process itself never starts Qt: the children do, each in a fresh fork, taken while the
// test runs no other thread.

#include "program_fixture.h"

#include "content/phrase_mng.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/db_main.h"
#include "core/db_schema.h"
#include "core/prompt.h"
#include "program/program.h"
#include "program/stages.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>

namespace {

using core::DbTable;
using program_test::ProgramFolder;

enum class Op { Draft, Delete, Phrase, Download };

constexpr const char *kGroup = "Kept";

void say(int fd, const std::string &line)
{
    const std::string l = line + "\n";
    size_t done = 0;
    while (done < l.size()) {
        const ssize_t n = ::write(fd, l.data() + done, l.size() - done);
        if (n <= 0)
            _exit(4);
        done += size_t(n);
    }
}

// The child: one run of the program on the folder. Never returns.
[[noreturn]] void child(const ProgramFolder &folder, int fd, Op op, int k, int32_t deleteId)
{
    int argc = 1;
    char name[] = "Selvark";
    char *argv[] = {name, nullptr};
    {
        QApplication app(argc, argv);
        core::RecordingPrompt prompt;
        program::ProgramOptions o;
        o.programDir = folder.root();
        o.lockDir = folder.root();
        o.handleSignals = false;
        o.workerPause = [](int) {};
        o.prompt = &prompt;
        program::Program p(o);
        if (p.start(argc, argv) != program::Program::Start::Running)
            _exit(5);
        program::Stages &st = p.stages();
        st.sms().OpenStore(); // the table is read in the background: counted once it is in
        st.phrases().Load();
        say(fd, "up " + std::to_string(p.db().table(DbTable::Smsinfo).totalRows()) + " " +
                    std::to_string(p.db().table(DbTable::Phrase).totalRows()));
        size_t reported = 0;
        auto boxes = [&] {
            for (; reported < prompt.shown().size(); ++reported)
                say(fd, "box " + prompt.shown()[reported].text);
        };
        boxes();
        switch (op) {
        case Op::Draft: {
            content::ArraySms d{content::Ssms{.boxid = content::kBoxDrafts, .Tel = "+4412345",
                                              .body = "draft " + std::to_string(k)}};
            if (st.sms().AddMessages(d, -1, false) <= 0)
                _exit(6);
            break;
        }
        case Op::Delete: {
            content::ArraySms d{content::Ssms{.id = deleteId, .boxid = content::kBoxDrafts}};
            if (st.sms().DeleteMessages(d) != 0)
                _exit(6);
            break;
        }
        case Op::Phrase:
            if (!st.phrases().GroupExists(kGroup) && st.phrases().AddGroup(kGroup) == 0)
                _exit(6);
            if (st.phrases().AddPhrase(kGroup, "phrase " + std::to_string(k)) == 0)
                _exit(6);
            break;
        case Op::Download:
            if (!program_test::waitUntil([&] { return p.manage().Connected; }, std::chrono::seconds(60)))
                _exit(7);
            say(fd, "connected");
            if (st.smsTransfer().Download() != 0)
                _exit(6);
            break;
        }
        say(fd, "done");
        if (!program_test::waitUntil([&] { return p.db().allSaved(); }, std::chrono::seconds(60)))
            _exit(8);
        say(fd, "disk");
        boxes();
        program_test::waitUntil([] { return false; }, std::chrono::seconds(120));
    }
    _exit(9); // never killed: the test has gone
}

// Reads the child's lines until `want` (true) or the end of the pipe (false).
bool readUntil(int fd, std::string &buffer, const std::string &want, std::vector<std::string> &lines)
{
    for (;;) {
        size_t nl;
        while ((nl = buffer.find('\n')) != std::string::npos) {
            lines.push_back(buffer.substr(0, nl));
            buffer.erase(0, nl + 1);
            if (lines.back() == want)
                return true;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 120000) <= 0)
            return false;
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffer.append(chunk, size_t(n));
    }
}

struct OnDisk {
    std::vector<content::Ssms> sms;
    std::set<std::string> phrases;
    bool has(const std::string &body, int box) const
    {
        return std::any_of(sms.begin(), sms.end(), [&](const content::Ssms &m) { return m.body == body && m.boxid == box; });
    }
    int32_t idOf(const std::string &body) const
    {
        for (const content::Ssms &m : sms)
            if (m.body == body)
                return m.id;
        return 0;
    }
};

// The tables as the next start reads them; a damaged file fails the test.
OnDisk readFolder(const ProgramFolder &folder)
{
    OnDisk out;
    const std::string db = folder.root() + "/Database/";
    platform::Table sms = core::makeDbTable(DbTable::Smsinfo);
    const platform::TableResult rs = sms.load(db + "Smsinfo.cds");
    EXPECT_TRUE(rs || rs.status == platform::TableStatus::Missing) << rs.message;
    for (const platform::Row &r : sms.rows())
        out.sms.push_back({.id = r.intAt(0), .boxid = r.intAt(2), .body = std::string(r.textAt(6))});
    platform::Table ph = core::makeDbTable(DbTable::Phrase);
    const platform::TableResult rp = ph.load(db + "Phrase.cds");
    EXPECT_TRUE(rp || rp.status == platform::TableStatus::Missing) << rp.message;
    for (const platform::Row &r : ph.rows())
        out.phrases.emplace(r.textAt(2));
    return out;
}

} // namespace

TEST(KilledProgram, EveryOperationOnDiskSurvivesAKill)
{
    if (!handsetsim::HandsetSim::irdaSupported())
        GTEST_SKIP() << "the simulated handset was built without the IrDA stand-in";
    ProgramFolder folder;
    std::mt19937 random(4711);
    constexpr int kRuns = 52;
    // What must be found after each kill: bodies of drafts and their box, phrases, downloads.
    std::vector<std::pair<std::string, int>> drafts; // body, box
    std::set<std::string> phrases;
    bool downloaded = false;
    size_t expectSms = 0, expectPhrases = 0;
    int killedInSave = 0;

    for (int k = 0; k < kRuns; ++k) {
        SCOPED_TRACE("run " + std::to_string(k));
        // A download every eighth run; a delete once there is a draft to delete.
        Op op = k % 8 == 7 ? Op::Download : k % 4 == 1 ? Op::Phrase : k % 4 == 3 ? Op::Delete : Op::Draft;
        std::string victim;
        for (const auto &[body, box] : drafts)
            if (box == content::kBoxDrafts)
                victim = body;
        if (op == Op::Delete && victim.empty())
            op = Op::Draft;
        const OnDisk before = readFolder(folder);
        const int32_t victimId = victim.empty() ? 0 : before.idOf(victim);

        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(pipeFds[0]);
            child(folder, pipeFds[1], op, k, victimId);
        }
        ::close(pipeFds[1]);
        // Started after the fork: a child forked while the handset's threads run could inherit
        // a lock one of them held. The child's automatic connection finds it a moment later.
        std::unique_ptr<handsetsim::HandsetSim> sim;
        if (op == Op::Download) {
            sim = std::make_unique<handsetsim::HandsetSim>(program_test::handsetInRange(folder));
            sim->start();
        }
        std::string buffer;
        std::vector<std::string> lines;
        const bool afterDisk = random() % 2 == 0;
        const bool reached = readUntil(pipeFds[0], buffer, afterDisk ? "disk" : "done", lines);
        if (reached)
            ::usleep(useconds_t(random() % (afterDisk ? 20000 : 3000)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!afterDisk && reached)
            ++killedInSave;
        // Whatever was read before the kill.
        readUntil(pipeFds[0], buffer, "", lines);
        ::close(pipeFds[0]);
        if (sim)
            sim->stop();
        std::string seen;
        for (const std::string &l : lines)
            seen += l + " | ";
        ASSERT_TRUE(reached) << "the child ended early (" << seen << "): status " << status
                             << (WIFEXITED(status) ? " exit " + std::to_string(WEXITSTATUS(status)) : "");

        // The start loaded what the last kill left on disk, without a box.
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], "up " + std::to_string(expectSms) + " " + std::to_string(expectPhrases));
        for (const std::string &l : lines)
            EXPECT_NE(l.rfind("box ", 0), 0u) << l;

        const bool mustBeThere = afterDisk;
        const OnDisk now = readFolder(folder);
        const std::string body = "draft " + std::to_string(k);
        switch (op) {
        case Op::Draft:
            if (mustBeThere)
                EXPECT_TRUE(now.has(body, content::kBoxDrafts));
            if (now.has(body, content::kBoxDrafts))
                drafts.push_back({body, content::kBoxDrafts});
            break;
        case Op::Delete:
            if (mustBeThere)
                EXPECT_TRUE(now.has(victim, content::kBoxRecycle)) << victim;
            for (auto &d : drafts)
                if (d.first == victim && now.has(victim, content::kBoxRecycle))
                    d.second = content::kBoxRecycle;
            break;
        case Op::Phrase:
            if (mustBeThere)
                EXPECT_TRUE(now.phrases.count("phrase " + std::to_string(k)));
            if (now.phrases.count("phrase " + std::to_string(k)))
                phrases.insert("phrase " + std::to_string(k));
            break;
        case Op::Download:
            if (mustBeThere)
                EXPECT_TRUE(now.has("Balance 12.50", content::kBoxReceived));
            downloaded = downloaded || now.has("Balance 12.50", content::kBoxReceived);
            break;
        }
        // Nothing an earlier run put on disk went missing.
        for (const auto &[b, box] : drafts)
            EXPECT_TRUE(now.has(b, box)) << b;
        for (const std::string &p : phrases)
            EXPECT_TRUE(now.phrases.count(p)) << p;
        if (downloaded)
            EXPECT_TRUE(now.has("Balance 12.50", content::kBoxReceived));
        // The next start drops the handset-box copies a killed download left.
        expectSms = size_t(std::count_if(now.sms.begin(), now.sms.end(),
                                         [](const content::Ssms &m) { return m.boxid <= content::kBoxPhone; }));
        expectPhrases = now.phrases.size();
        if (HasFailure())
            break;
    }
    EXPECT_GT(killedInSave, 0);
    std::printf("%d runs killed, %d of them right after the operation returned\n", kRuns, killedInSave);
}
