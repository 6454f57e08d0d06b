// The message-box seam. Everything in the core that asks the user something (or tells them
// something they must acknowledge) goes through a Prompt, so the core runs headless in tests and
// the Qt side decides how a box looks.
//
//   int answer = prompt.show(text, caption, core::kMbYesNo | core::kMbIconQuestion);
//   if (answer == core::kIdYes) ...
//
// The flag and answer values are the ones the program's callers pass and compare with; keep them.
#pragma once

#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace core {

// Buttons (low nibble of the flags).
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbOkCancel = 0x01;
inline constexpr unsigned kMbYesNoCancel = 0x03;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbButtonMask = 0x0F;

// Icons (second nibble).
inline constexpr unsigned kMbIconError = 0x10; // also called "hand" / "stop"
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr unsigned kMbIconMask = 0xF0;

// Answers.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The common file dialogs: caption, the folder and file name to start from, and the filter in the
// dialogs' own form ("Contacts (*.csv);;All files (*)").
struct FileDialogSpec {
    std::string caption;
    std::string path;
    std::string filter;
    std::string defaultSuffix; // added to a typed name without one (save only)
};

struct FontSpec {
    std::string family;
    int pointSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const FontSpec &) const = default;
};

// What the print and page-setup dialogs edit; the forms apply it to their printer.
struct PrintSpec {
    std::string printerName;  // empty: the default printer
    std::string outputFile;   // not empty: print to this PDF file
    int copies = 1;
    int fromPage = 0;         // 0, 0: all pages
    int toPage = 0;
    bool landscape = false;
    std::string paperName;    // e.g. "A4"; empty: the printer's default
    double marginsMm[4] = {0, 0, 0, 0}; // left, top, right, bottom
    bool operator==(const PrintSpec &) const = default;
};

// Everything the program asks the user through a standard dialog. The message box is the one
// every implementer gives; the other dialogs answer "nothing chosen" unless an implementer shows
// them (the program's QtPrompt does; tests script them).
class Prompt {
public:
    virtual ~Prompt() = default;
    // Shows text with caption and the buttons and icon of flags; answers the button chosen
    // (closing the box counts as Cancel where there is one, else as the only / the "No" button).
    virtual int show(const std::string &text, const std::string &caption, unsigned flags) = 0;

    // A one-line input box; nothing when cancelled.
    virtual std::optional<std::string> inputBox(const std::string &caption, const std::string &label,
                                                const std::string &value)
    {
        (void)caption, (void)label, (void)value;
        return std::nullopt;
    }
    // File dialogs: the chosen path, nothing when cancelled.
    virtual std::optional<std::string> openFile(const FileDialogSpec &spec)
    {
        (void)spec;
        return std::nullopt;
    }
    virtual std::optional<std::string> saveFile(const FileDialogSpec &spec)
    {
        (void)spec;
        return std::nullopt;
    }
    // The font dialog, starting from current; nothing when cancelled.
    virtual std::optional<FontSpec> chooseFont(const FontSpec &current)
    {
        (void)current;
        return std::nullopt;
    }
    // The print and page-setup dialogs edit spec; false (spec untouched) when cancelled.
    virtual bool print(PrintSpec &spec)
    {
        (void)spec;
        return false;
    }
    virtual bool pageSetup(PrintSpec &spec)
    {
        (void)spec;
        return false;
    }
};

// The answer a box gives when nobody picks a button: its first button (OK or Yes).
int defaultAnswer(unsigned flags);

// A prompt for tests: records every box and answers from a script, then with defaultAnswer().
class RecordingPrompt : public Prompt {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned flags = 0;
        bool operator==(const Shown &) const = default;
    };

    int show(const std::string &text, const std::string &caption, unsigned flags) override;

    // Queues the answers for the next boxes, in order.
    void script(std::initializer_list<int> answers) { answers_.insert(answers_.end(), answers); }
    void answerNext(int answer) { answers_.push_back(answer); }

    const std::vector<Shown> &shown() const { return shown_; }
    // Texts of the boxes shown, in order.
    std::vector<std::string> texts() const;
    void clear() { shown_.clear(); answers_.clear(); }

private:
    std::vector<Shown> shown_;
    std::deque<int> answers_;
};

} // namespace core
