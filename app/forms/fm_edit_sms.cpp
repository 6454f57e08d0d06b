#include "forms/fm_edit_sms.h"

#include "content/env.h"
#include "content/phonebook_manage.h"
#include "content/phrase_mng.h"
#include "controls/buttons/speed_button.h"
#include "controls/history/sw_combo_box.h"
#include "core/app_manage.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "core/qt/form_translate.h"
#include "core/value_lists.h"
#include "forms/fm_phone_list.h"
#include "forms/fm_phrase.h"

#include <QGridLayout>
#include <QHideEvent>
#include <QShowEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace forms {

TfEditSms::TfEditSms(Services services, QWidget *parent) : DialogBase(parent), s_(std::move(services))
{
    setObjectName("fEditSms");
    core::TManage &m = s_.manage;

    Label_sign = new QLabel(this);
    Label_sign->setObjectName("Label_sign");
    Label_SCA = new QLabel(this);
    Label_SCA->setObjectName("Label_SCA");
    auto *labelTo = new QLabel(this);
    labelTo->setObjectName("Label_address");
    edit_address = new controls::TSWComboBox(this);
    edit_address->setObjectName("edit_address");
    SpeedButton1 = new controls::TkwSpeedButton(this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setFixedSize(24, 23);
    Combo_sign = new QComboBox(this);
    Combo_sign->setObjectName("Combo_sign");
    Combo_sign->setEditable(true);
    Combo_sign->setInsertPolicy(QComboBox::NoInsert);
    Combo_SCA = new QComboBox(this);
    Combo_SCA->setObjectName("Combo_SCA");
    Combo_SCA->setEditable(true);
    Combo_SCA->setInsertPolicy(QComboBox::NoInsert);
    labelTo->setBuddy(edit_address);
    Label_sign->setBuddy(Combo_sign);
    Label_SCA->setBuddy(Combo_SCA);

    Memo = new QPlainTextEdit(this);
    Memo->setObjectName("Memo");
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setMinimumHeight(160);
    Memo->setTabChangesFocus(true);
    Memo->installEventFilter(this);

    btnSend = new QPushButton(this);
    btnSend->setObjectName("btnSend");
    btnSave = new QPushButton(this);
    btnSave->setObjectName("btnSave");
    btnInsert = new QPushButton(this);
    btnInsert->setObjectName("btnInsert");
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName("btnCancel");
    for (QPushButton *b : {btnSend, btnSave, btnInsert, btnCancel})
        b->setAutoDefault(false);
    btnSplit = new controls::TkwSpeedButton(this);
    btnSplit->setObjectName("btnSplit");
    btnSplit->setGroupIndex(1);
    btnSplit->setAllowAllUp(true);
    btnSplit->setMinimumWidth(80);
    cbSendClose = new QCheckBox(this);
    cbSendClose->setObjectName("cbSendClose");
    cbSplit = new QCheckBox(this);
    cbSplit->setObjectName("cbSplit");

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setSizeGripEnabled(false);
    const int widths[4] = {130, 100, 100, 50};
    for (int i = 0; i < 4; ++i) {
        panels[i] = new QLabel(StatusBar);
        panels[i]->setMinimumWidth(widths[i]);
        panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar->addWidget(panels[i], i == 3 ? 1 : 0);
    }

    memu_saveas = new QMenu(this);
    memu_saveas->setObjectName("memu_saveas");
    for (const char *name : {"menu_savetodr", "menu_savetoloca"})
        memu_saveas->addAction(QString())->setObjectName(name);
    QMenu *toPhone = memu_saveas->addMenu(QString());
    toPhone->setObjectName("button_savetophone");
    for (const char *name : {"N10", "SIMka1"})
        toPhone->addAction(QString())->setObjectName(name);

    auto *grid = new QGridLayout;
    grid->addWidget(labelTo, 0, 0);
    auto *toRow = new QHBoxLayout;
    toRow->addWidget(edit_address, 1);
    toRow->addWidget(SpeedButton1);
    grid->addLayout(toRow, 0, 1, 1, 3);
    grid->addWidget(Label_sign, 1, 0);
    grid->addWidget(Combo_sign, 1, 1);
    grid->addWidget(Label_SCA, 1, 2);
    grid->addWidget(Combo_SCA, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    auto *checks = new QHBoxLayout;
    checks->addWidget(cbSplit);
    checks->addWidget(cbSendClose);
    checks->addStretch(1);
    checks->addWidget(btnSplit);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnInsert);
    buttons->addStretch(1);
    buttons->addWidget(btnSend);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    auto *root = new QVBoxLayout(this);
    root->addLayout(grid);
    root->addWidget(Memo, 1);
    root->addLayout(checks);
    root->addLayout(buttons);
    root->addWidget(StatusBar);
    root->setContentsMargins(8, 8, 8, 0);
    resize(520, 380);
    // Tab walks the form as it is laid out: the fields, the memo, the switches, then the buttons.
    QWidget *chain[] = {edit_address, Combo_sign, Combo_SCA, Memo, cbSplit, cbSendClose,
                        btnInsert,    btnSend,    btnSave,   btnCancel};
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    // FormCreate.
    core::setFormFont(m.LangMng(), this);
    FSms = content::Ssms{};
    setWindowTitle(tr8(text("fEditSms_Caption")));
    core::translateForm(m.LangMng(), this, "fEditSms");
    FNewMode = 0;
    edit_address->SetFilename(tr8(m.HistoryFile));
    std::vector<std::string> list;
    m.GetSSInfoList(core::kSSInfoServiceCentre, list);
    for (const std::string &v : list)
        Combo_SCA->addItem(tr8(v));
    list.clear();
    m.GetSSInfoList(core::kSSInfoSignature, list);
    for (const std::string &v : list)
        Combo_sign->addItem(tr8(v));
    Combo_SCA->setCurrentIndex(Combo_SCA->count() > 0 ? 0 : -1);
    Combo_sign->setCurrentIndex(Combo_sign->count() > 0 ? 0 : -1);
    for (int i = 0; i < 4; ++i)
        panels[i]->setText(tr8(text(("fEditSms_StatusBar" + std::to_string(i)).c_str())));
    counterTexts_ = {text("fEditSms_StatusBar01"), text("fEditSms_StatusBar02"), text("fEditSms_StatusBar11"),
                     text("fEditSms_StatusBar12")};
    cbSplit->setChecked(m.SplitAuto);
    cbSendClose->setChecked(m.SendClose);
    edit_address->setCurrentIndex(edit_address->findText(tr8(m.CAddressee), Qt::MatchFixedString | Qt::MatchCaseSensitive));
    Combo_sign->setCurrentIndex(Combo_sign->findText(tr8(m.CSignture), Qt::MatchFixedString | Qt::MatchCaseSensitive));
    Combo_SCA->setCurrentIndex(Combo_SCA->findText(tr8(m.CSCenter), Qt::MatchFixedString | Qt::MatchCaseSensitive));

    // User edits only: programmatic text changes are not edits.
    connect(edit_address->lineEdit(), &QLineEdit::textEdited, this, [this] { edit_addressChange(); });
    connect(edit_address, qOverload<int>(&QComboBox::activated), this, [this] { edit_addressChange(); });
    connect(Combo_sign->lineEdit(), &QLineEdit::textEdited, this, [this] { Combo_signChange(); });
    connect(Combo_sign, qOverload<int>(&QComboBox::activated), this, [this] { Combo_signChange(); });
    connect(Combo_SCA->lineEdit(), &QLineEdit::textEdited, this, [this] { Combo_SCAChange(); });
    connect(Combo_SCA, qOverload<int>(&QComboBox::activated), this, [this] { Combo_SCAChange(); });
    connect(Memo, &QPlainTextEdit::textChanged, this, [this] { MemoChange(); });
    connect(btnSend, &QPushButton::clicked, this, [this] { btnSendClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnInsert, &QPushButton::clicked, this, [this] { btnInsertClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { finish(kMrCancel); });
    connect(SpeedButton1, &controls::TkwSpeedButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(btnSplit, &controls::TkwSpeedButton::clicked, this, [this] { btnSplitClick(); });
    connect(cbSendClose, &QCheckBox::clicked, this, [this](bool on) { s_.manage.SendClose = on; });
    connect(cbSplit, &QCheckBox::clicked, this, [this](bool on) {
        s_.manage.SplitAuto = on;
        MemoChange();
    });
}

TfEditSms::~TfEditSms() = default;

std::string TfEditSms::text(const char *key) const
{
    return s_.env.text(key);
}

void TfEditSms::preset(const content::Ssms &sms, bool newMode)
{
    FSms = sms;
    FNewMode = newMode ? 1 : 0;
    savedIds_.clear();
    if (!newMode && sms.id > 0)
        savedIds_.push_back(sms.id);
    lastSent_.clear();
}

content::SplitSettings TfEditSms::splitSettings() const
{
    return {.haveTitle = s_.manage.HaveTitle,
            .signatureOn = s_.manage.Signature,
            .signature = content::TrimText(utf8(Combo_sign->currentText()))};
}

QString TfEditSms::memoText() const
{
    return Memo->toPlainText();
}

void TfEditSms::showEvent(QShowEvent *e)
{
    DialogBase::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfEditSms::FormShow()
{
    closed_ = false;
    edit_address->setEditText(tr8(FSms.Tel));
    const content::StrippedText stripped = content::StripTags(FSms.body);
    // A stored text decides its own signature; a new one keeps the one remembered last.
    if (!FSms.body.empty())
        Combo_sign->setCurrentIndex(stripped.signature.empty()
                                        ? -1
                                        : Combo_sign->findText(tr8(stripped.signature),
                                                               Qt::MatchFixedString | Qt::MatchCaseSensitive));
    Memo->setPlainText(tr8(stripped.text));
    Memo->moveCursor(QTextCursor::End);
    MemoChange(); // also when the text did not change
    if (FSms.boxid != content::kBoxPhoneStored && FSms.boxid != content::kBoxOutbox) {
        FSms.boxid = content::kBoxDrafts;
        btnSave->setText(tr8(text("fEditSms_SaveasDraft")));
    }
    btnSend->setEnabled(!content::TrimText(utf8(edit_address->currentText())).empty());
    updateSaveButton();
    Memo->setFocus();
}

void TfEditSms::hideEvent(QHideEvent *e)
{
    // Every way out hides the dialog; a minimised window is hidden spontaneously.
    if (!e->spontaneous())
        FormClose();
    DialogBase::hideEvent(e);
}

void TfEditSms::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    if (const platform::FileResult saved = s_.manage.SaveSettings(); !saved.ok)
        s_.env.messageBox(saved.message, core::kMbOk | core::kMbIconError);
    SaveValueLists();
}

void TfEditSms::setModified()
{
    FModified = true;
    updateSaveButton();
}

void TfEditSms::updateSaveButton()
{
    // An empty message has nothing to store.
    const std::string body = FSplitShown ? FSms.body : content::TrimText(utf8(memoText()));
    btnSave->setEnabled(FModified && !body.empty());
}

bool TfEditSms::fitsUnsplit(const std::string &body) const
{
    return s_.manage.SplitAuto || !content::IsSmsTooLong(body, splitSettings());
}

void TfEditSms::edit_addressChange()
{
    setModified();
    const std::string t = utf8(edit_address->currentText());
    s_.manage.CAddressee = t;
    btnSend->setEnabled(!content::TrimText(t).empty());
}

void TfEditSms::Combo_signChange()
{
    FModified = true;
    if (FSplitShown)
        return;
    updateSaveButton();
    s_.manage.CSignture = utf8(Combo_sign->currentText());
    MemoChange();
}

void TfEditSms::Combo_SCAChange()
{
    setModified();
    s_.manage.CSCenter = utf8(Combo_SCA->currentText());
}

void TfEditSms::MemoChange()
{
    if (FSplitShown || inMemoChange_)
        return;
    inMemoChange_ = true;
    const content::SplitSettings settings = splitSettings();
    // Without splitting a long text is kept as typed: the counters show it is more than one
    // message, and send and save refuse it until it is shortened or splitting is on.
    const std::string body = utf8(memoText());
    setModified();
    const content::SplitResult r = content::SplitSms(content::Ssms{.Tel = "", .time = "", .body = body, .V_time = "", .Sca = ""}, settings);
    if (r.noRoom)
        panels[0]->setText(tr8(text("fEditSms_NoRoom")));
    else
        panels[0]->setText(tr8(counterTexts_[0] + " " + std::to_string(r.records.size()) + " " + counterTexts_[1]));
    panels[1]->setText(
        tr8(counterTexts_[2] + " " + std::to_string(content::GetSmsLength(body)) + counterTexts_[3]));
    if (!fitsUnsplit(body))
        panels[2]->setText(tr8(text("fEditSms_TooLong")));
    else if (panels[2]->text() == tr8(text("fEditSms_TooLong")))
        panels[2]->clear();
    inMemoChange_ = false;
}

void TfEditSms::btnSplitClick()
{
    FSplitShown = !FSplitShown;
    btnSplit->setDown(FSplitShown);
    if (FSplitShown) {
        FSms.Tel = utf8(edit_address->currentText());
        FSms.body = content::TrimText(utf8(memoText()));
        const content::SplitResult r = content::SplitSms(FSms, splitSettings());
        QStringList lines;
        for (const content::Ssms &m : r.records)
            lines << tr8(m.body);
        if (r.noRoom)
            lines << tr8(text("fEditSms_NoRoom"));
        Memo->setPlainText(lines.join('\n'));
    } else {
        Memo->setPlainText(tr8(FSms.body));
    }
    Memo->setReadOnly(FSplitShown);
    btnInsert->setEnabled(!FSplitShown);
}

bool TfEditSms::sendable(content::ArraySms &list)
{
    if (list.empty())
        return false;
    const int32_t firstId = list.front().id, firstTid = list.front().Tid;
    std::vector<std::string> tooLong;
    content::ArraySms out;
    for (content::Ssms &m : list) {
        m.Tel = content::TrimText(m.Tel);
        if (m.Tel.empty())
            continue;
        if (m.Tel.size() > kMaxRecipientBytes) {
            if (std::find(tooLong.begin(), tooLong.end(), m.Tel) == tooLong.end())
                tooLong.push_back(m.Tel);
            continue;
        }
        out.push_back(m);
    }
    if (!tooLong.empty()) {
        std::string msg = text("fEditSms_NumberTooLong");
        for (const std::string &t : tooLong)
            msg += "\n" + t;
        s_.env.messageBox(msg, core::kMbOk | core::kMbIconWarning);
        return false;
    }
    if (out.empty()) {
        s_.env.messageBox(text("fEditSms_NoNumber"), core::kMbOk | core::kMbIconWarning);
        return false;
    }
    // The edited message's id stays with the first record that goes.
    out.front().id = firstId;
    out.front().Tid = firstTid;
    list = std::move(out);
    return true;
}

void TfEditSms::btnSendClick()
{
    const std::string recipients = utf8(edit_address->currentText());
    if (content::TrimText(recipients).empty())
        return;
    edit_address->AddHistory();
    SaveValueLists();
    if (!s_.env.state().Connected) {
        s_.env.messageBox(text("SmsMng_NotConnected"), 0);
        return;
    }
    FSms.states = 2;
    FSms.Tel = recipients;
    if (!FSplitShown)
        FSms.body = content::TrimText(utf8(memoText()));
    FSms.Sca = content::TrimText(utf8(Combo_SCA->currentText()));
    if (FSms.Sca.empty())
        FSms.Sca = text("Info_DefaultSCA");
    if (!fitsUnsplit(FSms.body)) {
        s_.env.messageBox(text("fEditSms_TooLongRefused"), core::kMbOk | core::kMbIconWarning);
        return;
    }
    // The records carry the time they were sent; the stored message keeps its own.
    content::Ssms out = FSms;
    out.time = s_.env.localTime();
    content::SplitResult r = content::SplitSms(out, splitSettings());
    if (r.noRoom) {
        s_.env.messageBox(text("fEditSms_NoRoom"), core::kMbOk | core::kMbIconWarning);
        return;
    }
    if (!sendable(r.records))
        return;
    // The same text to the same numbers again is asked first: a second press is easy to make.
    const std::string key = sentKey(r.records);
    if (key == lastSent_ &&
        s_.env.messageBox(text("fEditSms_SendAgain"), core::kMbOkCancel | core::kMbIconQuestion) == core::kIdCancel)
        return;
    FSmsList = std::move(r.records);
    const int rc = s_.send ? s_.send(FSmsList) : content::kSmsFailed;
    // The handset side moves what did not go to box 2; after a full success everything went.
    int went = 0;
    std::vector<std::string> numbers;
    for (const content::Ssms &m : FSmsList)
        if (rc >= 0 || m.boxid == content::kBoxSent) {
            ++went;
            if (std::find(numbers.begin(), numbers.end(), m.Tel) == numbers.end())
                numbers.push_back(m.Tel);
        }
    if (rc >= 0 || went > 0) {
        std::string done = text("fEditSms_Sent");
        for (int v : {went, int(numbers.size())})
            if (const size_t at = done.find("%d"); at != std::string::npos)
                done.replace(at, 2, std::to_string(v));
        panels[2]->setText(tr8(done));
    }
    if (rc >= 0)
        lastSent_ = key;
    if (rc >= 0 && s_.manage.SendClose)
        finish(kMrOk);
}

std::string TfEditSms::sentKey(const content::ArraySms &list)
{
    std::string key;
    for (const content::Ssms &m : list) {
        for (const std::string *f : {&m.Tel, &m.body, &m.Sca}) {
            key += std::to_string(f->size());
            key += ':';
            key += *f;
        }
    }
    return key;
}

content::ArraySms TfEditSms::saveRecords() const
{
    content::Ssms m = FSms;
    m.Tel = utf8(edit_address->currentText());
    if (!FSplitShown)
        m.body = content::TrimText(utf8(memoText()));
    m.time = s_.env.localTime();
    content::ArraySms list = content::SplitSms(m, splitSettings()).records;
    placeOnSavedRows(list);
    return list;
}

void TfEditSms::placeOnSavedRows(content::ArraySms &list) const
{
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].id = -1;
        list[i].Tid = -1;
        if (i >= savedIds_.size())
            continue;
        content::Ssms row;
        row.id = savedIds_[i];
        if (s_.sms.GetMessage(row) != 0)
            continue;
        list[i].id = row.id;
        list[i].Tid = row.Tid;
    }
}

void TfEditSms::btnSaveClick()
{
    edit_address->AddHistory();
    if (!FModified)
        return;
    const std::string body = FSplitShown ? FSms.body : content::TrimText(utf8(memoText()));
    if (body.empty())
        return; // nothing to store
    if (!fitsUnsplit(body)) {
        s_.env.messageBox(text("fEditSms_TooLongRefused"), core::kMbOk | core::kMbIconWarning);
        return;
    }
    content::Ssms m = FSms;
    m.Tel = utf8(edit_address->currentText());
    m.body = body;
    m.time = s_.env.localTime();
    content::SplitResult r = content::SplitSms(m, splitSettings());
    if (r.noRoom) {
        s_.env.messageBox(text("fEditSms_NoRoom"), core::kMbOk | core::kMbIconWarning);
        return;
    }
    FSms.Tel = m.Tel;
    FSms.body = m.body;
    FSms.time = m.time;
    FSmsList = std::move(r.records);
    // Every save after the first rewrites the rows the message already has.
    placeOnSavedRows(FSmsList);
    const bool fresh = std::none_of(FSmsList.begin(), FSmsList.end(), [](const content::Ssms &x) { return x.id > 0; });
    const int rc = fresh ? s_.sms.AddMessages(FSmsList, -1, true) : s_.sms.SaveMessages(FSmsList);
    SaveValueLists();

    // The answer alone does not say where each record ended: the handset side keeps a text it
    // could not write in the drafts. Done means every record is a row of the message's box.
    std::vector<int32_t> inBox, elsewhere;
    bool allKept = true;
    for (const content::Ssms &x : FSmsList) {
        content::Ssms row;
        row.id = x.id;
        if (x.id <= 0 || s_.sms.GetMessage(row) != 0) {
            allKept = false;
            continue;
        }
        (row.boxid == FSms.boxid ? inBox : elsewhere).push_back(row.id);
    }
    const bool done = rc >= 0 && allKept && elsewhere.empty();
    content::ArraySms superseded;
    const int forGood = content::isPhoneBox(FSms.boxid) ? FSms.boxid : content::kBoxRecycle;
    if (done)
        for (size_t i = FSmsList.size(); i < savedIds_.size(); ++i) // parts the text no longer has
            if (std::find(inBox.begin(), inBox.end(), savedIds_[i]) == inBox.end())
                superseded.push_back(content::Ssms{.id = savedIds_[i], .boxid = forGood});
    if (allKept) // the drafts an earlier failed save left hold an older text now
        for (int32_t id : fallbackIds_)
            superseded.push_back(content::Ssms{.id = id, .boxid = content::kBoxRecycle});
    if (!superseded.empty())
        s_.sms.DeleteMessages(superseded);
    if (allKept)
        fallbackIds_ = elsewhere;
    else
        fallbackIds_.insert(fallbackIds_.end(), elsewhere.begin(), elsewhere.end());
    savedIds_ = inBox;
    if (!done) {
        updateSaveButton(); // still unsaved: Save stays
        return;
    }
    // From now on this composer edits the message it stored.
    FNewMode = 0;
    FSms.id = FSmsList.front().id;
    content::Ssms first;
    first.id = FSms.id;
    if (s_.sms.GetMessage(first) == 0)
        FSms.Tid = first.Tid;
    FModified = false;
    btnSave->setEnabled(false);
}

void TfEditSms::SaveValueLists()
{
    auto values = [this](QComboBox *c) {
        content::ComboValues v{utf8(c->currentText()), {}};
        for (int i = 0; i < c->count(); ++i)
            v.entries.push_back(utf8(c->itemText(i)));
        return v;
    };
    content::ComboValues sign = values(Combo_sign), sca = values(Combo_SCA);
    const size_t signBefore = sign.entries.size(), scaBefore = sca.entries.size();
    content::SaveValueLists([this](int cls, const std::string &v) { s_.manage.AddSSInfo(cls, v); }, sign, sca);
    // New entries join the combo, the typed text stays as it is.
    auto append = [this](QComboBox *c, const content::ComboValues &v, size_t from) {
        const QString typed = c->currentText();
        for (size_t i = from; i < v.entries.size(); ++i)
            c->addItem(tr8(v.entries[i]));
        if (c->currentText() != typed)
            c->setEditText(typed);
    };
    append(Combo_sign, sign, signBefore);
    append(Combo_SCA, sca, scaBefore);
}

void TfEditSms::btnInsertClick()
{
    if (!s_.phrases)
        return;
    TfPhraseList pick(s_.manage.LangMng(), *s_.phrases, this);
    pick.exec();
    if (!pick.chosen().empty())
        Memo->insertPlainText(tr8(pick.chosen()));
    Memo->setFocus();
}

void TfEditSms::SpeedButton1Click()
{
    if (!s_.book)
        return;
    TfPhoneList pick(s_.manage.LangMng(), s_.env, *s_.book, this);
    if (pick.exec() == kMrOk) {
        edit_address->setEditText(tr8(pick.numbers()));
        btnSend->setEnabled(true);
    }
}

bool TfEditSms::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Memo && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->modifiers() & Qt::ControlModifier) {
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                btnSend->click();
                return true;
            }
            if (k->key() == Qt::Key_A) {
                Memo->selectAll();
                return true;
            }
        }
    }
    return DialogBase::eventFilter(watched, event);
}

} // namespace forms
