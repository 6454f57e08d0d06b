// TfAbout: the about box: product name, version, notice, and the project's web page, opened in the
// default browser through QDesktopServices when its link is clicked.
//
//   forms::TfAbout about(lang, this);
//   about.exec();
#pragma once

#include "forms/common/dialog_base.h"

#include <QLabel>
#include <QPushButton>

namespace core {
class TLangMng;
}

namespace forms {

inline constexpr const char *kAboutVersion = "Ver:1.2.0";
inline constexpr const char *kAboutWebPage = "https://selvark.example.org/";

class TfAbout final : public DialogBase {
    Q_OBJECT
public:
    explicit TfAbout(const core::TLangMng &lang, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr, *Label6 = nullptr;
    QLabel *Image1 = nullptr;
    QWidget *Bevel1 = nullptr;
    QPushButton *Button1 = nullptr;

    void Label6Click();

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const core::TLangMng &lang_;
};

} // namespace forms
