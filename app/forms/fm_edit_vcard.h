// TfVcardEdit: the contact editor. It edits its own copy of a contact's fields against the field
// template of the contact's storage and hands the edited fields back on OK.
//
//   forms::TfVcardEdit ed(lang, prompt, pb.GetGroupNames(book));
//   ed.templ = pb.GetStorageFields(book, storage);
//   ed.fields = loaded;                      // empty for a new contact
//   ed.storageCode = content::toInt(storage);
//   if (ed.BuildRows() == 0 && ed.exec() == forms::kMrOk) store(ed.fields);
//
// Modal result 1 only when something was edited after the form came up (filling it does not
// count). The name form (one box, or family and given name) is decided once, from the template's
// N description, and OK writes N in that form, keeping the parts of the old N it does not show.
// Number boxes accept digits, "+", ",", "-", "*" and "#" (a pasted "." is kept too); a number longer
// than its storage's limit is not cut: OK names the row and the form stays open. Alt+Down in a
// number box opens its type menu.
#pragma once

#include "content/contact_fields.h"
#include "forms/common/dialog_base.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>
#include <string>
#include <vector>

namespace core {
class TLangMng;
class Prompt;
} // namespace core
namespace controls {
class TkwSpeedButton;
} // namespace controls

namespace forms {

class TfmAdd;

// The 16 number types: type k = kTypeB[k / 4] | kTypeA[k % 4].
inline constexpr int32_t kTypeA[4] = {1, 2, 0x80, 0x40};
inline constexpr int32_t kTypeB[4] = {0x100, 0x200, 0x400, 0x800};
inline constexpr int32_t typeFlags(int k) { return kTypeB[k / 4] | kTypeA[k % 4]; }

// Caption of a number type by its flags: the last place flag set (1, 2, 128, 64) then the last kind
// flag set (256, 512, 1024, 2048); empty when neither is set.
std::string telTypeText(const core::TLangMng &lang, int32_t flags);

class TfVcardEdit final : public DialogBase {
    Q_OBJECT
public:
    TfVcardEdit(const core::TLangMng &lang, core::Prompt &prompt, std::vector<std::string> groupNames,
                QWidget *parent = nullptr);
    ~TfVcardEdit() override;

    content::TFieldParams templ;  // the storage's template (set before BuildRows)
    content::TMobileVacrd fields; // the contact (set before BuildRows; edited in place)
    int32_t storageCode = 1;

    // Builds the form; -1 (nothing built) for an empty template.
    int BuildRows();
    int exec() override;

    // One run-time row.
    struct Row {
        int number = 0;
        int descIndex = -1;
        int fieldIndex = -1;
        QLabel *label = nullptr;
        controls::TkwSpeedButton *typeButton = nullptr; // null for the group row
        QLineEdit *box = nullptr;                       // null for the group row
        QComboBox *group = nullptr;                     // the group row's list
    };
    const std::vector<Row> &rows() const { return rows_; }

    // One entry of a row's type menu.
    struct TypeItem {
        int type = 0; // 0..15
        QString caption;
        bool checked = false;
        bool operator==(const TypeItem &) const = default;
    };
    // The type menu of a row (what its type button pops up) and choosing from it; tests use these
    // without popping the menu up.
    std::vector<TypeItem> typeMenu(int row) const;
    void chooseType(int row, int type);
    static bool HasTypeChoice(int32_t flags);

    // The address dialog of a row, as its box's button opens it.
    void AddressButtonClick(int row);

    bool changed() const { return changed_; }
    bool nameStructured() const { return structured_; }

    QLabel *lblName = nullptr, *lbLastName = nullptr, *lblBirthday = nullptr, *lblEx = nullptr;
    QLineEdit *edtName = nullptr, *EdtLastName = nullptr;
    QDateEdit *dtpBirthday = nullptr;
    QPlainTextEdit *memEx = nullptr;
    QPushButton *btnOK = nullptr, *btnCancel = nullptr;

protected:
    void postShow() override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void btnOKClick();
    void addRow(const content::FieldParam &d, int kind, int fieldIndex, int descIndex);
    void addGroupRow(int fieldIndex, int descIndex);
    void popTypeMenu(int row, QPoint at);
    void TelExit(QLineEdit *box);
    void RowChange(int row);
    void setChanged() { changed_ = true; }
    QString text(const std::string &key) const;

    const core::TLangMng &lang_;
    core::Prompt &prompt_;
    std::vector<std::string> groupNames_;
    QGridLayout *grid_ = nullptr;
    int gridRow_ = 0;
    QWidget *lastTab_ = nullptr;
    std::vector<Row> rows_;
    std::vector<QString> typeCaptions_;
    bool changed_ = false;
    bool built_ = false;
    bool structured_ = false;
    int nameDesc_ = -1;
    int birthdayField_ = -1;
    int noteLimit_ = 0;
    bool filling_ = false;
};

} // namespace forms
