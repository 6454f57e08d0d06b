#include "forms/fm_test_conn.h"

#include "dv_result.h"

#include "core/lang_mng.h"
#include "core/qt/form_translate.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

namespace forms {

namespace {

const QString kTesting = QStringLiteral("Testing...");
const QString kSucceed = QStringLiteral("Succeed");
const QString kFailed = QStringLiteral("Failed");
const QString kCompleted = QStringLiteral("Test Completed.");
const QString kCancel = QStringLiteral("&Cancel");
const QString kClose = QStringLiteral("&Close");
constexpr int kEndPauseMs = 200;

QLabel *namedLabel(QWidget *parent, const char *name, const QString &text = {})
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

TfmTestConn::TfmTestConn(core::TCommThread &worker, platform::QtWindowMessages &hub, const core::TLangMng &lang,
                         QWidget *parent)
    : DialogBase(parent), worker_(worker)
{
    setObjectName("fmTestConn");
    gaInfo_ = new QProgressBar(this);
    gaInfo_->setObjectName("gaInfo");
    gaInfo_->setRange(0, 100);

    group_ = new QGroupBox(this);
    group_->setObjectName("GroupBox1");
    lbType_ = namedLabel(group_, "lbType");
    lbPort_ = namedLabel(group_, "lbPort");
    lbBaud_ = namedLabel(group_, "lbBaud");
    lbResult_ = namedLabel(group_, "lbResult");
    for (QLabel *l : {lbType_, lbPort_, lbBaud_, lbResult_}) {
        l->setMinimumWidth(200);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    auto *form = new QFormLayout(group_);
    form->addRow(namedLabel(group_, "Label1", QStringLiteral("Connection:")), lbType_);
    form->addRow(namedLabel(group_, "Label2", QStringLiteral("Port:")), lbPort_);
    form->addRow(namedLabel(group_, "Label3", QStringLiteral("Baud rate:")), lbBaud_);
    form->addRow(namedLabel(group_, "Label4", QStringLiteral("Result:")), lbResult_);

    btnCancel_ = new QPushButton(this);
    btnCancel_->setObjectName("btnCancel");
    btnCancel_->setDefault(true);
    connect(btnCancel_, &QPushButton::clicked, this, [this] { cancelStep(); });
    setCursor(Qt::BusyCursor);
    btnCancel_->setCursor(Qt::ArrowCursor);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCancel_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(gaInfo_);
    layout->addWidget(group_, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    endPause_.setSingleShot(true);
    endPause_.setInterval(kEndPauseMs);
    connect(&endPause_, &QTimer::timeout, this, [this] { closeWith(endResult_); });

    setWindowTitle(QString::fromStdString(lang.translate("fmTestConn_Caption")));
    core::setFormFont(lang, this);
    core::translateForm(lang, this, "fmTestConn");
    attachMessages(hub);
    reset();
}

TfmTestConn::~TfmTestConn() = default;

void TfmTestConn::reset()
{
    combinations_ = 0;
    portIndex_ = baudIndex_ = 0;
    attempts_ = 0;
    gaInfo_->setValue(0);
    for (QLabel *l : {lbType_, lbPort_, lbBaud_, lbResult_})
        l->clear();
    btnCancel_->setText(kCancel);
    btnCancel_->setEnabled(true);
    succeeded_ = false;
    cancelAsked_ = false;
    found_ = {};
    param_ = {};
    endPause_.stop();
}

void TfmTestConn::arm(uint64_t batch, std::shared_ptr<const core::UIConnParam> param)
{
    reset();
    batch_ = batch;
    armed_ = std::move(param);
    state_ = State::Armed;
    setResult(kMrNone);
}

int TfmTestConn::exec()
{
    if (state_ == State::Ended || state_ == State::Cancelled)
        return result();
    const int mr = DialogBase::exec();
    switch (state_) {
    case State::Armed:
    case State::Searching:
        // Closed by a way that is not the dialog's own (accept(), hide()): as the button would.
        state_ = succeeded_ || !worker_.CancelBatch(batch_) ? State::Ended : State::Cancelled;
        setResult(succeeded_ ? kMrOk : kMrCancel);
        return result();
    case State::Ending:
        closeWith(endResult_);
        return result();
    default:
        return mr;
    }
}

int TfmTestConn::search(std::shared_ptr<core::UIConnParam> param)
{
    if (!param)
        return kMrCancel;
    core::TCommCommand cmd;
    cmd.code = core::kCmdSearch;
    cmd.window = window();
    cmd.arg = param;
    if (worker_.AddCommand(cmd) != 0)
        return kMrCancel;
    arm(worker_.EndBatch(), param);
    const int mr = exec();
    armed_.reset(); // the caller keeps its own reference
    return mr;
}

void TfmTestConn::cancelStep()
{
    switch (state_) {
    case State::Armed:
    case State::Searching:
        if (succeeded_) {
            state_ = State::Ended;
            finish(kMrOk);
        } else if (worker_.CancelBatch(batch_)) {
            state_ = State::Cancelled;
            finish(kMrCancel);
        } else {
            // The search is running (or has ended): it stops after the attempt in hand, and its
            // done message, or its last report, closes the dialog.
            cancelAsked_ = true;
            btnCancel_->setEnabled(false);
        }
        break;
    case State::Ending:
        closeWith(endResult_);
        break;
    case State::Idle:
    case State::Ended:
    case State::Cancelled:
        finish(succeeded_ ? kMrOk : kMrCancel);
        break;
    }
}

intptr_t TfmTestConn::windowMessage(uint32_t msg, intptr_t w, intptr_t l)
{
    if (state_ != State::Armed && state_ != State::Searching)
        return 0;
    if (msg == core::WM_COMM_PROGRESS) {
        if (core::progressBatch(w) == static_cast<uint32_t>(batch_ & 0xFFFFFFFFu))
            onProgress(core::progressStage(w), l);
    } else if (msg == core::WM_COMM_DONE && static_cast<uint64_t>(l) == batch_) {
        if (cancelAsked_ && static_cast<int32_t>(w) == DV_E_CANCELLED) {
            // The acknowledgement of the cancel: the search stopped between attempts.
            endPause_.stop();
            state_ = State::Cancelled;
            setResult(kMrCancel);
            if (isVisible())
                finish(kMrCancel);
            return 0;
        }
        // The search ended without its last report (it never began): close with its result.
        closeWith(static_cast<int32_t>(w));
    }
    return 0;
}

void TfmTestConn::showAttempt()
{
    lbType_->setText(QString::fromStdString(param_.Type));
    lbPort_->setText(portIndex_ < param_.Ports.size() ? QString::fromStdString(param_.Ports[portIndex_]) : QString());
    lbBaud_->setText(baudIndex_ < param_.Bauds.size() ? QString::fromStdString(param_.Bauds[baudIndex_]) : QString());
}

void TfmTestConn::advanceGauge()
{
    ++attempts_;
    const int value = static_cast<int>(std::min<int64_t>(100, int64_t{attempts_} * 100 / std::max(combinations_, 1)));
    gaInfo_->setValue(value);
    if (value >= 100)
        btnCancel_->setText(kClose);
}

void TfmTestConn::onProgress(int32_t stage, intptr_t value)
{
    switch (stage) {
    case core::kStageBegin: {
        if (value == 0 || !armed_ || value != reinterpret_cast<intptr_t>(armed_.get())) {
            // No block, or not the one this dialog was armed with: nothing to search.
            cancelStep();
            return;
        }
        // Copied now: the caller's block is not read again.
        param_ = *armed_;
        const size_t ports = param_.Ports.size(), bauds = param_.Bauds.size();
        combinations_ = static_cast<int>(std::clamp<size_t>(bauds ? ports * bauds : ports, 1, 1u << 30));
        portIndex_ = baudIndex_ = 0;
        attempts_ = 0;
        gaInfo_->setValue(0);
        state_ = State::Searching;
        break;
    }
    case core::kStageStep:
        if (state_ != State::Searching)
            return;
        lbResult_->setText(kTesting);
        showAttempt();
        break;
    case core::kStageEnd: {
        if (state_ != State::Searching)
            return;
        advanceGauge();
        showAttempt();
        const size_t ports = param_.Ports.size(), bauds = param_.Bauds.size();
        if (bauds && baudIndex_ + 1 < bauds) {
            ++baudIndex_;
        } else {
            baudIndex_ = 0;
            portIndex_ = ports ? (portIndex_ + 1) % ports : 0;
        }
        if (static_cast<int32_t>(value) == 0) {
            succeeded_ = true;
            found_ = {param_.Man, param_.Type, lbPort_->text().toStdString(), lbBaud_->text().toStdString()};
            lbResult_->setText(kSucceed);
            btnCancel_->setText(kClose);
        } else {
            succeeded_ = false;
            lbResult_->setText(kFailed);
        }
        break;
    }
    case core::kStageSearchEnd:
        if (state_ != State::Searching)
            return;
        gaInfo_->setValue(100);
        lbResult_->setText(kCompleted);
        btnCancel_->setText(kClose);
        endResult_ = static_cast<int32_t>(value);
        state_ = State::Ending;
        endPause_.start();
        break;
    default:
        break;
    }
}

void TfmTestConn::closeWith(int32_t searchResult)
{
    endPause_.stop();
    state_ = State::Ended;
    const int mr = searchResult < 0 ? searchResult : kMrOk;
    setResult(mr);
    if (isVisible())
        finish(mr);
}

} // namespace forms
