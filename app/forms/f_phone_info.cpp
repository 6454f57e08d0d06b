#include "forms/f_phone_info.h"

#include "core/app_manage.h"
#include "core/comm/comm_mng.h"
#include "core/lang_mng.h"
#include "core/qt/form_translate.h"

#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include <array>

namespace forms {

namespace {

constexpr int32_t kBufSize = 100;

// One zero-filled answer buffer; the last byte stays zero whatever the driver writes.
struct Buf {
    std::array<char, kBufSize + 1> bytes{};
    char *data() { return bytes.data(); }
    int32_t size() const { return kBufSize; }
    QString text() const
    {
        const auto *end = std::find(bytes.begin(), bytes.end(), '\0');
        return QString::fromUtf8(bytes.data(), end - bytes.begin());
    }
};

template <class W> W *named(QWidget *parent, const char *name)
{
    auto *w = new W(parent);
    w->setObjectName(name);
    return w;
}

} // namespace

TfPhoneInfo::TfPhoneInfo(core::TManage &manage, core::TCommMng &comm, QWidget *parent)
    : DialogBase(parent), manage_(manage), comm_(comm), wait_(&TfPhoneInfo::realWait)
{
    setObjectName("fPhoneInfo");
    PageControl1 = named<QTabWidget>(this, "PageControl1");
    TabBase = named<QWidget>(PageControl1, "TabBase");
    TabNet = named<QWidget>(PageControl1, "TabNet");

    auto value = [](QWidget *page, const char *name) {
        auto *l = named<QLabel>(page, name);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setMinimumWidth(220);
        return l;
    };
    lbMan = value(TabBase, "lbMan");
    lbModel = value(TabBase, "lbModel");
    lbHardVer = value(TabBase, "lbHardVer");
    lbFirmVer = value(TabBase, "lbFirmVer");
    lbImei = value(TabBase, "lbImei");
    lbBattery = value(TabNet, "lbBattery");
    lbNet = value(TabNet, "lbNet");
    lbSignal = value(TabNet, "lbSignal");

    auto *base = new QFormLayout(TabBase);
    base->addRow(named<QLabel>(TabBase, "Label_man"), lbMan);
    base->addRow(named<QLabel>(TabBase, "Label_model"), lbModel);
    base->addRow(named<QLabel>(TabBase, "Label_hardver"), lbHardVer);
    base->addRow(named<QLabel>(TabBase, "Label_firmver"), lbFirmVer);
    base->addRow(named<QLabel>(TabBase, "Label_imei"), lbImei);
    auto *net = new QFormLayout(TabNet);
    net->addRow(named<QLabel>(TabNet, "Label_battery"), lbBattery);
    net->addRow(named<QLabel>(TabNet, "Label_net"), lbNet);
    net->addRow(named<QLabel>(TabNet, "Label_signal"), lbSignal);
    PageControl1->addTab(TabBase, QString());
    PageControl1->addTab(TabNet, QString());

    btnRefresh = named<QPushButton>(this, "btnRefresh");
    btnClose = named<QPushButton>(this, "btnClose");
    btnClose->setDefault(true);
    connect(btnRefresh, &QPushButton::clicked, this, [this] { btnRefreshClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnRefresh);
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);

    const core::TLangMng &lang = manage.LangMng();
    core::setFormFont(lang, this);
    core::translateForm(lang, this, "fPhoneInfo");
    setWindowTitle(QString::fromStdString(lang.translate("fPhoneInfo_Caption")));
}

TfPhoneInfo::~TfPhoneInfo() = default;

void TfPhoneInfo::realWait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void TfPhoneInfo::postShow()
{
    // Once, right after the window first shows.
    if (loaded_)
        return;
    loaded_ = true;
    btnRefreshClick();
}

void TfPhoneInfo::btnCloseClick()
{
    if (refreshing_) {
        // The refresh ends after its current query and then closes the window.
        closeRequested_ = true;
        hide();
        return;
    }
    finish(kMrCancel);
}

void TfPhoneInfo::btnRefreshClick()
{
    if (!manage_.Connected || refreshing_)
        return;
    refreshing_ = true;
    closeRequested_ = false;
    btnRefresh->setEnabled(false);
    // Several seconds of waits: the window stays usable, so a busy (not a wait) cursor.
    setCursor(Qt::BusyCursor);
    QPointer<TfPhoneInfo> self(this);
    // The window may go during a wait; the lock is released anyway. However the refresh ends (an
    // exception included), the window is left ready for the next one.
    core::TCommMng &comm = comm_;
    const auto end = [&comm, self] {
        comm.Unlock();
        if (!self)
            return false;
        self->refreshing_ = false;
        self->btnRefresh->setEnabled(true);
        self->unsetCursor();
        return true;
    };
    // The lock's own answer decides: no open connection, nothing to read, and the labels stay
    // empty rather than showing a handset that is gone.
    const bool open = comm.Lock() == 0;
    try {
        for (QLabel *l : {lbMan, lbModel, lbHardVer, lbFirmVer, lbImei, lbBattery, lbNet, lbSignal})
            l->clear();
        repaint();
        if (open)
            refreshLocked();
    } catch (...) {
        end();
        throw;
    }
    if (end() && closeRequested_)
        finish(kMrCancel);
}

void TfPhoneInfo::refreshLocked()
{
    const uint64_t serial = comm_.currentSerial();
    QPointer<TfPhoneInfo> self(this);
    Buf b1, b2;

    // Each step asks for the interface afresh: a connection closed during a wait ends the refresh.
    const std::array<std::function<void(InfoItf &)>, 8> steps = {
        [&](InfoItf &i) {
            if (i.getMan && i.getMan(&i, b1.data(), b1.size()) >= 0)
                lbMan->setText(b1.text());
        },
        [&](InfoItf &i) {
            if (i.getVer && i.getVer(&i, b1.data(), b1.size()) >= 0)
                lbHardVer->setText(b1.text());
        },
        [&](InfoItf &i) {
            if (i.getFirmVer && i.getFirmVer(&i, b1.data(), b1.size()) >= 0)
                lbFirmVer->setText(b1.text());
        },
        [&](InfoItf &i) {
            int32_t v = 0;
            if (i.getBattery && i.getBattery(&i, &v) >= 0)
                lbBattery->setText(QString::number(v) + '%');
        },
        [&](InfoItf &i) {
            if (i.getImei && i.getImei(&i, b1.data(), b1.size()) >= 0)
                lbImei->setText(b1.text());
        },
        [&](InfoItf &i) {
            if (i.getModel && i.getModel(&i, b1.data(), b1.size(), b2.data(), b2.size()) >= 0)
                lbModel->setText(b1.text() + '(' + b2.text() + ')');
        },
        [&](InfoItf &i) {
            if (i.getNetName && i.getNetCode && i.getNetName(&i, b1.data(), b1.size()) >= 0 &&
                i.getNetCode(&i, b2.data(), b2.size()) >= 0)
                lbNet->setText(b1.text() + '(' + b2.text() + ')');
        },
        [&](InfoItf &i) {
            int32_t v = 0;
            if (i.getSignal && i.getSignal(&i, &v) >= 0)
                lbSignal->setText(QString::number(v) + '%');
        },
    };
    for (const auto &step : steps) {
        auto *info = comm_.interfaceAs<InfoItf>(MS_ITF_INFO, serial);
        if (!info)
            return;
        b1 = {};
        b2 = {};
        step(*info);
        wait_(kQueryGapMs);
        if (!self || closeRequested_)
            return;
    }
}

} // namespace forms
