#include "forms/fm_about.h"

#include "core/lang_mng.h"
#include "core/qt/form_translate.h"

#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

namespace forms {

TfAbout::TfAbout(const core::TLangMng &lang, QWidget *parent) : DialogBase(parent), lang_(lang)
{
    setObjectName("fAbout");
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->hide();
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->hide();
    Label3 = new QLabel("Selvark", this);
    Label3->setObjectName("Label3");
    QFont big = Label3->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 4);
    Label3->setFont(big);
    Label4 = new QLabel(kAboutVersion, this);
    Label4->setObjectName("Label4");
    Label5 = new QLabel(this);
    Label5->setObjectName("Label5");
    Label5->setWordWrap(true);
    Label6 = new QLabel(kAboutWebPage, this);
    Label6->setObjectName("Label6");
    Label6->setCursor(Qt::PointingHandCursor);
    // Reachable with Tab and opened with Enter or Space, as a link is; the focus shows as a frame.
    Label6->setFocusPolicy(Qt::StrongFocus);
    Label6->setStyleSheet("QLabel { color: blue; text-decoration: underline; border: 1px solid transparent; }"
                          "QLabel:focus { border: 1px dotted palette(text); }");
    Label6->installEventFilter(this);
    auto *bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    Bevel1 = bevel;
    Bevel1->setObjectName("Bevel1");
    Button1 = new QPushButton(this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);

    auto *root = new QVBoxLayout(this);
    root->addWidget(Label3);
    root->addWidget(Label4);
    root->addWidget(Label5);
    root->addWidget(Label6);
    root->addWidget(Bevel1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    root->addLayout(buttons);
    // OK first, so Enter still closes the box; Tab then reaches the link.
    setTabOrder(Button1, Label6);
    setMinimumWidth(320);

    core::setFormFont(lang_, this);
    setWindowTitle(QString::fromStdString(lang_.translate("fAbout_Caption")));
    core::translateForm(lang_, this, "fAbout");
    connect(Button1, &QPushButton::clicked, this, [this] { finish(kMrOk); });
}

void TfAbout::showEvent(QShowEvent *e)
{
    DialogBase::showEvent(e);
    if (e->spontaneous())
        return;
    core::setFormFont(lang_, this);
    core::translateForm(lang_, this, "fAbout");
}

bool TfAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label6 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Label6Click();
        return true;
    }
    if (watched == Label6 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            Label6Click();
            return true;
        }
    }
    return DialogBase::eventFilter(watched, event);
}

void TfAbout::Label6Click()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kAboutWebPage)));
}

} // namespace forms
