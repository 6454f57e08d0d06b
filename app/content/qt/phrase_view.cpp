#include "content/qt/phrase_view.h"

#include "content/qt/apply_menu.h"
#include "core/qt/menu_merge.h"
#include "platform/table.h"

#include <QAction>
#include <QMenu>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QTreeWidgetItem>

namespace content {

namespace {

// The edit menu's fifth and sixth items.
constexpr int kEditGroupDelete = 4;
constexpr int kEditGroupClear = 5;

QString qs(const std::string &s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
std::string utf8(const QString &s) { return s.toUtf8().toStdString(); }

} // namespace

PhraseView::PhraseView(TPhraseMng &core, const PhraseControls &controls, core::MenuMerge *merge)
    : core_(core), c_(controls), merge_(merge)
{
}

QIcon PhraseView::image(int index) const
{
    return index >= 0 && index < images_.size() ? images_[index] : QIcon();
}

void PhraseView::BuildTree()
{
    const PhraseTree t = core_.BuildTree();
    QTreeWidget *tree = c_.TreeView_usersms;
    if (!tree)
        return;
    // Rebuilding must not run the main window's selection handler for half-built trees.
    {
        const QSignalBlocker quiet(tree);
        tree->clear();
        tree->setHeaderHidden(true);
        auto *root = new QTreeWidgetItem(QStringList{qs(t.rootText)});
        root->setData(0, kImageRole, kPhraseRootImage);
        root->setIcon(0, image(kPhraseRootImage));
        QList<QTreeWidgetItem *> groups;
        groups.reserve(qsizetype(t.groups.size()));
        for (const std::string &g : t.groups) {
            auto *item = new QTreeWidgetItem(QStringList{qs(g)});
            item->setFlags(item->flags() | Qt::ItemIsEditable);
            item->setData(0, kImageRole, kPhraseGroupImage);
            item->setIcon(0, image(kPhraseGroupImage));
            groups.append(item);
        }
        root->addChildren(groups);
        tree->addTopLevelItem(root);
        root->setExpanded(true);
    }
    tree->setCurrentItem(tree->topLevelItem(0));
}

void PhraseView::applyMenus()
{
    applyMenuState({c_.menu_userview, c_.menu_treeuser}, core_.MenuState());
    if (c_.m_Edit) {
        const QList<QAction *> edit = c_.m_Edit->actions();
        const QList<QMenu *> own{c_.menu_treeuser, c_.menu_userview};
        const std::pair<int, const char *> taken[] = {{kEditGroupDelete, kPhraseGroupDeleteItem},
                                                      {kEditGroupClear, kPhraseGroupClearItem}};
        for (const auto &[index, name] : taken) {
            if (edit.size() <= index)
                continue;
            QAction *source = findMenuAction(own, QString::fromLatin1(name));
            if (source)
                edit[index]->setEnabled(source->isEnabled());
            forwardTrigger(edit[index], source);
        }
    }
    if (merge_ && c_.m_tool && c_.mUser)
        merge_->mergePopupItems(c_.m_tool, c_.mUser);
}

int PhraseView::FillList(const QString &group, QTreeWidget *list)
{
    applyMenus();
    const std::vector<PhraseRow> rows = core_.FillList(utf8(group));
    if (!list)
        return 0;
    if (list->columnCount() != kPhraseIdColumn + 1) {
        const bool fresh = list->columnCount() < kPhraseIdColumn;
        list->setColumnCount(kPhraseIdColumn + 1);
        if (fresh)
            for (int i = 0; i < kPhraseIdColumn; ++i)
                list->setColumnWidth(i, kPhraseColumnWidths[i]);
    }
    list->setColumnHidden(kPhraseIdColumn, true);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);

    list->setUpdatesEnabled(false);
    const bool sorting = list->isSortingEnabled();
    list->setSortingEnabled(false);
    list->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(rows.size()));
    const QIcon icon = image(kPhraseRowImage);
    for (const PhraseRow &r : rows) {
        auto *item = new QTreeWidgetItem(QStringList{qs(r.content), qs(r.recordTime),
                                                     QString::number(r.useCount),
                                                     QString::number(r.id)});
        item->setData(0, kImageRole, kPhraseRowImage);
        if (!icon.isNull())
            item->setIcon(0, icon);
        items.append(item);
    }
    list->addTopLevelItems(items);
    list->setSortingEnabled(sorting);
    list->setUpdatesEnabled(true);
    return int(items.size());
}

QString PhraseView::groupOf(const QTreeWidgetItem *item)
{
    return item && item->parent() ? item->text(0) : QString();
}

bool PhraseView::RenameGroup(QTreeWidgetItem *item, const QString &oldName)
{
    if (!item || !item->parent())
        return false;
    const bool renamed = core_.RenameGroup(utf8(oldName), utf8(item->text(0)));
    QTreeWidget *tree = item->treeWidget();
    const QSignalBlocker quiet(tree);
    if (!renamed) {
        item->setText(0, oldName);
        return false;
    }
    // The stored name may be cut to the table's size: show what is kept.
    std::string kept = utf8(item->text(0));
    platform::Table::cutToChars(kept, kPhraseGroupNameChars);
    item->setText(0, qs(kept));
    return true;
}

void PhraseView::DeleteSelectedGroup(QTreeWidget *list)
{
    QTreeWidgetItem *node = c_.TreeView_usersms ? c_.TreeView_usersms->currentItem() : nullptr;
    if (!node || !node->parent())
        return;
    core_.DeleteGroup(utf8(node->text(0)));
    if (list)
        list->clear();
    delete node;
}

void PhraseView::ClearSelectedGroup(QTreeWidget *list)
{
    QTreeWidgetItem *node = c_.TreeView_usersms ? c_.TreeView_usersms->currentItem() : nullptr;
    if (!node || !node->parent())
        return;
    core_.ClearGroup(utf8(node->text(0)));
    if (list)
        list->clear();
}

} // namespace content
