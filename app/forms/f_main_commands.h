// The main window's commands: every menu item, pop-up item and tool button of TfMain bound by
// object name to a thin step between the user and a manager (message store, phone book, phrases),
// plus the pop-up rules applied when a menu opens. The form keys and the area items are the
// window's own; its keys trigger these items.
//
//   forms::CommandServices s = forms::programServices(mainWindow, parts);  // the real dialogs
//   forms::TfMainCommands commands(mainWindow, s);  // after attachContent(); dropped before both
//
// The managers come from the window's content (TfMain::content()); dialogs the commands open that
// other parts of the program build (composer, settings, phone information, about box, phrase
// editor) are reached through the hooks of CommandServices, so the program decides how they are
// made and tests may answer them. A hook left empty makes its command do nothing.
//
// Sound behaviour kept here where the first design fell short:
//  - forward, and edit or resend of a message outside boxes 2, 4 and 9, open the composer on a new
//    message (id and handset position -1), so a received or handset message is never rewritten;
//  - after a send from a message edited in place (boxes 2, 4, 9) the edited row gets the edit as
//    the composer's save stores it (split records, the first in the original row), never the
//    unsplit text and recipient list in one row; the Sent rows stay as the send stored them;
//  - with DelQuestion on, clearing a box and deleting for good (boxes 5 and above) ask first; a
//    delete the handset side refused or cancelled lists the box again, so kept rows stay shown;
//  - the edit menu's copy item, enabled with the pop-up's copy, copies;
//  - a failed contact export is reported by the manager with the file's path; exporting a file
//    book needs no connection;
//  - send-to-contacts takes the selected rows only, in every storage; reading with no node
//    selected reads every storage;
//  - file dialogs go through the prompt; the working directory is neither used nor changed; the
//    help file is opened through the desktop services and a missing one is reported with its path.
//
// User-interface thread only.
#pragma once

#include "content/sms_manage.h"
#include "forms/common/dialog_base.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace core {
class Prompt;
class TCommMng;
class TManage;
} // namespace core
namespace content {
class TPhoneBookManage;
class TPhraseMng;
class TSmsTransfer;
} // namespace content

namespace forms {

class TfMain;
class TfVcardEdit;
class Tfr_print;

// How the composer is opened: FNewMode 1 stores new messages, 0 updates the message FSms names.
struct ComposerRequest {
    int FNewMode = 1;
    content::Ssms FSms;
};
// What it answers: its modal result (1: sent and closed), the records it sent or saved last,
// split as they were stored, and after a send that closed it what its save would store for the
// message it was opened on (first record with that message's id and box).
struct ComposerResult {
    int modalResult = kMrCancel;
    content::ArraySms records;
    content::ArraySms edit;
};

// The phrase editor's fields.
struct PhraseEdit {
    std::string group;
    std::string text;
};

struct CommandServices {
    core::TManage *manage = nullptr;
    core::Prompt *prompt = nullptr;
    core::TCommMng *comm = nullptr;                 // connect (null: the command does nothing)
    content::TSmsTransfer *smsTransfer = nullptr;   // download (null: nothing)
    std::function<ComposerResult(const ComposerRequest &)> composer;
    std::function<void()> settings;                 // TfSet, modal
    std::function<void()> phoneInfo;                // TfPhoneInfo, modal
    std::function<void()> about;                    // TfAbout, modal
    // The phrase editor: the edited fields on OK, nothing otherwise.
    std::function<std::optional<PhraseEdit>(const PhraseEdit &)> phraseEditor;
    // Runs a prepared contact editor modally (empty: exec()); answers its modal result.
    std::function<int(TfVcardEdit &)> runContactEditor;
    // Runs the print dialog modally (empty: exec()).
    std::function<void(Tfr_print &)> runPrint;
    // Opens a document (empty: QDesktopServices::openUrl); false when it could not be opened.
    std::function<bool(const QUrl &)> openUrl;
};

// The parts of the program the real dialogs are made with.
struct ProgramParts {
    core::TManage &manage;
    core::Prompt &prompt;
    content::Env &env;
    content::TSMSManage &sms;
    content::TSmsTransfer &smsTransfer;
    content::TPhraseMng &phrases;
    content::TPhoneBookManage &phoneBook;
    core::TCommMng &comm;
    std::function<void()> settings; // TfSet needs the program's catalogue and worker
};
// Services whose hooks open the program's own dialogs (TfEditSms, TfPhraseEdit, TfAbout,
// TfPhoneInfo) modally over main.
CommandServices programServices(TfMain &main, const ProgramParts &parts);

class TfMainCommands final : public QObject {
    Q_OBJECT
public:
    // Binds every command of main by object name. main and the services must outlive the object
    // (the program drops it before the window and the managers).
    TfMainCommands(TfMain &main, CommandServices services);
    ~TfMainCommands() override;

    // Object names of the items the window carries that no command or menu state serves; they
    // are hidden so no visible control does nothing.
    static const std::vector<const char *> &idleItems();
    // Object names the commands bind that the window does not have (for the window's tests).
    const std::vector<std::string> &missingItems() const { return missing_; }

    // --- general ---
    void mConnectClick();
    void menu_exitClick();
    void tbPrintClick();
    void tbSetClick();
    void nHelpClick();
    void N34Click();
    void SysTemInfo1Click();
    void N60Click();
    void N62Click();
    void m_selectallClick();

    // --- messages ---
    void mSmsDownloadClick();
    void pSmsNewClick();
    void pSmsEditClick();
    void pSmsSendtoClick();
    void pSmsResendClick();
    void pSmsSendClick();
    void pSmsSendBackClick();
    void pSmsDelClick();
    void pSmsUndelClick();
    void menu_allundel_smsClick();
    void menu_clear_smsClick();
    void pSmsSaClick();

    // --- contacts ---
    void menu_readcontClick();
    void menu_flashClick();
    void M_ContNewClick();
    void menu_editcontClick();
    void menu_delcontClick();
    void m_ContClearClick();
    void nCopyClick();
    void nCutClick();
    void nPasteClick();
    void updatePaste();
    void menu_selectallcontClick();
    void menu_sendsmstocontClick();
    void menu_sendsmstogroupClick();
    void button_loadClick();
    void button_savetofileClick();
    void ListView_contClick();

    // --- phrases ---
    void tbGrpAddClick();
    void tbPhAddClick();
    void nEditClick();
    void nDelClick();
    void nSelAClick();
    void npCutClick();
    void npPasteClick();
    void nGrpDelClick();
    void npClearClick();
    void nRenameClick();
    void TreeView_usersmsEdited(QTreeWidgetItem *item, const QString &oldName);

    // --- pop-up rules, as the menus apply them when they open ---
    void menu_conttreePopup();
    void menu_contviewPopup();
    void menu_treeuserPopup();
    void menu_userviewPopup();


private:
    struct SmsSelection;
    void bind(const char *name, std::function<void()> fn);
    void bindPopup(const char *name, void (TfMainCommands::*fn)());
    QAction *action(const char *name) const;
    std::string text(const char *key) const;
    int ask(const char *key);

    // Messages.
    int selectedBox() const;
    // A long message list still being filled: every row put in now.
    bool smsSelection(SmsSelection &out) const;
    void refillSms();
    void openComposer(const ComposerRequest &req);
    // Opens the selected stored message; inPlace: it is updated in place when its box allows.
    void openStoredInComposer(bool keepNumber, bool inPlace);
    void updateSmsMenus();

    // Contacts.
    bool contactNode(int &book, int32_t &storage) const;
    std::vector<QTreeWidgetItem *> selectedRows(QTreeWidget *list) const; // last first
    void blankOrRemove(QTreeWidgetItem *row, int32_t storage);
    void refillContacts();
    void openComposerForNumbers(const std::string &numbers);
    int runContactEditor(TfVcardEdit &editor);
    void contactsCopyOrCut(bool cut);

    // Phrases.
    QTreeWidgetItem *phraseGroupNode() const;
    // Makes the group, shows the phrase area and selects the group's node (nullptr on failure).
    QTreeWidgetItem *addPhraseGroup(const std::string &name);
    // "New" + the first k = 1, 2, ... that no group has.
    std::string freeGroupName() const;
    std::string phraseGroup() const;
    void refillPhrases();

    TfMain &main_;
    CommandServices s_;
    std::vector<std::string> missing_;
};

} // namespace forms
