// TSWComboBox: an editable combo box that remembers the texts entered into it (the composer's
// recipient field). Its items are the history (see history.h), newest first.
//
// Typing shows the entries that start with the typed text (any letter case) in a completer popup;
// focus, text and caret stay in the edit, so typing goes on undisturbed. Enter adds no item, and the
// list does not drop down by itself otherwise.
//
// Filling the items (SetFilename, AddHistory) keeps the edit text, caret and selection as they are and
// raises no text or index signal: the composer reads the text right after AddHistory and counts any
// change as an edit by the user.
#pragma once

#include "controls/history/history.h"

#include <QComboBox>

class QCompleter;

namespace controls {

class TSWComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TSWComboBox(QWidget *parent = nullptr);

    const QString &Filename() const { return history_.Filename(); }
    // Loads the history file (a missing one gives an empty list) and shows it as the items. A file
    // that cannot be read gives an empty list and a failed answer (also logged).
    platform::FileResult SetFilename(const QString &name);

    int Maxrecord() const { return history_.Maxrecord(); }
    void SetMaxrecord(int n) { history_.SetMaxrecord(n); }

    // Records the current text (see History::AddHistory), closing any open list first. When the
    // text is new the items are refreshed, also when the save failed (answered and logged).
    History::AddResult AddHistory();

    const History &history() const { return history_; }
    // The popup that offers matching entries while typing.
    QCompleter *historyCompleter() const { return completer_; }

private:
    void closeLists();
    void replaceItems();

    History history_;
    QCompleter *completer_ = nullptr;
};

} // namespace controls
