#include "forms/frm_progress.h"

#include "core/lang_mng.h"
#include "core/prompt.h"
#include "core/qt/form_translate.h"

#include "dv_util.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace forms {

namespace {

constexpr int kFallbackMaximum = 500; // a count of 0 or one too large for steps to mean anything
constexpr int kMaxCountedSteps = 4096;

bool isLinkFault(int32_t r)
{
    return r < 0 && NetUtil_isFaultErr(r) != 0;
}

} // namespace

TFrmProgress::TFrmProgress(core::TCommThread &worker, core::TdmCommData &commData, platform::QtWindowMessages &hub,
                           const core::TLangMng &lang, core::Prompt &prompt, QWidget *parent)
    : DialogBase(parent), worker_(worker), commData_(commData), lang_(lang), prompt_(prompt)
{
    setObjectName("FrmProgress");
    lblInfo_ = new QLabel(this);
    lblInfo_->setObjectName("lblInfo");
    // Long operation texts must not make the dialog jump while counting.
    lblInfo_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblInfo_->setMinimumHeight(lblInfo_->fontMetrics().height());
    prgInfo_ = new QProgressBar(this);
    prgInfo_->setObjectName("prgInfo");
    prgInfo_->setRange(0, 100);
    prgInfo_->setTextVisible(false);
    btnCancel_ = new QPushButton(this);
    btnCancel_->setObjectName("btnCancel");
    btnCancel_->setAutoDefault(false);
    // The dialog is busy; its one button is not.
    setCursor(Qt::BusyCursor);
    btnCancel_->setCursor(Qt::ArrowCursor);
    connect(btnCancel_, &QPushButton::clicked, this, [this] { cancelStep(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCancel_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo_);
    layout->addWidget(prgInfo_);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    setWindowTitle(text("FrmProgress_Caption"));
    core::setFormFont(lang_, this);
    core::translateForm(lang_, this, "FrmProgress");
    if (btnCancel_->text().isEmpty())
        btnCancel_->setText(QStringLiteral("&Cancel"));
    attachMessages(hub);
    reset();
}

TFrmProgress::~TFrmProgress() = default;

QString TFrmProgress::text(const std::string &key) const
{
    return QString::fromStdString(lang_.translate(key));
}

void TFrmProgress::reset()
{
    lblInfo_->setText(QStringLiteral("Initializing..."));
    prgInfo_->setRange(0, 100);
    prgInfo_->setValue(0);
    operation_.clear();
}

void TFrmProgress::arm(uint64_t batch)
{
    batch_ = batch;
    state_ = State::Running;
    result_.reset();
    showingFault_ = false;
    cancelAsked_ = false;
    faultShown_ = false;
    setResult(kMrNone);
    btnCancel_->setEnabled(true);
}

int TFrmProgress::exec()
{
    if (state_ == State::Ended || state_ == State::Cancelled) {
        // Ended before the dialog came up: nothing to show.
        return result();
    }
    const int mr = DialogBase::exec();
    if (state_ == State::Running) {
        // Closed by a way that is not the dialog's own (accept(), hide()): nobody follows the batch
        // any more, so it is cancelled where it still can be, and the dialog is free for the next.
        state_ = worker_.CancelBatch(batch_) ? State::Cancelled : State::Idle;
        setResult(kMrCancel);
        return kMrCancel;
    }
    return mr;
}

void TFrmProgress::showEvent(QShowEvent *e)
{
    if (!e->spontaneous())
        reset();
    DialogBase::showEvent(e);
}

void TFrmProgress::postShow()
{
    // A batch that ended while the dialog was coming up closes it now.
    if (state_ == State::Ended && isVisible() && !showingFault_)
        finish(result());
}

void TFrmProgress::cancelStep()
{
    switch (state_) {
    case State::Running:
        if (worker_.CancelBatch(batch_)) {
            state_ = State::Cancelled;
            finish(kMrCancel);
            break;
        }
        // The worker is inside the batch (or has just finished it): it still writes the batch's
        // records until its done message, which closes the dialog. Until then the dialog stays.
        cancelAsked_ = true;
        btnCancel_->setEnabled(false);
        lblInfo_->setText(cancellingText());
        break;
    case State::Ended:
        if (!showingFault_)
            finish(result());
        break;
    case State::Idle:
    case State::Cancelled:
        finish(kMrCancel);
        break;
    }
}

intptr_t TFrmProgress::windowMessage(uint32_t msg, intptr_t w, intptr_t l)
{
    if (state_ != State::Running)
        return 0;
    if (msg == core::WM_COMM_PROGRESS) {
        if (core::progressBatch(w) == static_cast<uint32_t>(batch_ & 0xFFFFFFFFu))
            onProgress(core::progressStage(w), l);
    } else if (msg == core::WM_COMM_DONE) {
        if (static_cast<uint64_t>(l) == batch_)
            onDone(static_cast<int32_t>(w));
    }
    return 0;
}

QString TFrmProgress::cancellingText() const
{
    const QString t = text("frProg_Info_Cancelling");
    return t.isEmpty() ? QStringLiteral("Cancelling...") : t;
}

void TFrmProgress::onProgress(int32_t stage, intptr_t value)
{
    if (cancelAsked_)
        return; // the label keeps saying that the cancel is on its way

    switch (stage) {
    case core::kStageBegin: {
        prgInfo_->setMinimum(0);
        if (value == 0) {
            operation_.clear();
            break;
        }
        const auto v = static_cast<uint32_t>(value);
        const int count = static_cast<int>(v >> 16);
        const int kind = static_cast<int>(v & 0xFFFF);
        prgInfo_->setMaximum(count == 0 || count > kMaxCountedSteps ? kFallbackMaximum : count);
        prgInfo_->setValue(0);
        operation_ = text("frProg_Info_" + std::to_string(kind / 256)) + ' ' +
                     text("frProg_Info_Class" + std::to_string(kind % 256));
        lblInfo_->setText(operation_ + QStringLiteral(" ..."));
        break;
    }
    case core::kStageStep: {
        // A bar takes no value beyond its maximum: past it the bar stays full.
        const int pos = std::min(std::max(prgInfo_->value(), 0) + 1, prgInfo_->maximum());
        prgInfo_->setValue(pos);
        lblInfo_->setText(operation_ + QStringLiteral(" ( %1 / %2 ) ... ").arg(pos).arg(prgInfo_->maximum()));
        break;
    }
    case core::kStageEnd:
        prgInfo_->setValue(prgInfo_->maximum());
        lblInfo_->setText(text("frProg_Info_9"));
        operation_.clear();
        break;
    default:
        break;
    }
}

void TFrmProgress::onDone(int32_t result)
{
    state_ = State::Ended;
    result_ = result;
    btnCancel_->setEnabled(false);
    if (stoppedByCancel()) {
        // The acknowledgement of the user's cancel: the batch stopped at an item.
        setResult(kMrCancel);
        if (isVisible())
            finish(kMrCancel);
        return;
    }
    setResult(result >= 0 ? kMrOk : result);
    if (isLinkFault(result)) {
        // Joined as they stand, like the content managers' fault boxes: the language text carries
        // its own separator (English ends in ": "; a language may want none).
        showingFault_ = true;
        faultShown_ = true;
        prompt_.show(lang_.translate("ErrInfo_CommErrInfo") + lang_.translate("ErrInfo_" + std::to_string(std::abs(result))),
                     std::string(), core::kMbOk | core::kMbIconInformation);
        showingFault_ = false;
    }
    closeWith(result);
}

void TFrmProgress::closeWith(int32_t result)
{
    const int mr = result >= 0 ? kMrOk : result;
    setResult(mr);
    if (isVisible())
        finish(mr);
    // Not shown yet: exec() answers at once, or postShow() closes it.
}

content::BatchOutcome TFrmProgress::run(core::TBaseClt &client, const std::vector<content::BatchRequest> &batch)
{
    content::BatchOutcome out;
    if (state_ == State::Running) {
        // A batch asked for from inside another one's modal loop (a nested pump): re-arming would
        // leave the first waiting for ever. Nothing is queued; the caller sees it as not run.
        out.cancelled = true;
        return out;
    }
    const platform::WindowId me = window();
    int queued = 0;
    bool reads = false;
    for (const content::BatchRequest &r : batch) {
        int32_t q = -1;
        switch (r.code) {
        case core::kCmdReadList:
            if (r.jobs) {
                q = client.ReadList(r.jobs, me);
                reads = reads || q == 0;
            }
            break;
        case core::kCmdWriteList:
            if (r.jobs)
                q = client.WriteList(r.jobs, me);
            break;
        case core::kCmdSendList:
            if (r.jobs)
                q = client.SendList(r.jobs, me);
            break;
        case core::kCmdStorStatus:
            if (r.status)
                q = client.GetStorageInfo(r.status, me);
            break;
        case core::kCmdStorStatusEx:
            if (r.statusEx)
                q = client.GetStorageInfoEx(r.statusEx, me);
            break;
        default:
            break;
        }
        if (q == 0)
            ++queued;
    }
    if (queued == 0)
        return out;
    arm(worker_.EndBatch());
    exec();
    batch_ = 0;
    if (state_ != State::Ended) {
        out.cancelled = true;
        // Cancelled before the worker took it: the worker never touches it.
        out.settled = state_ == State::Cancelled;
        return out;
    }
    out.result = *result_;
    out.faultShown = faultShown_;
    if (stoppedByCancel()) {
        out.cancelled = true; // the jobs' results are final: done ones keep theirs
        return out;
    }
    const int n = reads ? commData_.Count() : 0; // the table still holds an earlier batch's rows
    out.rows.reserve(static_cast<size_t>(std::max(n, 0)));
    std::vector<uint8_t> buf(core::TdmCommData::kMaxDataLen);
    for (int i = 0; i < n; ++i) {
        content::HandOverRow row;
        int len = static_cast<int>(buf.size());
        if (!commData_.GetData(i, &row.stor, buf.data(), &len, &row.index))
            break;
        row.data.assign(buf.begin(), buf.begin() + std::clamp(len, 0, static_cast<int>(buf.size())));
        out.rows.push_back(std::move(row));
    }
    return out;
}

} // namespace forms
