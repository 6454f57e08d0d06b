#include "forms/f_find.h"

#include "core/app_manage.h"
#include "core/lang_mng.h"
#include "core/qt/form_translate.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace forms {

TfFind::TfFind(core::TManage &manage, QWidget *parent) : QDialog(parent)
{
    setObjectName("fFind");
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1_ = new QLabel(this);
    Label1_->setObjectName("Label1");
    Edit1_ = new QLineEdit(this);
    Edit1_->setObjectName("Edit1");
    Edit1_->setMaxLength(255);
    Edit1_->setMinimumWidth(220);
    Label1_->setBuddy(Edit1_);
    RadioButton1_ = new QRadioButton(this);
    RadioButton1_->setObjectName("RadioButton1");
    RadioButton1_->setChecked(true);
    RadioButton2_ = new QRadioButton(this);
    RadioButton2_->setObjectName("RadioButton2");
    btnOk_ = new QPushButton(this);
    btnOk_->setObjectName("btnOk");
    btnOk_->setDefault(true);
    btnCancel_ = new QPushButton(this);
    btnCancel_->setObjectName("btnCancel");

    auto *top = new QVBoxLayout(this);
    auto *line = new QHBoxLayout;
    line->addWidget(Label1_);
    line->addWidget(Edit1_, 1);
    top->addLayout(line);
    auto *dir = new QHBoxLayout;
    dir->addWidget(RadioButton1_);
    dir->addWidget(RadioButton2_);
    dir->addStretch(1);
    top->addLayout(dir);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);
    top->addLayout(buttons);

    connect(btnOk_, &QPushButton::clicked, this, [this] { done(kResultOk); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { done(kResultCancel); });

    core::setFormFont(manage.LangMng(), this);
    setWindowTitle(QString::fromStdString(manage.LangMng().translate("fFind_Caption")));
    core::translateForm(manage.LangMng(), this, "fFind");
    setTabOrder(Edit1_, RadioButton1_);
    setTabOrder(RadioButton1_, RadioButton2_);
    setTabOrder(RadioButton2_, btnOk_);
    setTabOrder(btnOk_, btnCancel_);
}

QString TfFind::text() const
{
    return Edit1_->text().trimmed();
}

bool TfFind::forward() const
{
    return RadioButton1_->isChecked();
}

void TfFind::setForward(bool forward)
{
    (forward ? RadioButton1_ : RadioButton2_)->setChecked(true);
}

void TfFind::reject()
{
    // Escape and the close box answer Cancel.
    done(kResultCancel);
}

void TfFind::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    Edit1_->setFocus();
    Edit1_->selectAll();
}

} // namespace forms
