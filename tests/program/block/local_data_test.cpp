// The program's own files when they are not what it wrote: a damaged table still lets it connect
// (in the same run and after a restart), something other than a file where it reads never holds
// the start, and a start step that throws ends the program with a box and a failing exit code.

#include "running_program.h"

#include "core/app_manage.h"
#include "core/db_main.h"
#include "core/prompt.h"
#include "platform/table.h"
#include "program/program.h"
#include "program/stages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using program_test::waitUntil;
namespace fs = std::filesystem;
using core::DbTable;

class LocalData : public program_test::RunningProgram {
protected:
    program::ProgramOptions options() override
    {
        program::ProgramOptions o = RunningProgram::options();
        o.prompt = &prompt;
        return o;
    }
    void restart()
    {
        program->shutDown();
        program.reset();
        start();
    }
    // The Database folder as a finished run leaves it: the real catalogue scanned from Plug-in,
    // a message and a value list.
    void savedDatabase()
    {
        core::RecordingPrompt quiet;
        core::TManage manage(folder.root(), &quiet);
        core::TdbMain db(manage.DatabaseDir(), &quiet);
        struct Quiet : core::ScanObserver {
            void notice(const std::string &) override {}
        } observer;
        ASSERT_TRUE(db.ScanPlugins(folder.root(), observer));
        ASSERT_FALSE(db.catalogue()->connInfo().empty());
        platform::Table &sms = db.table(DbTable::Smsinfo);
        sms.append();
        sms.setInt("id", 1);
        sms.setInt("boxid", 1);
        sms.setText("Tel", "10086");
        sms.setText("body", "kept");
        ASSERT_TRUE(sms.post());
        platform::Table &ss = db.table(DbTable::SSinfo);
        ss.append();
        ss.setInt("ClassId", 1);
        ss.setText("Values", "Best regards");
        ASSERT_TRUE(ss.post());
        ASSERT_EQ(db.SaveAll(), 0);
    }
    std::string dbFile(DbTable t) { return folder.root() + "/Database/" + core::dbTableDef(t).fileName; }

    core::RecordingPrompt prompt;
};

std::string readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string newerFormat(std::string bytes)
{
    bytes[8] = char(platform::kTableFormatVersion + 1);
    const uint32_t crc = platform::crc32(std::string_view(bytes).substr(0, bytes.size() - 4));
    for (int k = 0; k < 4; ++k)
        bytes[bytes.size() - 4 + size_t(k)] = char(crc >> (8 * k));
    return bytes;
}

// Each table damaged in each of three ways: one box names it and where the old file went, the
// program connects to the handset in that run, and after a restart it connects again with no box.
TEST_F(LocalData, ADamagedTableStillLetsTheProgramConnect)
{
    enum Damage { Garbage, CutShort, Newer };
    struct Case {
        DbTable table;
        Damage damage;
    };
    std::vector<Case> cases;
    for (DbTable t : {DbTable::BaseInfo, DbTable::PlugInfo, DbTable::ModelRef, DbTable::ConnInfo, DbTable::Smsinfo,
                      DbTable::SSinfo})
        for (Damage d : {Garbage, CutShort, Newer})
            cases.push_back({t, d});
    startHandset();
    for (const auto &c : cases) {
        const std::string file = dbFile(c.table);
        SCOPED_TRACE(file + " damage " + std::to_string(int(c.damage)));
        fs::remove_all(folder.root() + "/Database");
        savedDatabase();
        const std::string good = readBytes(file);
        const std::string bad = c.damage == Garbage    ? std::string("garbage, not a table")
                                : c.damage == CutShort ? good.substr(0, good.size() * 2 / 3)
                                                       : newerFormat(good);
        writeBytes(file, bad);
        prompt.clear();

        start();
        ASSERT_TRUE(waitUntil([&] { return program->manage().Connected; }));
        ASSERT_EQ(prompt.shown().size(), 1u);
        const std::string &box = prompt.shown()[0].text;
        EXPECT_EQ(box.rfind(core::kDbCorrupted, 0), 0u) << box;
        EXPECT_NE(box.find(file), std::string::npos) << box;
        EXPECT_NE(box.find("kept as " + file + ".damaged"), std::string::npos) << box;
        EXPECT_EQ(readBytes(file + ".damaged"), bad);
        EXPECT_TRUE(program->db().isOpen(c.table));
        const bool lostMessages = c.table == DbTable::Smsinfo;
        EXPECT_EQ(program->db().table(DbTable::Smsinfo).totalRows(), lostMessages ? 0 : 1);

        restart();
        EXPECT_TRUE(waitUntil([&] { return program->manage().Connected; }));
        EXPECT_EQ(prompt.shown().size(), 1u) << "the second start finds every table whole";
        EXPECT_EQ(readBytes(file + ".damaged"), bad);
        program->shutDown();
        program.reset();
    }
}

// Stops a start that waits on a named pipe: after the limit, opens each pipe for writing (which
// releases a reader waiting in open) and says so.
class PipeWatch {
public:
    PipeWatch(std::vector<std::string> pipes, std::chrono::seconds limit)
        : pipes_(std::move(pipes)), thread_([this, limit] {
              std::unique_lock<std::mutex> lock(m_);
              if (cv_.wait_for(lock, limit, [this] { return done_; }))
                  return;
              hung_ = true;
              for (const std::string &p : pipes_) {
                  const int fd = ::open(p.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                  if (fd >= 0)
                      ::close(fd);
              }
          })
    {
    }
    ~PipeWatch()
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    bool hung() const { return hung_; }

private:
    std::vector<std::string> pipes_;
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    std::atomic<bool> hung_{false};
    std::thread thread_;
};

// A named pipe at each path the start reads: the program comes up without waiting for a writer,
// and says which file it could not use (in a box, or on standard error where the part has no box).
TEST_F(LocalData, ANamedPipeWhereTheStartReadsNeverHoldsIt)
{
    const struct {
        const char *path;
        bool box; // else standard error
    } cases[] = {
        {"Database/Smsinfo.cds", true}, {"Database/SSinfo.cds", true}, {"Database/ModelRef.cds", true},
        {"Database/Phrase.cds", true},  {"ini/set.ini", true},         {"Language/English.dat", false},
        {"Face.jpg", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        const std::string path = folder.root() + "/" + c.path;
        fs::create_directories(fs::path(path).parent_path());
        fs::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        prompt.clear();
        testing::internal::CaptureStderr();
        bool hung = false;
        {
            PipeWatch watch({path}, std::chrono::seconds(20));
            start();
            program->stages().phrases().Load();
            hung = watch.hung();
        }
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(hung) << "the start waited on the pipe";
        if (c.box) {
            bool named = false;
            for (const auto &s : prompt.shown())
                named = named || s.text.find(std::string(c.path) + ": not a regular file (a named pipe)") !=
                                     std::string::npos;
            EXPECT_TRUE(named) << (prompt.shown().empty() ? std::string("no box") : prompt.shown()[0].text);
        } else if (std::string(c.path) != "Face.jpg") {
            EXPECT_NE(err.find(std::string(c.path) + ": not a regular file (a named pipe)"), std::string::npos)
                << err.substr(0, 3000);
        }
        program->shutDown();
        program.reset();
        // What the next case needs in its place.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode))
            fs::remove(path);
        if (std::string(c.path) == "Language/English.dat")
            fs::copy_file(catalogue_test::kDistDir + "/Language/English.dat", path);
    }
}

// A start step that throws: the splash goes, one box shows the exception's text, the start
// answers Failed and the exit code is 1; the parts made so far are taken down cleanly.
TEST_F(LocalData, AThrowingStartStepShowsItsTextAndFails)
{
    for (int failing : {3, 4, 7, 8, 9}) {
        SCOPED_TRACE("step " + std::to_string(failing));
        prompt.clear();
        program::ProgramOptions o = options();
        o.beforeStep = [failing](int step) {
            if (step == failing)
                throw std::runtime_error("step " + std::to_string(step) + " broke");
        };
        auto p = std::make_unique<program::Program>(std::move(o));
        int argc = 1;
        char name[] = "Selvark";
        char *argv[] = {name, nullptr};
        EXPECT_EQ(p->start(argc, argv), program::Program::Start::Failed);
        EXPECT_EQ(p->exitCode(), 1);
        EXPECT_EQ(p->run(), 1);
        ASSERT_EQ(prompt.shown().size(), 1u);
        EXPECT_EQ(prompt.shown()[0].text, "Selvark could not start: step " + std::to_string(failing) + " broke");
        EXPECT_EQ(prompt.shown()[0].flags, core::kMbOk | core::kMbIconError);
        p.reset();
    }
    // As main() runs it: the exit code.
    program::ProgramOptions o = options();
    o.beforeStep = [](int step) {
        if (step == 8)
            throw std::runtime_error("no");
    };
    int argc = 1;
    char name[] = "Selvark";
    char *argv[] = {name, nullptr};
    EXPECT_EQ(program::runProgram(argc, argv, std::move(o)), 1);
}

} // namespace
