#include "forms/main_application.h"

#include "core/prompt.h"

#include <cstdio>
#include <exception>

namespace forms {

MainApplication::MainApplication(int &argc, char **argv) : QApplication(argc, argv) {}

void MainApplication::setPrompt(core::Prompt *prompt, std::string title)
{
    prompt_ = prompt;
    title_ = std::move(title);
}

bool MainApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        report(e.what());
    } catch (...) {
        report("Unknown error");
    }
    return false;
}

void MainApplication::report(const std::string &what)
{
    ++caught_;
    // A box shown while reporting runs its own loop; a second escape there is only counted.
    if (reporting_ || !prompt_) {
        std::fprintf(stderr, "%s: %s\n", title_.c_str(), what.c_str());
        return;
    }
    reporting_ = true;
    try {
        prompt_->show(what, title_, core::kMbOk | core::kMbIconError);
    } catch (...) {
        std::fprintf(stderr, "%s: %s\n", title_.c_str(), what.c_str());
    }
    reporting_ = false;
}

} // namespace forms
