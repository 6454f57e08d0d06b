// TfmAdd: the address dialog of the contact editor. Seven boxes, one per part of a postal address
// (post-office box, extended address, street, locality, region, postal code, country), each with a
// part limit: 0 means the handset does not keep that part (box and label emptied and disabled),
// below 0 no limit, otherwise the longest part in characters.
//
//   forms::TfmAdd dlg(lang, parent);
//   dlg.setParts(addr, limits);
//   if (dlg.exec() == forms::kMrOk) dlg.parts(addr);   // line breaks of MP and ME removed
#pragma once

#include "forms/common/dialog_base.h"

#include "dv_vcard.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <array>
#include <cstdint>

namespace core {
class TLangMng;
class Panel;
} // namespace core

namespace forms {

class TfmAdd final : public DialogBase {
    Q_OBJECT
public:
    explicit TfmAdd(const core::TLangMng &lang, QWidget *parent = nullptr);

    // Fills the boxes from addr and applies the seven part limits.
    void setParts(const VcardAddr &addr, const std::array<int32_t, 7> &limits);
    // The boxes' texts into addr, each part cut on a character boundary to its field (zero ended).
    void parts(VcardAddr &addr) const;
    // The text of box k (0..6), line breaks of the two memos included.
    QString partText(int k) const;
    QWidget *box(int k) const { return boxes_[k]; }
    QLabel *label(int k) const { return labels_[k]; }

    QPlainTextEdit *MP = nullptr;
    QPlainTextEdit *ME = nullptr;
    QLineEdit *ES = nullptr, *EC = nullptr, *ER = nullptr, *EP = nullptr, *ECounty = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr;

    // Removes every CR and LF from MP and ME.
    void StripLineBreaks();

private:
    void Button1Click();
    void limitMemo(QPlainTextEdit *memo, int limit);

    std::array<QWidget *, 7> boxes_{};
    std::array<QLabel *, 7> labels_{};
    std::array<int32_t, 7> limits_{};
};

} // namespace forms
