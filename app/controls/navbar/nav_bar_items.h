// The content of the navigation bar: groups, items and the links that place an item in a group,
// and the group control a group may show instead of links.
//
// An item exists once in the bar and appears in any number of groups through links. Groups and
// items are elements of the bar's owner-bound collections (nav_bar_collection.h); every change of
// a property that alters the picture is reported to the bar with a change kind. Setting a
// property to the value it holds does nothing.
//
// Removal: freeing an item deletes every link to it in every group of the same owner; freeing a
// style item unassigns it from every group and item; freeing a group frees its links and its group
// control; freeing a group control turns its group's UseControl off; freeing an item's action
// leaves the item without one. Links hold their item through a guarded pointer, so a link can never
// reach a freed item even across owners.
//
// Selection and scrolling: SelectedLinkIndex and TopVisibleLinkIndex are clamped to the links
// there are whenever they are set and whenever a link goes away; each change raises its event.
#pragma once

#include "controls/navbar/nav_bar_collection.h"
#include "controls/navbar/nav_bar_styles.h"

#include <QFrame>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

class QAction;

namespace controls {

class TqvNavBarGroup;
class TqvNavBarItem;
class TqvNavBarGroups;

class TqvNavBarItemLink {
public:
    TqvNavBarGroup *Group() const { return group_; }
    // nullptr once the item is gone.
    TqvNavBarItem *Item() const { return item_.data(); }
    // Reports kind 0 to the group.
    void SetItem(TqvNavBarItem *item);
    // Position among the group's links.
    int Index() const;
    // At its group's SelectedLinkIndex.
    bool IsSelected() const;

private:
    friend class TqvNavBarGroup;
    TqvNavBarItemLink(TqvNavBarGroup *group, TqvNavBarItem *item) : group_(group), item_(item) {}

    TqvNavBarGroup *group_;
    QPointer<TqvNavBarItem> item_;
};

class TqvNavBarGroupControl;

class TqvNavBarGroup : public TqvNavBarComponentCollectionItem {
    Q_OBJECT
public:
    explicit TqvNavBarGroup(QObject *owner = nullptr);
    ~TqvNavBarGroup() override;

    QString Caption() const { return caption_; }
    void SetCaption(const QString &v);
    bool Expanded() const { return expanded_; }
    void SetExpanded(bool v);
    QString Hint() const { return hint_; }
    void SetHint(const QString &v) { hint_ = v; }
    int LargeImageIndex() const { return largeImageIndex_; }
    void SetLargeImageIndex(int v);
    bool LinksUseSmallImages() const { return linksUseSmallImages_; }
    void SetLinksUseSmallImages(bool v);
    int SelectedLinkIndex() const { return selectedLinkIndex_; }
    // Clamped to -1 .. LinkCount - 1; a new value reports kind 2 and raises OnSelectedLinkChanged.
    void SetSelectedLinkIndex(int v);
    bool ShowAsIconView() const { return showAsIconView_; }
    void SetShowAsIconView(bool v);
    bool ShowControl() const { return showControl_; }
    void SetShowControl(bool v);
    bool ShowExpandButton() const { return showExpandButton_; }
    void SetShowExpandButton(bool v);
    int SmallImageIndex() const { return smallImageIndex_; }
    void SetSmallImageIndex(int v);
    TqvNavBarStyleItem *StyleBackground() const { return styleBackground_.data(); }
    void SetStyleBackground(TqvNavBarStyleItem *v) { setStyleRef(styleBackground_, v); }
    TqvNavBarStyleItem *StyleHeader() const { return styleHeader_.data(); }
    void SetStyleHeader(TqvNavBarStyleItem *v) { setStyleRef(styleHeader_, v); }
    TqvNavBarStyleItem *StyleHeaderActive() const { return styleHeaderActive_.data(); }
    void SetStyleHeaderActive(TqvNavBarStyleItem *v) { setStyleRef(styleHeaderActive_, v); }
    TqvNavBarStyleItem *StyleHeaderHotTracked() const { return styleHeaderHotTracked_.data(); }
    void SetStyleHeaderHotTracked(TqvNavBarStyleItem *v) { setStyleRef(styleHeaderHotTracked_, v); }
    TqvNavBarStyleItem *StyleHeaderPressed() const { return styleHeaderPressed_.data(); }
    void SetStyleHeaderPressed(TqvNavBarStyleItem *v) { setStyleRef(styleHeaderPressed_, v); }
    int TopVisibleLinkIndex() const { return topVisibleLinkIndex_; }
    // Negative values become 0, values not below LinkCount - 1 become LinkCount - 1 (-1 without
    // links); a new value reports kind 1 and raises OnTopVisibleLinkChanged.
    void SetTopVisibleLinkIndex(int v);
    bool UseControl() const { return useControl_; }
    void SetUseControl(bool v);
    bool UseSmallImages() const { return useSmallImages_; }
    void SetUseSmallImages(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);

    // The group control, or nullptr.
    TqvNavBarGroupControl *Control() const { return control_; }

    int LinkCount() const { return int(links_.size()); }
    // nullptr for an index out of range.
    TqvNavBarItemLink *Links(int index) const;
    // Adds a link to the item after the last one (kind 0) and returns it; nullptr for no item.
    TqvNavBarItemLink *CreateLink(TqvNavBarItem *item);
    // Frees the link at the index (nothing out of range).
    void RemoveLink(int index);
    // Moves one of this group's links to the index clamped to 0 .. LinkCount - 1 (kind 0); the
    // selection stays on the link it was on.
    void MoveLink(TqvNavBarItemLink *link, int index);
    int IndexOfLink(const TqvNavBarItemLink *link) const;

    // Copies every property and the links (to the same items) from source.
    void Assign(const TqvNavBarGroup &source);

    void Notification(QObject *removed) override;

    TNotifyEvent OnClick;
    TNotifyEvent OnCollapsed;
    TNotifyEvent OnExpanded;
    TNotifyEvent OnSelectedLinkChanged;
    TNotifyEvent OnTopVisibleLinkChanged;

protected:
    virtual void CreateGroupControl();
    virtual void DestroyGroupControl();

private:
    friend class TqvNavBarItemLink;
    friend class TqvNavBarGroupControl;
    void setStyleRef(QPointer<TqvNavBarStyleItem> &ref, TqvNavBarStyleItem *v);
    void linksChanged();
    void deleteLink(int index);
    void clampTopVisibleLinkIndex();
    void controlGone(TqvNavBarGroupControl *control);
    void nameChanged(const QString &name);
    TqvNavBarGroups *groups() const;

    QString caption_;
    TqvNavBarGroupControl *control_ = nullptr;
    bool expanded_ = true;
    QString hint_;
    int largeImageIndex_ = -1;
    std::vector<std::unique_ptr<TqvNavBarItemLink>> links_;
    bool linksUseSmallImages_ = true;
    int selectedLinkIndex_ = -1;
    bool showAsIconView_ = false;
    bool showControl_ = false;
    bool showExpandButton_ = true;
    int smallImageIndex_ = -1;
    QPointer<TqvNavBarStyleItem> styleBackground_, styleHeader_, styleHeaderActive_, styleHeaderHotTracked_,
        styleHeaderPressed_;
    int topVisibleLinkIndex_ = 0;
    bool useControl_ = false;
    bool useSmallImages_ = true;
    bool visible_ = true;
    QString name_; // the name before the latest rename
};

// The panel a group shows instead of links; it hosts ordinary widgets. It lives on the bar
// (ControlParent of the bar's sink) and is named after its group ("ngSms" -> "ngSmsControl").
//
// The height given to it from outside is recorded (OriginalHeight) and reported to the bar as
// kind 0; the bar's layout places it with PlaceControl, which keeps the recorded height and
// reports nothing. Qt cannot refuse a new parent: moved to any parent other than the bar, the
// control detaches from its group, whose UseControl turns off. Freed, it does the same.
class TqvNavBarGroupControl : public QFrame {
    Q_OBJECT
public:
    TqvNavBarGroupControl(TqvNavBarGroup *group, QWidget *bar);
    ~TqvNavBarGroupControl() override;

    // nullptr once detached.
    TqvNavBarGroup *Group() const { return group_; }
    int OriginalHeight() const { return originalHeight_; }
    // Sets the height recorded (a layout file restoring it); reports nothing.
    void SetOriginalHeight(int h) { originalHeight_ = h; }
    // The layout's placing operation: applies the rectangle, keeps the recorded height.
    virtual void PlaceControl(const QRect &r);

protected:
    bool event(QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    friend class TqvNavBarGroup;
    void flushPendingResize();
    void detach();

    TqvNavBarGroup *group_;
    QPointer<QWidget> bar_;
    int originalHeight_;
    bool placing_ = false;
};

class TqvNavBarItem : public TqvNavBarComponentCollectionItem {
    Q_OBJECT
public:
    explicit TqvNavBarItem(QObject *owner = nullptr);
    ~TqvNavBarItem() override;

    QString Caption() const { return caption_; }
    void SetCaption(const QString &v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    QString Hint() const { return hint_; }
    void SetHint(const QString &v) { hint_ = v; }
    int LargeImageIndex() const { return largeImageIndex_; }
    void SetLargeImageIndex(int v);
    int SmallImageIndex() const { return smallImageIndex_; }
    void SetSmallImageIndex(int v);
    TqvNavBarStyleItem *Style() const { return style_.data(); }
    void SetStyle(TqvNavBarStyleItem *v) { setStyleRef(style_, v); }
    TqvNavBarStyleItem *StyleDisabled() const { return styleDisabled_.data(); }
    void SetStyleDisabled(TqvNavBarStyleItem *v) { setStyleRef(styleDisabled_, v); }
    TqvNavBarStyleItem *StyleHotTracked() const { return styleHotTracked_.data(); }
    void SetStyleHotTracked(TqvNavBarStyleItem *v) { setStyleRef(styleHotTracked_, v); }
    TqvNavBarStyleItem *StylePressed() const { return stylePressed_.data(); }
    void SetStylePressed(TqvNavBarStyleItem *v) { setStyleRef(stylePressed_, v); }
    bool Visible() const { return visible_; }
    void SetVisible(bool v);

    // The action the item follows: its text gives Caption, its enabled state Enabled, its tool tip
    // Hint, its visibility Visible and its integer property "imageIndex" both image indexes.
    // Taking an action copies every value (while the bar is loading, only where the item still
    // holds its initial value); later action changes reach a value only while the item holds what
    // the action had (the value is taken from the action).
    QAction *Action() const { return action_.data(); }
    void SetAction(QAction *action);
    // Which values are taken from the action; a layout file writes only the others.
    enum ActionValue { avCaption, avEnabled, avHint, avImageIndex, avVisible };
    bool IsTakenFromAction(ActionValue v) const;
    // End of the bar's loading: an item with an action takes the values it has not set itself.
    void Loaded();

    // Copies every property (and the action) from source.
    void Assign(const TqvNavBarItem &source);

    void Notification(QObject *removed) override;

    TNotifyEvent OnClick;

    static int ActionImageIndex(const QAction *action);

private:
    struct ActionValues {
        QString caption;
        bool enabled = true;
        QString hint;
        int imageIndex = -1;
        bool visible = true;
    };
    static ActionValues valuesOf(const QAction *action);
    void setStyleRef(QPointer<TqvNavBarStyleItem> &ref, TqvNavBarStyleItem *v);
    void updateFromAction(bool checkDefaults);
    void actionChanged();
    void attachAction(QAction *action);
    void releaseAction();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void nameChanged(const QString &name);

    QString caption_;
    bool enabled_ = true;
    QString hint_;
    int largeImageIndex_ = -1;
    int smallImageIndex_ = -1;
    QPointer<TqvNavBarStyleItem> style_, styleDisabled_, styleHotTracked_, stylePressed_;
    bool visible_ = true;
    QPointer<QAction> action_;
    ActionValues actionSeen_; // the action's values as the item last saw them
    QList<QMetaObject::Connection> actionConnections_;
    QString name_;
};

class TqvNavBarGroups : public TqvNavBarComponentCollection {
public:
    using TqvNavBarComponentCollection::TqvNavBarComponentCollection;
    // Frees the groups while the link handler can still hear of their links.
    ~TqvNavBarGroups() override { FreeAll(); }

    TqvNavBarGroup *Add();
    TqvNavBarGroup *Items(int index) const { return static_cast<TqvNavBarGroup *>(Item(index)); }
    // Clears this collection and adds a copy of each of source's groups.
    void Assign(const TqvNavBarGroups &source);

private:
    friend class TqvNavBarGroup;
    // The link handler: every link created or freed in any group, also inside an update.
    void LinkChanged(TqvNavBarItemLink *link, bool removed);
};

class TqvNavBarItems : public TqvNavBarComponentCollection {
public:
    using TqvNavBarComponentCollection::TqvNavBarComponentCollection;

    TqvNavBarItem *Add();
    TqvNavBarItem *Items(int index) const { return static_cast<TqvNavBarItem *>(Item(index)); }
    void Assign(const TqvNavBarItems &source);
};

} // namespace controls
