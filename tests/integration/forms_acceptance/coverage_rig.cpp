#include "coverage_rig.h"

#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/lang_mng.h"
#include "forms/f_main.h"
#include "forms/fm_about.h"
#include "forms/fm_add_edit.h"
#include "forms/fm_edit_vcard.h"
#include "forms/frm_progress.h"
#include "core/prompt.h"
#include "content/phonebook_manage.h"
#include "forms/fm_phone_list.h"
#include "forms/fm_phrase.h"
#include "forms/fr_viewprint.h"
#include "forms_app.h"
#include "program/stages.h"

#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace coverage_test {

namespace {

using program_test::waitUntil;

// Commands that end the program, drop the link or throw rows away: the walk leaves them alone so
// the states after them are still there to walk.
const std::set<std::string> kNotTriggered = {
    "menu_exit", "mConnect", "nHelp", "m_del", "m_cut", "pSmsDel", "menu_delcont", "nCut", "npCut", "nDel",
    "menu_user_clear", "menu_clear_sms", "m_ContClear", "npClear", "nGrpDel", "menu_user_delgroup",
    "m_Forward", "m_Backward", "mSmsDownload", "menu_load_sms", "menu_sendall", "pSmsSend", "menu_sms_send",
    "pSmsWriteSim", "pSmsWritePhone", "menu_flash", "N88", "m_picture_send", "m_ring_send", "nRename",
    "pSmsUndel", "menu_allundel_sms", "pSmsSa", "m_pase", "nPaste", "npPaste",
};

// The commands whose dialog differs by the box or storage chosen.
const std::set<std::string> kPerNode = {"P1", "mSmsNew", "mSmsEdit", "pSmsProperty", "menu_addcont",
                                        "menu_editcont", "nNew", "nEdit"};

// The pop-ups whose opening rules set their items' states, per area.
const char *const kPopups[] = {"menu_tree_sms", "menu_list_sms", "menu_conttree", "menu_contview",
                               "menu_treeuser", "menu_userview"};

void closeForm(QWidget *w)
{
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        if (QAbstractButton *b = box->escapeButton())
            b->click();
        else
            box->reject();
    } else if (auto *d = qobject_cast<QDialog *>(w)) {
        d->reject();
    } else {
        w->close();
    }
}

bool isQtOwn(const QWidget *w) { return qobject_cast<const QMessageBox *>(w) || qobject_cast<const QFileDialog *>(w); }

} // namespace

std::string formName(const QWidget *w)
{
    const QString n = w->objectName();
    return n.isEmpty() ? std::string(w->metaObject()->className()) : n.toStdString();
}

Walk::Walk(Visitor visitor) : visitor_(std::move(visitor)) { forms_test::app(); }

Walk::~Walk()
{
    if (program_) {
        program_->shutDown();
        program_.reset();
    }
    if (sim_)
        sim_->stop();
}

void Walk::visitForm(QWidget *w, const std::string &state)
{
    visited_.insert(formName(w));
    visitor_(w, state);
    // A dialog with pages: each page as the user turns to it.
    for (QTabWidget *tabs : w->findChildren<QTabWidget *>()) {
        if (!tabs->isVisibleTo(w))
            continue;
        const int was = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            if (i == was || !tabs->isTabEnabled(i))
                continue;
            tabs->setCurrentIndex(i);
            QCoreApplication::processEvents();
            visitor_(w, state + ", page " + std::to_string(i) + " of " + formName(tabs));
        }
        tabs->setCurrentIndex(was);
    }
}

void Walk::visitModal(QWidget *w, const std::string &state)
{

    if (!isQtOwn(w))
        visitForm(w, state);
    else
        visited_.insert(formName(w));
}

void Walk::triggerAndVisit(const char *name, const std::string &state)
{
    forms::TfMain &win = program_->mainWindow();
    QAction *a = win.action(name);
    ASSERT_NE(a, nullptr) << name;
    if (!a->isEnabled() || !a->isVisible())
        return;
    const std::string at = state + ", " + name;
    if (std::getenv("SV_WALK_TRACE"))
        std::fprintf(stderr, "walk: %lld %s\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count() % 1000000), at.c_str());
    std::set<QWidget *> seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *m = QApplication::activeModalWidget();
        if (!m || !m->isVisible() || seen.count(m))
            return;
        // A dialog that reads the handset as it opens is looked at once it has read (its reading
        // pumps this loop, so the check comes round again).
        if (auto *refresh = m->findChild<QWidget *>("btnRefresh"); refresh && !refresh->isEnabled())
            return;
        seen.insert(m);
        visitModal(m, at);
        // A progress dialog runs its batch to the end by itself.
        if (formName(m) != "FrmProgress")
            closeForm(m);
    });
    poll.start();
    a->trigger();
    // Modeless windows a command opens (the find dialog) are visited and closed as well.
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top == &win || !top->isVisible() || seen.count(top) || qobject_cast<QMenu *>(top))
            continue;
        seen.insert(top);
        visitModal(top, at);
        closeForm(top);
    }
    EXPECT_TRUE(waitUntil([] { return QApplication::activeModalWidget() == nullptr; }, std::chrono::seconds(10)))
        << at << " left a modal dialog open";
    poll.stop();
}

void Walk::walkWindow(const std::string &state)
{
    forms::TfMain &win = program_->mainWindow();
    const struct {
        int area;
        QTreeWidget *tree;
        QTreeView *list;
        const char *name;
    } areas[] = {
        {forms::kAreaSms, win.TreeView_sms(), win.ListView_sms(), "messages"},
        {forms::kAreaCard, win.TreeView_cont(), win.ListView_cont(), "contacts"},
        {forms::kAreaUser, win.TreeView_usersms(), win.ListView_usersms(), "phrases"},
    };
    for (const auto &ar : areas) {
        win.setActiveArea(ar.area);
        QCoreApplication::processEvents();
        std::vector<QTreeWidgetItem *> nodes;
        for (QTreeWidgetItemIterator it(ar.tree); *it; ++it)
            nodes.push_back(*it);
        bool triedAll = false;
        for (size_t n = 0; n < nodes.size(); ++n) {
            ar.tree->setCurrentItem(nodes[n]);
            if (ar.area == forms::kAreaSms)
                win.TreeView_smsChange();
            else if (ar.area == forms::kAreaCard)
                win.TreeView_contChange();
            else
                win.TreeView_usersmsChange();
            if (ar.list->model()->rowCount() > 0) {
                ar.list->clearSelection();
                ar.list->selectionModel()->setCurrentIndex(ar.list->model()->index(0, 0),
                                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                if (ar.area == forms::kAreaSms)
                    win.ListView_smsClick();
            }
            QCoreApplication::processEvents();
            const std::string at = state + ", " + ar.name + " node " + std::to_string(n) + " \"" +
                                   nodes[n]->text(0).toStdString() + "\"";
            visitForm(&win, at);
            // Every command once per area (at the first node that lists rows, or the last node);
            // the editors and the print dialog, which differ by box and storage, at every node.
            const bool everything = !triedAll && (ar.list->model()->rowCount() > 0 || n + 1 == nodes.size());
            triedAll = triedAll || everything;
            for (const char *p : kPopups)
                if (QMenu *m = win.menu(p))
                    emit m->aboutToShow();
            for (QAction *a : win.findChildren<QAction *>()) {
                const std::string name = a->objectName().toStdString();
                if (name.empty() || a->isSeparator() || a->menu() || kNotTriggered.count(name))
                    continue;
                if (!win.action(a->objectName()))
                    continue;
                // The view switches move to another area: the walk does that itself.
                if (name.rfind("menu_to", 0) == 0 || name == "N53" || name == "N60" || name == "N62")
                    continue;
                // A tool button runs its menu item's command: the menu item is walked.
                if (name.rfind("button_", 0) == 0)
                    continue;
                if (!everything && !kPerNode.count(name))
                    continue;
                triggerAndVisit(name.c_str(), at);
                if (::testing::Test::HasFatalFailure())
                    return;
            }
        }
    }
}

void Walk::nestedDialogs()
{
    // Dialogs only other dialogs open: made here over the program's own managers.
    core::TManage &manage = program_->manage();
    const core::TLangMng &lang = manage.LangMng();
    program::Stages &st = program_->stages();
    auto show = [&](QWidget *w) {
        w->show();
        QCoreApplication::processEvents();
        visitForm(w, "opened on its own");
        w->close();
    };
    {
        forms::TfmAdd d(lang);
        show(&d);
    }
    {
        forms::TfPhoneList d(lang, st.env(), st.phoneBook());
        show(&d);
    }
    {
        forms::TfPhraseList d(lang, st.phrases());
        show(&d);
    }
    {
        forms::TfPhraseEdit d(lang, st.phrases());
        show(&d);
    }
    {
        forms::TfAbout d(lang);
        show(&d);
    }
    {
        // The contact editor for each handset storage, as the add command sets it up.
        core::RecordingPrompt prompt;
        for (auto code : {content::StorageCode::Sim, content::StorageCode::Phone, content::StorageCode::Contacts}) {
            forms::TfVcardEdit d(lang, prompt, st.phoneBook().GetGroupNames(0));
            d.templ = st.phoneBook().GetStorageFields(0, code);
            d.storageCode = static_cast<int32_t>(code);
            if (d.BuildRows() == 0)
                show(&d);
        }
    }
    // The progress dialog of a batch, as it comes up.
    show(&st.progress());
}

void Walk::run()
{
    program::ProgramOptions o;
    o.programDir = folder_.root();
    o.lockDir = folder_.root();
    o.clock = &clock_;
    o.workerPause = [](int) {};
    o.workerIdleSleep = [](int32_t ms) { return std::min<int32_t>(ms, 50); }; // steps 50 ms apart, not a second
    program_ = std::make_unique<program::Program>(std::move(o));
    int argc = 1;
    char name[] = "Selvark";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(program_->start(argc, argv), program::Program::Start::Running);
    forms::TfMain &win = program_->mainWindow();
    win.show();
    QCoreApplication::processEvents();

    walkWindow("disconnected");
    if (::testing::Test::HasFatalFailure())
        return;

    handsetsim::Scenario sc = program_test::handsetInRange(folder_);
    sc.phonebooks[0].entries[1] = {1, "+4411111", 145, "Ann"};
    sc.phonebooks[0].entries[2] = {2, "+4422222", 145, "Bob"};
    sim_ = std::make_unique<handsetsim::HandsetSim>(sc);
    sim_->start();
    ASSERT_TRUE(waitUntil([&] { return program_->manage().Connected; }));
    // Messages and the handset's books downloaded, so the areas have content to show.
    win.setActiveArea(forms::kAreaSms);
    triggerAndVisit("mSmsDownload", "connected");
    win.setActiveArea(forms::kAreaCard);
    for (QTreeWidgetItemIterator it(win.TreeView_cont()); *it; ++it) {
        int book = -1;
        int32_t storage = -1;
        if (win.GetContNodeInfo(*it, book, storage) && book == 0 && storage > 0) {
            win.TreeView_cont()->setCurrentItem(*it);
            win.TreeView_contChange();
            if (QMenu *m = win.menu("menu_conttree"))
                emit m->aboutToShow();
            triggerAndVisit("menu_readcont", "connected");
        }
    }
    walkWindow("connected");
    if (::testing::Test::HasFatalFailure())
        return;
    nestedDialogs();
}

} // namespace coverage_test
