// TFrmProgress: the modal dialog every handset transfer runs under, and the program's BatchRunner.
// It follows the worker's progress messages with a label and a bar, offers a cancel button, and
// closes when the batch ends.
//
//   forms::TFrmProgress progress(worker, commData, hub, lang, prompt, mainWindow);
//   content::BatchOutcome out = progress.run(smsClt, {content::BatchRequest::readList(jobs)});
//
// Modal results: 1 when the batch ended with a result of 0 or more, the result itself when it is
// negative, 2 when the user cancelled it. A cancel before the worker took the batch closes the
// dialog at once (no done message comes); one while the worker runs it shows "Cancelling..." until
// the worker's done message acknowledges it, so nobody reads the records while the worker still
// writes them. The raw batch result stays readable (batchResult()). Closed any other
// way (accept(), hide()), it gives 2 too and cancels the batch where that still takes effect.
//
// Only messages of the armed batch count: progress and done messages carry the batch serial, and
// those of an earlier batch (still queued after it was closed) are dropped. A cancel that comes
// after the worker has finished the batch changes nothing: the dialog waits for the batch's done
// message and closes with its real result. A done message that arrives before the dialog is shown
// is remembered, and the dialog then returns at once.
#pragma once

#include "content/batch_runner.h"
#include "forms/common/dialog_base.h"

#include "dv_result.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <optional>
#include <string>

namespace core {
class Prompt;
class TLangMng;
} // namespace core

namespace forms {

class TFrmProgress final : public DialogBase, public content::BatchRunner {
    Q_OBJECT
public:
    TFrmProgress(core::TCommThread &worker, core::TdmCommData &commData, platform::QtWindowMessages &hub,
                 const core::TLangMng &lang, core::Prompt &prompt, QWidget *parent = nullptr);
    ~TFrmProgress() override;

    // BatchRunner: queues the requests naming this dialog, closes the batch and runs the dialog
    // modally until the batch ends or is cancelled. Called while a batch runs (from a nested
    // pump), it queues nothing and answers cancelled.
    content::BatchOutcome run(core::TBaseClt &client, const std::vector<content::BatchRequest> &batch) override;

    // The lower steps of run(), for callers that queue their own commands: arm() with the serial
    // EndBatch answered, then exec().
    void arm(uint64_t batch);
    int exec() override;

    // The serial of the batch the dialog follows (0: none).
    uint64_t armedBatch() const { return batch_; }
    // The armed batch's result once it ended (nothing while it runs or after a cancel).
    std::optional<int32_t> batchResult() const { return result_; }
    // The user cancelled the armed batch: before it ran, or it stopped at an item on the cancel.
    bool cancelled() const { return state_ == State::Cancelled || (state_ == State::Ended && stoppedByCancel()); }
    // A cancel was asked while the worker ran the batch; its done message is awaited.
    bool cancelling() const { return state_ == State::Running && cancelAsked_; }

    QLabel *lblInfo() const { return lblInfo_; }
    QProgressBar *prgInfo() const { return prgInfo_; }
    QPushButton *btnCancel() const { return btnCancel_; }

protected:
    void cancelStep() override;
    void postShow() override;
    intptr_t windowMessage(uint32_t msg, intptr_t w, intptr_t l) override;
    void showEvent(QShowEvent *e) override;

private:
    enum class State { Idle, Running, Ended, Cancelled };

    void reset();
    void onProgress(int32_t stage, intptr_t value);
    void onDone(int32_t result);
    // Closes with the modal result of a batch result.
    void closeWith(int32_t result);
    QString text(const std::string &key) const;
    QString cancellingText() const;
    bool stoppedByCancel() const { return cancelAsked_ && result_ && *result_ == DV_E_CANCELLED; }

    core::TCommThread &worker_;
    core::TdmCommData &commData_;
    const core::TLangMng &lang_;
    core::Prompt &prompt_;

    QLabel *lblInfo_;
    QProgressBar *prgInfo_;
    QPushButton *btnCancel_;

    QString operation_;
    uint64_t batch_ = 0;
    State state_ = State::Idle;
    std::optional<int32_t> result_;
    bool showingFault_ = false;
    bool cancelAsked_ = false;
    bool faultShown_ = false; // the batch's link fault was shown: the requester shows no second box
};

} // namespace forms
