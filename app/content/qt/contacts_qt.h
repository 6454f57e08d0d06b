// The contact tree, list, picker list, menus and printing on real widgets and painters, filled
// from the headless models of content/contacts_view.h in one bulk update each.
//
//   content::fillContactList(ListView_cont, content::FillList(pb, env, book, storage, width));
//   content::PrintContacts(pb, env, book, painter, font, page, 100, 100, false, [&] { return printer.newPage(); });
//
// Tree items carry the storage code in data(0, kStorageRole) (0 for a book's root) and the book in
// data(0, kBookRole); list items carry the row's Id in data(0, kRowIdRole) (-1 for a blank row).
//
// User-interface thread only.
#pragma once

#include "content/contacts_view.h"

#include <QFont>
#include <QToolBar>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <Qt>

#include <functional>

class QMenu;
class QPaintDevice;
class QPainter;
class QTreeWidget;
class QTreeWidgetItem;

namespace content {

inline constexpr int kStorageRole = Qt::UserRole;
inline constexpr int kBookRole = Qt::UserRole + 3;
inline constexpr int kRowIdRole = Qt::UserRole + 4;

// Replaces the handset's root (the first node when it is book 0's) with handset, inserted first,
// expanded and selected; file books' roots stay.
void fillHandsetNode(QTreeWidget *tree, const ContactTreeNode &handset);
// Adds a file book's node as the import made it.
void addBookNode(QTreeWidget *tree, int book, const ContactTreeNode &node);

// Fills the list (a QTreeWidget in report form) with the model: columns, widths, rows. The first
// column sorts as a number, the others by bytes ignoring ASCII case.
void fillContactList(QTreeWidget *list, const ContactList &model);
// Adds the row (item null) or refreshes item with it, after editing; answers the item.
QTreeWidgetItem *updateListRow(QTreeWidget *list, QTreeWidgetItem *item, const ContactListRow &row);
// Fills the picker's list: name and number per row.
void fillPickerList(QTreeWidget *list, const std::vector<PickerRow> &rows);

// The contact menu items of the menus (object name and "tag" property) for UpdateMenus.
std::vector<ContactMenuItem> contactMenuItems(const QList<QMenu *> &menus);
// UpdateMenus applied to the menus and to the enabling of the tool bar's buttons (bar may be
// null), so a menu item and its button are enabled alike.
void applyContactMenus(TPhoneBookManage &pb, const Env &env, int book, int32_t storage, int listRows,
                       int selectedRows, const QList<QMenu *> &menus, QToolBar *bar);

// One drawn text of a print page, in painter coordinates.
struct PrintText {
    QRect rect;
    QString text;
    bool bold = false;
    bool operator==(const PrintText &) const = default;
};
struct PrintPage {
    QList<PrintText> texts;
    QList<QRect> frames;
};

// The pages of a book's print: its SIM list, its phone list and its contacts, each starting on a
// new page, laid out with the font's metrics on the painter's device. Nothing for an unknown book.
QList<PrintPage> LayoutContacts(const TPhoneBookManage &pb, const Env &env, int book, QPainter &painter,
                                const QFont &font, const QRect &page, int marginX, int marginY);
// Draws the book's print: every page, newPage called between them (false from it stops), or in
// preview only the first. Installed CJK fonts stand behind font for glyphs it lacks. An unknown book shows "PbMng_ErrorArea" and draws nothing: kPbBadArg.
// 0 otherwise (also when the book has nothing to print).
int32_t PrintContacts(const TPhoneBookManage &pb, Env &env, int book, QPainter &painter, const QFont &font,
                      const QRect &page, int marginX, int marginY, bool preview,
                      const std::function<bool()> &newPage);
// The same on a device (a QPrinter, a preview image): the painter is opened only for a known book,
// so an unknown one leaves a printer's file unwritten.
int32_t PrintContacts(const TPhoneBookManage &pb, Env &env, int book, QPaintDevice &device, const QFont &font,
                      const QRect &page, int marginX, int marginY, bool preview,
                      const std::function<bool()> &newPage);

} // namespace content
