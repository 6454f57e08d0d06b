// TfEditSms: the message composer. The user writes recipients (";"-separated), picks a signature
// and a service centre and types the text; the status bar counts parts and characters as the
// engine in content/sms_split.h splits, and the split button shows the records one per line.
// Send hands the records to the handset side, save stores them in the local message table.
//
//   forms::TfEditSms dlg({.manage = manage, .env = env, .sms = sms,
//                         .send = [&](content::ArraySms &l) { return phone.SendMessages(l); },
//                         .phrases = &phrases, .book = &book}, mainWindow);
//   dlg.preset(content::Ssms{.boxid = content::kBoxDrafts, .Tel = "+4412"}, /*newMode=*/true);
//   if (dlg.exec() == forms::kMrOk) refreshSentBox();   // 1: sent and closed
//
// preset(): the record to edit (its id and Tid go on the first record the split makes; Tel is the
// whole recipient text, body the stored text with its title and signature) and the storage mode:
// newMode stores every record as a new message, otherwise the first one updates the row of the
// record's id. A record whose box is neither 9 nor 2 is saved as a draft (box 4). After the first
// save that worked the composer edits the rows it stored: a later save rewrites them part by part
// and removes parts the text no longer has. Save is done (and greys out) only when every record is
// a row of the message's box; a text the handset side kept in the drafts instead leaves Save on,
// and the next save replaces those drafts. Records carry the local time of the send or save.
//
// The dialog closes with 1 only after a send that succeeded while "close after sending" is on, and
// with 2 on cancel. A failed or cancelled send (the handset side reports it to the user) leaves it
// open. Every way out saves the settings file and keeps new signature and centre texts.
//
// Refusals, each with a message box and nothing sent or stored: not connected
// ("SmsMng_NotConnected"); with splitting off, a text longer than one message
// ("fEditSms_TooLongRefused"; the text is never cut, the status bar says it is too long); a title
// and signature that leave a part no room ("fEditSms_NoRoom"); a recipient longer than the
// handset's 43-byte number field ("fEditSms_NumberTooLong", naming it); recipients that are all
// blank ("fEditSms_NoNumber"). Blank recipients between others are skipped on sending; what is
// saved keeps the recipient text as typed. An empty text is not saved. After a send the status
// bar says how many messages went to how many numbers ("fEditSms_Sent"); sending the same texts
// to the same numbers again asks first ("fEditSms_SendAgain").
#pragma once

#include "content/sms_manage.h"
#include "content/sms_split.h"
#include "forms/common/dialog_base.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>

#include <array>
#include <functional>

namespace core {
class TManage;
}
namespace content {
class Env;
class TPhraseMng;
class TPhoneBookManage;
} // namespace content
namespace controls {
class TSWComboBox;
class TkwSpeedButton;
} // namespace controls

namespace forms {

// The longest recipient the handset's send record holds, in bytes.
inline constexpr size_t kMaxRecipientBytes = 43;

class TfEditSms final : public DialogBase {
    Q_OBJECT
public:
    struct Services {
        core::TManage &manage;     // settings, recipient history, value lists, language
        content::Env &env;         // texts, message boxes, connection state
        content::TSMSManage &sms;  // the local message table (save)
        // Sends the records (content::TSmsTransfer::SendMessages): 0 or more when all went.
        std::function<int(content::ArraySms &)> send;
        content::TPhraseMng *phrases = nullptr;            // the phrase picker (insert)
        const content::TPhoneBookManage *book = nullptr;   // the contact picker
    };

    explicit TfEditSms(Services services, QWidget *parent = nullptr);
    ~TfEditSms() override;

    void preset(const content::Ssms &sms, bool newMode);

    // Engine settings as the dialog stands: titles and signature switches, the trimmed signature.
    content::SplitSettings splitSettings() const;
    // The records of the last send or save.
    const content::ArraySms &lastList() const { return FSmsList; }
    // What a save would store now for the message being edited (also after a send, whose records
    // went to Sent under new ids): the split of the recipient text as typed and the text, the first
    // record keeping the message's id and box. Empty when the text leaves a part no room.
    content::ArraySms saveRecords() const;
    bool modified() const { return FModified; }
    bool splitShown() const { return FSplitShown; }
    const content::Ssms &record() const { return FSms; }

    // The form's components (names as the language keys use them).
    controls::TSWComboBox *edit_address = nullptr;
    QComboBox *Combo_sign = nullptr;
    QComboBox *Combo_SCA = nullptr;
    QPlainTextEdit *Memo = nullptr;
    QPushButton *btnSend = nullptr, *btnSave = nullptr, *btnInsert = nullptr, *btnCancel = nullptr;
    controls::TkwSpeedButton *SpeedButton1 = nullptr;
    controls::TkwSpeedButton *btnSplit = nullptr;
    QCheckBox *cbSendClose = nullptr, *cbSplit = nullptr;
    QStatusBar *StatusBar = nullptr;
    std::array<QLabel *, 4> panels{};
    QLabel *Label_sign = nullptr, *Label_SCA = nullptr;
    QMenu *memu_saveas = nullptr; // in the form, never shown

    // Handlers, public for the main window's shortcuts and for tests.
    void btnSendClick();
    void btnSaveClick();
    void btnInsertClick();
    void SpeedButton1Click();
    void btnSplitClick();
    void MemoChange();
    void SaveValueLists();

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow();
    void FormClose();
    void edit_addressChange();
    void Combo_signChange();
    void Combo_SCAChange();
    void setModified();
    void updateSaveButton();
    // Whether the text may go as it is: splitting is on, or it fits one message.
    bool fitsUnsplit(const std::string &body) const;
    // Gives the records the ids (and handset positions) of the rows this message already has, in
    // order; the others -1 (new rows).
    void placeOnSavedRows(content::ArraySms &list) const;
    static std::string sentKey(const content::ArraySms &list);
    // The records to send: blanks skipped, numbers trimmed; false after telling the user why
    // nothing can go.
    bool sendable(content::ArraySms &list);
    QString memoText() const;
    std::string utf8(const QString &s) const { return s.toStdString(); }
    QString tr8(const std::string &s) const { return QString::fromStdString(s); }
    std::string text(const char *key) const;

    Services s_;
    content::Ssms FSms;
    content::ArraySms FSmsList;
    uint8_t FNewMode = 0;
    bool FSplitShown = false;
    bool FModified = false;
    bool inMemoChange_ = false;
    bool closed_ = false;
    std::vector<int32_t> savedIds_;    // the rows holding the message, part by part
    std::vector<int32_t> fallbackIds_; // drafts a failed handset save left behind
    std::string lastSent_;             // what the last send that went sent (numbers, texts, centre)
    std::array<std::string, 4> counterTexts_; // StatusBar01, 02, 11, 12
};

} // namespace forms
