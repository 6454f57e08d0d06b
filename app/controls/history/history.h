// The history behind the recipient combo box: the texts entered most recently, newest first, kept in
// a small text file (`ini/SmsADRSFile.Vrk` under the program folder for the composer).
//
// The file holds one entry a line, each line ended by CR LF, newest first, in the local code page
// (UTF-8). Reading also takes LF-only lines (and a lone CR), a missing final line break and a UTF-8
// byte-order mark; blank lines are skipped, bytes that are not UTF-8 become U+FFFD and never end the
// read. Files above MaxFileBytes are not read.
//
// Failures are answers, never exceptions, and are logged (category "selvark.controls.history"):
//  - a failed load leaves the history empty. When something is at the path that could not be read
//    (too large, no read permission, damaged medium), later saves are held back until Filename is
//    set again, so a history we could not read is never replaced by a shorter one;
//  - a failed save keeps the new entry in memory. AddHistory is the first step of a send: the send
//    must go on.
// With an empty file name the history lives in memory only.
//
// Qt Core only (QString for the case-insensitive comparison of any letters); no QApplication needed.
// One thread at a time.
#pragma once

#include "platform/safe_file.h"

#include <QString>
#include <QStringList>

#include <cstddef>

namespace controls {

class History {
public:
    static constexpr int DefaultMaxrecord = 10;
    static constexpr size_t MaxFileBytes = 256 * 1024;

    enum class Added {
        Blank,   // empty or only blanks and control characters: nothing recorded
        Present, // already in the history (any letter case): kept in its place, file untouched
        New,     // put on top (the oldest dropped past Maxrecord) and saved
    };
    struct AddResult {
        Added added = Added::Blank;
        platform::FileResult saved; // the save's answer; ok when no save was due or tried
    };

    History() = default;

    // Newest first.
    const QStringList &entries() const { return entries_; }

    const QString &Filename() const { return filename_; }
    // Empties the history, loads `name` when it exists, then keeps the name. A missing file (or an
    // empty name) gives an empty history and an ok answer.
    platform::FileResult SetFilename(const QString &name);

    int Maxrecord() const { return maxrecord_; }
    void SetMaxrecord(int n) { maxrecord_ = n; }

    // Records `text`. A line break in it (CR LF, CR or LF) becomes one blank, so the file keeps one
    // entry a line. A new text goes on top; past Maxrecord the last entry is dropped (one entry per
    // call, so a longer loaded file keeps its length); then the history is saved.
    AddResult AddHistory(const QString &text);

    // The text as it is recorded (line breaks turned into blanks).
    static QString recorded(const QString &text);
    // True for a text that is empty or only blanks and control characters.
    static bool isBlank(const QString &text);
    // The file's entries; see the format above.
    static QStringList parse(const QByteArray &bytes);
    static QByteArray serialize(const QStringList &entries);

    // Tests inject failing or blocking system calls for the save; the table must outlive its use.
    void setFileOps(const platform::FileOps *ops) { ops_ = ops; }

private:
    platform::FileResult save();

    QStringList entries_;
    QString filename_;
    int maxrecord_ = DefaultMaxrecord;
    bool holdSaves_ = false;
    const platform::FileOps *ops_ = nullptr;
};

} // namespace controls
