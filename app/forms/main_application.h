// The program's QApplication: an exception that escapes an event handler is shown in a stop-icon
// box titled with the application title, and the program goes on.
//
//   forms::MainApplication app(argc, argv);
//   app.setPrompt(&prompt, manage.LangMng().... title);   // before the loop
#pragma once
#include <QApplication>

#include <string>

namespace core {
class Prompt;
}

namespace forms {

class MainApplication : public QApplication {
    Q_OBJECT
public:
    MainApplication(int &argc, char **argv);

    // The box that reports an escaped exception (null: written to stderr) and its title.
    void setPrompt(core::Prompt *prompt, std::string title);

    bool notify(QObject *receiver, QEvent *event) override;

    // How many exceptions were caught (for tests).
    int caughtCount() const { return caught_; }

private:
    void report(const std::string &what);

    core::Prompt *prompt_ = nullptr;
    std::string title_;
    int caught_ = 0;
    bool reporting_ = false;
};

} // namespace forms
