// The message manager on the main window's controls: the box tree TreeView_sms, the list
// ListView_sms, the menus and the tool bar, all filled from the headless core (TSMSManage).
//
//   content::SmsControls c{.m_tool = mTool, .m_Edit = mEdit, .mSms = mSms, ...};
//   content::SmsView view(sms, c, &toolMenuMerge);   // builds the tree
//   view.FillList(box);
//   view.UpdateMenus(box);
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

class QAction;
class QMenu;
class QToolBar;
class QTreeWidget;

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
    // core, the controls and merge (the tool menu's merge, kept by the main window; may be null)
    // must outlive the view. Builds the box tree.
    SmsView(TSMSManage &core, const SmsControls &controls, core::MenuMerge *merge);

    // The main window's picture list, by index (optional).
    void setImages(QList<QIcon> images) { images_ = std::move(images); }

    // Builds TreeView_sms again from the core's box tree.
    void buildTree();
    // Fills ListView_sms with the box's messages, in one update.
    void FillList(int box);
    // Applies the core's menu state for box (-1: the box set last) and the number of listed
    // messages; then shows mSms's commands in the tool menu.
    void UpdateMenus(int box);

    TSMSManage &core() { return core_; }

private:
    QIcon image(int index) const;

    TSMSManage &core_;
    SmsControls c_;
    core::MenuMerge *merge_;
    QList<QIcon> images_;
};

} // namespace content
