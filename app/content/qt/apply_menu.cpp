#include "content/qt/apply_menu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace content {

namespace {

// The one forwarding link an item has; re-pointed by forwardTrigger.
class TriggerRelay : public QObject {
public:
    explicit TriggerRelay(QAction *item) : QObject(item)
    {
        connect(item, &QAction::triggered, this, [this] {
            if (target_)
                target_->trigger();
        });
    }
    QPointer<QAction> target_;
};

QAction *findIn(QMenu *menu, const QString &name, int depth)
{
    if (!menu || depth > 16)
        return nullptr;
    for (QAction *a : menu->actions()) {
        if (a->objectName() == name)
            return a;
        if (QAction *sub = findIn(a->menu(), name, depth + 1))
            return sub;
    }
    return nullptr;
}

} // namespace

QAction *findMenuAction(const QList<QMenu *> &menus, const QString &name)
{
    for (QMenu *m : menus)
        if (QAction *a = findIn(m, name, 0))
            return a;
    return nullptr;
}

void applyItemState(QAction *action, const ItemState &state)
{
    if (!action)
        return;
    if (state.shown)
        action->setVisible(*state.shown);
    if (state.enabled)
        action->setEnabled(*state.enabled);
}

void applyMenuState(const QList<QMenu *> &menus, const NamedMenuState &state)
{
    for (const auto &[name, item] : state)
        applyItemState(findMenuAction(menus, QString::fromStdString(name)), item);
}

void forwardTrigger(QAction *item, QAction *target)
{
    if (!item)
        return;
    TriggerRelay *relay = nullptr;
    for (QObject *child : item->children())
        if ((relay = dynamic_cast<TriggerRelay *>(child)))
            break;
    if (!relay)
        relay = new TriggerRelay(item);
    relay->target_ = target;
}

} // namespace content
