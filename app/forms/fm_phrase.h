// The phrase picker TfPhraseList and the phrase editor TfPhraseEdit, two small modal dialogs over
// the phrase manager.
//
//   forms::TfPhraseList pick(lang, phrases, this);
//   pick.exec();                                   // 1 when a phrase was chosen
//   memo->insertPlainText(QString::fromStdString(pick.chosen()));   // empty without a choice
//
//   forms::TfPhraseEdit ed(lang, phrases, this);
//   ed.groupName = "Work"; ed.text = "See you";    // presets, read back after exec()
//   if (ed.exec() == forms::kMrOk) phrases.AddPhrase(ed.groupName, ed.text);
//
// Choosing a phrase (Insert, Return or a double click) counts one more use of it. The editor's OK is disabled while there is no group
// to put a phrase in, and its memo takes no more characters than the phrase table's Content
// column keeps, so nothing typed is cut silently; a text of blanks only closes with 2.
#pragma once

#include "forms/common/dialog_base.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <string>

namespace core {
class TLangMng;
}
namespace content {
class TPhraseMng;
}

namespace forms {

// The longest phrase text: the Content column's size in characters.
inline constexpr int kPhraseTextChars = 500;

class TfPhraseList final : public DialogBase {
    Q_OBJECT
public:
    TfPhraseList(const core::TLangMng &lang, content::TPhraseMng &phrases, QWidget *parent = nullptr);

    // The chosen phrase's text; empty while none was chosen.
    const std::string &chosen() const { return chosen_; }

    QTreeWidget *TreeView_usersms = nullptr;
    QLabel *Panel1 = nullptr;
    QTreeWidget *ListView_usersms = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N1 = nullptr;
    // Insert (enabled while a phrase is selected) and Cancel.
    QPushButton *btnOk = nullptr, *btnCancel = nullptr;

    void TreeView_usersmsChange(QTreeWidgetItem *node);
    void N1Click();

protected:
    void postShow() override;

private:
    void updateInsert();

    const core::TLangMng &lang_;
    content::TPhraseMng &phrases_;
    std::string chosen_;
};

class TfPhraseEdit final : public DialogBase {
    Q_OBJECT
public:
    TfPhraseEdit(const core::TLangMng &lang, content::TPhraseMng &phrases, QWidget *parent = nullptr);

    // Preset by the caller before exec(), read back after it.
    std::string groupName;
    std::string text;

    QLabel *Label_groupname = nullptr;
    QComboBox *Combo_group = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *btnOk = nullptr, *btnCancel = nullptr;

    void btnOkClick();

protected:
    void showEvent(QShowEvent *e) override;

private:
    void limitMemo();
    bool limiting_ = false;
};

} // namespace forms
