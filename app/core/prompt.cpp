#include "core/prompt.h"

namespace core {

int defaultAnswer(unsigned flags)
{
    switch (flags & kMbButtonMask) {
    case kMbYesNoCancel:
    case kMbYesNo:
        return kIdYes;
    default:
        return kIdOk;
    }
}

int RecordingPrompt::show(const std::string &text, const std::string &caption, unsigned flags)
{
    shown_.push_back({text, caption, flags});
    if (answers_.empty())
        return defaultAnswer(flags);
    int a = answers_.front();
    answers_.pop_front();
    return a;
}

std::vector<std::string> RecordingPrompt::texts() const
{
    std::vector<std::string> out;
    out.reserve(shown_.size());
    for (const Shown &s : shown_)
        out.push_back(s.text);
    return out;
}

} // namespace core
