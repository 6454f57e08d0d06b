#include "forms/f_main.h"

#include "content/qt/pictures.h"

#include "content/contacts_view.h"
#include "content/env.h"
#include "content/phonebook_manage.h"
#include "content/phrase_mng.h"
#include "content/qt/apply_menu.h"
#include "content/qt/contacts_qt.h"
#include "content/qt/phrase_view.h"
#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "controls/navbar/nav_bar.h"
#include "core/app_manage.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "core/qt/form_translate.h"
#include "core/qt/form_widgets.h"
#include "forms/f_find.h"
#include "forms/f_main_inventory.h"
#include "platform/qt/qt_window_messages.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <tuple>

namespace forms {

namespace {

constexpr const char *kTag = content::kTagProperty;
constexpr int kStatusWidths[] = {150, 150, 100, 150, 200};

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

// A list in report form: whole rows, several of them, nothing edited in place.
void makeReportView(QTreeView *list)
{
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
}

// The contact list and tree: every drag they start names its origin in a format of our own, so a
// drop can tell our rows and nodes from anything another program or window offers. The origin
// travels with the data because a drag's source widget is known only inside the platform's drag
// loop.
class ContactDragView final : public QTreeWidget {
public:
    ContactDragView(QWidget *parent, QByteArray origin) : QTreeWidget(parent), origin_(std::move(origin)) {}

protected:
    QMimeData *mimeData(const QList<QTreeWidgetItem *> &items) const override
    {
        QMimeData *data = QTreeWidget::mimeData(items);
        if (data)
            data->setData(QString::fromLatin1(kContactDragFormat), origin_ + ' ' + objectName().toLatin1());
        return data;
    }

private:
    QByteArray origin_;
};

QTreeWidget *makeTree(const char *name, QWidget *parent, const QByteArray &dragOrigin = {})
{
    QTreeWidget *tree = dragOrigin.isEmpty() ? new QTreeWidget(parent) : new ContactDragView(parent, dragOrigin);
    tree->setObjectName(name);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->setMouseTracking(true); // hot tracking
    tree->setFrameShape(QFrame::NoFrame);
    return tree;
}

// The row the handlers act on: the current row when it is selected, else the first selected one;
// -1 when none. Reads the selection's ranges, not every row.
int selectedRow(const QAbstractItemView *list)
{
    const QItemSelectionModel *sel = list ? list->selectionModel() : nullptr;
    if (!sel)
        return -1;
    const QModelIndex cur = list->currentIndex();
    if (cur.isValid() && !cur.parent().isValid() && sel->isRowSelected(cur.row(), {}))
        return cur.row();
    int first = -1;
    for (const QItemSelectionRange &r : sel->selection())
        if (!r.parent().isValid() && (first < 0 || r.top() < first))
            first = r.top();
    return first;
}

// A page of the main panel's areas: named, tagged with its area, laid out in one margin-free
// column; answers the column.
QVBoxLayout *areaPage(QWidget *parent, const char *name, int tag)
{
    auto *page = new QWidget(parent);
    page->setObjectName(name);
    page->setProperty(kTag, tag);
    auto *lay = new QVBoxLayout(page);
    lay->setContentsMargins(0, 0, 0, 0);
    return lay;
}

} // namespace

int tagOf(const QObject *object)
{
    return object ? object->property(kTag).toInt() : 0;
}

TfMain::TfMain(core::TManage &manage, QWidget *parent) : QMainWindow(parent), manage_(manage)
{
    setObjectName("fMain");
    resize(800, 600);
    // Names this window in the drags of its contact views (see kContactDragFormat).
    dragOrigin_ = QByteArray::number(QCoreApplication::applicationPid()) + ':' +
                  QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    buildLayout();
    buildMenus();
    core::setFormFont(manage_.LangMng(), this);
    setWindowTitle(text("fMain_Caption"));
    core::translateForm(manage_.LangMng(), this, "fMain");
    FSortDir_ = 1;
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // The form sees keys before its controls do.
    qApp->installEventFilter(this);
    windowProc(WM_PHONE_DISCONNECTED, 0, 0);
}

TfMain::~TfMain()
{
    qApp->removeEventFilter(this);
    registration_.reset();
}

QString TfMain::text(const char *key) const
{
    return qs(manage_.LangMng().translate(key));
}

// ---- layout

void TfMain::buildLayout()
{
    auto *central = new QWidget(this);
    central->setObjectName("fMainClient");
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    dnbMain_ = new controls::TqvNavBar(central);
    dnbMain_->setObjectName("dnbMain");
    dnbMain_->beginLoading();
    dnbMain_->SetView(0);
    dnbMain_->setFrameStyle(QFrame::Box | QFrame::Plain);
    dnbMain_->setLineWidth(1);
    dnbMain_->SetDragDropFlags(controls::kNavBarAllDragDropFlags);
    struct GroupSpec {
        const char *name;
        const char *caption;
        int tag;
        bool visible;
    };
    const GroupSpec groups[] = {{"ngSms", "Message", kAreaSms, true},
                                {"ngCard", "Card", kAreaCard, true},
                                {"ngUser", "Phrase", kAreaUser, true},
                                {"ngLogo", "Logo", kAreaLogo, false},
                                {"ngRing", "Tone", kAreaRing, false}};
    for (const GroupSpec &g : groups) {
        controls::TqvNavBarGroup *group = dnbMain_->GroupsRef().Add();
        group->setObjectName(g.name);
        group->SetCaption(g.caption);
        group->SetExpanded(true);
        group->SetVisible(g.visible);
        group->SetTag(g.tag);
        group->SetShowControl(true);
        group->SetUseControl(true);
    }
    dnbMain_->SetActiveGroupIndex(0);
    dnbMain_->endLoading();
    // The group controls exist once loading has ended; each hosts its area's tree.
    for (int i = 0; i < dnbMain_->GroupsRef().Count(); ++i) {
        controls::TqvNavBarGroup *group = dnbMain_->GroupsRef().Items(i);
        QWidget *control = group->Control();
        if (!control)
            continue;
        const int tag = int(group->Tag());
        control->setProperty(kTag, tag);
        auto *lay = new QVBoxLayout(control);
        lay->setContentsMargins(0, 0, 0, 0);
        if (tag == kAreaSms)
            lay->addWidget(TreeView_sms_ = makeTree("TreeView_sms", control));
        else if (tag == kAreaCard)
            lay->addWidget(TreeView_cont_ = makeTree("TreeView_cont", control, dragOrigin_));
        else if (tag == kAreaUser)
            lay->addWidget(TreeView_usersms_ = makeTree("TreeView_usersms", control));
    }
    dnbMain_->setFixedWidth(kNavBarWidth);
    dnbMain_->OnActiveGroupChanged = [this](QObject *) { dnbMainActiveGroupChanged(); };
    row->addWidget(dnbMain_);

    TreeView_cont_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TreeView_cont_->setDragEnabled(true);
    TreeView_cont_->setAcceptDrops(true);
    TreeView_cont_->viewport()->setAcceptDrops(true);
    TreeView_cont_->setDragDropMode(QAbstractItemView::DragDrop);
    TreeView_cont_->viewport()->installEventFilter(this);
    TreeView_usersms_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    TreeView_usersms_->setAutoExpandDelay(500);

    auto *right = new QWidget(central);
    right->setObjectName("pRight");
    auto *col = new QVBoxLayout(right);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    row->addWidget(right, 1);

    BT_ = new QFrame(right);
    BT_->setObjectName("BT");
    BT_->setFrameShape(QFrame::HLine);
    BT_->setFrameShadow(QFrame::Sunken);
    BT_->setFixedHeight(2);
    BT_->hide();
    col->addWidget(BT_);

    pTool_ = new QWidget(right);
    pTool_->setObjectName("pTool");
    auto *tools = new QVBoxLayout(pTool_);
    tools->setContentsMargins(0, 0, 0, 0);
    for (auto [name, bar, tag] : {std::tuple{"cbsms", "ToolBar_sms", kAreaSms},
                                  std::tuple{"cbCont", "ToolBar_cont", kAreaCard},
                                  std::tuple{"dbUser", "tbUser", kAreaUser}}) {
        auto *cool = new QWidget(pTool_);
        cool->setObjectName(name);
        cool->setProperty(kTag, tag);
        auto *lay = new QHBoxLayout(cool);
        lay->setContentsMargins(0, 0, 0, 0);
        auto *tb = new QToolBar(cool);
        tb->setObjectName(bar);
        tb->setIconSize(QSize(16, 16));
        tb->setToolButtonStyle(Qt::ToolButtonIconOnly);
        lay->addWidget(tb);
        tools->addWidget(cool);
    }
    col->addWidget(pTool_);

    Panel1_ = new QLabel(right);
    Panel1_->setObjectName("Panel1");
    Panel1_->setFrameShape(QFrame::Panel);
    Panel1_->setFrameShadow(QFrame::Raised);
    Panel1_->setMinimumWidth(0);
    Panel1_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    col->addWidget(Panel1_);

    pMain_ = new QWidget(right);
    pMain_->setObjectName("pMain");
    auto *areas = new QVBoxLayout(pMain_);
    areas->setContentsMargins(0, 0, 0, 0);
    col->addWidget(pMain_, 1);

    // Messages: the list above a movable splitter, the preview below.
    QVBoxLayout *smsLay = areaPage(pMain_, "pSms", kAreaSms);
    QWidget *pSms = smsLay->parentWidget();
    smsSplitter_ = new QSplitter(Qt::Vertical, pSms);
    smsSplitter_->setObjectName("Splitter1");
    smsSplitter_->setChildrenCollapsible(false);
    ListView_sms_ = new QTreeView(smsSplitter_);
    ListView_sms_->setObjectName("ListView_sms");
    makeReportView(ListView_sms_);
    ListView_sms_->setModel(new content::SmsListModel(ListView_sms_));
    ListView_sms_->setColumnWidth(1, 120);
    ListView_sms_->setColumnWidth(2, 200);
    ListView_sms_->setColumnWidth(3, 145);
    ListView_sms_->setColumnHidden(content::subItemColumn(content::kIdSubItem), true);
    auto *panel4 = new QWidget(smsSplitter_);
    panel4->setObjectName("Panel4");
    auto *p4 = new QVBoxLayout(panel4);
    p4->setContentsMargins(2, 2, 2, 2);
    p4->setSpacing(2);
    label_smsinfo_ = new QLabel(panel4);
    label_smsinfo_->setObjectName("label_smsinfo");
    label_smsinfo_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    Memo_smstext_ = new QPlainTextEdit(panel4);
    Memo_smstext_->setObjectName("Memo_smstext");
    Memo_smstext_->setReadOnly(true);
    Memo_smstext_->setTabChangesFocus(true);
    p4->addWidget(label_smsinfo_);
    p4->addWidget(Memo_smstext_, 1);
    smsSplitter_->addWidget(ListView_sms_);
    smsSplitter_->addWidget(panel4);
    smsSplitter_->setStretchFactor(0, 3);
    smsSplitter_->setStretchFactor(1, 1);
    smsLay->addWidget(smsSplitter_);
    areas->addWidget(pSms);

    QVBoxLayout *cardLay = areaPage(pMain_, "pCard", kAreaCard);
    QWidget *pCard = cardLay->parentWidget();
    ListView_cont_ = new ContactDragView(pCard, dragOrigin_);
    ListView_cont_->setObjectName("ListView_cont");
    makeReportView(ListView_cont_);
    ListView_cont_->setDragEnabled(true);
    ListView_cont_->setDragDropMode(QAbstractItemView::DragOnly);
    // Column clicks are taken from the header's mouse events: every fill of the list turns the
    // header's own click handling off (the list does not sort itself).
    ListView_cont_->header()->viewport()->installEventFilter(this);
    cardLay->addWidget(ListView_cont_);
    areas->addWidget(pCard);

    QVBoxLayout *userLay = areaPage(pMain_, "pUser", kAreaUser);
    QWidget *pUser = userLay->parentWidget();
    ListView_usersms_ = new QTreeWidget(pUser);
    ListView_usersms_->setObjectName("ListView_usersms");
    makeReportView(ListView_usersms_);
    ListView_usersms_->setColumnCount(content::kPhraseIdColumn + 1);
    for (int i = 0; i < 3; ++i)
        ListView_usersms_->setColumnWidth(i, content::kPhraseColumnWidths[i]);
    ListView_usersms_->setColumnHidden(content::kPhraseIdColumn, true);
    userLay->addWidget(ListView_usersms_);
    areas->addWidget(pUser);

    for (auto [name, tag] : {std::pair{"pLogo", kAreaLogo}, std::pair{"pRing", kAreaRing}}) {
        auto *placeholder = new core::Panel(pMain_);
        placeholder->setObjectName(name);
        placeholder->setProperty(kTag, tag);
        placeholder->setFrameShape(QFrame::Panel);
        areas->addWidget(placeholder);
    }

    // Keyboard walk of the message area: bar tree, list, preview.
    setTabOrder(TreeView_sms_, ListView_sms_);
    setTabOrder(ListView_sms_, Memo_smstext_);

    setCentralWidget(central);

    QStatusBar *bar = statusBar();
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 5; ++i) {
        auto *label = new QLabel(bar);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        if (i < 4) {
            label->setFixedWidth(kStatusWidths[i]);
            bar->addWidget(label);
        } else {
            // The last panel is never written: it gives way on a narrow window.
            label->setMaximumWidth(kStatusWidths[i]);
            label->setMinimumWidth(0);
            bar->addWidget(label, 1);
        }
        status_.push_back(label);
    }

    // A tree of a hidden area gets a current node of its own accord (Qt sets one when the tree
    // first takes or loses the focus): it must not write its caption over the shown area's.
    // Switching to the area runs its handler anyway.
    connect(TreeView_sms_, &QTreeWidget::currentItemChanged, this, [this] {
        if (activeArea() == kAreaSms)
            TreeView_smsChange();
    });
    connect(ListView_sms_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ListView_smsClick(); });
    // A reset (another box listed, the list cleared) drops the selection without a signal: the
    // preview must not keep a message that is no longer listed.
    connect(ListView_sms_->model(), &QAbstractItemModel::modelReset, this, [this] { ListView_smsClick(); });
    connect(TreeView_cont_, &QTreeWidget::currentItemChanged, this, [this] {
        if (activeArea() == kAreaCard)
            TreeView_contChange();
    });
    connect(TreeView_usersms_, &QTreeWidget::currentItemChanged, this, [this] {
        if (activeArea() == kAreaUser)
            TreeView_usersmsChange();
    });

    dnbMainActiveGroupChanged();
}

void TfMain::buildMenus()
{
    menuBar()->setObjectName("Menu_Main");
    QHash<QString, QMenu *> menus;
    QHash<QString, QToolBar *> bars;
    for (QToolBar *tb : findChildren<QToolBar *>())
        bars.insert(tb->objectName(), tb);

    const auto addTo = [&](const MainItem &item, QAction *a) {
        const QString parent = QString::fromLatin1(item.parent);
        if (QMenu *m = menus.value(parent))
            m->addAction(a);
        else if (QToolBar *tb = bars.value(parent))
            tb->addAction(a);
    };
    for (const MainItem &item : mainInventory()) {
        const QString name = QString::fromLatin1(item.name);
        const QString parent = item.parent ? QString::fromLatin1(item.parent) : QString();
        switch (item.kind) {
        case MainItemKind::Menu: {
            QMenu *owner = menus.value(parent);
            auto *m = new QMenu(owner ? static_cast<QWidget *>(owner) : this);
            m->setObjectName(name);
            if (owner)
                owner->addMenu(m);
            else
                menuBar()->addMenu(m);
            m->menuAction()->setVisible(item.visible);
            m->menuAction()->setEnabled(item.enabled);
            m->setProperty(kTag, item.tag);
            menus.insert(name, m);
            break;
        }
        case MainItemKind::Popup: {
            auto *m = new QMenu(this);
            m->setObjectName(name);
            menus.insert(name, m);
            break;
        }
        case MainItemKind::Separator: {
            QObject *owner = menus.value(parent) ? static_cast<QObject *>(menus.value(parent))
                                                 : static_cast<QObject *>(bars.value(parent));
            auto *a = new QAction(owner ? owner : this);
            a->setObjectName(name);
            a->setSeparator(true);
            addTo(item, a);
            break;
        }
        case MainItemKind::ToolBar:
            break; // built with the layout
        case MainItemKind::Action:
        case MainItemKind::Button: {
            QObject *owner = menus.value(parent) ? static_cast<QObject *>(menus.value(parent))
                                                 : static_cast<QObject *>(bars.value(parent));
            auto *a = new QAction(owner ? owner : this);
            a->setObjectName(name);
            a->setProperty(kTag, item.tag);
            if (item.icon)
                a->setIcon(content::commandIcon(item.icon));
            a->setCheckable(item.checkable);
            a->setChecked(item.checked);
            a->setVisible(item.visible);
            a->setEnabled(item.enabled);
            if (item.shortcut) {
                a->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
                a->setShortcutContext(Qt::WindowShortcut);
                addAction(a); // reachable while the menu is closed
            }
            addTo(item, a);
            if (item.kind == MainItemKind::Button) {
                QToolBar *tb = bars.value(parent);
                if (auto *button = qobject_cast<QToolButton *>(tb ? tb->widgetForAction(a) : nullptr)) {
                    button->setProperty(kTag, item.tag);
                    if (item.dropDown) {
                        button->setMenu(menus.value(QString::fromLatin1(item.dropDown)));
                        button->setPopupMode(QToolButton::MenuButtonPopup);
                    }
                }
            }
            break;
        }
        }
    }

    // The handlers that belong to the window itself; the commands bind to the rest by name.
    for (const char *name : {"menu_tosms", "menu_tocont", "menu_touser", "N53", "menu_toring"})
        if (QAction *a = action(name))
            connect(a, &QAction::triggered, this, [this, a] { setActiveArea(tagOf(a)); });
    for (const char *name : {"tbSearch", "button_findcont", "m_find"})
        if (QAction *a = action(name))
            connect(a, &QAction::triggered, this, [this, a] {
                QObject *caller = a;
                for (QToolBar *tb : findChildren<QToolBar *>())
                    if (QWidget *w = tb->widgetForAction(a))
                        caller = w;
                tbSearchClick(caller);
            });
    if (QAction *f = action("m_Forward"))
        connect(f, &QAction::triggered, this, [this] { m_ForwardClick(); });
    if (QAction *b = action("m_Backward"))
        connect(b, &QAction::triggered, this, [this] { m_BackwardClick(); });

    // Pop-ups open where the tree or list was right-clicked, on the item under the mouse.
    const auto popup = [this](QTreeView *view, const char *menuName) {
        connect(view, &QWidget::customContextMenuRequested, this, [this, view, menuName](const QPoint &pos) {
            if (const QModelIndex at = view->indexAt(pos); at.isValid()) {
                if (!view->selectionModel()->isSelected(at))
                    view->setCurrentIndex(at);
            }
            if (QMenu *m = menu(menuName))
                m->popup(view->viewport()->mapToGlobal(pos));
        });
    };
    popup(TreeView_sms_, "menu_tree_sms");
    popup(ListView_sms_, "menu_list_sms");
    popup(TreeView_cont_, "menu_conttree");
    popup(ListView_cont_, "menu_contview");
    popup(TreeView_usersms_, "menu_treeuser");
    popup(ListView_usersms_, "menu_userview");
}

QLabel *TfMain::statusPanel(int index) const
{
    return index >= 0 && index < int(status_.size()) ? status_[size_t(index)] : nullptr;
}

QMenu *TfMain::menu(const QString &objectName) const
{
    return findChild<QMenu *>(objectName);
}

QAction *TfMain::action(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

QToolBar *TfMain::toolBar(const QString &objectName) const
{
    return findChild<QToolBar *>(objectName);
}

content::SmsListModel *TfMain::smsModel() const
{
    // Set when the list is made and never replaced.
    return static_cast<content::SmsListModel *>(ListView_sms_->model());
}

content::SmsControls TfMain::smsControls() const
{
    // No tool menu: the Tools menu keeps its tools, and the area's commands stay in its own menu.
    return {nullptr,       menu("m_Edit"),       menu("mSms"),  menu("menu_tree_sms"),
            menu("menu_list_sms"), toolBar("ToolBar_sms"), ListView_sms_, TreeView_sms_};
}

content::PhraseControls TfMain::phraseControls() const
{
    return {nullptr,               menu("m_Edit"),       menu("mUser"), menu("menu_treeuser"),
            menu("menu_userview"), toolBar("tbUser"), TreeView_usersms_};
}

QList<QIcon> TfMain::images() const { return content::pictureList(); }

void TfMain::setHooks(MainWindowHooks hooks)
{
    hooks_ = std::move(hooks);
}

void TfMain::attachContent(const MainContent &content)
{
    content_ = content;
}

platform::WindowId TfMain::registerWindow(platform::QtWindowMessages &hub)
{
    registration_.reset();
    registration_ = std::make_unique<platform::WindowRegistration>(
        hub, this, [this](uint32_t msg, intptr_t w, intptr_t l) { return windowProc(msg, w, l); });
    return registration_->id();
}

platform::WindowId TfMain::windowId() const
{
    return registration_ ? registration_->id() : platform::kNoWindow;
}

void TfMain::setFindDialog(TfFind *find)
{
    find_ = find;
}

TfFind *TfMain::findDialog()
{
    if (!find_) {
        if (!ownFind_)
            ownFind_ = std::make_unique<TfFind>(manage_, this);
        find_ = ownFind_.get();
    }
    return find_;
}

void TfMain::setStatus(int index, const QString &t)
{
    if (QLabel *l = statusPanel(index))
        l->setText(t);
}

// ---- window messages

intptr_t TfMain::windowProc(uint32_t msg, intptr_t w, intptr_t l)
{
    (void)l;
    switch (msg) {
    case WM_PHONE_CONNECTED:
        if (hooks_.SetConnected)
            hooks_.SetConnected(true);
        if (QAction *a = action("mConnect"))
            a->setEnabled(false);
        setStatus(0, text("fMain_Connected") + ": " + qs(manage_.ComType));
        setStatus(1, qs(manage_.PhoneMan) + " " + qs(manage_.PhoneModel));
        setStatus(2, text("fMain_Battery"));
        setStatus(3, QString());
        break;
    case WM_PHONE_DISCONNECTED: {
        const bool shown = isVisible();
        if (shown && hooks_.SetConnected)
            hooks_.SetConnected(false);
        if (QAction *a = action("mConnect"))
            a->setEnabled(true);
        setStatus(0, text("fMain_DisConnected"));
        setStatus(1, text("fMain_Manufacturer"));
        setStatus(2, text("fMain_Battery"));
        setStatus(3, QString());
        // A handset box's rows are gone with the handset; local boxes keep theirs.
        if (shown) {
            QTreeWidgetItem *node = TreeView_sms_->currentItem();
            if (node && node->data(0, content::kBoxIdRole).toInt() >= 7) {
                smsModel()->clear();
                refreshSmsCaption();
            }
        }
        break;
    }
    case WM_CONN_PARAMS_CHANGED:
        if (hooks_.UpdatePhoneInfo)
            hooks_.UpdatePhoneInfo();
        break;
    case WM_BATTERY_STATUS:
        setStatus(2, text("fMain_Battery") + ": " + QString::number(qlonglong(w)) + "%");
        break;
    case WM_PLUGIN_SCAN_INFO:
    default:
        break;
    }
    return 0;
}

// ---- areas

int TfMain::activeArea() const
{
    controls::TqvNavBarGroup *g = dnbMain_ ? dnbMain_->ActiveGroup() : nullptr;
    if (!g || !g->Control())
        return -1;
    return tagOf(g->Control());
}

void TfMain::setActiveArea(int area)
{
    const controls::TqvNavBarGroups &groups = dnbMain_->GroupsRef();
    for (int i = 0; i < groups.Count(); ++i) {
        controls::TqvNavBarGroup *g = groups.Items(i);
        if (g && g->Control() && tagOf(g->Control()) == area && g->Visible()) {
            dnbMain_->SetActiveGroupIndex(i);
            return;
        }
    }
}

void TfMain::dnbMainActiveGroupChanged()
{
    if (!pMain_ || !pTool_)
        return;
    const int area = activeArea();
    for (QWidget *panel : pMain_->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (panel->property(kTag).isValid())
            panel->setVisible(tagOf(panel) == area);
    for (QWidget *cool : pTool_->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (cool->property(kTag).isValid())
            cool->setVisible(tagOf(cool) == area);
    if (!isVisible() || area < 0)
        return;
    if (hooks_.SetActiveGroup)
        hooks_.SetActiveGroup(area);
    else
        manage_.ActiveGroup = uint8_t(area);
    // The caption line and the list follow the area's selected node.
    Panel1_->clear();
    switch (area) {
    case kAreaSms:
        TreeView_smsChange();
        break;
    case kAreaCard:
        TreeView_contChange();
        break;
    case kAreaUser:
        TreeView_usersmsChange();
        break;
    default:
        break;
    }
    mergeAreaMenus();
}

void TfMain::mergeAreaMenus()
{
    switch (manage_.ActiveGroup) {
    case kAreaSms:
        if (content_.smsView)
            content_.smsView->UpdateMenus(-1);
        break;
    case kAreaCard: {
        int book = 0;
        int32_t storage = 0;
        if (!content_.phoneBook || !content_.env)
            break;
        if (GetContNodeInfo(TreeView_cont_->currentItem(), book, storage)) {
            const QList<QMenu *> menus{menu("menu_conttree"), menu("menu_contview"), menu("mCont")};
            content::applyContactMenus(*content_.phoneBook, *content_.env, book, storage,
                                       ListView_cont_->topLevelItemCount(),
                                       int(ListView_cont_->selectedItems().size()), menus, toolBar("ToolBar_cont"));
        }
        break;
    }
    case kAreaUser:
        break;
    default:
        break;
    }
}

// ---- messages

void TfMain::refreshSmsCaption()
{
    QTreeWidgetItem *node = TreeView_sms_->currentItem();
    if (!node)
        return;
    if (content_.smsView && content_.smsView->waitingForStore()) {
        // No count yet: the messages are still being read.
        Panel1_->setText("  " + node->text(0) + "(" + text("fMain_Loading") + ")");
        return;
    }
    const int listed = smsModel()->rowCount();
    Panel1_->setText("  " + node->text(0) + "(" + QString::number(listed) + ")");
}

void TfMain::TreeView_smsChange()
{
    QTreeWidgetItem *node = TreeView_sms_->currentItem();
    if (!node || !content_.smsView)
        return;
    const int box = node->data(0, content::kBoxIdRole).toInt();
    content_.smsView->FillList(box);
    content_.smsView->UpdateMenus(box);
    refreshSmsCaption();
}

void TfMain::ListView_smsClick()
{
    content::SmsListModel *model = smsModel();
    const int row = selectedRow(ListView_sms_);
    if (row < 0) {
        Memo_smstext_->clear();
        QString none = text("fMain_NoValue");
        if (model->rowCount() > 0)
            none += " Selected";
        label_smsinfo_->setText(none);
        return;
    }
    if (!content_.sms)
        return;
    content::Ssms m;
    m.id = model->idAt(row);
    if (m.id < 0 || content_.sms->GetMessage(m) != 0)
        return;
    if ((m.boxid == 1 || m.boxid == 2 || m.boxid == 8 || m.boxid == 9) && m.states != 1) {
        // Read now: stored through the save path (for a handset box it changes the row only and
        // keeps the handset slot); the row's picture follows the stored state.
        m.states = 1;
        content::ArraySms one{m};
        content_.sms->SaveMessages(one);
        model->rowChanged(row);
    }
    const int status = (m.boxid == 5 || m.boxid == 6) ? 4 : int(m.states);
    const auto caption = [&](int column) { return model->headerData(column, Qt::Horizontal).toString(); };
    const QString blanks(5, u' ');
    label_smsinfo_->setText(caption(1) + ":" + model->textAt(row, content::subItemColumn(0)) + blanks + caption(3) +
                            ":" + model->textAt(row, content::subItemColumn(2)) + blanks + text("fMain_SmsStatusName") +
                            ":" + qs(manage_.LangMng().translate("fMain_SmsStrStatus" + std::to_string(status))));
    Memo_smstext_->clear();
    Memo_smstext_->setPlainText(model->textAt(row, content::subItemColumn(1)));
}

// ---- contacts

bool TfMain::GetContNodeInfo(const QTreeWidgetItem *node, int &book, int32_t &storage) const
{
    if (!node)
        return false;
    const QTreeWidgetItem *first = TreeView_cont_->topLevelItem(0);
    const int shift = (first && first->data(0, content::kStorageRole).toInt() != 0) ? 1 : 0;
    const QTreeWidgetItem *parent = node->parent();
    if (parent && !parent->parent()) {
        storage = node->data(0, content::kStorageRole).toInt();
        book = TreeView_cont_->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(parent)) + shift;
    } else {
        storage = 0;
        const int index = parent ? parent->indexOfChild(const_cast<QTreeWidgetItem *>(node))
                                 : TreeView_cont_->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(node));
        book = index + shift;
    }
    return true;
}

void TfMain::TreeView_contChange()
{
    QTreeWidgetItem *node = TreeView_cont_->currentItem();
    int book = 0;
    int32_t storage = 0;
    if (!GetContNodeInfo(node, book, storage) || !content_.phoneBook || !content_.env)
        return;
    content::TPhoneBookManage &pb = *content_.phoneBook;
    const std::optional<content::StorageCode> code = content::storageCodeOf(storage);
    if (code)
        content::fillContactList(ListView_cont_, content::FillList(pb, *content_.env, book, *code, contactListWidth()));
    else
        ListView_cont_->clear();
    if (manage_.ActiveGroup == kAreaCard)
        mergeAreaMenus();
    TreeView_cont_->viewport()->update();
    QString caption = "  " + node->text(0);
    if (code)
        caption += "(" + qs(pb.GetCountText(book, *code)) + ")";
    Panel1_->setText(caption);
    const content::SortState s = content::GetSortState(pb, book, storage);
    FSortColumn_ = s.column;
    if (s.direction != -100 && s.column != -100) {
        FSortDir_ = s.direction;
        sortContactList(s.column);
    }
}

void TfMain::ListView_contColumnClick(int column)
{
    // Another column starts ascending; the same column again turns the order round.
    if (column != FSortColumn_)
        FSortDir_ = 1;
    sortContactList(column);
}

void TfMain::sortContactList(int column)
{
    if (column < 0 || column >= ListView_cont_->columnCount())
        return;
    FSortColumn_ = column;
    const Qt::SortOrder order = FSortDir_ >= 0 ? Qt::AscendingOrder : Qt::DescendingOrder;
    // The rows compare by the header's sort column, so it is set first.
    ListView_cont_->header()->setSortIndicator(column, order);
    ListView_cont_->sortItems(column, order);
    int book = 0;
    int32_t storage = 0;
    if (content_.phoneBook && GetContNodeInfo(TreeView_cont_->currentItem(), book, storage))
        content::SetSortState(*content_.phoneBook, book, storage, FSortColumn_, FSortDir_);
    FSortDir_ = -FSortDir_;
}

int TfMain::contactListWidth() const
{
    // A list filled while its area is hidden has no width of its own yet: the area's is used.
    return std::max(ListView_cont_->viewport()->width(), pMain_->width() - 2 * ListView_cont_->frameWidth());
}

TfMain::ContactDragOrigin TfMain::contactDragOrigin(const QDropEvent *e) const
{
    // Only rows of the contact list and nodes of the contact tree of this window can be copied by
    // a drop; anything else (another program, another window, a plain text) is refused.
    const QMimeData *data = e ? e->mimeData() : nullptr;
    const QString format = QString::fromLatin1(kContactDragFormat);
    if (!data || !data->hasFormat(format) || dragOrigin_.isEmpty())
        return ContactDragOrigin::None;
    const QByteArray mark = data->data(format);
    if (mark.size() > 256 || !mark.startsWith(dragOrigin_ + ' '))
        return ContactDragOrigin::None;
    const QByteArray name = mark.mid(dragOrigin_.size() + 1);
    ContactDragOrigin origin = ContactDragOrigin::None;
    QObject *widget = nullptr;
    if (name == ListView_cont_->objectName().toLatin1()) {
        origin = ContactDragOrigin::List;
        widget = ListView_cont_;
    } else if (name == TreeView_cont_->objectName().toLatin1()) {
        origin = ContactDragOrigin::Tree;
        widget = TreeView_cont_;
    }
    // Inside a real drag loop the platform names the source widget as well: both must agree.
    if (e->source() && e->source() != widget)
        return ContactDragOrigin::None;
    return origin;
}

void TfMain::dropOnContactTree(QTreeWidgetItem *target, ContactDragOrigin origin)
{
    if (!target || !content_.phoneBook || origin == ContactDragOrigin::None)
        return;
    int srcBook = 0, tgtBook = 0;
    int32_t srcStorage = 0, tgtStorage = 0;
    if (!GetContNodeInfo(TreeView_cont_->currentItem(), srcBook, srcStorage) ||
        !GetContNodeInfo(target, tgtBook, tgtStorage))
        return;
    if (tgtStorage == 8)
        return;
    std::vector<int32_t> ids;
    if (origin == ContactDragOrigin::List) {
        for (int i = 0; i < ListView_cont_->topLevelItemCount(); ++i) {
            QTreeWidgetItem *row = ListView_cont_->topLevelItem(i);
            bool ok = false;
            const int id = row->text(0).toInt(&ok);
            if (row->isSelected() && ok)
                ids.push_back(id);
        }
        if (ids.empty())
            return; // nothing selected: never "the whole storage"
    }
    content_.phoneBook->CopyContacts(srcBook, srcStorage, ids, tgtStorage, tgtBook);
    emit contactsCopied();
}

// ---- phrases

void TfMain::TreeView_usersmsChange()
{
    QTreeWidgetItem *node = TreeView_usersms_->currentItem();
    if (!node || !content_.phraseView)
        return;
    const int n = content_.phraseView->FillList(content::PhraseView::groupOf(node), ListView_usersms_);
    Panel1_->setText("  " + node->text(0) + "(" + QString::number(n) + ")");
}

// ---- find

QTreeView *TfMain::areaList() const
{
    switch (manage_.ActiveGroup) {
    case kAreaSms:
        return ListView_sms_;
    case kAreaCard:
        return ListView_cont_;
    case kAreaUser:
        return ListView_usersms_;
    default:
        return nullptr;
    }
}

int TfMain::FindInList(const QString &t, bool forward, QTreeView *list)
{
    const std::string title = manage_.LangMng().translate("Application_Hite_title");
    if (t.isEmpty()) {
        manage_.ShowMessageBox(manage_.LangMng().translate("fMain_FindNoKey"), title, core::kMbOk);
        return -1;
    }
    QAbstractItemModel *model = list ? list->model() : nullptr;
    if (!model)
        return -1;
    const int rows = model->rowCount();
    const int columns = model->columnCount();
    const int at = selectedRow(list);
    const auto matches = [&](int row) {
        for (int c = 0; c < columns; ++c)
            if (!list->isColumnHidden(c) && model->index(row, c).data().toString().contains(t, Qt::CaseSensitive))
                return true;
        return false;
    };
    int found = -1;
    if (forward) {
        int start = at < 0 ? 0 : at + 1;
        if (start >= rows)
            start = 0;
        for (int i = start; i < rows && found < 0; ++i)
            if (matches(i))
                found = i;
    } else {
        int start = at < 0 ? rows - 1 : at - 1;
        if (start < 0)
            start = rows - 1;
        for (int i = start; i >= 0 && found < 0; --i)
            if (matches(i))
                found = i;
    }
    QItemSelectionModel *sel = list->selectionModel();
    if (found >= 0) {
        const QModelIndex item = model->index(found, 0);
        list->setFocus();
        sel->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list->scrollTo(item, QAbstractItemView::EnsureVisible);
        return found;
    }
    manage_.ShowMessageBox(manage_.LangMng().translate("fMain_FindNoFind") + " \"" + t.toStdString() + "\".", title,
                           core::kMbOk);
    if (rows > 0) {
        const QModelIndex first = model->index(0, 0);
        sel->select(first, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->scrollTo(first, QAbstractItemView::EnsureVisible);
    }
    return -1;
}

void TfMain::findFromDialog(bool onlyOnOk)
{
    TfFind *find = findDialog();
    QAction *back = action("m_Backward");
    find->setForward(!(back && back->isChecked()));
    const int result = find->exec();
    if (onlyOnOk ? result != TfFind::kResultOk : result == TfFind::kResultCancel)
        return;
    FindInList(find->text(), find->forward(), areaList());
}

void TfMain::tbSearchClick(QObject *sender)
{
    if (auto *button = qobject_cast<QToolButton *>(sender))
        button->setDown(false);
    findFromDialog(false);
}

void TfMain::m_ForwardClick()
{
    action("m_Forward")->setChecked(true);
    action("m_Backward")->setChecked(false);
    tbSearchClick(nullptr);
}

void TfMain::m_BackwardClick()
{
    action("m_Backward")->setChecked(true);
    action("m_Forward")->setChecked(false);
    tbSearchClick(nullptr);
}

void TfMain::findAgain()
{
    TfFind *find = findDialog();
    const QString t = find->text();
    if (t.isEmpty() || (manage_.ActiveGroup != kAreaSms && manage_.ActiveGroup != kAreaCard))
        return;
    FindInList(t, find->forward(), areaList());
}

// ---- events

void TfMain::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TfMain::FormShow()
{
    if (QTreeWidgetItem *first = TreeView_sms_->topLevelItem(0))
        TreeView_sms_->expandRecursively(TreeView_sms_->indexFromItem(first));
}

void TfMain::closeEvent(QCloseEvent *e)
{
    emptyTempFolder();
    QMainWindow::closeEvent(e);
}

void TfMain::emptyTempFolder()
{
    // Only the program folder's Temp, only plain files in it: a link (to a file or a folder) is
    // neither followed nor removed, and failures are left alone.
    namespace fs = std::filesystem;
    const std::string dir = manage_.TempDir();
    if (dir.empty())
        return;
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(dir, ec)))
        return;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code one;
        if (fs::is_regular_file(it->symlink_status(one)))
            fs::remove(it->path(), one);
    }
}

bool TfMain::eventFilter(QObject *watched, QEvent *e)
{
    if (TreeView_cont_ && watched == TreeView_cont_->viewport()) {
        switch (e->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *d = static_cast<QDropEvent *>(e);
            const ContactDragOrigin origin = contactDragOrigin(d);
            FDragFromList_ = origin == ContactDragOrigin::List;
            if (origin != ContactDragOrigin::None) {
                // The tree never moves its own nodes: the copy is the manager's.
                d->setDropAction(Qt::CopyAction);
                d->accept();
            } else {
                d->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto *d = static_cast<QDropEvent *>(e);
            const ContactDragOrigin origin = contactDragOrigin(d);
            QTreeWidgetItem *target = TreeView_cont_->itemAt(d->position().toPoint());
            if (origin == ContactDragOrigin::None) {
                d->ignore();
                return true;
            }
            d->setDropAction(Qt::CopyAction);
            d->accept();
            dropOnContactTree(target, origin);
            return true;
        }
        default:
            break;
        }
        return false;
    }

    if (ListView_cont_ && watched == ListView_cont_->header()->viewport()) {
        QHeaderView *header = ListView_cont_->header();
        if (e->type() == QEvent::MouseButtonPress) {
            auto *m = static_cast<QMouseEvent *>(e);
            pressedSection_ = m->button() == Qt::LeftButton ? header->logicalIndexAt(m->position().toPoint()) : -1;
        } else if (e->type() == QEvent::MouseButtonRelease) {
            auto *m = static_cast<QMouseEvent *>(e);
            const int section = header->logicalIndexAt(m->position().toPoint());
            // Not at the end of a resize: the cursor is then on a section edge, not where it was pressed.
            if (m->button() == Qt::LeftButton && section >= 0 && section == pressedSection_ &&
                header->viewport()->cursor().shape() != Qt::SplitHCursor)
                ListView_contColumnClick(section);
            pressedSection_ = -1;
        }
        return false;
    }

    if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || w->window() != this)
        return false;
    auto *k = static_cast<QKeyEvent *>(e);
    const Qt::KeyboardModifiers mods = k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (e->type() == QEvent::KeyPress) {
        if (k->isAutoRepeat())
            return false;
        // A key its receiver ignores is offered to each parent in turn, through this filter again:
        // the form acts on it once, for the receiver.
        // (QTest and the platform reuse one address for successive events: compare the key too.)
        if (e == keyActedOn_ && k->key() == keyActedKey_ && keyActedFor_ && w != keyActedFor_ &&
            w->isAncestorOf(keyActedFor_))
            return false;
        keyActedOn_ = e;
        keyActedKey_ = k->key();
        keyActedFor_ = w;
        if (mods == Qt::ControlModifier && k->key() == Qt::Key_F) {
            findFromDialog(true);
            return true;
        }
        // The form acts, then the key goes on to its receiver (the read-only preview still selects
        // and copies its own text); in the main window's lists the command is the key's whole meaning.
        const bool intoList = qobject_cast<QAbstractItemView *>(w) || qobject_cast<QAbstractItemView *>(w->parentWidget());
        if (mods == Qt::ControlModifier && k->key() == Qt::Key_A) {
            if (QTreeView *list = areaList()) {
                list->selectAll();
                return intoList;
            }
            return false;
        }
        if (mods == Qt::ControlModifier && manage_.ActiveGroup == kAreaCard) {
            const char *name = k->key() == Qt::Key_C ? "nCopy"
                               : k->key() == Qt::Key_X ? "nCut"
                               : k->key() == Qt::Key_V ? "nPaste"
                                                       : nullptr;
            if (name) {
                if (QAction *a = action(name))
                    a->trigger();
                return intoList;
            }
        }
        return false;
    }
    // Key releases: F3 searches again; Delete in a list runs that list's delete.
    if (k->isAutoRepeat())
        return false;
    if (k->key() == Qt::Key_F3 && mods == Qt::NoModifier) {
        findAgain();
        return true;
    }
    if (k->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
        const char *name = watched == ListView_sms_ ? "pSmsDel" : watched == ListView_cont_ ? "menu_delcont" : nullptr;
        if (name) {
            if (QAction *a = action(name))
                a->trigger();
            return true;
        }
    }
    return false;
}

} // namespace forms
