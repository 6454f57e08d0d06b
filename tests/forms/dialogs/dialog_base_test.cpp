// What every dialog shares: the ways out, the step after showing, window messages; and the
// scripted answerer of the standard dialogs.

#include "forms/common/dialog_base.h"
#include "forms/support/forms_app.h"
#include "forms/support/message_recorder.h"
#include "forms/support/scripted_prompt.h"
#include "forms/support/when_modal.h"

#include <gtest/gtest-spi.h>

#include <QPushButton>
#include <QTest>

namespace forms_test {
namespace {

class Probe : public forms::DialogBase {
public:
    explicit Probe(MessageRecorder *messages = nullptr)
    {
        setObjectName("Probe");
        if (messages)
            attachMessages(messages->hub());
    }
    int cancels = 0;
    bool refuse = false; // the cancel step keeps the dialog open
    std::vector<std::string> steps;
    std::vector<intptr_t> got;

protected:
    void cancelStep() override
    {
        ++cancels;
        steps.push_back("cancel");
        if (!refuse)
            DialogBase::cancelStep();
    }
    void postShow() override { steps.push_back(QApplication::activeModalWidget() == this ? "postShow modal" : "postShow"); }
    intptr_t windowMessage(uint32_t msg, intptr_t w, intptr_t) override
    {
        got.push_back(w);
        if (msg == 77)
            finish(static_cast<int>(w));
        return w * 2;
    }
};

TEST(DialogBase, EveryWayOutRunsTheCancelStepAndGivesTwo)
{
    app();
    const std::vector<std::pair<std::string, std::function<void(QWidget *)>>> ways = {
        {"Escape", [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); }},
        {"close button", [](QWidget *w) { w->close(); }},
        {"reject", [](QWidget *w) { static_cast<QDialog *>(w)->reject(); }},
    };
    for (const auto &[name, way] : ways) {
        SCOPED_TRACE(name);
        Probe dlg;
        whenModal("Probe", way);
        EXPECT_EQ(dlg.exec(), 2);
        EXPECT_EQ(dlg.modalResult(), 2);
        EXPECT_EQ(dlg.cancels, 1);
        EXPECT_EQ(dlg.steps.front(), "postShow modal") << "the step after showing runs inside the modal loop";
    }
}

TEST(DialogBase, CancelStepMayKeepTheDialogOpen)
{
    app();
    Probe dlg;
    dlg.refuse = true;
    whenModal("Probe", [&](QWidget *w) {
        QTest::keyClick(w, Qt::Key_Escape);
        w->close();
        EXPECT_TRUE(w->isVisible());
        dlg.finish(-9);
    });
    EXPECT_EQ(dlg.exec(), -9);
    EXPECT_EQ(dlg.cancels, 2);
}

TEST(DialogBase, TakesWindowMessagesWhileItLives)
{
    app();
    MessageRecorder messages;
    platform::WindowId id;
    {
        Probe dlg(&messages);
        id = dlg.window();
        ASSERT_NE(id, platform::kNoWindow);
        EXPECT_EQ(messages.send(id, 1, 21, 0).value, 42);
        whenModal("Probe", [&](QWidget *) { messages.post(id, 77, 5, 0); });
        EXPECT_EQ(dlg.exec(), 5);
        messages.post(id, 1, 6, 0); // queued while the dialog still lives ...
    }
    QCoreApplication::processEvents(); // ... and dropped once it is gone
    EXPECT_FALSE(messages.post(id, 1, 7, 0));
    EXPECT_EQ(messages.count(1), 3);
}

TEST(ScriptedPrompt, AnswersFromTheScriptInOrder)
{
    ScriptedPrompt p;
    p.answerBox(core::kIdNo);
    p.answerInput(std::string("Alice"));
    p.answerOpen(std::nullopt);
    p.answerSave(std::string("/tmp/x.csv"));
    p.answerFont(core::FontSpec{"Arial", 10, true});
    core::PrintSpec ps;
    ps.copies = 3;
    p.answerPrint(ps);
    p.answerPageSetup(std::nullopt);
    EXPECT_EQ(p.show("Delete?", "Selvark", core::kMbYesNo), core::kIdNo);
    EXPECT_EQ(p.inputBox("Name", "Your name:", ""), "Alice");
    EXPECT_EQ(p.openFile(core::FileDialogSpec{"Open", "/tmp", "*.csv", ""}), std::nullopt);
    EXPECT_EQ(p.saveFile(core::FileDialogSpec{"Save", "/tmp", "*.csv", "csv"}), "/tmp/x.csv");
    EXPECT_EQ(p.chooseFont({}), (core::FontSpec{"Arial", 10, true}));
    core::PrintSpec edit;
    EXPECT_TRUE(p.print(edit));
    EXPECT_EQ(edit.copies, 3);
    EXPECT_FALSE(p.pageSetup(edit));
    EXPECT_EQ(edit.copies, 3) << "a cancelled dialog changes nothing";
    ASSERT_EQ(p.calls().size(), 7u);
    EXPECT_EQ(p.calls()[0].text, "Delete?");
    EXPECT_EQ(p.calls()[0].flags, core::kMbYesNo);
    EXPECT_EQ(p.calls()[1].text, "Your name:");
}

TEST(ScriptedPrompt, AnUnexpectedPromptFailsInsteadOfWaiting)
{
    int answer = 0;
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompt p;
            answer = p.show("Really?", "", core::kMbYesNoCancel);
        },
        "unexpected message box: \"Really?\"");
    EXPECT_EQ(answer, core::kIdCancel);
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompt p;
            p.answerBox(core::kIdOk);
            EXPECT_EQ(p.saveFile({"Save", "", "", ""}), std::nullopt);
            p.show("x", "", core::kMbOk);
        },
        "scripted next: message box");
    EXPECT_NONFATAL_FAILURE({ ScriptedPrompt p; p.answerBox(core::kIdOk); }, "never asked for");
}

TEST(WhenModal, FailsAndClosesWhenNoSuchDialogComesUp)
{
    app();
    Probe dlg;
    EXPECT_NONFATAL_FAILURE(
        {
            whenModal("SomethingElse", [](QWidget *) {}, 50);
            dlg.exec();
        },
        "no modal dialog \"SomethingElse\"");
}

} // namespace
} // namespace forms_test
