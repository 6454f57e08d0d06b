#include "forms/support/scripted_prompt.h"

#include <gtest/gtest.h>

namespace forms_test {

namespace {

const char *kindName(ScriptedPrompt::Kind k)
{
    switch (k) {
    case ScriptedPrompt::Kind::Box: return "message box";
    case ScriptedPrompt::Kind::Input: return "input box";
    case ScriptedPrompt::Kind::Open: return "open dialog";
    case ScriptedPrompt::Kind::Save: return "save dialog";
    case ScriptedPrompt::Kind::Font: return "font dialog";
    case ScriptedPrompt::Kind::Print: return "print dialog";
    case ScriptedPrompt::Kind::PageSetup: return "page-setup dialog";
    }
    return "?";
}

// What closing the box without a button gives: Cancel, else No, else OK.
int escapeAnswer(unsigned flags)
{
    switch (flags & core::kMbButtonMask) {
    case core::kMbOkCancel:
    case core::kMbYesNoCancel: return core::kIdCancel;
    case core::kMbYesNo: return core::kIdNo;
    default: return core::kIdOk;
    }
}

} // namespace

ScriptedPrompt::~ScriptedPrompt()
{
    EXPECT_TRUE(script_.empty()) << script_.size() << " scripted answer(s) never asked for, the first for a "
                                 << kindName(script_.front().kind);
}

std::vector<std::string> ScriptedPrompt::boxTexts() const
{
    std::vector<std::string> out;
    for (const Call &c : calls_)
        if (c.kind == Kind::Box)
            out.push_back(c.text);
    return out;
}

std::optional<ScriptedPrompt::Answer> ScriptedPrompt::next(Kind kind, const Call &call)
{
    calls_.push_back(call);
    if (script_.empty() || script_.front().kind != kind) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << ": \"" << call.text << "\" (caption \"" << call.caption
                      << "\")"
                      << (script_.empty() ? std::string(", nothing scripted")
                                          : std::string(", scripted next: ") + kindName(script_.front().kind));
        return std::nullopt;
    }
    Answer a = std::move(script_.front().answer);
    script_.pop_front();
    return a;
}

int ScriptedPrompt::show(const std::string &text, const std::string &caption, unsigned flags)
{
    auto a = next(Kind::Box, {Kind::Box, text, caption, flags});
    return a ? std::get<int>(*a) : escapeAnswer(flags);
}

std::optional<std::string> ScriptedPrompt::inputBox(const std::string &caption, const std::string &label,
                                                    const std::string &)
{
    auto a = next(Kind::Input, {Kind::Input, label, caption, 0});
    return a ? std::get<std::optional<std::string>>(*a) : std::nullopt;
}

std::optional<std::string> ScriptedPrompt::openFile(const core::FileDialogSpec &spec)
{
    auto a = next(Kind::Open, {Kind::Open, spec.caption, spec.path, 0});
    return a ? std::get<std::optional<std::string>>(*a) : std::nullopt;
}

std::optional<std::string> ScriptedPrompt::saveFile(const core::FileDialogSpec &spec)
{
    auto a = next(Kind::Save, {Kind::Save, spec.caption, spec.path, 0});
    return a ? std::get<std::optional<std::string>>(*a) : std::nullopt;
}

std::optional<core::FontSpec> ScriptedPrompt::chooseFont(const core::FontSpec &current)
{
    auto a = next(Kind::Font, {Kind::Font, current.family, {}, 0});
    return a ? std::get<std::optional<core::FontSpec>>(*a) : std::nullopt;
}

bool ScriptedPrompt::print(core::PrintSpec &spec)
{
    auto a = next(Kind::Print, {Kind::Print, spec.printerName, spec.outputFile, 0});
    if (!a || !std::get<std::optional<core::PrintSpec>>(*a))
        return false;
    spec = *std::get<std::optional<core::PrintSpec>>(*a);
    return true;
}

bool ScriptedPrompt::pageSetup(core::PrintSpec &spec)
{
    auto a = next(Kind::PageSetup, {Kind::PageSetup, spec.paperName, {}, 0});
    if (!a || !std::get<std::optional<core::PrintSpec>>(*a))
        return false;
    spec = *std::get<std::optional<core::PrintSpec>>(*a);
    return true;
}

} // namespace forms_test
