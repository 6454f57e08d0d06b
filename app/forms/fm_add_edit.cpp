#include "forms/fm_add_edit.h"

#include "content/contact_fields.h"
#include "core/lang_mng.h"
#include "core/qt/form_translate.h"
#include "core/qt/form_widgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cstring>

namespace forms {
namespace {

// The record's part fields, in box order.
struct PartField {
    size_t offset;
    size_t size;
};
constexpr std::array<PartField, 7> kParts = {{
    {offsetof(VcardAddr, poBox), sizeof(VcardAddr::poBox)},
    {offsetof(VcardAddr, extended), sizeof(VcardAddr::extended)},
    {offsetof(VcardAddr, street), sizeof(VcardAddr::street)},
    {offsetof(VcardAddr, locality), sizeof(VcardAddr::locality)},
    {offsetof(VcardAddr, region), sizeof(VcardAddr::region)},
    {offsetof(VcardAddr, postalCode), sizeof(VcardAddr::postalCode)},
    {offsetof(VcardAddr, country), sizeof(VcardAddr::country)},
}};

QString partOf(const VcardAddr &addr, int k)
{
    const char *p = reinterpret_cast<const char *>(&addr) + kParts[k].offset;
    return QString::fromUtf8(p, static_cast<qsizetype>(strnlen(p, kParts[k].size)));
}

QString withoutBreaks(QString s)
{
    s.remove(QLatin1Char('\r'));
    s.remove(QLatin1Char('\n'));
    return s;
}

} // namespace

TfmAdd::TfmAdd(const core::TLangMng &lang, QWidget *parent) : DialogBase(parent)
{
    setObjectName("fmAdd");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto *panel = new core::Panel(this);
    panel->setObjectName("Panel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *grid = new QGridLayout(panel);

    MP = new QPlainTextEdit(panel);
    ME = new QPlainTextEdit(panel);
    ES = new QLineEdit(panel);
    EC = new QLineEdit(panel);
    ER = new QLineEdit(panel);
    EP = new QLineEdit(panel);
    ECounty = new QLineEdit(panel);
    boxes_ = {MP, ME, ES, EC, ER, EP, ECounty};
    const char *boxNames[7] = {"MP", "ME", "ES", "EC", "ER", "EP", "ECounty"};
    const char *labelNames[7] = {"Label5", "Label8", "Label7", "Label3", "Label6", "Label4", "Label2"};
    for (int k = 0; k < 7; ++k) {
        boxes_[k]->setObjectName(boxNames[k]);
        labels_[k] = new QLabel(panel);
        labels_[k]->setObjectName(labelNames[k]);
        labels_[k]->setBuddy(boxes_[k]);
    }
    for (QPlainTextEdit *memo : {MP, ME}) {
        memo->setTabChangesFocus(true);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setMinimumSize(216, 37);
        memo->setFixedHeight(44);
    }
    for (QLineEdit *e : {ES, EC, ER, EP})
        e->setMinimumWidth(82);
    ECounty->setMinimumWidth(216);

    grid->addWidget(labels_[0], 0, 0, Qt::AlignTop);
    grid->addWidget(MP, 0, 1, 1, 3);
    grid->addWidget(labels_[1], 1, 0, Qt::AlignTop);
    grid->addWidget(ME, 1, 1, 1, 3);
    grid->addWidget(labels_[2], 2, 0);
    grid->addWidget(ES, 2, 1);
    grid->addWidget(labels_[3], 2, 2);
    grid->addWidget(EC, 2, 3);
    grid->addWidget(labels_[4], 3, 0);
    grid->addWidget(ER, 3, 1);
    grid->addWidget(labels_[5], 3, 2);
    grid->addWidget(EP, 3, 3);
    grid->addWidget(labels_[6], 4, 0);
    grid->addWidget(ECounty, 4, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    Button1 = new QPushButton(this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button2 = new QPushButton(this);
    Button2->setObjectName("Button2");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(panel, 1);
    outer->addLayout(buttons);

    setTabOrder(MP, ME);
    setTabOrder(ME, ES);
    setTabOrder(ES, EC);
    setTabOrder(EC, EP);
    setTabOrder(EP, ER);
    setTabOrder(ER, ECounty);
    setTabOrder(ECounty, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { finish(kMrCancel); });

    setWindowTitle(QString::fromStdString(lang.translate("fmAdd_Caption")));
    core::setFormFont(lang, this);
    core::translateForm(lang, this, "fmAdd");
}

void TfmAdd::setParts(const VcardAddr &addr, const std::array<int32_t, 7> &limits)
{
    limits_ = limits;
    for (int k = 0; k < 7; ++k) {
        const bool offered = limits[k] != 0;
        const QString text = offered ? partOf(addr, k) : QString();
        if (auto *memo = qobject_cast<QPlainTextEdit *>(boxes_[k])) {
            memo->setPlainText(text);
            limitMemo(memo, limits[k]);
        } else if (auto *edit = qobject_cast<QLineEdit *>(boxes_[k])) {
            // Set the limit after the text would cut a longer stored part without a word: the
            // stored part is shown whole; only new typing is held to the limit.
            edit->setMaxLength(limits[k] > 0 ? std::max<int>(limits[k], static_cast<int>(text.size())) : 32767);
            edit->setText(text);
        }
        boxes_[k]->setEnabled(offered);
        labels_[k]->setEnabled(offered);
    }
}

void TfmAdd::limitMemo(QPlainTextEdit *memo, int limit)
{
    if (limit <= 0)
        return;
    connect(memo, &QPlainTextEdit::textChanged, this, [memo, limit] {
        const QString text = memo->toPlainText();
        if (withoutBreaks(text).size() <= limit)
            return;
        // Typing past the limit is refused: the text loses its last characters beyond it.
        QString kept;
        int n = 0;
        for (QChar c : text) {
            if (c != '\r' && c != '\n' && ++n > limit)
                break;
            kept.append(c);
        }
        QSignalBlocker block(memo);
        memo->setPlainText(kept);
        QTextCursor cur = memo->textCursor();
        cur.movePosition(QTextCursor::End);
        memo->setTextCursor(cur);
    });
}

QString TfmAdd::partText(int k) const
{
    if (auto *memo = qobject_cast<QPlainTextEdit *>(boxes_[k]))
        return memo->toPlainText();
    return static_cast<QLineEdit *>(boxes_[k])->text();
}

void TfmAdd::parts(VcardAddr &addr) const
{
    std::memset(&addr, 0, sizeof addr);
    for (int k = 0; k < 7; ++k) {
        if (limits_[k] == 0)
            continue;
        const std::string text = partText(k).toStdString();
        // Leave the field's last byte zero; never cut inside a character.
        const std::string_view head = content::utf8HeadBytes(text, kParts[k].size - 1);
        std::memcpy(reinterpret_cast<char *>(&addr) + kParts[k].offset, head.data(), head.size());
    }
}

void TfmAdd::StripLineBreaks()
{
    for (QPlainTextEdit *memo : {MP, ME}) {
        const QString text = memo->toPlainText();
        const QString flat = withoutBreaks(text);
        if (flat != text)
            memo->setPlainText(flat);
    }
}

void TfmAdd::Button1Click()
{
    StripLineBreaks();
    finish(kMrOk);
}

} // namespace forms
