// The language manager: finds the language files of the program folder, loads one into a sorted
// table and answers text lookups by key. Every text the user sees comes through translate().
//
//   core::TLangMng lang(platform::programDir(), &prompt);
//   lang.setLanguage("English");
//   label->setText(lang.translate("fSet_lblPort"));
//
// A language file is Language/<name>.dat beside the program, a table-engine file with the text
// fields Name (50 characters, the key, indexed) and Value (200 characters). The folder and file
// names are matched without regard to case. Keys compare byte-wise and case-sensitively.
//
// A lookup that finds no key (or finds no language loaded) answers an empty text and is counted in
// the missed-key recorder, which tests read and a debug build prints when the manager goes away.
//
// User-interface thread only.
#pragma once

#include "platform/table.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

class Prompt;

inline constexpr int kLangFailed = -94;
inline constexpr uint32_t kLangKeyChars = 50;
inline constexpr uint32_t kLangValueChars = 200;
// The folder beside the program that holds the language files, and their extension.
inline constexpr std::string_view kLanguageFolder = "Language";
inline constexpr std::string_view kLanguageExt = ".dat";
// The box shown when a language file cannot be loaded.
inline constexpr std::string_view kInvalidLanguageFile = "Invalid language file.";

// An empty language table (fields Name and Value, index on Name): the layout both the loader and
// the build tool use.
platform::Table makeLanguageTable();

class TLangMng {
public:
    // Scans <programDir>/Language for *.dat files, keeps the names of those that load (sorted) and
    // loads the first. prompt (may be null: the text then goes to stderr) shows load failures;
    // it must outlive the manager.
    explicit TLangMng(std::string programDir, Prompt *prompt = nullptr);
    ~TLangMng();
    TLangMng(const TLangMng &) = delete;
    TLangMng &operator=(const TLangMng &) = delete;

    // Names (file names without ".dat") of the language files that loaded at creation, sorted.
    const std::vector<std::string> &languages() const { return languages_; }
    // The current language's name; empty when none is loaded.
    const std::string &currentLanguage() const { return current_; }

    // Loads the language `name` (a name already ending in ".dat" is taken as the file name).
    // 0 when loaded; kLangFailed (-94) when name is the current one (nothing is read again) or the
    // file cannot be loaded ("Invalid language file." is shown; the previous language stays
    // current and keeps answering).
    int setLanguage(const std::string &name);

    // The text of key in the current language; empty when absent or no language is loaded.
    std::string translate(std::string_view key) const;

    // Number of rows of the current language.
    size_t size() const { return records_.size(); }

    // --- missed-key recorder ---
    // Keys looked up without being found, with how often.
    const std::map<std::string, int, std::less<>> &missedKeys() const { return missed_; }
    void clearMissedKeys() { missed_.clear(); }

    void setPrompt(Prompt *prompt) { prompt_ = prompt; }
    const std::string &languageFolder() const { return folder_; }

private:
    using Record = std::pair<std::string, std::string>;

    void scan();
    // Reads the language file for name into out (sorted); false (out untouched) on failure.
    bool readLanguage(const std::string &name, std::vector<Record> &out) const;
    std::string pathOf(const std::string &name) const;
    void reportInvalid() const;

    std::string programDir_;
    std::string folder_; // <programDir>/Language as found on disk
    Prompt *prompt_ = nullptr;
    std::vector<std::string> languages_;
    std::string current_;
    std::vector<Record> records_; // sorted by key, byte-wise; equal keys in file order
    mutable std::map<std::string, int, std::less<>> missed_;
};

} // namespace core
