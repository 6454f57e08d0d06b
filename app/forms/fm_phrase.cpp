#include "forms/fm_phrase.h"

#include "content/phrase_mng.h"
#include "content/sms_split.h"
#include "core/lang_mng.h"
#include "core/qt/form_translate.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QShowEvent>
#include <QSplitter>
#include <QTextCursor>
#include <QVBoxLayout>

namespace forms {

namespace {

constexpr int kIdColumn = 3; // the phrase id, a hidden column

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

// ---- TfPhraseList ----

TfPhraseList::TfPhraseList(const core::TLangMng &lang, content::TPhraseMng &phrases, QWidget *parent)
    : DialogBase(parent), lang_(lang), phrases_(phrases)
{
    setObjectName("fPhraseList");
    auto *splitter = new QSplitter(this);
    splitter->setObjectName("Splitter4");
    TreeView_usersms = new QTreeWidget(splitter);
    TreeView_usersms->setObjectName("TreeView_usersms");
    TreeView_usersms->setHeaderHidden(true);
    TreeView_usersms->setRootIsDecorated(false);
    auto *right = new QWidget(splitter);
    Panel1 = new QLabel(right);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ListView_usersms = new QTreeWidget(right);
    ListView_usersms->setObjectName("ListView_usersms");
    ListView_usersms->setColumnCount(4);
    ListView_usersms->setRootIsDecorated(false);
    ListView_usersms->setColumnWidth(0, 300);
    ListView_usersms->setColumnWidth(1, 135); // a whole record time
    ListView_usersms->setColumnWidth(2, 100);
    ListView_usersms->setColumnHidden(kIdColumn, true);
    ListView_usersms->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *rl = new QVBoxLayout(right);
    rl->setContentsMargins(0, 0, 0, 0);
    rl->addWidget(Panel1);
    rl->addWidget(ListView_usersms, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({130, 520});
    btnOk = new QPushButton(this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName("btnCancel");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *root = new QVBoxLayout(this);
    root->addWidget(splitter, 1);
    root->addLayout(buttons);
    resize(660, 380);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    N1 = PopupMenu1->addAction(QString());
    N1->setObjectName("N1");

    core::setFormFont(lang, this);
    core::translateForm(lang, this, "fPhraseList");
    setWindowTitle(q(lang.translate("fPhraseList_Caption")));
    phrases_.Load();
    for (const std::string &g : phrases_.GroupNames()) {
        auto *node = new QTreeWidgetItem(TreeView_usersms, QStringList{q(g)});
        node->setData(0, Qt::UserRole, 0); // image 0
    }

    connect(TreeView_usersms, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *node) { TreeView_usersmsChange(node); });
    connect(ListView_usersms, &QTreeWidget::itemDoubleClicked, this, [this] { N1Click(); });
    connect(N1, &QAction::triggered, this, [this] { N1Click(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { N1Click(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { finish(kMrCancel); });
    connect(ListView_usersms, &QTreeWidget::itemSelectionChanged, this, [this] { updateInsert(); });
    updateInsert();
    connect(ListView_usersms, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { PopupMenu1->popup(ListView_usersms->viewport()->mapToGlobal(p)); });
}

void TfPhraseList::updateInsert()
{
    QTreeWidgetItem *item = ListView_usersms->currentItem();
    const bool chosen = TreeView_usersms->currentItem() && item && item->isSelected();
    btnOk->setEnabled(chosen);
    N1->setEnabled(chosen);
}

void TfPhraseList::postShow()
{
    ListView_usersms->setFocus();
    // The first group is listed as soon as the dialog is on the screen.
    if (TreeView_usersms->topLevelItemCount() > 0) {
        if (TreeView_usersms->currentItem() == TreeView_usersms->topLevelItem(0))
            TreeView_usersmsChange(TreeView_usersms->currentItem());
        else
            TreeView_usersms->setCurrentItem(TreeView_usersms->topLevelItem(0));
    }
}

void TfPhraseList::TreeView_usersmsChange(QTreeWidgetItem *node)
{
    ListView_usersms->clear();
    if (!node)
        return;
    const std::vector<content::PhraseRow> rows = phrases_.FillList(node->text(0).toStdString());
    for (const content::PhraseRow &r : rows)
        new QTreeWidgetItem(ListView_usersms, QStringList{q(r.content), q(r.recordTime),
                                                          QString::number(r.useCount), QString::number(r.id)});
    Panel1->setText(q(lang_.translate("fPhraseList_MessCode1")) + QString::number(rows.size()) +
                    q(lang_.translate("fPhraseList_MessCode2")));
    updateInsert();
}

void TfPhraseList::N1Click()
{
    QTreeWidgetItem *node = TreeView_usersms->currentItem();
    QTreeWidgetItem *item = ListView_usersms->currentItem();
    if (!node || !item || !item->isSelected())
        return;
    chosen_ = item->text(0).toStdString();
    phrases_.UpdatePhrase(item->text(kIdColumn).toInt(), node->text(0).toStdString(), "", 1);
    finish(kMrOk);
}

// ---- TfPhraseEdit ----

TfPhraseEdit::TfPhraseEdit(const core::TLangMng &lang, content::TPhraseMng &phrases, QWidget *parent)
    : DialogBase(parent)
{
    setObjectName("fPhraseEdit");
    Label_groupname = new QLabel(this);
    Label_groupname->setObjectName("Label_groupname");
    Combo_group = new QComboBox(this);
    Combo_group->setObjectName("Combo_group");
    Label_groupname->setBuddy(Combo_group);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setTabChangesFocus(true);
    btnOk = new QPushButton(this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName("btnCancel");
    auto *top = new QHBoxLayout;
    top->addWidget(Label_groupname);
    top->addWidget(Combo_group, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *root = new QVBoxLayout(this);
    root->addLayout(top);
    root->addWidget(Memo1, 1);
    root->addLayout(buttons);
    resize(380, 240);

    core::setFormFont(lang, this);
    core::translateForm(lang, this, "fPhraseEdit");
    setWindowTitle(q(lang.translate("fPhraseEdit_Caption")));
    phrases.Load();
    for (const std::string &g : phrases.GroupNames())
        Combo_group->addItem(q(g));
    Combo_group->setCurrentIndex(Combo_group->count() > 0 ? 0 : -1);
    // Without a group a phrase has nowhere to go.
    btnOk->setEnabled(Combo_group->count() > 0);

    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] { limitMemo(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { finish(kMrCancel); });
}

void TfPhraseEdit::showEvent(QShowEvent *e)
{
    DialogBase::showEvent(e);
    if (e->spontaneous())
        return;
    if (!groupName.empty()) {
        const int i = Combo_group->findText(q(groupName), Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (i >= 0)
            Combo_group->setCurrentIndex(i);
    }
    Memo1->setPlainText(q(text));
    Memo1->moveCursor(QTextCursor::End);
}

void TfPhraseEdit::limitMemo()
{
    if (limiting_)
        return;
    const QString t = Memo1->toPlainText();
    // Characters as the table counts them: code points.
    if (t.toStdU32String().size() <= size_t(kPhraseTextChars))
        return;
    limiting_ = true;
    const std::u32string cut = t.toStdU32String().substr(0, kPhraseTextChars);
    Memo1->setPlainText(QString::fromStdU32String(cut));
    Memo1->moveCursor(QTextCursor::End);
    limiting_ = false;
}

void TfPhraseEdit::btnOkClick()
{
    groupName = Combo_group->currentText().toStdString();
    text = content::TrimText(Memo1->toPlainText().toStdString());
    finish(text.empty() ? kMrCancel : kMrOk);
}

} // namespace forms
