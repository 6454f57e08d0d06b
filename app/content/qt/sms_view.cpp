#include "content/qt/sms_view.h"

#include "content/qt/apply_menu.h"
#include "core/qt/menu_merge.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QTimer>
#include <QMenu>
#include <QToolBar>
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

// The event-loop side of a list filled in steps: the slice timer, a key in the list (it may move
// to the end or select all: every row must be there), and a clear from outside.
class SmsView::Filler : public QObject {
public:
    explicit Filler(SmsView &view) : view_(view)
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            view_.appendRows(SliceRows(view_.next_));
            if (!view_.Filling())
                timer_.stop();
        });
        if (QTreeWidget *list = view_.c_.ListView_sms) {
            list->installEventFilter(this);
            QObject::connect(list, &QObject::destroyed, this, [this] {
                view_.dropPending();
                view_.c_.ListView_sms = nullptr;
            });
            QObject::connect(list->model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
                if (!view_.ownClear_)
                    view_.dropPending();
            });
        }
    }
    void start() { timer_.start(); }
    void stop() { timer_.stop(); }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress && view_.Filling())
            view_.FinishList();
        return QObject::eventFilter(watched, e);
    }

private:
    SmsView &view_;
    QTimer timer_;
};

SmsView::SmsView(TSMSManage &core, const SmsControls &controls, core::MenuMerge *merge)
    : core_(core), c_(controls), merge_(merge)
{
    buildTree();
    filler_ = std::make_unique<Filler>(*this);
}

SmsView::~SmsView() = default;

int SmsView::ListedCount() const
{
    const int shown = c_.ListView_sms ? c_.ListView_sms->topLevelItemCount() : 0;
    return shown + int(pending_.size() - next_);
}

void SmsView::dropPending()
{
    filler_->stop();
    pending_.clear();
    pending_.shrink_to_fit();
    next_ = 0;
}

QTreeWidgetItem *SmsView::makeItem(const SmsListRow &r) const
{
    auto *item = new QTreeWidgetItem(QStringList{QString(), qs(r.Tel), qs(r.body), qs(r.time), QString::number(r.id)});
    item->setData(0, kImageRole, r.image);
    item->setData(0, kStateImageRole, r.stateImage);
    if (!images_.isEmpty())
        item->setIcon(0, image(r.image));
    return item;
}

void SmsView::appendRows(size_t n)
{
    QTreeWidget *view = c_.ListView_sms;
    if (!view || !Filling())
        return;
    const size_t end = std::min(pending_.size(), next_ + n);
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(end - next_));
    for (; next_ < end; ++next_)
        items.append(makeItem(pending_[next_]));
    // Rows go in at the end: the current row, the selection and the scroll position stay.
    const bool sorting = view->isSortingEnabled();
    view->setSortingEnabled(false);
    view->addTopLevelItems(items);
    view->setSortingEnabled(sorting);
    if (!Filling())
        dropPending();
}

void SmsView::FinishList()
{
    if (Filling())
        appendRows(pending_.size());
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
    if (QTreeWidget *view = c_.ListView_sms) {
        view->setEnabled(true);
        view->unsetCursor();
    }
    return true;
}

void SmsView::FillList(int box)
{
    dropPending();
    QTreeWidget *view = c_.ListView_sms;
    if (core_.opening()) {
        // Listing now would wait for the whole table: the list shows that it is coming instead.
        waitingForStore_ = true;
        if (view) {
            ownClear_ = true;
            view->clear();
            ownClear_ = false;
            view->setEnabled(false);
            view->setCursor(Qt::BusyCursor);
        }
        return;
    }
    StoreOpened();
    SmsList list = core_.FillList(box);
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
    ownClear_ = true;
    view->clear();
    ownClear_ = false;
    const size_t now = list.rows.size() <= kAtOnceRows ? list.rows.size() : kFirstRows;
    pending_ = std::move(list.rows);
    next_ = 0;
    appendRows(now);
    view->setUpdatesEnabled(true);
    if (Filling())
        filler_->start();
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
