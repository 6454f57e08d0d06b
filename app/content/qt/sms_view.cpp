#include "content/qt/sms_view.h"

#include "content/qt/apply_menu.h"
#include "core/qt/menu_merge.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItem>

namespace content {

namespace {

QString qs(const std::string &s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

void setEnabledIf(QAction *a, const ItemState &s)
{
    if (a && s.enabled)
        a->setEnabled(*s.enabled);
}

} // namespace

SmsView::SmsView(TSMSManage &core, const SmsControls &controls, core::MenuMerge *merge)
    : core_(core), c_(controls), merge_(merge)
{
    buildTree();
}

QIcon SmsView::image(int index) const
{
    return index >= 0 && index < images_.size() ? images_[index] : QIcon();
}

void SmsView::buildTree()
{
    QTreeWidget *tree = c_.TreeView_sms;
    if (!tree)
        return;
    tree->clear();
    tree->setHeaderHidden(true);
    for (const BoxNode &top : core_.boxTree()) {
        auto *node = new QTreeWidgetItem(tree, QStringList{qs(top.text)});
        node->setData(0, kBoxIdRole, top.id);
        node->setIcon(0, image(top.id));
        for (const BoxNode &child : top.children) {
            auto *item = new QTreeWidgetItem(node, QStringList{qs(child.text)});
            item->setData(0, kBoxIdRole, child.id);
            item->setIcon(0, image(child.id));
        }
        node->setExpanded(top.expanded);
    }
}

void SmsView::FillList(int box)
{
    const SmsList list = core_.FillList(box);
    QTreeWidget *view = c_.ListView_sms;
    if (!view)
        return;
    const int shown = int(list.columns.size());
    const int all = subItemColumn(kIdSubItem) + 1;
    if (view->columnCount() < 3 || view->columnCount() != all) {
        const bool fresh = view->columnCount() < 3;
        view->setColumnCount(all);
        if (fresh)
            for (int i = 0; i < shown; ++i)
                view->setColumnWidth(i, kSmsColumnWidths[i]);
    }
    view->setColumnHidden(subItemColumn(kIdSubItem), true);
    QStringList captions;
    for (const std::string &c : list.columns)
        captions << qs(c);
    captions << QString();
    view->setHeaderLabels(captions);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);

    view->setUpdatesEnabled(false);
    const bool sorting = view->isSortingEnabled();
    view->setSortingEnabled(false);
    view->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(list.rows.size()));
    const bool haveImages = !images_.isEmpty();
    for (const SmsListRow &r : list.rows) {
        auto *item = new QTreeWidgetItem(QStringList{QString(), qs(r.Tel), qs(r.body), qs(r.time),
                                                     QString::number(r.id)});
        item->setData(0, kImageRole, r.image);
        item->setData(0, kStateImageRole, r.stateImage);
        if (haveImages)
            item->setIcon(0, image(r.image));
        items.append(item);
    }
    view->addTopLevelItems(items);
    view->setSortingEnabled(sorting);
    view->setUpdatesEnabled(true);
}

void SmsView::UpdateMenus(int box)
{
    const int items = c_.ListView_sms ? c_.ListView_sms->topLevelItemCount() : 0;
    const SmsMenuState s = core_.UpdateMenus(box, items);
    applyMenuState({c_.menu_list_sms, c_.menu_tree_sms}, s.named);

    if (c_.m_Edit) {
        const QList<QAction *> edit = c_.m_Edit->actions();
        for (int i = 0; i < edit.size(); ++i)
            setEnabledIf(edit[i], s.editItem(i));
        const QList<QMenu *> own{c_.menu_list_sms, c_.menu_tree_sms};
        if (edit.size() > kEditDeleteIndex)
            forwardTrigger(edit[kEditDeleteIndex], findMenuAction(own, kEditDeleteSource));
        if (edit.size() > kEditClearIndex)
            forwardTrigger(edit[kEditClearIndex], findMenuAction(own, kEditClearSource));
    }
    if (c_.mSms) {
        const QList<QAction *> sub = c_.mSms->actions();
        for (int i = 0; i < sub.size(); ++i)
            setEnabledIf(sub[i], s.smsMenuItem(i));
    }
    if (c_.ToolBar_sms) {
        for (QAction *a : c_.ToolBar_sms->actions()) {
            QVariant tag = a->property(kTagProperty);
            QWidget *button = c_.ToolBar_sms->widgetForAction(a);
            if (!tag.isValid() && button)
                tag = button->property(kTagProperty);
            bool ok = false;
            const int t = tag.toInt(&ok);
            if (!tag.isValid() || !ok)
                continue;
            const ItemState st = s.toolButton(t);
            if (!st.enabled)
                continue;
            a->setEnabled(*st.enabled);
            if (button)
                button->setEnabled(*st.enabled);
        }
    }
    if (merge_ && c_.m_tool && c_.mSms)
        merge_->mergePopupItems(c_.m_tool, c_.mSms);
}

} // namespace content
