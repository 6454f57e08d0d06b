// The message manager on the main window's controls: the box tree TreeView_sms, the list
// ListView_sms, the menus and the tool bar, all filled from the headless core (TSMSManage).
//
//   content::SmsControls c{.m_tool = mTool, .m_Edit = mEdit, .mSms = mSms, ...};
//   content::SmsView view(sms, c, &toolMenuMerge);   // builds the tree
//   view.FillList(box);
//   view.UpdateMenus(box);
//
// The list is a view over an SmsListModel (content/qt/sms_list_model.h): a box is listed as its
// message ids in one reset, and a row's texts are read from the core when it is shown, so the
// window paints at once and a long box costs a few bytes a message. The view's own model is used
// when it is an SmsListModel; otherwise the view gets one of its own.
//
// While the core's table is still being read (core.opening()), FillList does not wait for it: the
// list stays empty and disabled under a busy cursor, and waitingForStore() says so until
// StoreOpened() is called once the table is there (then the caller lists the box again).
//
// The tree's items carry their box id in data(0, kBoxIdRole). Tool-bar buttons are told apart by
// their "tag" property (on the action or on its button).
//
// User-interface thread only.
#pragma once

#include "content/qt/sms_list_model.h"
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
class QTreeView;
class QTreeWidget;

namespace core {
class MenuMerge;
}

namespace content {

// The property that carries a tool-bar button's tag.
inline constexpr const char *kTagProperty = "tag";

struct SmsControls {
    QMenu *m_tool = nullptr;        // the tool menu that shows mSms's commands
    QMenu *m_Edit = nullptr;
    QMenu *mSms = nullptr;
    QMenu *menu_tree_sms = nullptr;
    QMenu *menu_list_sms = nullptr;
    QToolBar *ToolBar_sms = nullptr;
    QTreeView *ListView_sms = nullptr;
    QTreeWidget *TreeView_sms = nullptr;
};

class SmsView {
public:
    // core, the controls and merge (the tool menu's merge, kept by the main window; may be null)
    // must outlive the view. Builds the box tree.
    SmsView(TSMSManage &core, const SmsControls &controls, core::MenuMerge *merge);
    ~SmsView();
    SmsView(const SmsView &) = delete;
    SmsView &operator=(const SmsView &) = delete;

    // The main window's picture list, by index (optional).
    void setImages(QList<QIcon> images);

    // Builds TreeView_sms again from the core's box tree.
    void buildTree();
    // Lists the box's messages in ListView_sms.
    void FillList(int box);
    // True while a list waits for the core's table to be read.
    bool waitingForStore() const { return waitingForStore_; }
    // The core's table is there: the list is usable again. True when a list was waiting.
    bool StoreOpened();
    // Rows in the list.
    int ListedCount() const;
    // Applies the core's menu state for box (-1: the box set last) and the number of listed
    // messages; then shows mSms's commands in the tool menu.
    void UpdateMenus(int box);

    TSMSManage &core() { return core_; }
    // The list's model (null without a list).
    SmsListModel *model() const { return model_; }

private:
    QIcon image(int index) const;

    TSMSManage &core_;
    SmsControls c_;
    core::MenuMerge *merge_;
    QList<QIcon> images_;
    QPointer<QTreeView> list_; // the list may go first (a window closed before its views)
    QPointer<SmsListModel> model_;
    bool waitingForStore_ = false;
};

} // namespace content
