// TfPhoneList: the contact picker of the message composer. The user chooses a book (the phone
// book first, then each imported contact file, addressed by their index), selects rows and moves
// them into the chosen list; OK answers their numbers, each followed by ";".
//
//   forms::TfPhoneList pick(lang, env, book, this);
//   if (pick.exec() == forms::kMrOk) recipients = pick.numbers();   // "n1;n2;" or ""
//
// "Only mobile numbers" (Check_show, on at start) filters the list and refills it when toggled.
#pragma once

#include "forms/common/dialog_base.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <string>

namespace core {
class TLangMng;
}
namespace content {
class Env;
class TPhoneBookManage;
} // namespace content

namespace forms {

class TfPhoneList final : public DialogBase {
    Q_OBJECT
public:
    TfPhoneList(const core::TLangMng &lang, const content::Env &env, const content::TPhoneBookManage &book,
                QWidget *parent = nullptr);

    const std::string &numbers() const { return FNumbers; }

    QTabWidget *PageControl = nullptr;
    QWidget *page_cont = nullptr;
    QComboBox *Combo_group = nullptr;
    QTreeWidget *ListView_cont = nullptr;
    QTreeWidget *ListView_select = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *nDel = nullptr, *nClear = nullptr;
    QPushButton *btnSelect = nullptr, *btnDel = nullptr, *Button_selectgroup = nullptr;
    QCheckBox *Check_show = nullptr;
    QPushButton *Button_ok = nullptr, *Button_cancel = nullptr;
    QLabel *Label2 = nullptr;

    void Combo_groupChange();
    void btnSelectClick();
    void nDelClick();
    void nClearClick();
    void Button_okClick();

private:
    const content::TPhoneBookManage &book_;
    std::string FNumbers;
};

} // namespace forms
