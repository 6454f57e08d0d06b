// The main window: the navigation bar with the three area trees, the area panels and tool bars,
// the lists and the message preview, the status bar, every menu, pop-up and tool button (built
// from the inventory of forms/f_main_inventory.h), and the window messages of the worker.
//
//   forms::TfMain main(manage);                           // texts, font, settings, state
//   main.setHooks({.SetConnected = ..., .SetActiveGroup = ..., .UpdatePhoneInfo = ...});
//   main.registerWindow(hub);                             // the worker's window-message target
//   main.attachContent({.sms = &sms, .smsView = &smsView, ...});   // after the managers exist
//   main.show();
//
// Every menu item, pop-up item and tool button is a QAction found by its object name
// (main.findChild<QAction *>("pSmsDel")); its Tag is the integer QObject property "tag"
// (content::kTagProperty; forms::tagOf reads it). Tool buttons are actions of their tool bar.
// Panels and cool bars carry their area in the same property.
//
// Lists are tree views in report form (row selection, several rows, read-only): the message list
// ListView_sms a view over content::SmsListModel, the others QTreeWidgets. Hidden keys live in
// item data and hidden columns as the content views put them (content/qt/sms_list_model.h,
// contacts_qt.h, phrase_view.h).
//
// User-interface thread only.
#pragma once
#include "core/qt/menu_merge.h"
#include "platform/window_messages.h"

#include <QMainWindow>
#include <QMenu> // core::MenuMerge needs the whole class
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QDropEvent;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace controls {
class TqvNavBar;
}
namespace core {
class TManage;
}
namespace platform {
class QtWindowMessages;
class WindowRegistration;
}
namespace content {
class Env;
class TSMSManage;
class SmsListModel;
class SmsView;
class TPhoneBookManage;
class TPhraseMng;
class PhraseView;
struct SmsControls;
struct PhraseControls;
}

namespace forms {

class TfFind;

// Window-message numbers the main window handles.
inline constexpr uint32_t WM_PHONE_CONNECTED = 1125;
inline constexpr uint32_t WM_PHONE_DISCONNECTED = 1126;
inline constexpr uint32_t WM_PLUGIN_SCAN_INFO = 1133;
inline constexpr uint32_t WM_CONN_PARAMS_CHANGED = 1134;
inline constexpr uint32_t WM_BATTERY_STATUS = 1174;

// Areas, as the groups' controls, panels and cool bars carry them in their "tag".
inline constexpr int kAreaSms = 0;
inline constexpr int kAreaCard = 1;
inline constexpr int kAreaUser = 2;
inline constexpr int kAreaLogo = 3;
inline constexpr int kAreaRing = 4;

// The format the contact list and tree add to every drag they start: "<origin> <widget name>", the
// origin being a token of the window (process id and a random part), the name "ListView_cont" or
// "TreeView_cont". The contact tree takes a drop only when it carries its own window's origin.
inline constexpr char kContactDragFormat[] = "application/x-selvark-contact-drag";

// Width of the navigation bar.
inline constexpr int kNavBarWidth = 139;

// The integer "tag" of an object (0 when it has none).
int tagOf(const QObject *object);

// What the window calls into the application manager's stages (the program sets them; a hook left
// empty is skipped).
struct MainWindowHooks {
    std::function<void(bool connected)> SetConnected;
    std::function<void(int area)> SetActiveGroup;
    std::function<void()> UpdatePhoneInfo;
};

// The content managers and their views, created after the window (they are initialised over its
// controls). Each must outlive the window or be detached (attachContent({})) before it goes.
struct MainContent {
    content::Env *env = nullptr;
    content::TSMSManage *sms = nullptr;
    content::SmsView *smsView = nullptr;
    content::TPhoneBookManage *phoneBook = nullptr;
    content::TPhraseMng *phrases = nullptr;
    content::PhraseView *phraseView = nullptr;
};

class TfMain : public QMainWindow {
    Q_OBJECT
public:
    // manage gives texts, font, settings and the state the window reads (ActiveGroup, Connected,
    // PhoneMan, PhoneModel, ComType); it must outlive the window. The window starts in the
    // disconnected state, message area active.
    explicit TfMain(core::TManage &manage, QWidget *parent = nullptr);
    ~TfMain() override;
    TfMain(const TfMain &) = delete;
    TfMain &operator=(const TfMain &) = delete;

    void setHooks(MainWindowHooks hooks);
    void attachContent(const MainContent &content);
    const MainContent &content() const { return content_; }

    // Registers the window as a window-message target; the id goes to the worker and the catalogue
    // scan. The registration ends with the window (or a later call). Answers the id.
    platform::WindowId registerWindow(platform::QtWindowMessages &hub);
    platform::WindowId windowId() const;
    // The window procedure (also for tests and send()): answers 0.
    intptr_t windowProc(uint32_t msg, intptr_t w, intptr_t l);

    // The find dialog kept for the run; the program may hand one in, else the window makes its
    // own on first use. The window does not own one handed in.
    void setFindDialog(TfFind *find);
    TfFind *findDialog();

    // --- controls the managers are initialised over ---
    controls::TqvNavBar *dnbMain() const { return dnbMain_; }
    QTreeWidget *TreeView_sms() const { return TreeView_sms_; }
    QTreeWidget *TreeView_cont() const { return TreeView_cont_; }
    QTreeWidget *TreeView_usersms() const { return TreeView_usersms_; }
    QTreeView *ListView_sms() const { return ListView_sms_; }
    content::SmsListModel *smsModel() const;
    QTreeWidget *ListView_cont() const { return ListView_cont_; }
    QTreeWidget *ListView_usersms() const { return ListView_usersms_; }
    QLabel *label_smsinfo() const { return label_smsinfo_; }
    QPlainTextEdit *Memo_smstext() const { return Memo_smstext_; }
    QLabel *Panel1() const { return Panel1_; }
    QSplitter *smsSplitter() const { return smsSplitter_; }
    // Status panel 0..4 (null out of range).
    QLabel *statusPanel(int index) const;
    QMenu *menu(const QString &objectName) const;  // a menu or pop-up by name, or null
    QAction *action(const QString &objectName) const;
    QToolBar *toolBar(const QString &objectName) const;
    // The controls of the message and phrase views, filled in.
    content::SmsControls smsControls() const;
    content::PhraseControls phraseControls() const;
    // The merge that shows the current area's commands in the tool menu (m_tool).
    core::MenuMerge &toolMenuMerge() { return toolMerge_; }
    // The icons of the trees, lists and tool bars, by picture index.
    QList<QIcon> images() const;

    // --- the handlers the stages and commands call again ---
    // The active area: the area of the bar's active group (by its control's tag), or -1.
    int activeArea() const;
    // Makes the group of the area active (by its control's tag, not its place in the bar).
    void setActiveArea(int area);
    // Panels and cool bars to the active group; tells SetActiveGroup when the window is visible.
    void dnbMainActiveGroupChanged();
    void TreeView_smsChange();
    void ListView_smsClick();
    void TreeView_contChange();
    void ListView_contColumnClick(int column);
    void TreeView_usersmsChange();
    // Book and storage of a contact-tree node; false for no node.
    bool GetContNodeInfo(const QTreeWidgetItem *node, int &book, int32_t &storage) const;
    // Rebuilds Panel1 for the message list: two blanks, the node's text, "(", rows, ")".
    void refreshSmsCaption();
    // Shows the managers' menu states in the main menu (the area's commands in m_tool).
    void mergeAreaMenus();

    // --- find ---
    void tbSearchClick(QObject *sender = nullptr);
    void m_ForwardClick();
    void m_BackwardClick();
    // Searches list for text from its selection; answers the row found or -1.
    int FindInList(const QString &text, bool forward, QTreeView *list);
    // The list of the application manager's active area, or null.
    QTreeView *areaList() const;

    // A group rename started from the menu (the label edit takes the new name only then).
    bool renaming() const { return FRenaming_; }
    void setRenaming(bool on) { FRenaming_ = on; }

    // Sort state of the contact list.
    int sortColumn() const { return FSortColumn_; }
    int sortDir() const { return FSortDir_; }

signals:
    // Emitted after a drop on the contact tree was handed to CopyContacts (for the refresh).
    void contactsCopied();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void buildLayout();
    void buildMenus();
    void translate();
    void setStatus(int index, const QString &text);
    QString text(const char *key) const;
    void FormShow();
    void emptyTempFolder();
    void findAgain();
    void findFromDialog(bool onlyOnOk);
    // Where a drag over the contact tree comes from: one of our contact views of this window, or
    // nowhere we take a drop from.
    enum class ContactDragOrigin { None, List, Tree };
    ContactDragOrigin contactDragOrigin(const QDropEvent *e) const;
    void dropOnContactTree(QTreeWidgetItem *target, ContactDragOrigin origin);
    void sortContactList(int column);
    int contactListWidth() const;

    core::TManage &manage_;
    MainWindowHooks hooks_;
    MainContent content_;
    std::unique_ptr<platform::WindowRegistration> registration_;
    QPointer<TfFind> find_;
    std::unique_ptr<TfFind> ownFind_;
    core::MenuMerge toolMerge_;

    controls::TqvNavBar *dnbMain_ = nullptr;
    QTreeWidget *TreeView_sms_ = nullptr;
    QTreeWidget *TreeView_cont_ = nullptr;
    QTreeWidget *TreeView_usersms_ = nullptr;
    QTreeView *ListView_sms_ = nullptr;
    QTreeWidget *ListView_cont_ = nullptr;
    QTreeWidget *ListView_usersms_ = nullptr;
    QLabel *label_smsinfo_ = nullptr;
    QPlainTextEdit *Memo_smstext_ = nullptr;
    QLabel *Panel1_ = nullptr;
    QSplitter *smsSplitter_ = nullptr;
    QWidget *pMain_ = nullptr;
    QWidget *pTool_ = nullptr;
    QFrame *BT_ = nullptr;
    std::vector<QLabel *> status_;

    int FSortColumn_ = 0;
    int FSortDir_ = 1;
    bool FRenaming_ = false;
    bool FDragFromList_ = false;
    QByteArray dragOrigin_; // this window's token in kContactDragFormat
    bool shownOnce_ = false;
    int pressedSection_ = -1;
    // The key press the form last acted on, and its receiver.
    const QEvent *keyActedOn_ = nullptr;
    int keyActedKey_ = 0;
    QPointer<QWidget> keyActedFor_;
};

} // namespace forms
