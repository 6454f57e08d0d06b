// The phrase manager on the main window's controls: the group tree TreeView_usersms, a phrase
// list (the main window's or the picker's), the phrase menus and the tool menu, all filled from
// the headless core (TPhraseMng).
//
//   content::PhraseControls c{.m_tool = mTool, .m_Edit = mEdit, .mUser = mUser, ...};
//   content::PhraseView view(phrases, c, &toolMenuMerge);   // the manager's Init
//   view.BuildTree();                                      // when the phrase area is shown
//   view.FillList(groupOf(tree->currentItem()), ListView_usersms);
//
// The tree's root carries the text of "Phrase_Cpation" and picture 1 (data(0, kImageRole)); its
// children are the groups in table order, editable in place (RenameGroup() takes the edit back
// when the core refuses the name). A list row shows Content, then the sub-items RecordTime,
// UseCount and the phrase id (sub-item 2, a hidden column), picture 2. Nothing here loads the
// tables before the tree or a list asks for them.
//
// User-interface thread only.
#pragma once

#include "content/phrase_mng.h"
#include "content/qt/sms_view.h" // kImageRole, shared by the content lists

#include <QIcon>
#include <QList>
#include <QString>
#include <Qt>

class QAction;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace core {
class MenuMerge;
}

namespace content {

// The list's column of the phrase id (sub-item 2).
inline constexpr int kPhraseIdColumn = 3;
// Widths of the shown columns of a list that has none yet: Content, Record Time, Use Times.
inline constexpr int kPhraseColumnWidths[] = {365, 150, 80};

struct PhraseControls {
    QMenu *m_tool = nullptr;        // the tool menu that shows mUser's commands
    QMenu *m_Edit = nullptr;        // items 5 and 6 act as nGrpDel and npClear
    QMenu *mUser = nullptr;
    QMenu *menu_treeuser = nullptr; // holds nGrpDel and npClear
    QMenu *menu_userview = nullptr; // holds npPaste
    QToolBar *tbUser = nullptr;
    QTreeWidget *TreeView_usersms = nullptr;
};

class PhraseView {
public:
    // core, the controls and merge (the tool menu's merge, kept by the main window; may be null)
    // must outlive the view.
    PhraseView(TPhraseMng &core, const PhraseControls &controls, core::MenuMerge *merge);

    // The main window's picture list, by index (optional).
    void setImages(QList<QIcon> images) { images_ = std::move(images); }

    // Rebuilds TreeView_usersms: the root and one child per group; the root is selected and
    // expanded.
    void BuildTree();
    // Applies the menu state, then fills list with the group's phrases (cut ones left out) in one
    // update. An empty or unknown group gives an empty list. Answers the number of rows listed.
    int FillList(const QString &group, QTreeWidget *list);

    // The group an item of the tree stands for: its text for a group, empty for the root.
    static QString groupOf(const QTreeWidgetItem *item);
    // After an in-place edit of a group item: renames the group, or puts oldName back when the
    // new name is empty or taken. True when the group was renamed.
    bool RenameGroup(QTreeWidgetItem *item, const QString &oldName);
    // The delete and clear commands for the selected group (nothing on the root): the group and
    // its node go, or its phrases; the list is emptied either way.
    void DeleteSelectedGroup(QTreeWidget *list);
    void ClearSelectedGroup(QTreeWidget *list);

    TPhraseMng &core() { return core_; }

private:
    QIcon image(int index) const;
    void applyMenus();

    TPhraseMng &core_;
    PhraseControls c_;
    core::MenuMerge *merge_;
    QList<QIcon> images_;
};

} // namespace content
