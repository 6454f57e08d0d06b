// What every dialog of the program shares.
//
//  - Modal results are the program's: 1 OK, 2 Cancel, or whatever a form closes with (the progress
//    dialog closes with negative batch results). Escape, the title-bar close and reject() all run
//    the form's cancel step, which decides whether and how the dialog closes; by default it closes
//    with 2 (Qt's own reject would give 0, which no caller reads as "cancelled").
//  - postShow() runs after each show, from a zero-time single shot, so it runs inside the modal
//    loop that exec() has started (where the forms' 1 ms start-up timers belong).
//  - A form that takes window messages registers with the hub: attachMessages(); its id is what
//    it hands to the worker. A message still queued when the form goes is dropped.
//
//   class TfFoo : public forms::DialogBase {
//       void cancelStep() override { if (busy_) ...; else finish(forms::kMrCancel); }
//   };
#pragma once

#include "platform/qt/qt_window_messages.h"

#include <QDialog>

#include <memory>

namespace forms {

inline constexpr int kMrNone = 0;
inline constexpr int kMrOk = 1;
inline constexpr int kMrCancel = 2;

class DialogBase : public QDialog {
    Q_OBJECT
public:
    explicit DialogBase(QWidget *parent = nullptr);
    ~DialogBase() override;

    // Every way out that is not the form's own choice: Escape, the close button, reject().
    void reject() final;
    // Ends the modal loop with result (any value, negative ones included).
    void finish(int result);
    // The result the dialog closed with last (kMrNone while it has not closed).
    int modalResult() const { return result(); }

    // The window id messages to this form are posted to (kNoWindow before attachMessages()).
    platform::WindowId window() const { return registration_ ? registration_->id() : platform::kNoWindow; }

protected:
    // The cancel step; the default closes with kMrCancel.
    virtual void cancelStep() { finish(kMrCancel); }
    // Runs after each show, inside the modal loop.
    virtual void postShow() {}
    // A window message for this form (user-interface thread).
    virtual intptr_t windowMessage(uint32_t msg, intptr_t w, intptr_t l);

    // Registers the form as a window-message target with hub (once; the hub must outlive it).
    void attachMessages(platform::QtWindowMessages &hub);

    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    std::unique_ptr<platform::WindowRegistration> registration_;
};

} // namespace forms
