#include "controls/history/sw_combo_box.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QSignalBlocker>

namespace controls {

TSWComboBox::TSWComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // A popup completer rather than showPopup(): the combo's own list takes keyboard focus, and
    // the inline completion Qt installs by default would write past the caret.
    completer_ = new QCompleter(model(), this);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setFilterMode(Qt::MatchStartsWith);
    completer_->setModelSorting(QCompleter::UnsortedModel);
    setCompleter(completer_);
    setEditText(QString());
}

platform::FileResult TSWComboBox::SetFilename(const QString &name)
{
    platform::FileResult r = history_.SetFilename(name);
    replaceItems();
    return r;
}

History::AddResult TSWComboBox::AddHistory()
{
    const QString text = currentText();
    if (History::isBlank(text))
        return {};
    closeLists();
    History::AddResult r = history_.AddHistory(text);
    if (r.added == History::Added::New)
        replaceItems();
    return r;
}

void TSWComboBox::closeLists()
{
    hidePopup();
    if (QAbstractItemView *popup = completer_->popup(); popup && popup->isVisible())
        popup->hide();
}

void TSWComboBox::replaceItems()
{
    // Emptying and refilling an editable combo box moves its current item and rewrites the edit
    // text on the way; put the edit back as it was, unseen by anyone listening.
    QLineEdit *edit = lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    const int selStart = edit->selectionStart();
    const int selLength = edit->selectionLength();
    const bool modified = edit->isModified();

    const QSignalBlocker blockCombo(this);
    const QSignalBlocker blockEdit(edit);
    clear();
    addItems(history_.entries());
    setCurrentIndex(-1);
    if (edit->text() != text)
        edit->setText(text);
    if (selLength > 0) {
        // Keep the selection's direction: the caret stays at the end it was at.
        if (cursor == selStart)
            edit->setSelection(selStart + selLength, -selLength);
        else
            edit->setSelection(selStart, selLength);
    } else {
        edit->setCursorPosition(cursor);
    }
    edit->setModified(modified);
}

} // namespace controls
