// TfSet: the settings dialog. The handset maker, connection type, port and baud come from the
// catalogue's connection choices (the dialog keeps its own copy for its lifetime); a connection
// test searches every port and baud on the worker; keep-or-disconnect with the idle minutes; the
// message options; the value lists of signatures and service centres; the language name.
//
//   forms::TfSet::Setup setup{manage, prompt, db.catalogue(), &comm, &worker, &hub};
//   setup.setKeepTime = [&](int32_t minutes) { manage.SetKeepTime(minutes, &worker); };
//   forms::TfSet set(setup);
//   set.exec();   // OK applies and closes with 1; Cancel closes with 2 and keeps what Apply stored
//
// Apply writes the application manager's settings, hands the connection texts to the connection
// manager and saves the settings file. A combo box without a selection (a maker that is not in
// the catalogue, an empty Plug-in folder) keeps the stored value, so pressing OK for a message
// option never wipes the connection settings. Input and message boxes go through the prompt.
//
// While a handset is connected the page shows the connection in use (the maker of the driver that
// opened it, which the stored maker may not name), so OK keeps a working link. Choosing another
// maker or type keeps the type, port and baud shown so far wherever the new lists offer them.
// Idle minutes that the spin box cannot take are refused at Apply with the allowed range.
#pragma once

#include "core/catalogue.h"
#include "core/conn_param.h"
#include "forms/common/dialog_base.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace core {
class Prompt;
class TCommMng;
class TCommThread;
class TManage;
} // namespace core

namespace platform {
class QtWindowMessages;
} // namespace platform

namespace forms {

class TfmTestConn;

// Stores the idle minutes in the application manager and, when they differ from the stored ones,
// hands minutes x 60000 ms to the worker (when there is one). The dialog's default keep-time step.
void applyKeepTime(core::TManage &manage, core::TCommThread *worker, int32_t minutes);

class TfSet final : public DialogBase {
    Q_OBJECT
public:
    struct Setup {
        core::TManage &manage;
        core::Prompt &prompt; // input boxes and message boxes
        std::shared_ptr<const core::Catalogue> catalogue; // null: no connection choices
        core::TCommMng *comm = nullptr;           // receives the connection settings at Apply
        core::TCommThread *worker = nullptr;      // runs the connection test; takes the idle time-out
        platform::QtWindowMessages *hub = nullptr; // the test dialog's messages
        std::string sysfsRoot = "/sys";           // where the serial ports are listed
        // The keep-time step of Apply; empty: applyKeepTime(manage, worker, minutes).
        std::function<void(int32_t minutes)> setKeepTime;
        // Called with the test dialog before it is shown (tests shorten its end pause).
        std::function<void(TfmTestConn &)> onTestDialog;
    };

    explicit TfSet(Setup setup, QWidget *parent = nullptr);
    ~TfSet() override;

    // The published handlers.
    void Combo_phoneChange();
    void Combo_connectChange();
    void Combo_comChange();
    void Combo_languageChange();
    // False (nothing stored) when the idle minutes are not a value the spin box accepts.
    bool btnApplyClick();
    void btnOkClick();
    void btnCancelClick();
    // The connection test; answers the test dialog's result (0 when it was not run).
    int Button7Click();
    void btnAddClick() { addValue(ListView_sign, 1); }
    void BtnNewClick() { addValue(ListView_sca, 0); }
    void BtneditClick() { editValue(ListView_sign, 1); }
    void BtnClearClick() { editValue(ListView_sca, 0); }
    void BtnDelClick() { deleteValues(ListView_sign, 1); }
    void BtnDeleteClick() { deleteValues(ListView_sca, 0); }

    const core::UIConnParamList &connChoices() const { return choices_; }

    // Components.
    QTabWidget *PageControl1;
    QWidget *TabConnect, *TabSms, *TabContact, *TabPhrase, *TabOther;
    QComboBox *Combo_phone, *Combo_connect, *Combo_com, *Combo_baud;
    QPushButton *Button7, *Button8;
    QRadioButton *Radio_keep, *Radio_disconn;
    QSpinBox *edit_disconntime;
    QPushButton *btnApply;
    QCheckBox *Check_sms, *check_clearsms, *check_delsms, *cbSignature, *CbTitle, *cbSendClose;
    QListWidget *ListView_sign, *ListView_sca;
    QPushButton *btnAdd, *BtnDel, *Btnedit, *BtnNew, *BtnDelete, *BtnClear;
    QComboBox *Combo_language;
    QPushButton *btnOk, *btnCancel;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void load();
    void addValue(QListWidget *list, int cls);
    void editValue(QListWidget *list, int cls);
    void deleteValues(QListWidget *list, int cls);
    std::string text(const char *key) const;

    // Selects text in combo when it has it, else its first entry.
    static void keepOrFirst(QComboBox *combo, const std::string &text);
    bool minutesAccepted();

    Setup setup_;
    core::UIConnParamList choices_;
    // The maker, type, port and baud the page started from: the open connection's, else the stored.
    std::string inUseMan_, inUseType_, inUsePort_, inUseBaud_;
};

} // namespace forms
