#include "content/qt/sms_view.h"

#include "content/qt/apply_menu.h"
#include "core/qt/menu_merge.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <algorithm>

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
    list_ = c_.ListView_sms;
    if (QTreeView *list = list_) {
        model_ = qobject_cast<SmsListModel *>(list->model());
        if (!model_) {
            model_ = new SmsListModel(list);
            list->setModel(model_);
            for (int i = 0; i < int(std::size(kSmsColumnWidths)); ++i)
                list->setColumnWidth(i, kSmsColumnWidths[i]);
        }
        model_->setStore(&core_);
        list->setColumnHidden(subItemColumn(kIdSubItem), true);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
    }
}

SmsView::~SmsView()
{
    if (model_)
        model_->setStore(nullptr);
}

void SmsView::setImages(QList<QIcon> images)
{
    images_ = std::move(images);
    if (model_)
        model_->setImages(images_);
}

int SmsView::ListedCount() const
{
    return model_ ? model_->rowCount() : 0;
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

bool SmsView::StoreOpened()
{
    if (!waitingForStore_)
        return false;
    waitingForStore_ = false;
    if (QTreeView *view = list_) {
        view->setEnabled(true);
        view->unsetCursor();
    }
    return true;
}

void SmsView::FillList(int box)
{
    QTreeView *view = list_;
    if (core_.opening()) {
        // Listing now would wait for the whole table: the list shows that it is coming instead.
        waitingForStore_ = true;
        if (model_)
            model_->clear();
        if (view) {
            view->setEnabled(false);
            view->setCursor(Qt::BusyCursor);
        }
        return;
    }
    StoreOpened();
    SmsIdList list = core_.ListIds(box);
    if (!view || !model_)
        return;
    model_->setListing(std::move(list));
    view->setColumnHidden(subItemColumn(kIdSubItem), true);
}

void SmsView::UpdateMenus(int box)
{
    const int items = ListedCount();
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
