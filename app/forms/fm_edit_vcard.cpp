#include "forms/fm_edit_vcard.h"

#include "controls/buttons/btn_edit.h"
#include "controls/buttons/speed_button.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "core/qt/form_translate.h"
#include "forms/fm_add_edit.h"

#include "dv_vcard.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace forms {
namespace {

constexpr int kLabelWidth = 80;
constexpr int kBoxWidth = 175;
// Shown by the birthday picker for a contact without a readable date.
const QDate kNoDate(1900, 1, 1);

bool numberKey(QChar c)
{
    return c.isDigit() || c == '+' || c == ',' || c == '-' || c == '*' || c == '#';
}
bool numberChar(QChar c)
{
    return numberKey(c) || c == '.';
}

QString trimmedControls(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return s.mid(b, e - b);
}

void putPart(char *field, size_t size, const QString &text)
{
    const std::string utf8 = text.toStdString();
    const std::string_view head = content::utf8HeadBytes(utf8, size - 1);
    std::memset(field, 0, size);
    std::memcpy(field, head.data(), head.size());
}

// Drops the empty parts at the end of an encoded N ("a;b;;;" -> "a;b"); an escaped ";" stays.
std::string withoutTrailingSeparators(std::string s)
{
    while (!s.empty() && s.back() == ';') {
        size_t slashes = 0;
        while (slashes + 1 < s.size() && s[s.size() - 2 - slashes] == '\\')
            ++slashes;
        if (slashes % 2 == 1)
            break;
        s.pop_back();
    }
    return s;
}

QPixmap downTriangle()
{
    QPixmap pm(13, 13);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygon({QPoint(2, 4), QPoint(11, 4), QPoint(6, 10)}));
    return pm;
}

int maxLengthFor(int32_t limit, const QString &value)
{
    // A stored value longer than the limit is shown whole; the limit holds new typing only.
    if (limit <= 0)
        return 32767;
    return std::max<int>(limit, static_cast<int>(value.size()));
}

} // namespace

std::string telTypeText(const core::TLangMng &lang, int32_t flags)
{
    std::string a, b;
    for (int32_t bit : kTypeA)
        if (flags & bit)
            a = lang.translate("PbMng_ParamA" + std::to_string(bit));
    for (int32_t bit : kTypeB)
        if (flags & bit)
            b = lang.translate("PbMng_ParamB" + std::to_string(bit));
    return a + b;
}

TfVcardEdit::TfVcardEdit(const core::TLangMng &lang, core::Prompt &prompt, std::vector<std::string> groupNames,
                         QWidget *parent)
    : DialogBase(parent), lang_(lang), prompt_(prompt), groupNames_(std::move(groupNames))
{
    setObjectName("fVcardEdit");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    lblName = new QLabel(this);
    lblName->setObjectName("lblName");
    lbLastName = new QLabel(this);
    lbLastName->setObjectName("lbLastName");
    lblBirthday = new QLabel(this);
    lblBirthday->setObjectName("lblBirthday");
    lblEx = new QLabel(this);
    lblEx->setObjectName("lblEx");
    edtName = new QLineEdit(this);
    edtName->setObjectName("edtName");
    EdtLastName = new QLineEdit(this);
    EdtLastName->setObjectName("EdtLastName");
    dtpBirthday = new QDateEdit(this);
    dtpBirthday->setObjectName("dtpBirthday");
    dtpBirthday->setCalendarPopup(true);
    dtpBirthday->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    dtpBirthday->setMinimumDate(kNoDate);
    dtpBirthday->setSpecialValueText(QStringLiteral("-"));
    dtpBirthday->setDate(kNoDate);
    memEx = new QPlainTextEdit(this);
    memEx->setObjectName("memEx");
    memEx->setTabChangesFocus(true);
    memEx->setMinimumHeight(64);
    btnOK = new QPushButton(this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName("btnCancel");
    lblName->setBuddy(edtName);
    lbLastName->setBuddy(EdtLastName);
    lblBirthday->setBuddy(dtpBirthday);
    lblEx->setBuddy(memEx);

    grid_ = new QGridLayout;
    grid_->setHorizontalSpacing(4);
    grid_->setColumnMinimumWidth(0, kLabelWidth);
    grid_->setColumnMinimumWidth(2, kBoxWidth);
    grid_->setColumnStretch(2, 1);
    grid_->addWidget(lblName, 0, 0);
    // Every box in one column, so the name, the numbers and the group line up.
    grid_->addWidget(edtName, 0, 2);
    grid_->addWidget(lbLastName, 1, 0);
    grid_->addWidget(EdtLastName, 1, 2);
    grid_->addWidget(lblBirthday, 2, 0);
    grid_->addWidget(dtpBirthday, 2, 2);
    gridRow_ = 3;
    edtName->setMinimumWidth(kBoxWidth);
    EdtLastName->setMinimumWidth(kBoxWidth);
    dtpBirthday->setMinimumWidth(kBoxWidth);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid_);
    outer->addWidget(lblEx);
    outer->addWidget(memEx, 1);
    outer->addStretch(0);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetMinimumSize);

    lblEx->hide();
    memEx->hide();

    for (int k = 0; k < 16; ++k)
        typeCaptions_.push_back(QString::fromStdString(lang.translate("PbMng_ParamB" + std::to_string(kTypeB[k / 4])) +
                                                       lang.translate("PbMng_ParamA" + std::to_string(kTypeA[k % 4]))));

    core::setFormFont(lang, this);
    core::translateForm(lang, this, "fVcardEdit");
    btnOK->setText(text("fVcardEdit_btnOK"));
    btnCancel->setText(text("fVcardEdit_btnCancel"));

    connect(edtName, &QLineEdit::textChanged, this, [this] { setChanged(); });
    connect(EdtLastName, &QLineEdit::textChanged, this, [this] { setChanged(); });
    connect(dtpBirthday, &QDateEdit::dateChanged, this, [this](QDate d) {
        setChanged();
        // A picked date is written in the one form every reader takes; "no date" leaves the value.
        if (!filling_ && birthdayField_ >= 0 && d != kNoDate)
            fields[birthdayField_].value = d.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    });
    connect(memEx, &QPlainTextEdit::textChanged, this, [this] {
        if (noteLimit_ > 0 && memEx->toPlainText().size() > noteLimit_) {
            // Typing past the storage's limit is refused (a longer stored note raised the limit).
            QSignalBlocker block(memEx);
            memEx->setPlainText(memEx->toPlainText().left(noteLimit_));
            memEx->moveCursor(QTextCursor::End);
        }
        setChanged();
        const std::string note = memEx->toPlainText().toStdString();
        for (content::TVcardFields &f : fields)
            if (f.type == content::kFieldNote)
                f.value = note;
    });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { finish(kMrCancel); });
}

TfVcardEdit::~TfVcardEdit() = default;

QString TfVcardEdit::text(const std::string &key) const
{
    return QString::fromStdString(lang_.translate(key));
}

bool TfVcardEdit::HasTypeChoice(int32_t flags)
{
    int n = 0;
    for (int k = 0; k < 16; ++k)
        if ((flags & kTypeA[k % 4]) && (flags & kTypeB[k / 4]))
            ++n;
    return n > 1;
}

int TfVcardEdit::BuildRows()
{
    if (templ.empty() || built_)
        return templ.empty() ? -1 : 0;
    built_ = true;
    filling_ = true;
    lblBirthday->hide();
    dtpBirthday->hide();

    std::vector<bool> taken(fields.size(), false);
    const auto m = std::count_if(templ.begin(), templ.end(), [](const auto &d) { return d.type == content::kFieldTel; });
    auto k = std::count_if(fields.begin(), fields.end(), [](const auto &f) { return f.type == content::kFieldTel; });

    // The name form is decided here once; OK writes N in the same form.
    for (size_t i = 0; i < templ.size() && nameDesc_ < 0; ++i)
        if (templ[i].type == content::kFieldName)
            nameDesc_ = static_cast<int>(i);
    if (nameDesc_ >= 0) {
        const auto &lim = templ[nameDesc_].partLimits;
        structured_ = std::any_of(lim.begin(), lim.end(), [](int32_t v) { return v > 0; });
    } else {
        // Without an N description there is no name to edit.
        for (QWidget *w : std::initializer_list<QWidget *>{lblName, edtName, lbLastName, EdtLastName})
            w->hide();
    }

    for (size_t i = 0; i < templ.size(); ++i) {
        const content::FieldParam &d = templ[i];
        int found = -1;
        for (size_t j = 0; j < fields.size() && found < 0; ++j)
            if (!taken[j] && fields[j].type == d.type && (d.type != content::kFieldTel || fields[j].flags == d.flags))
                found = static_cast<int>(j);
        // With as many numbers as number rows, a number of a type the row offers belongs there
        // (else it would hide behind an empty row); then one of a type the row lacks.
        if (found < 0 && d.type == content::kFieldTel && k == m)
            for (size_t j = 0; j < fields.size() && found < 0; ++j)
                if (!taken[j] && fields[j].type == content::kFieldTel && fields[j].flags != 0 &&
                    (fields[j].flags & d.flags) == fields[j].flags)
                    found = static_cast<int>(j);
        if (found < 0 && d.type == content::kFieldTel && k == m)
            for (size_t j = 0; j < fields.size() && found < 0; ++j)
                if (!taken[j] && fields[j].type == content::kFieldTel && (fields[j].flags & d.flags) != fields[j].flags)
                    found = static_cast<int>(j);
        if (found < 0) {
            fields.push_back({d.type, d.flags, {}});
            taken.push_back(false);
            found = static_cast<int>(fields.size() - 1);
            if (d.type == content::kFieldTel)
                ++k;
        }
        taken[found] = true;
        const QString value = QString::fromStdString(fields[found].value);

        switch (d.type) {
        case content::kFieldName: {
            if (static_cast<int>(i) != nameDesc_)
                break;
            VcardName name{};
            VcardName_dec(&name, fields[found].value.c_str());
            const QString family = QString::fromUtf8(name.family, strnlen(name.family, sizeof name.family));
            const QString given = QString::fromUtf8(name.given, strnlen(name.given, sizeof name.given));
            if (structured_) {
                edtName->setMaxLength(maxLengthFor(d.partLimits[0], family));
                edtName->setText(family);
                EdtLastName->setMaxLength(maxLengthFor(d.partLimits[1], given));
                EdtLastName->setText(given);
                lblName->setText(text("fVcardEdit_lblName1"));
            } else {
                edtName->setMaxLength(maxLengthFor(d.maxLen, given));
                edtName->setText(given);
                lblName->setText(text("fVcardEdit_lblName0"));
                lbLastName->hide();
                EdtLastName->hide();
            }
            break;
        }
        case content::kFieldBirthday: {
            if (birthdayField_ >= 0)
                break;
            birthdayField_ = found;
            QDate date = QDate::fromString(value, Qt::ISODate);
            if (!date.isValid())
                date = QDate::fromString(value, QStringLiteral("yyyyMMdd"));
            if (!date.isValid())
                date = QLocale().toDate(value, QLocale::ShortFormat);
            // An unreadable value shows "no date" and stays as it is unless a date is picked.
            dtpBirthday->setDate(date.isValid() && date > kNoDate ? date : kNoDate);
            lblBirthday->show();
            dtpBirthday->show();
            break;
        }
        case content::kFieldTel:
        case content::kFieldEmail:
        case content::kFieldUrl:
        case content::kFieldAddrText:
        case content::kFieldOrg:
        case content::kFieldTitle:
            addRow(d, 0, found, static_cast<int>(i));
            break;
        case content::kFieldAddr: {
            const bool raw = std::all_of(d.partLimits.begin(), d.partLimits.end(), [](int32_t v) { return v == 2; });
            addRow(d, raw ? 0 : 1, found, static_cast<int>(i));
            break;
        }
        case content::kFieldNote:
            lblEx->show();
            memEx->show();
            noteLimit_ = d.maxLen > 0 ? std::max<int>(d.maxLen, static_cast<int>(value.size())) : 0;
            memEx->setPlainText(value);
            break;
        case content::kFieldGroup:
            addGroupRow(found, static_cast<int>(i));
            break;
        default:
            break;
        }
    }

    // Tab order follows the rows from top to bottom.
    std::vector<QWidget *> chain = {edtName, EdtLastName, dtpBirthday};
    for (const Row &r : rows_)
        chain.push_back(r.box ? static_cast<QWidget *>(r.box) : r.group);
    chain.insert(chain.end(), {memEx, btnOK, btnCancel});
    for (size_t i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    filling_ = false;
    // The height follows the rows; the note keeps a few lines and grows with the window.
    adjustSize();
    resize(width(), minimumSizeHint().height());
    return 0;
}

void TfVcardEdit::addRow(const content::FieldParam &d, int kind, int fieldIndex, int descIndex)
{
    Row row;
    row.number = static_cast<int>(rows_.size()) + 1;
    row.descIndex = descIndex;
    row.fieldIndex = fieldIndex;
    row.label = new QLabel(this);
    const std::string caption = telTypeText(lang_, d.flags);
    // The type texts carry blanks for joining; a label shows them without.
    row.label->setText((caption.empty() ? text("PbMng_Pb_Column_" + std::to_string(d.type)) : QString::fromStdString(caption)).simplified());
    row.label->setMinimumWidth(kLabelWidth);

    const QString value = QString::fromStdString(fields[fieldIndex].value);
    if (kind == 1) {
        auto *edit = new controls::TkwBtnEdit(this);
        edit->setReadOnly(true);
        VcardAddr addr{};
        VcardAddr_dec(&addr, fields[fieldIndex].value.c_str());
        char shown[500] = {};
        VcardAddr_toStr(&addr, shown, sizeof shown);
        edit->setText(QString::fromUtf8(shown));
        edit->setCursorPosition(0); // show the address from its start
        edit->setToolTip(edit->text());
        const int number = row.number;
        edit->OnBtn1Click = [this, number](controls::TkwBtnEdit *) { AddressButtonClick(number); };
        row.box = edit;
    } else {
        row.box = new QLineEdit(this);
        // Numbers take no length limit in the box: a longer number is shown whole and OK says so.
        if (fields[fieldIndex].type != content::kFieldTel)
            row.box->setMaxLength(maxLengthFor(d.maxLen, value));
        row.box->setText(value);
    }
    row.box->setMinimumWidth(kBoxWidth);
    row.label->setBuddy(row.box);
    row.box->setProperty("svRow", row.number);

    row.typeButton = new controls::TkwSpeedButton(this);
    row.typeButton->setFlat(true);
    row.typeButton->setGlyph(downTriangle());
    row.typeButton->setFixedSize(15, 20);
    row.typeButton->setProperty("svRow", row.number);
    row.typeButton->setVisible(HasTypeChoice(d.flags));
    connect(row.typeButton, &controls::TkwSpeedButton::clicked, this,
            [this, number = row.number] { popTypeMenu(number, QCursor::pos()); });

    if (fields[fieldIndex].type == content::kFieldTel)
        row.box->installEventFilter(this);
    if (kind != 1)
        connect(row.box, &QLineEdit::textChanged, this, [this, number = row.number] { RowChange(number); });

    grid_->addWidget(row.label, gridRow_, 0);
    grid_->addWidget(row.typeButton, gridRow_, 1);
    grid_->addWidget(row.box, gridRow_, 2);
    ++gridRow_;
    rows_.push_back(row);
}

void TfVcardEdit::popTypeMenu(int number, QPoint at)
{
        const std::vector<TypeItem> items = typeMenu(number);
        if (items.empty())
            return;
        QMenu menu(this);
        for (const TypeItem &item : items) {
            QAction *a = menu.addAction(item.caption.simplified().replace('&', QStringLiteral("&&")));
            a->setData(item.type);
            a->setCheckable(true);
            a->setChecked(item.checked);
            if (item.checked)
                menu.setDefaultAction(a);
        }
        if (QAction *chosen = menu.exec(at))
            chooseType(number, chosen->data().toInt());
}

void TfVcardEdit::addGroupRow(int fieldIndex, int descIndex)
{
    Row row;
    row.number = static_cast<int>(rows_.size()) + 1;
    row.descIndex = descIndex;
    row.fieldIndex = fieldIndex;
    row.label = new QLabel(text("fVcardEdit_EditCaption" + std::to_string(content::kFieldGroup)), this);
    row.group = new QComboBox(this);
    row.group->setMinimumWidth(kBoxWidth);
    row.label->setBuddy(row.group);
    for (const std::string &g : groupNames_)
        row.group->addItem(QString::fromStdString(g));
    std::string &value = fields[fieldIndex].value;
    bool isInteger = false;
    QString::fromStdString(value).toInt(&isInteger);
    if (!isInteger) {
        value.clear(); // no group number at all
        row.group->setCurrentIndex(-1);
    } else {
        bool ok = false;
        const int n = QString::fromStdString(value).toInt(&ok);
        row.group->setCurrentIndex(ok && n >= 1 && n <= row.group->count() ? n - 1 : -1);
    }
    connect(row.group, &QComboBox::currentIndexChanged, this, [this, number = row.number](int index) {
        const int r = number - 1;
        if (index >= 0)
            fields[rows_[r].fieldIndex].value = std::to_string(index + 1);
        setChanged();
    });
    grid_->addWidget(row.label, gridRow_, 0);
    grid_->addWidget(row.group, gridRow_, 2);
    ++gridRow_;
    rows_.push_back(row);
}

void TfVcardEdit::RowChange(int row)
{
    const Row &r = rows_[row - 1];
    fields[r.fieldIndex].value = r.box->text().toStdString();
    setChanged();
}

void TfVcardEdit::TelExit(QLineEdit *box)
{
    const QString t = box->text();
    QString kept;
    for (QChar c : t)
        if (numberChar(c))
            kept.append(c);
    if (kept != t)
        box->setText(kept);
}

bool TfVcardEdit::eventFilter(QObject *o, QEvent *e)
{
    if (auto *box = qobject_cast<QLineEdit *>(o)) {
        if (e->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(e);
            // Alt+Down opens the type menu from the keyboard, as it opens a drop-down list.
            if (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier)) {
                const int number = box->property("svRow").toInt();
                if (number >= 1 && number <= static_cast<int>(rows_.size()) && !rows_[number - 1].typeButton->isHidden())
                    popTypeMenu(number, box->mapToGlobal(QPoint(0, box->height())));
                return true;
            }
            const QString t = key->text();
            if (!t.isEmpty() && t[0].unicode() >= 32 && !numberKey(t[0]))
                return true; // a letter or a sign no number holds
        } else if (e->type() == QEvent::FocusOut) {
            TelExit(box);
        }
    }
    return DialogBase::eventFilter(o, e);
}

std::vector<TfVcardEdit::TypeItem> TfVcardEdit::typeMenu(int row) const
{
    std::vector<TypeItem> items;
    if (row < 1 || row > static_cast<int>(rows_.size()) || !rows_[row - 1].box)
        return items;
    const Row &r = rows_[row - 1];
    const int32_t offered = templ[r.descIndex].flags;
    const int32_t has = fields[r.fieldIndex].flags;
    for (int k = 0; k < 16; ++k) {
        const int32_t a = kTypeA[k % 4], b = kTypeB[k / 4];
        if ((offered & a) && (offered & b))
            items.push_back({k, typeCaptions_[k], (has & a) && (has & b)});
    }
    return items;
}

void TfVcardEdit::chooseType(int row, int type)
{
    if (row < 1 || row > static_cast<int>(rows_.size()) || type < 0 || type > 15)
        return;
    const Row &r = rows_[row - 1];
    fields[r.fieldIndex].flags = typeFlags(type);
    const std::string caption = telTypeText(lang_, typeFlags(type));
    if (!caption.empty())
        r.label->setText(QString::fromStdString(caption).simplified());
    setChanged();
}

void TfVcardEdit::AddressButtonClick(int row)
{
    if (row < 1 || row > static_cast<int>(rows_.size()) || !rows_[row - 1].box)
        return;
    const Row &r = rows_[row - 1];
    const content::FieldParam &d = templ[r.descIndex];
    TfmAdd dlg(lang_, this);
    VcardAddr addr{};
    VcardAddr_dec(&addr, fields[r.fieldIndex].value.c_str());
    dlg.setParts(addr, d.partLimits);
    if (!edtName->text().isEmpty())
        dlg.setWindowTitle(edtName->text() + QStringLiteral("__") + dlg.windowTitle());
    if (dlg.exec() != kMrOk)
        return;
    dlg.parts(addr);
    char out[500] = {};
    VcardAddr_toStr(&addr, out, sizeof out);
    r.box->setText(QString::fromUtf8(out));
    r.box->setCursorPosition(0);
    r.box->setToolTip(r.box->text());
    VcardAddr_enc(&addr, out, sizeof out);
    fields[r.fieldIndex].value = out;
    setChanged();
}

void TfVcardEdit::btnOKClick()
{
    const std::string title = lang_.translate("Application_Hite_title");
    if (nameDesc_ >= 0 && structured_ && trimmedControls(edtName->text()).isEmpty() &&
        trimmedControls(EdtLastName->text()).isEmpty()) {
        prompt_.show(lang_.translate("fVcardEdit_NoName"), title, 0);
        edtName->setFocus();
        return;
    }
    for (const Row &r : rows_) {
        if (!r.box || fields[r.fieldIndex].type != content::kFieldTel)
            continue;
        TelExit(r.box);
        const int32_t limit = templ[r.descIndex].maxLen;
        if (limit > 0 && r.box->text().size() > limit) {
            prompt_.show(lang_.translate("fVcardEdit_NumberTooLong") + " " + r.label->text().trimmed().toStdString() +
                             " (" + std::to_string(limit) + ")",
                         title, 0);
            r.box->setFocus();
            return;
        }
    }
    if (nameDesc_ >= 0) {
        for (content::TVcardFields &f : fields) {
            if (f.type != content::kFieldName)
                continue;
            // Only the parts the form shows change; middle name, prefix and suffix stay.
            VcardName name{};
            VcardName_dec(&name, f.value.c_str());
            if (structured_) {
                putPart(name.family, sizeof name.family, edtName->text());
                putPart(name.given, sizeof name.given, EdtLastName->text());
            } else {
                putPart(name.given, sizeof name.given, edtName->text());
            }
            char out[400] = {};
            VcardName_enc(&name, out, sizeof out);
            f.value = withoutTrailingSeparators(out);
            if (f.value.empty())
                f.value = ";"; // an empty name is still written in the one-box form
        }
    }
    finish(changed_ ? kMrOk : kMrCancel);
}

void TfVcardEdit::postShow()
{
    // Filling the form raised change events; only what the user does from now on counts.
    changed_ = false;
}

int TfVcardEdit::exec()
{
    setWindowTitle(text("PbMng_Tree_" + std::to_string(storageCode)) + QStringLiteral(" ") + text("fVcardEdit_Caption"));
    return DialogBase::exec();
}

} // namespace forms
