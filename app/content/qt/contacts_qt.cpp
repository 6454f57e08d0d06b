#include "content/qt/contacts_qt.h"

#include "content/qt/apply_menu.h"
#include "content/qt/pictures.h"
#include "content/qt/sms_view.h"

#include <QAction>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QTreeWidget>
#include <QVariant>

#include <algorithm>

namespace content {
namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

// Orders by number in the position column, by bytes ignoring ASCII case elsewhere.
class ContactItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem &other) const override
    {
        const int col = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QByteArray a = text(col).toUtf8(), b = other.text(col).toUtf8();
        return CompareListTexts({a.constData(), size_t(a.size())}, {b.constData(), size_t(b.size())}, col == 0) < 0;
    }
};

QTreeWidgetItem *makeNode(int book, const ContactTreeNode &n)
{
    auto *item = new QTreeWidgetItem(QStringList{q(n.caption)});
    item->setData(0, kStorageRole, n.storage);
    item->setData(0, kBookRole, book);
    item->setData(0, kImageRole, n.storage);
    item->setIcon(0, picture(storagePicture(n.storage)));
    for (const ContactTreeNode &c : n.children)
        item->addChild(makeNode(book, c));
    return item;
}

struct BookEntry {
    int32_t storage;
    TMobileVacrd fields;
};

std::vector<BookEntry> entriesOf(const ContactBook &bk, StorageCode s)
{
    const platform::Table &t = bk.table;
    const size_t fPos = size_t(t.fieldIndex("Pos")), fVal = size_t(t.fieldIndex("Value"));
    std::vector<BookEntry> out;
    for (const platform::Row &r : t.rows())
        if (r.intAt(fPos) == toInt(s))
            out.push_back({r.intAt(fPos), TPhoneBookManage::ParseContact(r.textAt(fVal))});
    return out;
}

// The caller's font with CJK families behind it: a Chinese name missing from a Latin font is drawn
// by an embeddable CJK font, so a PDF keeps it as text rather than outlines. The family the font
// resolves to comes first: a generic name such as "monospace" is matched only on its own, and in a
// list the first CJK family would take its place.
QFont printFont(const QFont &font)
{
    QStringList families{QFontInfo(font).family()};
    for (const QString &f : font.families())
        if (!families.contains(f))
            families << f;
    for (const char *cjk : {"Noto Sans CJK SC", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "AR PL UMing CN"})
        if (!families.contains(QLatin1String(cjk)))
            families << QString::fromLatin1(cjk);
    QFont f = font;
    f.setFamilies(families);
    return f;
}

// Lays out pages top to bottom; a page always takes at least one line, so nothing loops.
class Layout {
public:
    Layout(QPainter &painter, const QFont &font, const QRect &page, int marginX, int marginY)
    {
        QFontMetrics fm(font, painter.device());
        lineH_ = std::max(1, 2 * fm.height());
        left_ = page.left() + marginX;
        top_ = page.top() + marginY;
        width_ = std::max(1, page.width() - 2 * marginX);
        bottom_ = std::max(top_ + 1, page.bottom() - marginY);
    }
    QList<PrintPage> pages;

    void startPage(const QString &title, const QStringList &headings)
    {
        pages.push_back({});
        y_ = top_;
        linesOnPage_ = 0;
        addText(QRect(left_, y_, width_, lineH_), title, true);
        y_ += lineH_;
        headings_ = headings;
        if (!headings.isEmpty()) {
            for (int i = 0; i < headings.size(); ++i)
                addText(cell(i), headings[i], true);
            pages.back().frames.push_back(QRect(left_, y_, width_, lineH_));
            y_ += lineH_;
        }
        title_ = title;
    }
    bool fits(int lines) const { return y_ + lines * lineH_ <= bottom_; }
    // A new page when the next lines do not fit and this page already holds some.
    void room(int lines)
    {
        if (!fits(lines) && linesOnPage_ > 0)
            startPage(title_, headings_);
    }
    void tableLine(const QStringList &cells)
    {
        room(1);
        for (int i = 0; i < cells.size(); ++i)
            addText(cell(i), cells[i], false);
        pages.back().frames.push_back(QRect(left_, y_, width_, lineH_));
        y_ += lineH_;
        ++linesOnPage_;
    }
    void block(const QStringList &lines)
    {
        room(int(lines.size()));
        int segTop = y_;
        for (int i = 0; i < lines.size(); ++i) {
            if (!fits(1) && linesOnPage_ > 0) {
                pages.back().frames.push_back(QRect(left_, segTop, width_, y_ - segTop));
                startPage(title_, headings_);
                segTop = y_;
            }
            addText(QRect(left_ + lineH_ / 4, y_, width_ - lineH_ / 2, lineH_), lines[i], i == 0);
            y_ += lineH_;
            ++linesOnPage_;
        }
        pages.back().frames.push_back(QRect(left_, segTop, width_, y_ - segTop));
    }

private:
    QRect cell(int i) const
    {
        const int starts[] = {0, width_ * 3 / 7, width_ * 6 / 7, width_};
        const int x0 = starts[std::min(i, 2)], x1 = starts[std::min(i, 2) + 1];
        return QRect(left_ + x0 + 2, y_, std::max(1, x1 - x0 - 4), lineH_);
    }
    void addText(const QRect &r, const QString &t, bool bold) { pages.back().texts.push_back({r, t, bold}); }

    int lineH_ = 1, left_ = 0, top_ = 0, width_ = 1, bottom_ = 1, y_ = 0, linesOnPage_ = 0;
    QString title_;
    QStringList headings_;
};

} // namespace

void fillHandsetNode(QTreeWidget *tree, const ContactTreeNode &handset)
{
    if (tree->topLevelItemCount() > 0 && tree->topLevelItem(0)->data(0, kBookRole).toInt() == kHandsetBook &&
        tree->topLevelItem(0)->data(0, kStorageRole).toInt() == 0)
        delete tree->takeTopLevelItem(0);
    QTreeWidgetItem *root = makeNode(kHandsetBook, handset);
    tree->insertTopLevelItem(0, root);
    root->setExpanded(true);
    tree->setCurrentItem(root);
}

void addBookNode(QTreeWidget *tree, int book, const ContactTreeNode &node)
{
    QTreeWidgetItem *item = makeNode(book, node);
    tree->addTopLevelItem(item);
    item->setExpanded(node.expanded);
}

void fillContactList(QTreeWidget *list, const ContactList &model)
{
    list->setUpdatesEnabled(false);
    const bool sorting = list->isSortingEnabled();
    list->setSortingEnabled(false);
    list->clear();
    QStringList captions;
    for (const ListColumn &c : model.columns)
        captions << q(c.caption);
    list->setColumnCount(int(captions.size()));
    list->setHeaderLabels(captions);
    // A column never narrower than its caption: the widths are the handset's, the captions ours.
    const QFontMetrics fm(list->header()->font());
    for (int i = 0; i < int(model.columns.size()); ++i)
        list->setColumnWidth(i, std::max(model.columns[size_t(i)].width,
                                         fm.horizontalAdvance(captions[i]) + 4 * fm.averageCharWidth()));
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(model.rows.size()));
    const QIcon contactIcon = picture(kPicContact);
    for (const ContactListRow &r : model.rows) {
        QStringList texts{QString::number(r.pos)};
        for (const std::string &c : r.cells)
            texts << q(c);
        auto *item = new ContactItem(texts);
        item->setData(0, kRowIdRole, r.id);
        item->setData(0, kImageRole, r.image);
        // A free position of the handset's storage shows no contact.
        if (std::any_of(r.cells.begin(), r.cells.end(), [](const std::string &c) { return !c.empty(); }))
            item->setIcon(0, contactIcon);
        items << item;
    }
    list->addTopLevelItems(items);
    list->setSortingEnabled(sorting);
    list->setUpdatesEnabled(true);
}

QTreeWidgetItem *updateListRow(QTreeWidget *list, QTreeWidgetItem *item, const ContactListRow &row)
{
    if (!item) {
        item = new ContactItem();
        list->addTopLevelItem(item);
    }
    item->setText(0, QString::number(row.pos));
    for (int i = 0; i < int(row.cells.size()); ++i)
        item->setText(i + 1, q(row.cells[size_t(i)]));
    for (int i = int(row.cells.size()) + 1; i < item->columnCount(); ++i)
        item->setText(i, QString());
    item->setData(0, kRowIdRole, row.id);
    item->setData(0, kImageRole, row.image);
    const bool used = std::any_of(row.cells.begin(), row.cells.end(), [](const std::string &c) { return !c.empty(); });
    item->setIcon(0, used ? picture(kPicContact) : QIcon());
    return item;
}

void fillPickerList(QTreeWidget *list, const std::vector<PickerRow> &rows)
{
    list->setUpdatesEnabled(false);
    list->clear();
    if (list->columnCount() < 2)
        list->setColumnCount(2);
    QList<QTreeWidgetItem *> items;
    for (const PickerRow &r : rows)
        items << new ContactItem(QStringList{q(r.name), q(r.number)});
    list->addTopLevelItems(items);
    list->setUpdatesEnabled(true);
}

std::vector<ContactMenuItem> contactMenuItems(const QList<QMenu *> &menus)
{
    std::vector<ContactMenuItem> out;
    std::function<void(QMenu *)> walk = [&](QMenu *m) {
        if (!m)
            return;
        for (QAction *a : m->actions()) {
            if (!a->objectName().isEmpty())
                out.push_back({a->objectName().toStdString(), a->property(kTagProperty).toInt()});
            walk(a->menu());
        }
    };
    for (QMenu *m : menus)
        walk(m);
    return out;
}

void applyContactMenus(TPhoneBookManage &pb, const Env &env, int book, int32_t storage, int listRows,
                       int selectedRows, const QList<QMenu *> &menus, QToolBar *bar)
{
    applyMenuState(menus, UpdateMenus(pb, env, book, storage, listRows, selectedRows, contactMenuItems(menus)));
    if (!bar)
        return;
    std::vector<ContactMenuItem> buttons;
    for (QAction *a : bar->actions())
        if (!a->objectName().isEmpty() && !a->isSeparator())
            buttons.push_back({a->objectName().toStdString(), a->property(kTagProperty).toInt()});
    const NamedMenuState state = UpdateMenus(pb, env, book, storage, listRows, selectedRows, buttons);
    for (QAction *a : bar->actions())
        if (const auto it = state.find(a->objectName().toStdString()); it != state.end() && it->second.enabled)
            a->setEnabled(*it->second.enabled);
}

QList<PrintPage> LayoutContacts(const TPhoneBookManage &pb, const Env &env, int book, QPainter &painter,
                                const QFont &font, const QRect &page, int marginX, int marginY)
{
    Layout lay(painter, printFont(font), page, marginX, marginY);
    if (!pb.validBook(book))
        return {};
    const ContactBook &bk = pb.book(book);
    for (StorageCode s : {StorageCode::Sim, StorageCode::Phone}) {
        const std::vector<BookEntry> entries = entriesOf(bk, s);
        if (entries.empty())
            continue;
        lay.startPage(s == StorageCode::Sim ? "SIM" : "Phone", {"Name", "Tel No.", "Group Name"});
        for (const BookEntry &e : entries) {
            const TVcardFields *n = FirstField(e.fields, kFieldName), *tel = FirstField(e.fields, kFieldTel),
                               *grp = FirstField(e.fields, kFieldGroup);
            lay.tableLine({n ? q(DisplayName(n->value)) : QString(), tel ? q(tel->value) : QString(),
                           grp ? q(GroupNameOf(bk.groupNames, grp->value)) : QString()});
        }
    }
    const std::vector<BookEntry> contacts = entriesOf(bk, StorageCode::Contacts);
    if (!contacts.empty()) {
        lay.startPage(q(env.text("PbMng_Tree_4")), {});
        for (const BookEntry &e : contacts) {
            const TVcardFields *n = FirstField(e.fields, kFieldName);
            QStringList lines{n ? q(DisplayName(n->value)) : QString()};
            for (const TVcardFields &f : e.fields) {
                if (&f == n)
                    continue;
                std::string caption = f.type == kFieldTel ? GetTelTypeText(env, f.flags) : std::string();
                if (caption.empty())
                    caption = env.text("PbMng_Pb_Column_" + std::to_string(f.type));
                std::string value = f.type == kFieldName    ? DisplayName(f.value)
                                    : f.type == kFieldAddr  ? AddressText(f.value)
                                    : f.type == kFieldGroup ? GroupNameOf(bk.groupNames, f.value)
                                                            : f.value;
                lines << q(caption + ": " + value);
            }
            lay.block(lines);
        }
    }
    return lay.pages;
}

int32_t PrintContacts(const TPhoneBookManage &pb, Env &env, int book, QPainter &painter, const QFont &fontIn,
                      const QRect &page, int marginX, int marginY, bool preview, const std::function<bool()> &newPage)
{
    if (!pb.validBook(book)) {
        env.messageBox(env.text("PbMng_ErrorArea"), 0);
        return kPbBadArg;
    }
    const QFont font = printFont(fontIn);
    const QList<PrintPage> pages = LayoutContacts(pb, env, book, painter, font, page, marginX, marginY);
    QFont bold = font;
    bold.setBold(true);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0 && (preview || !newPage || !newPage()))
            break;
        for (const QRect &r : pages[i].frames)
            painter.drawRect(r);
        for (const PrintText &t : pages[i].texts) {
            painter.setFont(t.bold ? bold : font);
            painter.drawText(t.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, t.text);
        }
    }
    return 0;
}

int32_t PrintContacts(const TPhoneBookManage &pb, Env &env, int book, QPaintDevice &device, const QFont &font,
                      const QRect &page, int marginX, int marginY, bool preview, const std::function<bool()> &newPage)
{
    if (!pb.validBook(book)) {
        env.messageBox(env.text("PbMng_ErrorArea"), 0);
        return kPbBadArg;
    }
    QPainter painter(&device);
    return PrintContacts(pb, env, book, painter, font, page, marginX, marginY, preview, newPage);
}

} // namespace content
