// The message manager on the main window's controls: the box tree TreeView_sms, the list
// ListView_sms, the menus and the tool bar, all filled from the headless core (TSMSManage).
//
//   content::SmsControls c{.m_tool = mTool, .m_Edit = mEdit, .mSms = mSms, ...};
//   content::SmsView view(sms, c, &toolMenuMerge);   // builds the tree
//   view.FillList(box);
//   view.UpdateMenus(box);
//
// A long list is filled in steps: FillList puts the first rows in at once and the rest follows
// from the event loop, a slice at a time, so the window paints and answers while the list grows.
// FinishList puts in what is still waiting (a command that walks every row calls it first, and so
// does a key pressed in the list); ListedCount counts the waiting rows too. Clearing the list from
// outside drops what is waiting.
//
// While the core's table is still being read (core.opening()), FillList does not wait for it: the
// list stays empty and disabled under a busy cursor, and waitingForStore() says so until
// StoreOpened() is called once the table is there (then the caller lists the box again).
//
// The tree's items carry their box id in data(0, kBoxIdRole). The list is a QTreeWidget in report
// form: column 0 holds the picture (data(0, kImageRole) and kStateImageRole, and the icon from
// the image list when one is set), sub-item k is column k + 1: Tel, body, time, and the message id
// in sub-item 3, a hidden column. Tool-bar buttons are told apart by their "tag" property (on the
// action or on its button).
//
// User-interface thread only.
#pragma once

#include "content/sms_manage.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <Qt>

#include <memory>
#include <vector>

class QAction;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace core {
class MenuMerge;
}

namespace content {

inline constexpr int kBoxIdRole = Qt::UserRole;
inline constexpr int kImageRole = Qt::UserRole + 1;
inline constexpr int kStateImageRole = Qt::UserRole + 2;
// The list's column of sub-item k.
constexpr int subItemColumn(int k) { return k + 1; }
inline constexpr int kIdSubItem = 3;
// The property that carries a tool-bar button's tag.
inline constexpr const char *kTagProperty = "tag";

struct SmsControls {
    QMenu *m_tool = nullptr;        // the tool menu that shows mSms's commands
    QMenu *m_Edit = nullptr;
    QMenu *mSms = nullptr;
    QMenu *menu_tree_sms = nullptr;
    QMenu *menu_list_sms = nullptr;
    QToolBar *ToolBar_sms = nullptr;
    QTreeWidget *ListView_sms = nullptr;
    QTreeWidget *TreeView_sms = nullptr;
};

class SmsView {
public:
    // Rows a list puts in at once; a longer list puts in kFirstRows at once and the rest in slices
    // from the event loop: kSliceRows, or an eighth of the rows already in when that is more.
    // A shown list lays every row out again after each slice, so slices of a fixed size would
    // make a long fill grow with the square of its rows.
    static constexpr size_t kAtOnceRows = 2000;
    static constexpr size_t kFirstRows = 200;
    static constexpr size_t kSliceRows = 2000;
    static constexpr size_t SliceRows(size_t rowsIn) { return rowsIn / 8 > kSliceRows ? rowsIn / 8 : kSliceRows; }

    // core, the controls and merge (the tool menu's merge, kept by the main window; may be null)
    // must outlive the view. Builds the box tree.
    SmsView(TSMSManage &core, const SmsControls &controls, core::MenuMerge *merge);
    ~SmsView();
    SmsView(const SmsView &) = delete;
    SmsView &operator=(const SmsView &) = delete;

    // The main window's picture list, by index (optional).
    void setImages(QList<QIcon> images) { images_ = std::move(images); }

    // Builds TreeView_sms again from the core's box tree.
    void buildTree();
    // Fills ListView_sms with the box's messages: a short list in one update, a long one in steps.
    void FillList(int box);
    // Puts in every row still waiting.
    void FinishList();
    // True while a list waits for the core's table to be read.
    bool waitingForStore() const { return waitingForStore_; }
    // The core's table is there: the list is usable again. True when a list was waiting.
    bool StoreOpened();
    // Rows still waiting to be put in.
    bool Filling() const { return next_ < pending_.size(); }
    // Rows in the list plus the rows still waiting.
    int ListedCount() const;
    // Applies the core's menu state for box (-1: the box set last) and the number of listed
    // messages; then shows mSms's commands in the tool menu.
    void UpdateMenus(int box);

    TSMSManage &core() { return core_; }

private:
    class Filler;
    QIcon image(int index) const;
    QTreeWidgetItem *makeItem(const SmsListRow &r) const;
    // Appends up to n of the waiting rows.
    void appendRows(size_t n);
    void dropPending();

    TSMSManage &core_;
    SmsControls c_;
    core::MenuMerge *merge_;
    QList<QIcon> images_;
    std::vector<SmsListRow> pending_; // the rows of the listing not yet put in, from next_
    size_t next_ = 0;
    bool ownClear_ = false;
    bool waitingForStore_ = false;
    std::unique_ptr<Filler> filler_;
};

} // namespace content
