// The message table is read on a thread of its own while the program comes up. The read is held
// here until the test lets it go, so each step is seen in order: the main window paints before any
// box is listed, the list shows that it is coming, the background save leaves the file alone, and
// a change made before the read is in is neither lost nor overwritten by it.

#include "content/sms_qt/sms_list_rows.h"
#include "running_program.h"

#include "content/fake_env.h"
#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "core/db_main.h"
#include "core/db_schema.h"
#include "core/lang_mng.h"
#include "core/app_manage.h"
#include "forms/f_main.h"
#include "program/program.h"
#include "program/stages.h"

#include <QLabel>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <future>

namespace {

using program_test::waitUntil;
namespace fs = std::filesystem;

class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *w) { w->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

class MessagesLoad : public program_test::RunningProgram {
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        openMessagesAtStart = false;
    }
    void TearDown() override
    {
        letReadGo(); // the program's end waits for its reading thread
        RunningProgram::TearDown();
    }
    program::ProgramOptions options() override
    {
        program::ProgramOptions o = RunningProgram::options();
        o.beforeMessagesRead = [held = held_] { held.wait(); };
        return o;
    }
    void letReadGo()
    {
        if (!released_) {
            released_ = true;
            release_.set_value();
        }
    }

    std::string messagesFile() const
    {
        return folder.root() + "/Database/" + core::dbTableDef(core::DbTable::Smsinfo).fileName;
    }
    // A message table on disk before the start: n messages across boxes 1-4, and a handset-box row
    // a killed run left behind.
    void seed(int n)
    {
        platform::Table t = core::makeDbTable(core::DbTable::Smsinfo);
        content::FakeEnv env;
        content::TSMSManage store(env, &t);
        content::ArraySms list;
        for (int i = 0; i < n; ++i)
            list.push_back({.boxid = 1 + i % 4, .Tel = "+4930" + std::to_string(i), .time = "2026-01-02 03:04:05",
                            .body = "message " + std::to_string(i)});
        list.push_back({.boxid = content::kBoxPhoneReceived, .Tel = "10086", .body = "left by a killed run"});
        store.AddMessages(list, -1, false);
        fs::create_directories(folder.root() + "/Database");
        ASSERT_TRUE(t.save(messagesFile()));
        seeded_ = folder.readFile(std::string("Database/") + core::dbTableDef(core::DbTable::Smsinfo).fileName);
    }
    void startAndPaint()
    {
        start();
        PaintWatch watch(&program->mainWindow());
        ASSERT_TRUE(waitUntil([&] { return watch.painted; }));
    }
    void chooseBox(int box) { program_test::chooseBox(program->mainWindow(), box); }
    QTreeView *list() { return program->mainWindow().ListView_sms(); }
    content::SmsView &view() { return program->stages().smsView(); }
    bool listedAgain() { return program->stages().messagesOpen() && !view().waitingForStore(); }
    int rowsOf(int box)
    {
        int n = 0;
        const platform::Table &t = program->db().table(core::DbTable::Smsinfo);
        for (int i = 0; i < t.count(); ++i)
            n += t.rowAt(i)->intAt(t.fieldIndex("boxid")) == box;
        return n;
    }

    std::string seeded_;

private:
    std::promise<void> release_;
    std::shared_future<void> held_ = release_.get_future().share();
    bool released_ = false;
};

TEST_F(MessagesLoad, TheWindowPaintsBeforeAnyBoxIsListedAndListsOnceRead)
{
    seed(300);
    startAndPaint();
    // Painted with the read still held: nothing listed, and the list says what it waits for.
    EXPECT_FALSE(program->stages().messagesOpen());
    EXPECT_TRUE(program->mainWindow().isVisible());
    EXPECT_EQ(program->mainWindow().TreeView_sms()->topLevelItemCount(), 2);
    chooseBox(content::kBoxLocal);
    EXPECT_TRUE(view().waitingForStore());
    EXPECT_EQ(sms_list::count(list()), 0);
    EXPECT_FALSE(list()->isEnabled());
    const QString loading = QString::fromStdString(program->manage().LangMng().translate("fMain_Loading"));
    ASSERT_FALSE(loading.isEmpty());
    EXPECT_TRUE(program->mainWindow().Panel1()->text().endsWith("(" + loading + ")"))
        << program->mainWindow().Panel1()->text().toStdString();
    // The background save runs meanwhile and must not put an empty table over the file.
    program->db().SaveChanged();
    program->db().SaveAll();
    EXPECT_EQ(folder.readFile(std::string("Database/") + core::dbTableDef(core::DbTable::Smsinfo).fileName), seeded_);

    letReadGo();
    ASSERT_TRUE(waitUntil([&] { return listedAgain() && sms_list::count(list()) == 300; }));
    EXPECT_TRUE(list()->isEnabled());
    EXPECT_TRUE(program->mainWindow().Panel1()->text().endsWith("(300)"));
    // Handset boxes are never kept from an earlier run.
    EXPECT_EQ(rowsOf(content::kBoxPhoneReceived), 0);
}

TEST_F(MessagesLoad, AChangeMadeWhileReadingIsKeptAndTheBoxChosenThenIsListed)
{
    seed(40);
    startAndPaint();
    // The user picks the drafts while the read goes on; the window does not wait for it.
    chooseBox(content::kBoxDrafts);
    EXPECT_TRUE(view().waitingForStore());

    // A draft stored before the window heard of the read's end (as the composer stores one): it
    // waits for the read and lands in the table the read brought, not in one the read replaces.
    letReadGo();
    content::ArraySms draft{{.boxid = content::kBoxDrafts, .Tel = "+4412", .body = "written while reading"}};
    // The read's table, with the killed run's handset row gone: the new id is one above 40.
    EXPECT_EQ(program->stages().sms().AddMessages(draft, -1, false), 41);
    EXPECT_EQ(rowsOf(content::kBoxDrafts), 11);

    ASSERT_TRUE(waitUntil([&] { return listedAgain(); }));
    EXPECT_EQ(program->stages().sms().listedBox(), content::kBoxDrafts);
    EXPECT_EQ(sms_list::count(list()), 11);
    EXPECT_EQ(rowsOf(content::kBoxPhoneReceived), 0);

    program->shutDown();
    platform::Table onDisk = core::makeDbTable(core::DbTable::Smsinfo);
    ASSERT_TRUE(onDisk.load(messagesFile()));
    EXPECT_EQ(onDisk.count(), 41);
    bool found = false;
    for (int i = 0; i < onDisk.count(); ++i)
        found = found || onDisk.rowAt(i)->textAt(onDisk.fieldIndex("body")) == "written while reading";
    EXPECT_TRUE(found);
}

} // namespace
