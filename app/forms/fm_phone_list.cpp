#include "forms/fm_phone_list.h"

#include "content/contacts_view.h"
#include "content/env.h"
#include "content/phonebook_manage.h"
#include "content/qt/contacts_qt.h"
#include "core/lang_mng.h"
#include "core/qt/form_translate.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace forms {

TfPhoneList::TfPhoneList(const core::TLangMng &lang, const content::Env &env, const content::TPhoneBookManage &book,
                         QWidget *parent)
    : DialogBase(parent), book_(book)
{
    setObjectName("fPhoneList");
    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    page_cont = new QWidget;
    page_cont->setObjectName("page_cont");
    PageControl->addTab(page_cont, QString());
    Combo_group = new QComboBox(page_cont);
    Combo_group->setObjectName("Combo_group");
    ListView_cont = new QTreeWidget(page_cont);
    ListView_cont->setObjectName("ListView_cont");
    ListView_cont->setColumnCount(2);
    ListView_cont->setColumnWidth(0, 85);
    ListView_cont->setColumnWidth(1, 95);
    ListView_cont->setRootIsDecorated(false);
    ListView_cont->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView_cont->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView_cont->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *pl = new QVBoxLayout(page_cont);
    pl->addWidget(Combo_group);
    pl->addWidget(ListView_cont, 1);

    ListView_select = new QTreeWidget(this);
    ListView_select->setObjectName("ListView_select");
    ListView_select->setColumnCount(2);
    ListView_select->setColumnWidth(0, 105);
    ListView_select->setColumnWidth(1, 100);
    ListView_select->setRootIsDecorated(false);
    ListView_select->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView_select->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView_select->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    nDel = PopupMenu1->addAction(QString());
    nDel->setObjectName("nDel");
    nClear = PopupMenu1->addAction(QString());
    nClear->setObjectName("nClear");

    btnSelect = new QPushButton("---->", this);
    btnSelect->setObjectName("btnSelect");
    btnDel = new QPushButton("<----", this);
    btnDel->setObjectName("btnDel");
    Button_selectgroup = new QPushButton(this);
    Button_selectgroup->setObjectName("Button_selectgroup");
    Button_selectgroup->hide();
    Check_show = new QCheckBox(this);
    Check_show->setObjectName("Check_show");
    Check_show->setChecked(true);
    Button_ok = new QPushButton(this);
    Button_ok->setObjectName("Button_ok");
    Button_ok->setDefault(true);
    Button_cancel = new QPushButton(this);
    Button_cancel->setObjectName("Button_cancel");
    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");

    auto *middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(btnSelect);
    middle->addWidget(btnDel);
    middle->addWidget(Button_selectgroup);
    middle->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(Label2);
    right->addWidget(ListView_select, 1);
    auto *lists = new QHBoxLayout;
    lists->addWidget(PageControl, 1);
    lists->addLayout(middle);
    lists->addLayout(right, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Check_show);
    bottom->addStretch(1);
    bottom->addWidget(Button_ok);
    bottom->addWidget(Button_cancel);
    auto *root = new QVBoxLayout(this);
    root->addLayout(lists, 1);
    root->addLayout(bottom);
    resize(560, 360);

    core::setFormFont(lang, this);
    // Books by index: two contact files of one name stay two entries.
    for (const std::string &name : content::GetBookNames(book_, env))
        Combo_group->addItem(QString::fromStdString(name));
    Combo_group->setCurrentIndex(-1);
    core::translateForm(lang, this, "fPhoneList");
    setWindowTitle(QString::fromStdString(lang.translate("fPhoneList_Caption")));

    connect(Combo_group, qOverload<int>(&QComboBox::activated), this, [this] { Combo_groupChange(); });
    connect(Check_show, &QCheckBox::toggled, this, [this] {
        if (Combo_group->currentIndex() >= 0)
            Combo_groupChange();
    });
    connect(btnSelect, &QPushButton::clicked, this, [this] { btnSelectClick(); });
    connect(btnDel, &QPushButton::clicked, this, [this] { nDelClick(); });
    connect(nDel, &QAction::triggered, this, [this] { nDelClick(); });
    connect(nClear, &QAction::triggered, this, [this] { nClearClick(); });
    connect(ListView_select, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { PopupMenu1->popup(ListView_select->viewport()->mapToGlobal(p)); });
    connect(Button_ok, &QPushButton::clicked, this, [this] { Button_okClick(); });
    connect(Button_cancel, &QPushButton::clicked, this, [this] { finish(kMrCancel); });
}

void TfPhoneList::Combo_groupChange()
{
    content::fillPickerList(ListView_cont,
                            content::FillNumberList(book_, Combo_group->currentIndex(), Check_show->isChecked()));
}

void TfPhoneList::btnSelectClick()
{
    for (int i = 0; i < ListView_cont->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = ListView_cont->topLevelItem(i);
        if (row->isSelected())
            new QTreeWidgetItem(ListView_select, QStringList{row->text(0), row->text(1)});
    }
}

void TfPhoneList::nDelClick()
{
    for (int i = ListView_select->topLevelItemCount() - 1; i >= 0; --i)
        if (ListView_select->topLevelItem(i)->isSelected())
            delete ListView_select->takeTopLevelItem(i);
}

void TfPhoneList::nClearClick()
{
    ListView_select->clear();
}

void TfPhoneList::Button_okClick()
{
    FNumbers.clear();
    for (int i = 0; i < ListView_select->topLevelItemCount(); ++i)
        FNumbers += ListView_select->topLevelItem(i)->text(1).toStdString() + ";";
    finish(kMrOk);
}

} // namespace forms
