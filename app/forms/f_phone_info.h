// TfPhoneInfo: the connected handset's maker, model, versions, IMEI, battery, network and signal,
// read by the user-interface thread itself through the connection manager's information
// interface (15), inside the connection lock.
//
//   forms::TfPhoneInfo info(manage, comm);
//   info.exec();   // the values load right after the window shows; Refresh reads them again
//
// A refresh runs only while the program counts a handset as connected. Whether a connection is
// really open is decided under the lock: when it closed in between (idle time-out, handset
// swapped) the labels stay empty and nothing is called. The eight queries are spaced by a wait
// that keeps the window alive (events pumped); the worker waits for the lock meanwhile. The
// interface is asked for again after every wait, so a connection closed during one ends the
// refresh instead of reaching a stale interface. Closing the window during a refresh stops it
// after the current query.
#pragma once

#include "forms/common/dialog_base.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <functional>

namespace core {
class TCommMng;
class TManage;
} // namespace core

namespace forms {

class TfPhoneInfo final : public DialogBase {
    Q_OBJECT
public:
    // The pause after each query: runs the event loop for ms milliseconds.
    using Wait = std::function<void(int ms)>;
    static constexpr int kQueryGapMs = 500;

    TfPhoneInfo(core::TManage &manage, core::TCommMng &comm, QWidget *parent = nullptr);
    ~TfPhoneInfo() override;

    // Tests replace the wait (the real one is a timer and an event loop).
    void setWait(Wait wait) { wait_ = std::move(wait); }
    bool refreshing() const { return refreshing_; }

    void btnRefreshClick();
    void btnCloseClick();

    QTabWidget *PageControl1;
    QWidget *TabBase, *TabNet;
    QLabel *lbMan, *lbModel, *lbHardVer, *lbFirmVer, *lbImei, *lbBattery, *lbNet, *lbSignal;
    QPushButton *btnRefresh, *btnClose;

protected:
    void postShow() override;
    void cancelStep() override { btnCloseClick(); }

private:
    void refreshLocked();
    static void realWait(int ms);

    core::TManage &manage_;
    core::TCommMng &comm_;
    Wait wait_;
    bool refreshing_ = false;
    bool closeRequested_ = false;
    bool loaded_ = false;
};

} // namespace forms
