// TfmTestConn: the modal dialog the settings dialog shows while the worker searches a connection
// choice for a handset, port by port and baud by baud. Afterwards the caller takes the combination
// that answered (found()).
//
//   forms::TfmTestConn test(worker, hub, lang);
//   int mr = test.search(std::make_shared<core::UIConnParam>(choice));  // 1, 2 (cancelled) or < 0
//   if (mr == 1 && test.succeeded()) use test.found().port ...
//
// The dialog copies the connection choice when the search begins and never reads the caller's
// block again. Messages of any other batch, and every message of its batch after a cancel, change
// nothing. The pause at the end of the search is a timer, so the dialog keeps painting. Closed any
// other way than its own (accept(), hide()), it answers as its button would.
#pragma once

#include "core/comm/comm_thread.h"
#include "core/conn_param.h"
#include "forms/common/dialog_base.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <string>

namespace core {
class TLangMng;
} // namespace core

namespace forms {

class TfmTestConn final : public DialogBase {
    Q_OBJECT
public:
    struct Found {
        std::string man, type, port, baud;
        bool operator==(const Found &) const = default;
    };

    TfmTestConn(core::TCommThread &worker, platform::QtWindowMessages &hub, const core::TLangMng &lang,
                QWidget *parent = nullptr);
    ~TfmTestConn() override;

    // Queues the search of param naming this dialog, closes the batch and runs the dialog modally.
    int search(std::shared_ptr<core::UIConnParam> param);
    // For callers that queue the search themselves: the batch serial and the block they queued.
    void arm(uint64_t batch, std::shared_ptr<const core::UIConnParam> param);
    // Answers at once when the search ended before the dialog came up.
    int exec() override;

    // The combination that answered, or four empty texts.
    Found found() const { return succeeded_ ? found_ : Found{}; }
    bool succeeded() const { return succeeded_; }
    int combinations() const { return combinations_; }
    // The pause between the end of the search and the close (tests shorten it).
    void setEndPause(int ms) { endPause_.setInterval(ms); }

    QProgressBar *gaInfo() const { return gaInfo_; }
    QLabel *lbType() const { return lbType_; }
    QLabel *lbPort() const { return lbPort_; }
    QLabel *lbBaud() const { return lbBaud_; }
    QLabel *lbResult() const { return lbResult_; }
    QPushButton *btnCancel() const { return btnCancel_; }

protected:
    void cancelStep() override;
    intptr_t windowMessage(uint32_t msg, intptr_t w, intptr_t l) override;

private:
    enum class State { Idle, Armed, Searching, Ending, Ended, Cancelled };

    void reset();
    void onProgress(int32_t stage, intptr_t value);
    void showAttempt();
    void advanceGauge();
    void closeWith(int32_t searchResult);

    core::TCommThread &worker_;

    QProgressBar *gaInfo_;
    QGroupBox *group_;
    QLabel *lbType_, *lbPort_, *lbBaud_, *lbResult_;
    QPushButton *btnCancel_;
    QTimer endPause_;

    uint64_t batch_ = 0;
    State state_ = State::Idle;
    std::shared_ptr<const core::UIConnParam> armed_; // the caller's block, read at stage 1 only
    core::UIConnParam param_;                        // the copy the dialog works on
    int combinations_ = 0;
    size_t portIndex_ = 0, baudIndex_ = 0;
    int attempts_ = 0;
    bool succeeded_ = false;
    bool cancelAsked_ = false; // a cancel the running search acknowledges with its done message
    Found found_;
    int32_t endResult_ = 0;
};

} // namespace forms
