#include "content/sms_qt/sms_list_rows.h"
#include "acceptance_rig.h"

#include "running_program.h"

#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/lang_mng.h"
#include "forms_app.h"

#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>

#include <fstream>
#include <sstream>

namespace acceptance {

handsetsim::Scenario loadScenario(const std::string &name, const std::string &irdaDir)
{
    std::ifstream in(std::string(SV_ACCEPTANCE_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    handsetsim::Scenario sc = handsetsim::parseScenario(text.str());
    if (!irdaDir.empty()) {
        sc.irda.enabled = true;
        sc.irda.dir = irdaDir;
    }
    return sc;
}

void Rig::SetUp()
{
    forms_test::app();
    if (!handsetsim::HandsetSim::irdaSupported())
        GTEST_SKIP() << "the simulated handset was built without the IrDA stand-in";
}

void Rig::TearDown()
{
    if (program) {
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr)
            << "a modal dialog was left open: " << QApplication::activeModalWidget()->objectName().toStdString();
        endProgram();
    }
    if (sim)
        sim->stop();
    prompt.reset(); // fails the test when scripted answers were left over
}

void Rig::startHandset(const std::string &name, bool irda)
{
    startHandset(loadScenario(name, irda ? folder.irdaDir() : std::string()));
}

void Rig::startHandset(handsetsim::Scenario sc)
{
    sim = std::make_unique<handsetsim::HandsetSim>(std::move(sc));
    tty = sim->start();
}

void Rig::startProgram(bool waitConnected)
{
    program::ProgramOptions o;
    o.programDir = folder.root();
    o.lockDir = folder.root();
    o.clock = &clock;
    o.workerPause = [](int) {};
    o.workerIdleSleep = [](int32_t ms) { return std::min<int32_t>(ms, 50); }; // steps 50 ms apart, not a second
    o.prompt = prompt.get();
    o.handleSignals = false;
    program = std::make_unique<program::Program>(std::move(o));
    int argc = 1;
    char name[] = "Selvark";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(program->start(argc, argv), program::Program::Start::Running);
    // The scenarios act on the messages at once: the table is read here, as a first command would.
    program->stages().sms().OpenStore();
    if (waitConnected)
        ASSERT_TRUE(program_test::waitUntil([&] { return program->manage().Connected; }));
}

void Rig::endProgram()
{
    if (!program)
        return;
    if (w().isVisible())
        w().close();
    program->shutDown();
    EXPECT_TRUE(program->workerStoppedInTime()) << "the worker was still running after shut-down";
    program.reset();
}

void Rig::trigger(const char *name)
{
    QAction *a = w().action(name);
    ASSERT_NE(a, nullptr) << name;
    ASSERT_TRUE(a->isEnabled()) << name;
    a->trigger();
}

void Rig::fromPopup(const char *menu, const char *item)
{
    QMenu *m = w().menu(menu);
    ASSERT_NE(m, nullptr) << menu;
    emit m->aboutToShow();
    trigger(item);
}

QTreeWidgetItem *Rig::boxNode(int box)
{
    for (QTreeWidgetItemIterator it(w().TreeView_sms()); *it; ++it)
        if ((*it)->data(0, content::kBoxIdRole).toInt() == box)
            return *it;
    return nullptr;
}

void Rig::chooseBox(int box, std::initializer_list<int> rows)
{
    w().setActiveArea(forms::kAreaSms);
    QTreeWidgetItem *n = boxNode(box);
    ASSERT_NE(n, nullptr) << box;
    w().TreeView_sms()->setCurrentItem(n);
    QTreeView *list = w().ListView_sms();
    list->clearSelection();
    for (int r : rows) {
        ASSERT_LT(r, sms_list::count(list));
        list->selectionModel()->setCurrentIndex(sms_list::at(list, r), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

int Rig::listed() { return sms_list::count(w().ListView_sms()); }

QStringList Rig::listColumn(int column)
{
    QStringList out;
    QTreeView *list = w().ListView_sms();
    for (int i = 0; i < sms_list::count(list); ++i)
        out << sms_list::text(list, i, column);
    return out;
}

void Rig::readHandsetBook()
{
    w().setActiveArea(forms::kAreaCard);
    w().TreeView_cont()->setCurrentItem(nullptr);
    fromPopup("menu_conttree", "menu_readcont");
}

QTreeWidgetItem *Rig::chooseHandsetStorage(int storage)
{
    w().setActiveArea(forms::kAreaCard);
    for (QTreeWidgetItemIterator it(w().TreeView_cont()); *it; ++it) {
        int book = -1;
        int32_t st = -1;
        if (w().GetContNodeInfo(*it, book, st) && book == 0 && st == storage) {
            w().TreeView_cont()->setCurrentItem(*it);
            return *it;
        }
    }
    ADD_FAILURE() << "no node of the handset's storage " << storage;
    return nullptr;
}

QStringList Rig::contactNames() { return program_test::contactNames(w()); }

QString Rig::t(const char *key) { return QString::fromStdString(program->manage().LangMng().translate(key)); }

void Rig::download()
{
    chooseBox(content::kBoxReceived);
    trigger("mSmsDownload");
}

} // namespace acceptance
