#include "forms/f_main_commands.h"

#include "content/contact_fields.h"
#include "content/sms_split.h"
#include "content/contacts_view.h"
#include "content/env.h"
#include "content/phonebook_manage.h"
#include "content/phrase_mng.h"
#include "content/qt/apply_menu.h"
#include "content/qt/contacts_qt.h"
#include "content/qt/phrase_view.h"
#include "content/qt/sms_view.h"
#include "content/sms_transfer.h"
#include "core/app_manage.h"
#include "core/comm/comm_mng.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "forms/f_main.h"
#include "forms/f_phone_info.h"
#include "forms/fm_about.h"
#include "forms/fm_edit_sms.h"
#include "forms/fm_edit_vcard.h"
#include "forms/fm_phrase.h"
#include "forms/fr_print.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressDialog>
#include <QStatusBar>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QTreeWidget>
#include <QWidget>

#include <algorithm>

namespace forms {
namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}
std::string utf8(const QString &s)
{
    return s.toStdString();
}

// Message-box flags of the questions: OK and Cancel with the question icon.
constexpr unsigned kAskFlags = core::kMbOkCancel | core::kMbIconQuestion; // 33

// The tag the pop-up rules read: 1 needs a connection, 99 is the paste item.
constexpr int kTagConnected = 1;
constexpr int kTagPaste = 99;

// Longest group name a rename keeps, in bytes.
constexpr size_t kGroupNameBytes = 64;

constexpr int kPhraseCountColumn = 2;
constexpr int kPhraseTimeColumn = 1;

content::Ssms messageRef(int32_t id, int box)
{
    content::Ssms m;
    m.id = id;
    m.boxid = box;
    return m;
}

bool isContactArea(int area)
{
    return area == kAreaCard;
}

// The contact-row texts: sub-item k is column k + 1.
QString subItem(const QTreeWidgetItem *row, int k)
{
    return row->text(k + 1);
}

// The row an edit acts on: the current row when it is selected, else the first selected one;
// null when no row is selected.
QTreeWidgetItem *chosenRow(QTreeWidget *list)
{
    QTreeWidgetItem *row = list->currentItem();
    if (row && row->isSelected())
        return row;
    const QList<QTreeWidgetItem *> sel = list->selectedItems();
    return sel.isEmpty() ? nullptr : sel.first();
}

} // namespace

struct TfMainCommands::SmsSelection {
    int box = -1;
    int row = -1; // the first selected row
    int count = 0;
    int32_t id = 0;
};

namespace {

// The selected rows of a flat list, ascending; read from the selection's ranges, not every row.
std::vector<int> selectedListRows(const QAbstractItemView *list)
{
    std::vector<int> rows;
    const QItemSelectionModel *sel = list ? list->selectionModel() : nullptr;
    if (!sel)
        return rows;
    for (const QItemSelectionRange &r : sel->selection())
        if (!r.parent().isValid())
            for (int i = r.top(); i <= r.bottom(); ++i)
                rows.push_back(i);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

} // namespace

CommandServices programServices(TfMain &main, const ProgramParts &parts)
{
    CommandServices s;
    s.manage = &parts.manage;
    s.prompt = &parts.prompt;
    s.comm = &parts.comm;
    s.smsTransfer = &parts.smsTransfer;
    s.settings = parts.settings;
    QPointer<TfMain> window(&main);
    content::TSmsTransfer *transfer = &parts.smsTransfer;
    s.composer = [window, parts, transfer](const ComposerRequest &req) {
        TfEditSms dlg({parts.manage, parts.env, parts.sms,
                       [transfer](content::ArraySms &list) { return transfer->SendMessages(list); }, &parts.phrases,
                       &parts.phoneBook},
                      window.data());
        dlg.preset(req.FSms, req.FNewMode == 1);
        ComposerResult r;
        r.modalResult = dlg.exec();
        r.records = dlg.lastList();
        if (r.modalResult == kMrOk)
            r.edit = dlg.saveRecords();
        return r;
    };
    s.phraseEditor = [window, parts](const PhraseEdit &in) -> std::optional<PhraseEdit> {
        TfPhraseEdit ed(parts.manage.LangMng(), parts.phrases, window.data());
        ed.groupName = in.group;
        ed.text = in.text;
        if (ed.exec() != kMrOk)
            return std::nullopt;
        return PhraseEdit{ed.groupName, ed.text};
    };
    s.about = [window, parts] {
        TfAbout about(parts.manage.LangMng(), window.data());
        about.exec();
    };
    s.phoneInfo = [window, parts] {
        TfPhoneInfo info(parts.manage, parts.comm, window.data());
        info.exec();
    };
    return s;
}

const std::vector<const char *> &TfMainCommands::idleItems()
{
    static const std::vector<const char *> names = {
        "button_disconn", "button_unlinksms", "menu_sendall", "pSmsWrite", "m_laguset", "N93",
        "m_picture",      "m_ring",           "m_group",      "m_vcard",   "menu_option",
        // The edit menu's delete and clear: their enabled state follows the phrase list, but no
        // command is theirs.
        "m_del", "menu_user_clear"};
    return names;
}

TfMainCommands::TfMainCommands(TfMain &main, CommandServices services)
    : main_(main), s_(std::move(services))
{
    // General commands.
    for (const char *n : {"mConnect", "button_linksms", "button_linkcont"})
        bind(n, [this] { mConnectClick(); });
    bind("menu_exit", [this] { menu_exitClick(); });
    for (const char *n : {"P1", "tbPrint", "button_print"})
        bind(n, [this] { tbPrintClick(); });
    for (const char *n : {"tbSet", "tbSeta", "ToolButton6", "m_comset"})
        bind(n, [this] { tbSetClick(); });
    for (const char *n : {"nHelp", "tbHelp", "ToolButton10", "ToolButton12"})
        bind(n, [this] { nHelpClick(); });
    bind("N34", [this] { N34Click(); });
    bind("SysTemInfo1", [this] { SysTemInfo1Click(); });
    // The tool-bar and status-bar items carry a check mark, on at start.
    for (const char *n : {"N60", "N62"})
        if (QAction *a = action(n)) {
            a->setCheckable(true);
            a->setChecked(true);
        }
    bind("N60", [this] { N60Click(); });
    bind("N62", [this] { N62Click(); });
    // menu_tosms and its siblings, and the form keys, are the window's own (TfMain).
    bind("m_selectall", [this] { m_selectallClick(); });

    // Messages.
    for (const char *n : {"menu_load_sms", "mSmsDownload", "button_downloadsms"})
        bind(n, [this] { mSmsDownloadClick(); });
    for (const char *n : {"pSmsNew", "mSmsNew", "menu_add_sms", "button_mewsms"})
        bind(n, [this] { pSmsNewClick(); });
    for (const char *n : {"pSmsEdit", "mSmsEdit", "pSmsProperty"})
        bind(n, [this] { pSmsEditClick(); });
    for (const char *n : {"pSmsSendto", "mSmsSendto"})
        bind(n, [this] { pSmsSendtoClick(); });
    for (const char *n : {"pSmsResend", "mSmsResend", "button_resendsms"})
        bind(n, [this] { pSmsResendClick(); });
    for (const char *n : {"pSmsSend", "menu_sms_send", "button_sendsms"})
        bind(n, [this] { pSmsSendClick(); });
    for (const char *n : {"pSmsSendBack", "mSmsSendback", "button_sendbacksms"})
        bind(n, [this] { pSmsSendBackClick(); });
    bind("pSmsDel", [this] { pSmsDelClick(); });
    bind("pSmsUndel", [this] { pSmsUndelClick(); });
    bind("menu_allundel_sms", [this] { menu_allundel_smsClick(); });
    bind("menu_clear_sms", [this] { menu_clear_smsClick(); });
    bind("pSmsSa", [this] { pSmsSaClick(); });
    if (QTreeView *l = main_.ListView_sms())
        connect(l, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &at) {
            if (at.isValid())
                pSmsEditClick();
        });

    // Contacts.
    for (const char *n : {"menu_readcont", "menu_cont_read", "button_loadcont"})
        bind(n, [this] { menu_readcontClick(); });
    for (const char *n : {"menu_flash", "N88", "button_flash"})
        bind(n, [this] { menu_flashClick(); });
    for (const char *n : {"M_ContNew", "menu_addcont", "menu_cont_add", "button_addcont"})
        bind(n, [this] { M_ContNewClick(); });
    for (const char *n : {"menu_editcont", "N90"})
        bind(n, [this] { menu_editcontClick(); });
    bind("menu_delcont", [this] { menu_delcontClick(); });
    bind("m_ContClear", [this] { m_ContClearClick(); });
    // The edit menu's copy item is enabled with the pop-up's copy: it copies too.
    for (const char *n : {"nCopy", "m_copy"})
        bind(n, [this] { nCopyClick(); });
    for (const char *n : {"nCut", "m_cut"})
        bind(n, [this] { nCutClick(); });
    for (const char *n : {"nPaste", "m_pase"})
        bind(n, [this] { nPasteClick(); });
    bind("menu_selectallcont", [this] { menu_selectallcontClick(); });
    bind("menu_sendsmstocont", [this] { menu_sendsmstocontClick(); });
    bind("menu_sendsmstogroup", [this] { menu_sendsmstogroupClick(); });
    bind("button_load", [this] { button_loadClick(); });
    bind("button_savetofile", [this] { button_savetofileClick(); });
    if (QTreeWidget *l = main_.ListView_cont()) {
        connect(l, &QTreeWidget::itemDoubleClicked, this, [this] { menu_editcontClick(); });
        connect(l, &QTreeWidget::itemClicked, this, [this] { ListView_contClick(); });
    }

    // Phrases.
    for (const char *n : {"tbGrpAdd", "N16", "N10"})
        bind(n, [this] { tbGrpAddClick(); });
    for (const char *n : {"tbPhAdd", "N22", "N9", "nNew"})
        bind(n, [this] { tbPhAddClick(); });
    for (const char *n : {"nEdit", "N26", "npProperty"})
        bind(n, [this] { nEditClick(); });
    bind("nDel", [this] { nDelClick(); });
    bind("nSelA", [this] { nSelAClick(); });
    bind("npCut", [this] { npCutClick(); });
    bind("npPaste", [this] { npPasteClick(); });
    for (const char *n : {"nGrpDel", "menu_user_delgroup"})
        bind(n, [this] { nGrpDelClick(); });
    bind("npClear", [this] { npClearClick(); });
    bind("nRename", [this] { nRenameClick(); });
    bind("button_loaduser", [this] {
        const std::optional<std::string> file =
            s_.prompt ? s_.prompt->openFile({"", QDir::homePath().toStdString(), "Phrase (*.ase)", ""}) : std::nullopt;
        content::PhraseView *view = main_.content().phraseView;
        if (!file || !view)
            return;
        // A large pair takes a while: a bar and a cancel (which leaves the library as it was).
        QProgressDialog progress(qs(text("Phrase_Importing")), qs(text("Phrase_ImportCancel")), 0, 1000, &main_);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        view->core().ImportFromFile(*file, [&progress](int64_t done, int64_t total) {
            progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
        progress.close();
        const bool nothingSelected = !main_.TreeView_usersms()->currentItem();
        view->BuildTree();
        if (nothingSelected && main_.TreeView_usersms()->topLevelItem(0))
            main_.TreeView_usersms()->topLevelItem(0)->setExpanded(true);
        main_.TreeView_usersmsChange();
    });
    bind("ToolButton17", [this] {
        content::PhraseView *view = main_.content().phraseView;
        if (!view || !s_.prompt)
            return;
        const std::optional<std::string> file =
            s_.prompt->saveFile({"", QDir::homePath().toStdString(), "Phrase (*.ase)", "ase"});
        if (file)
            view->core().ExportToFile(*file);
    });
    if (QTreeWidget *l = main_.ListView_usersms())
        connect(l, &QTreeWidget::itemDoubleClicked, this, [this] { nEditClick(); });
    if (QTreeWidget *t = main_.TreeView_usersms()) {
        connect(t, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int column) {
            content::PhraseView *view = main_.content().phraseView;
            if (column != 0 || !item || !item->parent() || !view)
                return;
            // The tree lists the groups in table order: the old name is the one at the item's place.
            const std::vector<std::string> &names = view->core().GroupNames();
            const int i = item->parent()->indexOfChild(item);
            if (i < 0 || size_t(i) >= names.size() || qs(names[size_t(i)]) == item->text(0))
                return;
            TreeView_usersmsEdited(item, qs(names[size_t(i)]));
        });
        // A rename that ends without a change (Escape) ends the menu's rename too.
        connect(t->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] { main_.setRenaming(false); });
    }

    // Pop-up rules when the menus open.
    bindPopup("menu_conttree", &TfMainCommands::menu_conttreePopup);
    bindPopup("menu_contview", &TfMainCommands::menu_contviewPopup);
    bindPopup("menu_treeuser", &TfMainCommands::menu_treeuserPopup);
    bindPopup("menu_userview", &TfMainCommands::menu_userviewPopup);

    // Items nobody serves stay out of sight.
    for (const char *n : idleItems()) {
        if (QMenu *m = main_.menu(n))
            m->menuAction()->setVisible(false);
        else if (QAction *a = action(n))
            a->setVisible(false);
    }
}

TfMainCommands::~TfMainCommands() = default;

QAction *TfMainCommands::action(const char *name) const
{
    if (QAction *a = main_.action(QString::fromLatin1(name)))
        return a;
    if (QMenu *m = main_.menu(QString::fromLatin1(name)))
        return m->menuAction();
    return nullptr;
}

void TfMainCommands::bind(const char *name, std::function<void()> fn)
{
    QAction *a = main_.action(QString::fromLatin1(name));
    if (!a) {
        missing_.emplace_back(name);
        return;
    }
    connect(a, &QAction::triggered, this, [fn = std::move(fn)] { fn(); });
}

void TfMainCommands::bindPopup(const char *name, void (TfMainCommands::*fn)())
{
    QMenu *m = main_.menu(QString::fromLatin1(name));
    if (!m) {
        missing_.emplace_back(name);
        return;
    }
    connect(m, &QMenu::aboutToShow, this, fn);
}

std::string TfMainCommands::text(const char *key) const
{
    return s_.manage ? s_.manage->LangMng().translate(key) : std::string();
}

int TfMainCommands::ask(const char *key)
{
    if (!s_.prompt)
        return core::kIdOk;
    return s_.prompt->show(text(key), text("Application_Hite_title"), kAskFlags);
}

// ---------------------------------------------------------------------------------------------
// General commands

void TfMainCommands::mConnectClick()
{
    if (s_.comm)
        s_.comm->SetConnectMode(true);
}

void TfMainCommands::menu_exitClick()
{
    main_.close();
}

void TfMainCommands::tbPrintClick()
{
    if (!s_.manage || !s_.prompt || !main_.content().env)
        return;
    const MainContent &c = main_.content();
    const int area = s_.manage->ActiveGroup;
    const PrintArea pa = area == kAreaSms ? PrintArea::Messages : area == kAreaCard ? PrintArea::Contacts : PrintArea::Phrases;
    Tfr_print dlg(s_.manage->LangMng(), *s_.prompt, *c.env, pa, c.sms, c.phoneBook, &main_);
    if (s_.runPrint)
        s_.runPrint(dlg);
    else
        dlg.exec();
}

void TfMainCommands::tbSetClick()
{
    if (s_.settings)
        s_.settings();
}

void TfMainCommands::nHelpClick()
{
    if (!s_.manage)
        return;
    std::string dir = s_.manage->AppDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    const std::string path = dir + s_.manage->HelpFile;
    const bool exists = QFileInfo(qs(path)).isFile();
    const QUrl url = QUrl::fromLocalFile(qs(path));
    const bool opened = exists && (s_.openUrl ? s_.openUrl(url) : QDesktopServices::openUrl(url));
    // No help file installed (the usual case): say so plainly and point to the user guide, not
    // to a file name the user cannot do anything with.
    if (!opened && s_.prompt)
        s_.prompt->show(text("fMain_NoHelp"), text("Application_Hite_title"), core::kMbOk | core::kMbIconInformation);
}

void TfMainCommands::N34Click()
{
    if (s_.about)
        s_.about();
}

void TfMainCommands::SysTemInfo1Click()
{
    if (s_.phoneInfo)
        s_.phoneInfo();
}

void TfMainCommands::N60Click()
{
    QAction *a = action("N60");
    if (!a)
        return;
    // Triggering the checkable item has inverted its mark already.
    const bool on = a->isChecked();
    if (QWidget *tool = main_.findChild<QWidget *>("pTool"))
        tool->setVisible(on);
    if (QWidget *bt = main_.findChild<QWidget *>("BT")) {
        bt->setVisible(!on);
        if (!on)
            bt->raise();
    }
}

void TfMainCommands::N62Click()
{
    QAction *a = action("N62");
    if (!a)
        return;
    if (QStatusBar *bar = main_.statusBar())
        bar->setVisible(a->isChecked());
}

void TfMainCommands::m_selectallClick()
{
    if (!s_.manage)
        return;
    if (s_.manage->ActiveGroup == kAreaSms)
        pSmsSaClick();
    else if (s_.manage->ActiveGroup == kAreaCard)
        menu_selectallcontClick();
}

// ---------------------------------------------------------------------------------------------
// Messages

int TfMainCommands::selectedBox() const
{
    const QTreeWidgetItem *node = main_.TreeView_sms() ? main_.TreeView_sms()->currentItem() : nullptr;
    return node ? node->data(0, content::kBoxIdRole).toInt() : -1;
}

bool TfMainCommands::smsSelection(SmsSelection &out) const
{
    out.box = selectedBox();
    if (!main_.ListView_sms() || out.box < 0)
        return false;
    const std::vector<int> rows = selectedListRows(main_.ListView_sms());
    out.count = int(rows.size());
    if (rows.empty())
        return false;
    // The selected row is the first selected one in list order.
    out.row = rows.front();
    out.id = main_.smsModel()->idAt(out.row);
    return out.id >= 0;
}

void TfMainCommands::updateSmsMenus()
{
    if (content::SmsView *v = main_.content().smsView)
        v->UpdateMenus(-1);
}

void TfMainCommands::refillSms()
{
    main_.TreeView_smsChange();
    main_.refreshSmsCaption();
    updateSmsMenus();
}

void TfMainCommands::openComposer(const ComposerRequest &req)
{
    if (s_.composer)
        s_.composer(req);
}

void TfMainCommands::mSmsDownloadClick()
{
    if (s_.smsTransfer)
        s_.smsTransfer->Download();
    refillSms();
}

void TfMainCommands::pSmsNewClick()
{
    const int box = selectedBox();
    ComposerRequest req;
    req.FNewMode = 1;
    req.FSms.id = -1;
    req.FSms.Tid = -1;
    req.FSms.states = 0;
    req.FSms.boxid = box < content::kBoxPhone ? content::kBoxDrafts : content::kBoxPhoneStored;
    openComposer(req);
    refillSms();
}

// Only boxes 2 (kept for sending), 4 (drafts) and 9 (stored on the handset) hold messages the
// composer may rewrite in place: it stores every other message as a draft, so editing a received,
// sent or handset-received message in place would move it, and rewrite the handset's copy.
static bool editableInPlace(int box)
{
    return box == content::kBoxOutbox || box == content::kBoxDrafts || box == content::kBoxPhoneStored;
}

void TfMainCommands::openStoredInComposer(bool keepNumber, bool inPlace)
{
    SmsSelection sel;
    content::TSMSManage *sms = main_.content().sms;
    if (!sms || !smsSelection(sel) || sel.count > 1)
        return;
    content::Ssms m = messageRef(sel.id, 0);
    if (sms->GetMessage(m) != 0)
        return;
    ComposerRequest req;
    req.FSms = m;
    if (!keepNumber)
        req.FSms.Tel.clear();
    if (inPlace && editableInPlace(m.boxid)) {
        req.FNewMode = 0;
    } else {
        req.FNewMode = 1;
        req.FSms.id = -1;
        req.FSms.Tid = -1;
        req.FSms.states = 0;
        // A copy is the user's own new message: its save keeps a local draft, also when the
        // original lies on the handset (a new handset message is made from the handset's box).
        req.FSms.boxid = content::kBoxDrafts;
    }
    if (s_.composer) {
        ComposerResult r = s_.composer(req);
        // The send already stored its records in Sent under new ids. A message edited in place
        // also keeps the edit, split as the composer's save splits it: the first part in its own
        // row, further parts and recipients added to its box (and to the handset for box 9).
        if (req.FNewMode == 0 && r.modalResult == kMrOk && !r.edit.empty())
            sms->SaveMessages(r.edit);
    }
    refillSms();
}

void TfMainCommands::pSmsEditClick()
{
    openStoredInComposer(true, true);
}

void TfMainCommands::pSmsSendtoClick()
{
    openStoredInComposer(false, false);
}

void TfMainCommands::pSmsResendClick()
{
    openStoredInComposer(true, true);
}

void TfMainCommands::pSmsSendClick()
{
    openStoredInComposer(true, false);
}

void TfMainCommands::pSmsSendBackClick()
{
    SmsSelection sel;
    if (!smsSelection(sel))
        return;
    if (sel.box != content::kBoxReceived && sel.box != content::kBoxPhoneReceived)
        return;
    ComposerRequest req;
    req.FNewMode = 1;
    req.FSms.id = -1;
    req.FSms.Tid = -1;
    req.FSms.boxid = sel.box;
    req.FSms.Tel = utf8(main_.smsModel()->textAt(sel.row, content::subItemColumn(0)));
    openComposer(req);
    refillSms();
}

void TfMainCommands::pSmsDelClick()
{
    QTreeView *list = main_.ListView_sms();
    content::SmsListModel *model = main_.smsModel();
    content::TSMSManage *sms = main_.content().sms;
    const int box = selectedBox();
    if (!list || !sms || box < 0)
        return;
    const std::vector<int> rows = selectedListRows(list);
    if (rows.empty())
        return;
    // In the recycle boxes and on the handset a delete is for good.
    const bool forGood = box >= content::kBoxRecycle;
    if (forGood && s_.manage && s_.manage->DelQuestion && ask("fMain_DelQuestion") == core::kIdCancel)
        return;
    content::ArraySms records;
    records.reserve(rows.size());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        records.push_back(messageRef(model->idAt(*it), box));
    model->removeListRows(rows);
    // A handset that refused (or a batch that was cancelled) keeps its messages: list them again.
    if (sms->DeleteMessages(records) < 0) {
        refillSms();
        return;
    }
    main_.refreshSmsCaption();
    updateSmsMenus();
}

void TfMainCommands::pSmsUndelClick()
{
    QTreeView *list = main_.ListView_sms();
    content::SmsListModel *model = main_.smsModel();
    content::TSMSManage *sms = main_.content().sms;
    if (!list || !sms)
        return;
    const std::vector<int> rows = selectedListRows(list);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        sms->UndeleteMessages(model->idAt(*it));
    model->removeListRows(rows);
    main_.refreshSmsCaption();
    updateSmsMenus();
}

void TfMainCommands::menu_allundel_smsClick()
{
    content::SmsListModel *model = main_.smsModel();
    content::TSMSManage *sms = main_.content().sms;
    if (!sms || model->rowCount() == 0)
        return;
    for (int i = 0; i < model->rowCount(); ++i)
        sms->UndeleteMessages(model->idAt(i));
    model->clear();
    main_.refreshSmsCaption();
    updateSmsMenus();
}

void TfMainCommands::menu_clear_smsClick()
{
    content::SmsListModel *model = main_.smsModel();
    content::TSMSManage *sms = main_.content().sms;
    const int box = selectedBox();
    if (!sms || box < 0)
        return;
    if (s_.manage && s_.manage->DelQuestion && ask("fMain_Clear") == core::kIdCancel)
        return;
    content::ArraySms records;
    records.reserve(size_t(model->rowCount()));
    for (int i = 0; i < model->rowCount(); ++i)
        records.push_back(messageRef(model->idAt(i), box));
    if (sms->DeleteMessages(records) < 0) {
        refillSms();
        return;
    }
    model->clear();
    main_.refreshSmsCaption();
    updateSmsMenus();
}

void TfMainCommands::pSmsSaClick()
{
    if (QTreeView *list = main_.ListView_sms()) {
        list->selectAll();
        list->setFocus();
    }
}

// ---------------------------------------------------------------------------------------------
// Contacts

bool TfMainCommands::contactNode(int &book, int32_t &storage) const
{
    QTreeWidget *tree = main_.TreeView_cont();
    return tree && main_.GetContNodeInfo(tree->currentItem(), book, storage);
}

std::vector<QTreeWidgetItem *> TfMainCommands::selectedRows(QTreeWidget *list) const
{
    std::vector<QTreeWidgetItem *> out;
    if (!list)
        return out;
    for (int i = list->topLevelItemCount() - 1; i >= 0; --i)
        if (list->topLevelItem(i)->isSelected())
            out.push_back(list->topLevelItem(i));
    return out;
}

void TfMainCommands::blankOrRemove(QTreeWidgetItem *row, int32_t storage)
{
    if (storage == content::toInt(content::StorageCode::Contacts) ||
        storage == content::toInt(content::StorageCode::Groups)) {
        delete row;
        return;
    }
    // The position stays listed, empty.
    for (int k = 0; k < 4 && k + 1 < row->columnCount(); ++k)
        row->setText(k + 1, QString());
    row->setData(0, content::kRowIdRole, -1);
}

void TfMainCommands::refillContacts()
{
    main_.TreeView_contChange();
}

void TfMainCommands::menu_readcontClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    if (!pb)
        return;
    int book = 0;
    int32_t storage = 0;
    // No node: every storage, as for the handset's root.
    if (!contactNode(book, storage))
        storage = 0;
    pb->ReadFromPhone(storage);
    refillContacts();
}

void TfMainCommands::menu_flashClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    int book = 0;
    int32_t storage = 0;
    if (!pb || !contactNode(book, storage) || !pb->HasChanges(book, storage))
        return;
    if (ask("fMain_Updata") == core::kIdCancel)
        return;
    pb->WriteChanges(book);
    refillContacts();
}

int TfMainCommands::runContactEditor(TfVcardEdit &editor)
{
    return s_.runContactEditor ? s_.runContactEditor(editor) : editor.exec();
}

static void reportSaveFailure(core::Prompt *prompt, const core::TLangMng &lang, int32_t r)
{
    // The manager reports a storage whose status was never read; the others are ours to show.
    const char *key = r == content::kPbFull ? "ErrInfo_201" : r == content::kPbTooLong ? "ErrInfo_251" : nullptr;
    if (key && prompt)
        prompt->show(lang.translate(key), lang.translate("Application_Hite_title"), core::kMbOk | core::kMbIconError);
}

// The list row of a position, or null.
static QTreeWidgetItem *rowAt(QTreeWidget *list, int32_t pos)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0).toInt() == pos)
            return list->topLevelItem(i);
    return nullptr;
}

void TfMainCommands::M_ContNewClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    int book = 0;
    int32_t storage = 0;
    if (!pb || !s_.manage || !s_.prompt || !contactNode(book, storage))
        return;
    const auto code = static_cast<content::StorageCode>(storage);
    if (!pb->CanAddEntry(book, code))
        return;
    TfVcardEdit ed(s_.manage->LangMng(), *s_.prompt, pb->GetGroupNames(book), &main_);
    ed.templ = pb->GetStorageFields(book, code);
    ed.storageCode = storage;
    if (ed.BuildRows() != 0 || runContactEditor(ed) != kMrOk)
        return;
    int32_t pos = -1;
    const int32_t r = pb->SaveContact(book, code, pos, ed.fields);
    if (r < 0) {
        reportSaveFailure(s_.prompt, s_.manage->LangMng(), r);
        return;
    }
    QTreeWidget *list = main_.ListView_cont();
    const content::ContactListRow row = storage == 1 || storage == 2
                                            ? content::UpdateEntryRow(*pb, book, code, pos, ed.fields)
                                            : content::UpdateContactRow(*pb, book, pos, ed.fields);
    content::updateListRow(list, rowAt(list, pos), row);
}

void TfMainCommands::menu_editcontClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    QTreeWidget *list = main_.ListView_cont();
    int book = 0;
    int32_t storage = 0;
    if (!pb || !list || !s_.manage || !s_.prompt || !contactNode(book, storage))
        return;
    QTreeWidgetItem *row = chosenRow(list);
    if (!row)
        return;
    const auto code = static_cast<content::StorageCode>(storage);
    int32_t pos = row->text(0).toInt();
    std::optional<content::TMobileVacrd> loaded = pb->LoadContact(book, code, pos);
    TfVcardEdit ed(s_.manage->LangMng(), *s_.prompt, pb->GetGroupNames(book), &main_);
    ed.templ = pb->GetStorageFields(book, code);
    ed.fields = loaded ? *loaded : content::TMobileVacrd{};
    ed.storageCode = storage;
    if (ed.BuildRows() != 0 || runContactEditor(ed) != kMrOk)
        return;
    const int32_t r = pb->SaveContact(book, code, pos, ed.fields);
    if (r < 0) {
        reportSaveFailure(s_.prompt, s_.manage->LangMng(), r);
        return;
    }
    if (storage == 1 || storage == 2)
        content::updateListRow(list, row, content::UpdateEntryRow(*pb, book, code, pos, ed.fields));
    else if (storage == 4)
        content::updateListRow(list, row, content::UpdateContactRow(*pb, book, pos, ed.fields));
    else
        refillContacts();
}

void TfMainCommands::menu_delcontClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    QTreeWidget *list = main_.ListView_cont();
    int book = 0;
    int32_t storage = 0;
    if (!pb || !list || !contactNode(book, storage))
        return;
    std::vector<int32_t> ids;
    for (QTreeWidgetItem *row : selectedRows(list)) {
        ids.push_back(row->text(0).toInt());
        blankOrRemove(row, storage);
    }
    if (ids.empty())
        return;
    pb->DeleteContacts(book, static_cast<content::StorageCode>(storage), ids);
}

void TfMainCommands::m_ContClearClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    QTreeWidget *list = main_.ListView_cont();
    int book = 0;
    int32_t storage = 0;
    if (!pb || !list || !contactNode(book, storage) || storage == 0 ||
        storage == content::toInt(content::StorageCode::Groups))
        return;
    std::vector<int32_t> ids;
    for (int i = list->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *row = list->topLevelItem(i);
        ids.push_back(row->text(0).toInt());
        blankOrRemove(row, storage);
    }
    pb->DeleteContacts(book, static_cast<content::StorageCode>(storage), ids);
}

void TfMainCommands::contactsCopyOrCut(bool cut)
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    QTreeWidget *list = main_.ListView_cont();
    int book = 0;
    int32_t storage = 0;
    if (!pb || !list || !s_.manage || !isContactArea(s_.manage->ActiveGroup) || !contactNode(book, storage) ||
        list->topLevelItemCount() == 0 || list->selectedItems().isEmpty())
        return;
    if (cut && storage == content::toInt(content::StorageCode::Groups))
        return;
    std::vector<QTreeWidgetItem *> rows;
    for (QTreeWidgetItem *row : selectedRows(list))
        if (!(subItem(row, 0).isEmpty() && subItem(row, 1).isEmpty() && subItem(row, 2).isEmpty()))
            rows.push_back(row);
    std::reverse(rows.begin(), rows.end()); // list order
    std::vector<int32_t> ids;
    for (QTreeWidgetItem *row : rows)
        ids.push_back(row->text(0).toInt());
    pb->SetClipboard(book, storage, cut ? 1 : 0, ids);
    updatePaste();
    const content::ContactClipboard &clip = pb->clipboard();
    // A cut that is still pending keeps the clipboard: then nothing was cut now.
    if (!cut || clip.mode != 1 || clip.book != book || clip.storage != storage || clip.ids != ids)
        return;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        blankOrRemove(*it, storage);
}

void TfMainCommands::nCopyClick()
{
    contactsCopyOrCut(false);
}

void TfMainCommands::nCutClick()
{
    contactsCopyOrCut(true);
}

void TfMainCommands::nPasteClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    int book = 0;
    int32_t storage = 0;
    if (!pb || !s_.manage || !isContactArea(s_.manage->ActiveGroup) || !contactNode(book, storage))
        return;
    pb->Paste(book, storage);
    updatePaste();
    refillContacts();
}

// Paste is there while the clipboard holds contacts: after a copy or a cut, until a cut is pasted.
void TfMainCommands::updatePaste()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    const bool any = pb && !pb->clipboard().ids.empty();
    for (const char *n : {"nPaste", "m_pase"})
        if (QAction *a = action(n))
            a->setEnabled(any);
}

void TfMainCommands::menu_selectallcontClick()
{
    if (QTreeWidget *list = main_.ListView_cont()) {
        list->selectAll();
        list->setFocus();
    }
}

void TfMainCommands::openComposerForNumbers(const std::string &numbers)
{
    if (!s_.manage || !isContactArea(s_.manage->ActiveGroup))
        return;
    const int box = selectedBox();
    ComposerRequest req;
    req.FNewMode = 1;
    req.FSms.id = -1;
    req.FSms.Tid = -1;
    req.FSms.boxid = box <= content::kBoxLocal ? content::kBoxDrafts : box;
    req.FSms.Tel = numbers;
    openComposer(req);
}

void TfMainCommands::menu_sendsmstocontClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    QTreeWidget *list = main_.ListView_cont();
    int book = 0;
    int32_t storage = 0;
    if (!pb || !list || list->selectedItems().isEmpty() || !contactNode(book, storage))
        return;
    std::string numbers;
    std::vector<QTreeWidgetItem *> rows = selectedRows(list);
    std::reverse(rows.begin(), rows.end());
    for (QTreeWidgetItem *row : rows) {
        if (storage == 1 || storage == 2) {
            const QString number = subItem(row, 1).trimmed();
            if (row->columnCount() > 3 && !number.isEmpty())
                numbers += utf8(number) + ";";
        } else {
            numbers += content::GetSelectedNumbers(*pb, book, static_cast<content::StorageCode>(storage),
                                                   row->text(0).toInt());
        }
    }
    openComposerForNumbers(numbers);
}

void TfMainCommands::menu_sendsmstogroupClick()
{
    QTreeWidget *list = main_.ListView_cont();
    int book = 0;
    int32_t storage = 0;
    if (!list || !contactNode(book, storage))
        return;
    std::string numbers;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = list->topLevelItem(i);
        const QString number = subItem(row, 1).trimmed();
        if (row->columnCount() > 3 && !number.isEmpty())
            numbers += utf8(number) + ";";
    }
    openComposerForNumbers(numbers);
}

void TfMainCommands::button_loadClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    if (!pb || !s_.prompt)
        return;
    const std::optional<std::string> file =
        s_.prompt->openFile({"", QDir::homePath().toStdString(), "CSV (*.csv)", ""});
    if (!file)
        return;
    const int before = pb->BookCount();
    const int book = pb->ImportFromCsv(*file);
    if (book >= before && book < pb->BookCount() && main_.TreeView_cont())
        content::addBookNode(main_.TreeView_cont(), book, pb->book(book).node);
}

void TfMainCommands::button_savetofileClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    QTreeWidget *tree = main_.TreeView_cont();
    int book = 0;
    int32_t storage = 0;
    if (!pb || !s_.prompt || !s_.manage || !tree || !contactNode(book, storage))
        return;
    // Only the handset's book lives on the handset; a file book is exported as it is.
    if (book == content::kHandsetBook && !s_.manage->Connected)
        return;
    std::string proposed;
    if (book == content::kHandsetBook) {
        proposed = s_.manage->PhoneMan + "_" + s_.manage->PhoneModel;
    } else {
        const QTreeWidgetItem *node = tree->currentItem();
        while (node && node->parent())
            node = node->parent();
        proposed = node ? utf8(node->text(0)) : std::string();
    }
    // The maker and model come from the handset: a separator or control character in them would
    // point the proposal into another folder.
    for (char &c : proposed)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '_';
    const std::optional<std::string> file =
        s_.prompt->saveFile({"", utf8(QDir::homePath()) + "/" + proposed + ".csv", "CSV (*.csv)", "csv"});
    if (!file)
        return;
    // The manager reports a failure itself, naming the file.
    pb->ExportToCsv(book, *file);
}

void TfMainCommands::ListView_contClick()
{
    content::TPhoneBookManage *pb = main_.content().phoneBook;
    content::Env *env = main_.content().env;
    QTreeWidget *list = main_.ListView_cont();
    int book = 0;
    int32_t storage = 0;
    if (!pb || !env || !list || !contactNode(book, storage))
        return;
    QList<QMenu *> menus;
    for (const char *n : {"menu_contview", "menu_conttree"})
        if (QMenu *m = main_.menu(n))
            menus << m;
    content::applyMenuState(menus, content::UpdateMenus(*pb, *env, book, storage, list->topLevelItemCount(),
                                                        int(list->selectedItems().size()),
                                                        content::contactMenuItems(menus)));
}

// ---------------------------------------------------------------------------------------------
// Phrases

QTreeWidgetItem *TfMainCommands::phraseGroupNode() const
{
    QTreeWidget *tree = main_.TreeView_usersms();
    QTreeWidgetItem *node = tree ? tree->currentItem() : nullptr;
    return node && node->parent() ? node : nullptr;
}

std::string TfMainCommands::phraseGroup() const
{
    QTreeWidgetItem *node = phraseGroupNode();
    return node ? utf8(node->text(0)) : std::string();
}

void TfMainCommands::refillPhrases()
{
    main_.TreeView_usersmsChange();
}

QTreeWidgetItem *TfMainCommands::addPhraseGroup(const std::string &name)
{
    content::PhraseView *view = main_.content().phraseView;
    QTreeWidget *tree = main_.TreeView_usersms();
    if (!view || !tree || view->core().AddGroup(name) == 0)
        return nullptr;
    // The tree is built when the phrase area is first shown: from another area the new group
    // comes with that build.
    if (main_.activeArea() != kAreaUser)
        main_.setActiveArea(kAreaUser);
    if (!tree->topLevelItem(0))
        view->BuildTree();
    QTreeWidgetItem *root = tree->topLevelItem(0);
    if (!root)
        return nullptr;
    QTreeWidgetItem *item = nullptr;
    for (int i = 0; i < root->childCount() && !item; ++i)
        if (utf8(root->child(i)->text(0)) == name)
            item = root->child(i);
    if (!item) {
        const QSignalBlocker quiet(tree);
        item = new QTreeWidgetItem(QStringList{qs(name)});
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        root->addChild(item);
    }
    root->setExpanded(true);
    tree->setCurrentItem(item);
    return item;
}

void TfMainCommands::tbGrpAddClick()
{
    content::PhraseView *view = main_.content().phraseView;
    QTreeWidget *tree = main_.TreeView_usersms();
    if (!view || !tree)
        return;
    QTreeWidgetItem *item = addPhraseGroup(freeGroupName());
    if (!item)
        return;
    // The user names the new group at once.
    tree->setFocus();
    tree->scrollToItem(item);
    main_.setRenaming(true);
    tree->editItem(item, 0);
}

std::string TfMainCommands::freeGroupName() const
{
    content::PhraseView *view = main_.content().phraseView;
    std::string name;
    for (int k = 1; view; ++k) {
        name = "New" + std::to_string(k);
        if (!view->core().GroupExists(name))
            break;
    }
    return name;
}

void TfMainCommands::tbPhAddClick()
{
    content::PhraseView *view = main_.content().phraseView;
    if (!view || !s_.phraseEditor)
        return;
    std::string group = phraseGroup();
    if (view->core().GroupNames().empty()) {
        // A phrase lives in a group: offer to make the first one rather than an editor with
        // nothing to choose.
        if (!s_.prompt)
            return;
        const std::optional<std::string> name =
            s_.prompt->inputBox(text("fMain_NewGroupCaption"), text("fMain_NewGroupFirst"), freeGroupName());
        if (!name)
            return;
        std::string trimmed = content::TrimText(*name);
        trimmed = std::string(content::utf8HeadBytes(trimmed, kGroupNameBytes));
        if (trimmed.empty() || !addPhraseGroup(trimmed))
            return;
        group = trimmed;
    }
    const bool groupNode = phraseGroupNode() != nullptr;
    const std::optional<PhraseEdit> edited = s_.phraseEditor({group, std::string()});
    if (!edited)
        return;
    view->core().AddPhrase(edited->group, edited->text);
    if (groupNode)
        refillPhrases();
}

void TfMainCommands::nEditClick()
{
    content::PhraseView *view = main_.content().phraseView;
    QTreeWidget *list = main_.ListView_usersms();
    if (!view || !list || !s_.phraseEditor || !phraseGroupNode())
        return;
    QTreeWidgetItem *row = chosenRow(list);
    if (!row)
        return;
    const std::string group = phraseGroup();
    const int32_t id = row->text(content::kPhraseIdColumn).toInt();
    const std::optional<PhraseEdit> edited = s_.phraseEditor({group, utf8(row->text(0))});
    if (!edited || !view->core().UpdatePhrase(id, edited->group, edited->text, 0))
        return;
    if (edited->group != group) {
        refillPhrases(); // moved to another group: it leaves this list
        return;
    }
    row->setText(0, qs(edited->text));
    row->setText(kPhraseCountColumn, "0");
    row->setText(kPhraseTimeColumn, qs(main_.content().env ? main_.content().env->localTime() : std::string()));
}

void TfMainCommands::nDelClick()
{
    content::PhraseView *view = main_.content().phraseView;
    QTreeWidget *list = main_.ListView_usersms();
    if (!view || !list || !phraseGroupNode())
        return;
    QTreeWidgetItem *row = list->currentItem();
    if (!row || !row->isSelected())
        return;
    view->core().DeletePhrase(row->text(content::kPhraseIdColumn).toInt());
    delete row;
}

void TfMainCommands::nSelAClick()
{
    if (QTreeWidget *list = main_.ListView_usersms())
        list->selectAll();
}

void TfMainCommands::npCutClick()
{
    content::PhraseView *view = main_.content().phraseView;
    QTreeWidget *list = main_.ListView_usersms();
    if (!view || !list)
        return;
    std::vector<int32_t> ids;
    for (QTreeWidgetItem *row : selectedRows(list)) {
        ids.push_back(row->text(content::kPhraseIdColumn).toInt());
        delete row;
    }
    if (ids.empty())
        return;
    view->core().Cut(std::move(ids));
    refillPhrases();
}

void TfMainCommands::npPasteClick()
{
    content::PhraseView *view = main_.content().phraseView;
    if (!view || !phraseGroupNode())
        return;
    view->core().Paste(phraseGroup());
    refillPhrases();
}

void TfMainCommands::nGrpDelClick()
{
    if (content::PhraseView *view = main_.content().phraseView; view && phraseGroupNode())
        view->DeleteSelectedGroup(main_.ListView_usersms());
}

void TfMainCommands::npClearClick()
{
    if (content::PhraseView *view = main_.content().phraseView; view && phraseGroupNode())
        view->ClearSelectedGroup(main_.ListView_usersms());
}

void TfMainCommands::nRenameClick()
{
    QTreeWidget *tree = main_.TreeView_usersms();
    QTreeWidgetItem *node = tree ? tree->currentItem() : nullptr;
    if (!node)
        return;
    main_.setRenaming(true);
    tree->editItem(node, 0);
}

void TfMainCommands::TreeView_usersmsEdited(QTreeWidgetItem *item, const QString &oldName)
{
    content::PhraseView *view = main_.content().phraseView;
    QTreeWidget *tree = main_.TreeView_usersms();
    if (!item || !tree)
        return;
    const bool fromMenu = main_.renaming();
    main_.setRenaming(false);
    const QSignalBlocker quiet(tree);
    if (!fromMenu || !view) {
        item->setText(0, oldName);
        return;
    }
    // Names are kept to 64 bytes, cut on a character boundary.
    const std::string full = utf8(item->text(0));
    const std::string kept(content::utf8HeadBytes(full, kGroupNameBytes));
    if (kept != full)
        item->setText(0, qs(kept));
    view->RenameGroup(item, oldName);
}

// ---------------------------------------------------------------------------------------------
// Pop-up rules

void TfMainCommands::menu_conttreePopup()
{
    QMenu *m = main_.menu("menu_conttree");
    QTreeWidget *list = main_.ListView_cont();
    if (!m || !list || !s_.manage)
        return;
    const bool rows = list->topLevelItemCount() > 0;
    for (QAction *a : m->actions())
        if (!a->isSeparator())
            a->setEnabled(tagOf(a) == kTagConnected ? s_.manage->Connected : rows);
    int book = 0;
    int32_t storage = 0;
    if (!contactNode(book, storage))
        return;
    if (QAction *clear = action("m_ContClear"); clear && storage == content::toInt(content::StorageCode::Groups))
        clear->setEnabled(false);
    if (QAction *flash = action("menu_flash"))
        flash->setEnabled(main_.content().phoneBook && main_.content().phoneBook->HasChanges(book, storage));
}

void TfMainCommands::menu_contviewPopup()
{
    QMenu *m = main_.menu("menu_contview");
    QTreeWidget *list = main_.ListView_cont();
    if (!m || !list || !s_.manage)
        return;
    QList<QAction *> items;
    for (QAction *a : m->actions())
        if (!a->isSeparator())
            items << a;
    if (items.isEmpty())
        return;
    const bool rows = list->topLevelItemCount() > 0;
    int book = 0;
    int32_t storage = 0;
    contactNode(book, storage);
    const bool groups = storage == content::toInt(content::StorageCode::Groups);
    if (!rows) {
        for (qsizetype i = 1; i < items.size(); ++i)
            items[i]->setVisible(false);
        items[0]->setVisible(true);
        items[0]->setEnabled(s_.manage->Connected);
    } else {
        for (QAction *a : items) {
            if (tagOf(a) != kTagPaste)
                a->setEnabled(rows);
            a->setVisible(!groups);
        }
        items[0]->setEnabled(s_.manage->Connected && rows && !groups);
    }
    // The edit menu's copy, cut and paste follow the pop-up's.
    const std::pair<const char *, const char *> follow[] = {{"m_copy", "nCopy"}, {"m_cut", "nCut"}, {"m_pase", "nPaste"}};
    for (const auto &[editItem, popupItem] : follow) {
        QAction *e = action(editItem), *p = action(popupItem);
        if (e && p)
            e->setEnabled(p->isEnabled());
    }
}

void TfMainCommands::menu_treeuserPopup()
{
    QTreeWidget *tree = main_.TreeView_usersms();
    QTreeWidget *list = main_.ListView_usersms();
    if (!tree || !list)
        return;
    const bool belowRoot = phraseGroupNode() != nullptr;
    if (QAction *a = action("N9"))
        a->setEnabled(tree->topLevelItemCount() > 0);
    for (const char *n : {"nGrpDel", "nRename"})
        if (QAction *a = action(n))
            a->setEnabled(belowRoot);
    if (QAction *a = action("npClear"))
        a->setEnabled(list->topLevelItemCount() > 0);
}

void TfMainCommands::menu_userviewPopup()
{
    QTreeWidget *list = main_.ListView_usersms();
    if (!list)
        return;
    const bool belowRoot = phraseGroupNode() != nullptr;
    const bool selected = !list->selectedItems().isEmpty();
    const bool rows = list->topLevelItemCount() > 0;
    if (QAction *a = action("nNew"))
        a->setEnabled(belowRoot);
    for (const char *n : {"nEdit", "nDel", "npCut", "npProperty"})
        if (QAction *a = action(n))
            a->setEnabled(selected);
    if (QAction *a = action("nSelA"))
        a->setEnabled(rows);
    if (QAction *a = action("m_del"))
        a->setEnabled(selected);
    if (QAction *a = action("menu_user_clear"))
        a->setEnabled(rows);
}

} // namespace forms
