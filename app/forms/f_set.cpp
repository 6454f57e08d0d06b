#include "forms/f_set.h"

#include "core/app_manage.h"
#include "core/comm/comm_mng.h"
#include "core/comm/comm_thread.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "core/qt/form_translate.h"
#include "forms/fm_test_conn.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

namespace forms {

namespace {

constexpr int kMinutesMin = 5;
constexpr int kMinutesMax = 480;

QString qs(const std::string &s) { return QString::fromStdString(s); }
std::string ss(const QString &s) { return s.toStdString(); }

// A sorted drop-down list keeps its items in text order without regard to case; an item equal to
// one already there goes after it.
void addSorted(QComboBox *combo, const std::string &item)
{
    const QString text = qs(item);
    int at = combo->count();
    for (int i = 0; i < combo->count(); ++i)
        if (QString::compare(text, combo->itemText(i), Qt::CaseInsensitive) < 0) {
            at = i;
            break;
        }
    combo->insertItem(at, text);
}

// Selects the first item equal to text without regard to case; none when no item is.
void selectText(QComboBox *combo, const std::string &text)
{
    const QString t = qs(text);
    int found = -1;
    for (int i = 0; i < combo->count() && found < 0; ++i)
        if (QString::compare(combo->itemText(i), t, Qt::CaseInsensitive) == 0)
            found = i;
    combo->setCurrentIndex(found);
}

// The selected text, or nothing when no item is selected.
std::optional<std::string> selected(const QComboBox *combo)
{
    if (combo->currentIndex() < 0)
        return std::nullopt;
    return ss(combo->currentText());
}

std::vector<std::string> items(const QComboBox *combo)
{
    std::vector<std::string> out;
    for (int i = 0; i < combo->count(); ++i)
        out.push_back(ss(combo->itemText(i)));
    return out;
}

// Trimmed of the characters below 33, as the value lists judge a blank text.
bool blank(const std::string &s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 33; });
}

// The idle minutes. Text the box cannot take (out of range) is corrected by the box on Return or
// when the focus leaves, before Apply could see it: so the box remembers what the user typed last,
// until a step with the arrows replaces it, for Apply to judge.
class MinutesBox final : public QSpinBox {
public:
    explicit MinutesBox(QWidget *parent) : QSpinBox(parent)
    {
        connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString &t) { typed = t; });
    }
    void stepBy(int steps) override
    {
        typed.reset();
        QSpinBox::stepBy(steps);
    }
    std::optional<QString> typed;
};

template <class W> W *named(QWidget *parent, const char *name)
{
    auto *w = new W(parent);
    w->setObjectName(name);
    return w;
}

QLabel *label(QWidget *parent, const char *name, QWidget *buddy = nullptr)
{
    auto *l = named<QLabel>(parent, name);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

QListWidget *valueList(QWidget *parent, const char *name)
{
    auto *list = named<QListWidget>(parent, name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setMinimumHeight(90);
    return list;
}

} // namespace

void applyKeepTime(core::TManage &manage, core::TCommThread *worker, int32_t minutes)
{
    if (minutes == manage.KeepTime)
        return;
    manage.KeepTime = minutes;
    if (worker)
        worker->SetIdleTimeout(int64_t{minutes} * 60000);
}

TfSet::TfSet(Setup setup, QWidget *parent) : DialogBase(parent), setup_(std::move(setup))
{
    setObjectName("fSet");
    buildUi();
    const core::TLangMng &lang = setup_.manage.LangMng();
    core::setFormFont(lang, this);
    setWindowTitle(qs(text("fSet_Caption")));
    core::translateForm(lang, this, "fSet");
    load();
}

TfSet::~TfSet() = default;

std::string TfSet::text(const char *key) const { return setup_.manage.LangMng().translate(key); }

void TfSet::buildUi()
{
    PageControl1 = named<QTabWidget>(this, "PageControl1");
    TabConnect = named<QWidget>(PageControl1, "TabConnect");
    TabSms = named<QWidget>(PageControl1, "TabSms");
    TabContact = named<QWidget>(PageControl1, "TabContact");
    TabPhrase = named<QWidget>(PageControl1, "TabPhrase");
    TabOther = named<QWidget>(PageControl1, "TabOther");

    // --- connection ---
    auto *groupPhone = named<QGroupBox>(TabConnect, "GroupPhone");
    Combo_phone = named<QComboBox>(groupPhone, "Combo_phone");
    Combo_connect = named<QComboBox>(groupPhone, "Combo_connect");
    Combo_com = named<QComboBox>(groupPhone, "Combo_com");
    Combo_baud = named<QComboBox>(groupPhone, "Combo_baud");
    for (QComboBox *c : {Combo_phone, Combo_connect, Combo_com, Combo_baud})
        c->setMinimumWidth(200);
    Button7 = named<QPushButton>(groupPhone, "Button7");
    Button7->setEnabled(false);
    Button8 = named<QPushButton>(groupPhone, "Button8");
    Button8->hide();
    auto *grid = new QGridLayout(groupPhone);
    grid->addWidget(label(groupPhone, "Label_phone", Combo_phone), 0, 0);
    grid->addWidget(Combo_phone, 0, 1);
    grid->addWidget(label(groupPhone, "Label_connect", Combo_connect), 1, 0);
    grid->addWidget(Combo_connect, 1, 1);
    grid->addWidget(label(groupPhone, "Label_com", Combo_com), 2, 0);
    grid->addWidget(Combo_com, 2, 1);
    grid->addWidget(label(groupPhone, "Label_baud", Combo_baud), 3, 0);
    grid->addWidget(Combo_baud, 3, 1);
    auto *testRow = new QHBoxLayout;
    testRow->addStretch(1);
    testRow->addWidget(Button8);
    testRow->addWidget(Button7);
    grid->addLayout(testRow, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto *groupKeep = named<QGroupBox>(TabConnect, "GroupKeep");
    Radio_keep = named<QRadioButton>(groupKeep, "Radio_keep");
    Radio_disconn = named<QRadioButton>(groupKeep, "Radio_disconn");
    edit_disconntime = named<MinutesBox>(groupKeep, "edit_disconntime");
    edit_disconntime->setRange(kMinutesMin, kMinutesMax);
    edit_disconntime->setValue(kMinutesMin);
    // Left with a value out of range, the box shows the nearest allowed one instead of silently
    // going back to the one it had.
    edit_disconntime->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    auto *keepLayout = new QGridLayout(groupKeep);
    keepLayout->addWidget(Radio_keep, 0, 0, 1, 3);
    keepLayout->addWidget(Radio_disconn, 1, 0);
    keepLayout->addWidget(edit_disconntime, 1, 1);
    keepLayout->addWidget(label(groupKeep, "Label_minutes", edit_disconntime), 1, 2);
    keepLayout->setColumnStretch(2, 1);

    btnApply = named<QPushButton>(TabConnect, "btnApply");
    auto *applyRow = new QHBoxLayout;
    applyRow->addStretch(1);
    applyRow->addWidget(btnApply);
    auto *connLayout = new QVBoxLayout(TabConnect);
    connLayout->addWidget(groupPhone);
    connLayout->addWidget(groupKeep);
    connLayout->addStretch(1);
    connLayout->addLayout(applyRow);

    // --- messages ---
    Check_sms = named<QCheckBox>(TabSms, "Check_sms");
    check_clearsms = named<QCheckBox>(TabSms, "check_clearsms");
    check_delsms = named<QCheckBox>(TabSms, "check_delsms");
    cbSignature = named<QCheckBox>(TabSms, "cbSignature");
    CbTitle = named<QCheckBox>(TabSms, "CbTitle");
    cbSendClose = named<QCheckBox>(TabSms, "cbSendClose");
    for (QCheckBox *c : {cbSignature, CbTitle}) {
        c->setChecked(true);
        c->hide();
    }
    auto *groupSign = named<QGroupBox>(TabSms, "GroupSign");
    ListView_sign = valueList(groupSign, "ListView_sign");
    // Made in the order they are laid out, which is the order Tab walks them.
    btnAdd = named<QPushButton>(groupSign, "btnAdd");
    Btnedit = named<QPushButton>(groupSign, "Btnedit");
    BtnDel = named<QPushButton>(groupSign, "BtnDel");
    auto *groupSca = named<QGroupBox>(TabSms, "GroupSca");
    ListView_sca = valueList(groupSca, "ListView_sca");
    BtnNew = named<QPushButton>(groupSca, "BtnNew");
    BtnClear = named<QPushButton>(groupSca, "BtnClear");
    BtnDelete = named<QPushButton>(groupSca, "BtnDelete");
    auto listGroup = [](QGroupBox *group, QListWidget *list, std::initializer_list<QPushButton *> buttons) {
        auto *column = new QVBoxLayout;
        for (QPushButton *b : buttons)
            column->addWidget(b);
        column->addStretch(1);
        auto *row = new QHBoxLayout(group);
        row->addWidget(list, 1);
        row->addLayout(column);
    };
    listGroup(groupSign, ListView_sign, {btnAdd, Btnedit, BtnDel});
    listGroup(groupSca, ListView_sca, {BtnNew, BtnClear, BtnDelete});
    auto *smsLayout = new QVBoxLayout(TabSms);
    for (QWidget *w : {static_cast<QWidget *>(Check_sms), static_cast<QWidget *>(check_clearsms),
                       static_cast<QWidget *>(check_delsms), static_cast<QWidget *>(cbSendClose),
                       static_cast<QWidget *>(cbSignature), static_cast<QWidget *>(CbTitle)})
        smsLayout->addWidget(w);
    smsLayout->addWidget(groupSign, 1);
    smsLayout->addWidget(groupSca, 1);

    // --- other (hidden) ---
    Combo_language = named<QComboBox>(TabOther, "Combo_language");
    auto *otherLayout = new QHBoxLayout(TabOther);
    otherLayout->addWidget(label(TabOther, "Label_language", Combo_language));
    otherLayout->addWidget(Combo_language, 1);

    PageControl1->addTab(TabConnect, QString());
    PageControl1->addTab(TabSms, QString());
    PageControl1->addTab(TabContact, QString());
    PageControl1->addTab(TabPhrase, QString());
    PageControl1->addTab(TabOther, QString());
    // The contact and phrase options are not offered; the language is chosen elsewhere.
    for (QWidget *page : {TabContact, TabPhrase, TabOther})
        PageControl1->setTabVisible(PageControl1->indexOf(page), false);

    btnOk = named<QPushButton>(this, "btnOk");
    btnOk->setDefault(true);
    btnCancel = named<QPushButton>(this, "btnCancel");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);

    // Handlers run on the user's choices only, as the program's own selections must not start them.
    connect(Combo_phone, &QComboBox::activated, this, [this] { Combo_phoneChange(); });
    connect(Combo_connect, &QComboBox::activated, this, [this] { Combo_connectChange(); });
    connect(Combo_com, &QComboBox::activated, this, [this] { Combo_comChange(); });
    connect(Combo_language, &QComboBox::activated, this, [this] { Combo_languageChange(); });
    connect(Radio_disconn, &QRadioButton::toggled, edit_disconntime, &QWidget::setEnabled);
    connect(btnApply, &QPushButton::clicked, this, [this] { btnApplyClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
    connect(btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(); });
    connect(BtnNew, &QPushButton::clicked, this, [this] { BtnNewClick(); });
    connect(Btnedit, &QPushButton::clicked, this, [this] { BtneditClick(); });
    connect(BtnClear, &QPushButton::clicked, this, [this] { BtnClearClick(); });
    connect(BtnDel, &QPushButton::clicked, this, [this] { BtnDelClick(); });
    connect(BtnDelete, &QPushButton::clicked, this, [this] { BtnDeleteClick(); });
    connect(ListView_sign, &QListWidget::itemDoubleClicked, this, [this] { BtneditClick(); });
    connect(ListView_sca, &QListWidget::itemDoubleClicked, this, [this] { BtnClearClick(); });
    ListView_sign->installEventFilter(this);
    ListView_sca->installEventFilter(this);
}

void TfSet::load()
{
    core::TManage &m = setup_.manage;
    // Connection choices: makers in catalogue order, each once.
    inUseMan_ = m.SelectPhone;
    inUseType_ = m.ComType;
    inUsePort_ = m.ComPort;
    inUseBaud_ = m.ComBaud;
    core::TCommMng::InUse open;
    if (setup_.comm && setup_.comm->connectionInUse(open)) {
        if (!open.man.empty())
            inUseMan_ = open.man;
        inUseType_ = open.type;
        inUsePort_ = open.port;
        inUseBaud_ = open.baud;
    }
    if (setup_.catalogue)
        setup_.catalogue->GetConnChoices(choices_, core::SerialPortSource{inUsePort_, setup_.sysfsRoot});
    std::set<std::string> makers;
    for (const core::UIConnParam &c : choices_)
        if (makers.insert(c.Man).second)
            Combo_phone->addItem(qs(c.Man));
    if (Combo_phone->count() > 0) {
        selectText(Combo_phone, inUseMan_);
        Combo_phoneChange();
    }
    if (Combo_connect->count() > 0) {
        selectText(Combo_connect, inUseType_);
        Combo_connectChange();
    }
    selectText(Combo_com, inUsePort_);
    selectText(Combo_baud, inUseBaud_);

    for (const std::string &name : m.LangMng().languages())
        Combo_language->addItem(qs(name));
    if (Combo_language->count() > 0) {
        selectText(Combo_language, m.CurLangType);
        if (Combo_language->currentIndex() < 0)
            Combo_language->setCurrentIndex(0);
    }

    check_delsms->setChecked(m.InCeptDel);
    Check_sms->setChecked(m.DelQuestion);
    check_clearsms->setChecked(m.ClearTrashOnExit);
    cbSignature->setChecked(m.Signature);
    CbTitle->setChecked(m.HaveTitle);
    cbSendClose->setChecked(m.SendClose);

    for (auto [list, cls] : {std::pair{ListView_sign, 1}, std::pair{ListView_sca, 0}}) {
        std::vector<std::string> values;
        m.GetSSInfoList(cls, values);
        for (const std::string &v : values)
            list->addItem(qs(v));
    }

    const bool keep = m.KeepTime == 0;
    Radio_keep->setChecked(keep);
    Radio_disconn->setChecked(!keep);
    edit_disconntime->setEnabled(!keep);
    if (!keep)
        edit_disconntime->setValue(m.KeepTime);
}

void TfSet::keepOrFirst(QComboBox *combo, const std::string &text)
{
    selectText(combo, text);
    if (combo->currentIndex() < 0 && combo->count() > 0)
        combo->setCurrentIndex(0);
}

void TfSet::Combo_phoneChange()
{
    const std::string type = selected(Combo_connect).value_or(inUseType_);
    Combo_connect->clear();
    const std::string man = ss(Combo_phone->currentText());
    if (Combo_phone->currentIndex() >= 0)
        for (const core::UIConnParam &c : choices_)
            if (c.Man == man)
                Combo_connect->addItem(qs(c.Type));
    if (Combo_connect->count() > 0) {
        keepOrFirst(Combo_connect, type);
        Combo_connectChange();
    } else {
        Combo_com->clear();
        Combo_baud->clear();
    }
    Button7->setEnabled(Combo_phone->currentIndex() >= 0);
}

void TfSet::Combo_connectChange()
{
    const std::string port = selected(Combo_com).value_or(inUsePort_);
    const std::string baud = selected(Combo_baud).value_or(inUseBaud_);
    Combo_com->clear();
    Combo_baud->clear();
    const std::string man = ss(Combo_phone->currentText());
    const std::string type = ss(Combo_connect->currentText());
    if (Combo_phone->currentIndex() >= 0 && Combo_connect->currentIndex() >= 0)
        for (const core::UIConnParam &c : choices_)
            if (c.Man == man && c.Type == type) {
                for (const std::string &p : c.Ports)
                    addSorted(Combo_com, p);
                for (const std::string &b : c.Bauds)
                    addSorted(Combo_baud, b);
            }
    keepOrFirst(Combo_com, port);
    keepOrFirst(Combo_baud, baud);
    // A type without a choice of port or rate (infrared finds its device itself) offers nothing
    // to pick.
    Combo_com->setEnabled(!(Combo_com->count() == 0 || (Combo_com->count() == 1 && Combo_com->itemText(0).isEmpty())));
    Combo_baud->setEnabled(Combo_baud->count() > 0);
}

void TfSet::Combo_comChange() { Combo_baud->setCurrentIndex(Combo_baud->findText(QStringLiteral("19200"))); }

void TfSet::Combo_languageChange()
{
    setup_.prompt.show(text("fSet_MessCode1"), text("Application_Hite_title"), core::kMbOk);
}

bool TfSet::minutesAccepted()
{
    auto *box = static_cast<MinutesBox *>(edit_disconntime);
    if (!Radio_disconn->isChecked() || !box->typed)
        return true;
    bool number = false;
    const int typed = box->typed->trimmed().toInt(&number);
    box->typed.reset();
    if (number && typed >= kMinutesMin && typed <= kMinutesMax) {
        box->setValue(typed);
        return true;
    }
    box->setValue(std::clamp(number ? typed : kMinutesMin, kMinutesMin, kMinutesMax));
    std::string message = text("fSet_MinutesRange");
    for (const auto &[mark, value] : {std::pair{"%min", kMinutesMin}, std::pair{"%max", kMinutesMax}})
        if (const size_t at = message.find(mark); at != std::string::npos)
            message.replace(at, std::strlen(mark), std::to_string(value));
    setup_.prompt.show(message, text("Application_Hite_title"), core::kMbOk | core::kMbIconError);
    PageControl1->setCurrentWidget(TabConnect);
    edit_disconntime->setFocus();
    edit_disconntime->selectAll();
    return false;
}

bool TfSet::btnApplyClick()
{
    if (!minutesAccepted())
        return false;
    core::TManage &m = setup_.manage;
    // A list without a selection has nothing to say: the stored value stays.
    m.SelectPhone = selected(Combo_phone).value_or(m.SelectPhone);
    const std::string type = selected(Combo_connect).value_or(m.ComType);
    const std::string port = selected(Combo_com).value_or(m.ComPort);
    const std::string baud = selected(Combo_baud).value_or(m.ComBaud);
    if (setup_.comm) {
        core::SelectedPhone phone{};
        core::TManage::StrToBuf(phone.Man, sizeof phone.Man, sizeof phone.Man, m.SelectPhone);
        setup_.comm->SetParams(phone, type, port, baud);
    }
    m.SetComParams(type, port, baud);

    const int32_t minutes = Radio_keep->isChecked() ? 0 : edit_disconntime->value();
    if (setup_.setKeepTime)
        setup_.setKeepTime(minutes);
    else
        applyKeepTime(m, setup_.worker, minutes);

    m.InCeptDel = check_delsms->isChecked();
    m.DelQuestion = Check_sms->isChecked();
    m.ClearTrashOnExit = check_clearsms->isChecked();
    m.Signature = cbSignature->isChecked();
    m.HaveTitle = CbTitle->isChecked();
    m.SendClose = cbSendClose->isChecked();
    if (Combo_language->currentIndex() >= 0)
        m.SetCurLangType(ss(Combo_language->currentText()));
    const platform::FileResult saved = m.SaveSettings();
    if (!saved.ok)
        m.ShowMessageBox(saved.message, text("Application_Hite_title"), core::kMbOk | core::kMbIconError);
    return true;
}

void TfSet::btnOkClick()
{
    if (btnApplyClick())
        finish(kMrOk);
}

void TfSet::btnCancelClick() { finish(kMrCancel); }

int TfSet::Button7Click()
{
    if (Combo_phone->currentIndex() < 0 || Combo_connect->currentIndex() < 0 || !setup_.worker || !setup_.hub)
        return 0;
    auto param = std::make_shared<core::UIConnParam>();
    param->Man = ss(Combo_phone->currentText());
    param->Type = ss(Combo_connect->currentText());
    param->Ports = items(Combo_com);
    param->Bauds = items(Combo_baud);
    TfmTestConn test(*setup_.worker, *setup_.hub, setup_.manage.LangMng(), this);
    if (setup_.onTestDialog)
        setup_.onTestDialog(test);
    const int mr = test.search(param);
    if (mr == kMrOk) {
        const TfmTestConn::Found found = test.found();
        selectText(Combo_com, found.port);
        selectText(Combo_baud, found.baud);
    }
    return mr;
}

void TfSet::addValue(QListWidget *list, int cls)
{
    const bool sign = cls == 1;
    const auto value = setup_.prompt.inputBox(text(sign ? "fSet_Signature" : "fSet_SCA"),
                                              text(sign ? "fSet_SignatureAdd" : "fSet_SCAAdd"), std::string());
    if (!value || blank(*value))
        return;
    list->addItem(qs(*value));
    setup_.manage.AddSSInfo(cls, *value);
}

void TfSet::editValue(QListWidget *list, int cls)
{
    QListWidgetItem *item = nullptr;
    for (int i = 0; i < list->count() && !item; ++i)
        if (list->item(i)->isSelected())
            item = list->item(i);
    if (!item)
        return;
    const bool sign = cls == 1;
    const std::string old = ss(item->text());
    const auto value = setup_.prompt.inputBox(text(sign ? "fSet_Signature" : "fSet_SCA"),
                                              text(sign ? "fSet_SignatureEditQuestion" : "fSet_SCAEditQuestion"), old);
    if (!value)
        return;
    setup_.manage.UpdateSSInfo(cls, old, *value);
    item->setText(qs(*value));
}

void TfSet::deleteValues(QListWidget *list, int cls)
{
    int first = -1;
    for (int i = 0; i < list->count() && first < 0; ++i)
        if (list->item(i)->isSelected())
            first = i;
    if (first < 0)
        return;
    for (int i = list->count() - 1; i >= 0; --i)
        if (list->item(i)->isSelected()) {
            std::unique_ptr<QListWidgetItem> item(list->takeItem(i));
            setup_.manage.DeleteSSInfo(cls, ss(item->text()));
        }
    list->clearSelection();
    if (list->count() > 0) {
        QListWidgetItem *next = list->item(std::min(first, list->count() - 1));
        list->setCurrentItem(next);
        next->setSelected(true);
    }
}

bool TfSet::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        if (watched == ListView_sign)
            BtnDelClick();
        else if (watched == ListView_sca)
            BtnDeleteClick();
    }
    return DialogBase::eventFilter(watched, event);
}

} // namespace forms
