// The standard dialogs, scripted: what a test cannot click. Every prompt is recorded; each one
// takes the next scripted answer, which must be of its kind. A prompt nobody scripted (or of
// another kind) fails the test and is answered as if cancelled, so nothing waits for a click.
//
//   forms_test::ScriptedPrompt prompt;
//   prompt.answerBox(core::kIdOk);                 // the next message box answers OK
//   prompt.answerSave("/tmp/out.csv");             // then a save dialog answers this path
//   ... run the form ...
//   EXPECT_EQ(prompt.calls()[0].text, "...");      // and nothing scripted is left (checked at the end)
#pragma once

#include "core/prompt.h"

#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace forms_test {

class ScriptedPrompt final : public core::Prompt {
public:
    enum class Kind { Box, Input, Open, Save, Font, Print, PageSetup };

    struct Call {
        Kind kind = Kind::Box;
        std::string text;    // box text, input label, file dialog caption
        std::string caption; // box or input caption; the file dialog's start path
        unsigned flags = 0;  // box flags
    };

    ~ScriptedPrompt() override; // fails the test when scripted answers were left over

    // Scripting, in the order the prompts will come. Nothing (std::nullopt / false) = cancelled.
    void answerBox(int answer) { script_.push_back({Kind::Box, answer}); }
    void answerInput(std::optional<std::string> answer) { script_.push_back({Kind::Input, std::move(answer)}); }
    void answerOpen(std::optional<std::string> answer) { script_.push_back({Kind::Open, std::move(answer)}); }
    void answerSave(std::optional<std::string> answer) { script_.push_back({Kind::Save, std::move(answer)}); }
    void answerFont(std::optional<core::FontSpec> answer) { script_.push_back({Kind::Font, std::move(answer)}); }
    void answerPrint(std::optional<core::PrintSpec> answer) { script_.push_back({Kind::Print, std::move(answer)}); }
    void answerPageSetup(std::optional<core::PrintSpec> answer) { script_.push_back({Kind::PageSetup, std::move(answer)}); }

    const std::vector<Call> &calls() const { return calls_; }
    // Texts of the message boxes shown, in order.
    std::vector<std::string> boxTexts() const;
    size_t pending() const { return script_.size(); }

    // core::Prompt
    int show(const std::string &text, const std::string &caption, unsigned flags) override;
    std::optional<std::string> inputBox(const std::string &caption, const std::string &label,
                                        const std::string &value) override;
    std::optional<std::string> openFile(const core::FileDialogSpec &spec) override;
    std::optional<std::string> saveFile(const core::FileDialogSpec &spec) override;
    std::optional<core::FontSpec> chooseFont(const core::FontSpec &current) override;
    bool print(core::PrintSpec &spec) override;
    bool pageSetup(core::PrintSpec &spec) override;

private:
    using Answer = std::variant<int, std::optional<std::string>, std::optional<core::FontSpec>,
                                std::optional<core::PrintSpec>>;
    struct Scripted {
        Kind kind;
        Answer answer;
    };
    // The next answer when it is of kind; otherwise the test fails and nothing is answered.
    std::optional<Answer> next(Kind kind, const Call &call);

    std::deque<Scripted> script_;
    std::vector<Call> calls_;
};

} // namespace forms_test
