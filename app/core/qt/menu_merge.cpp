#include "core/qt/menu_merge.h"

#include <QAction>
#include <QMenu>

namespace core {

namespace {

bool sameActions(const QList<QPointer<QAction>> &merged, const QList<QAction *> &now)
{
    if (merged.size() != now.size())
        return false;
    for (qsizetype i = 0; i < now.size(); ++i)
        if (merged[i] != now[i])
            return false;
    return true;
}

} // namespace

MenuMerge::~MenuMerge() { removeMerged(); }

void MenuMerge::removeMerged()
{
    if (target_) {
        for (const QPointer<QAction> &a : merged_)
            if (a)
                target_->removeAction(a);
    }
    merged_.clear();
    delete separator_; // also takes it out of the target
}

void MenuMerge::mergePopupItems(QMenu *target, QMenu *source)
{
    if (!target || !source)
        return;
    const QList<QAction *> actions = source->actions();
    if (target == target_ && source == source_ && separator_ && sameActions(merged_, actions))
        return; // already shown, and shared actions need no refresh

    removeMerged();
    target_ = target;
    source_ = source;

    // In front of the target's own first item.
    QAction *before = target->actions().isEmpty() ? nullptr : target->actions().first();
    separator_ = new QAction(target);
    separator_->setSeparator(true);
    target->insertAction(before, separator_);
    for (QAction *a : actions) {
        target->insertAction(separator_, a);
        merged_.append(a);
    }
}

} // namespace core
