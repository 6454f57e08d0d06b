// Every form the walk reaches, as a user sees it: a screenshot per form (and of the main window in
// each area with downloaded content) under the artefact folder, not blank; at its default size and
// at one and a half times it, no visible control overlaps a sibling or is cut by its parent, no
// visible button, label, menu item or column header is empty, and every menu item and dialog
// button has a mnemonic no other item of its menu or dialog has.

#include "coverage_rig.h"

#include "forms/f_main.h"
#include "screenshot.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using coverage_test::formName;

std::string path(const QWidget *w, const QWidget *form)
{
    std::string p;
    for (const QWidget *x = w; x && x != form; x = x->parentWidget())
        p = "/" + formName(x) + p;
    return formName(form) + p;
}

// Containers that place their children themselves, past their edges on purpose (a scrolled view,
// a combo box's parts, a tool bar's overflow): their insides are not checked.
bool drawsItsOwnInside(const QWidget *w)
{
    return qobject_cast<const QAbstractScrollArea *>(w) || qobject_cast<const QComboBox *>(w) ||
           qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QTabBar *>(w) ||
           qobject_cast<const QMenuBar *>(w) || qobject_cast<const QToolBar *>(w) ||
           qobject_cast<const QStatusBar *>(w);
}

// Parts that lie over others by design: splitter handles, size grips, pop-ups.
bool ignored(const QWidget *w)
{
    return w->isWindow() || qobject_cast<const QSplitterHandle *>(w) || w->inherits("QRubberBand") ||
           w->inherits("QSizeGrip") || w->inherits("QFocusFrame") || qobject_cast<const QMenu *>(w);
}

// Overlapping siblings and children cut by their parent, under w.
void checkPlacement(const QWidget *form, const QWidget *w, const std::string &at, std::vector<std::string> &faults)
{
    if (drawsItsOwnInside(w))
        return;
    std::vector<const QWidget *> kids;
    for (const QObject *o : w->children()) {
        const auto *k = qobject_cast<const QWidget *>(o);
        if (!k || ignored(k) || !k->isVisibleTo(form) || k->width() <= 0 || k->height() <= 0)
            continue;
        kids.push_back(k);
    }
    for (size_t i = 0; i < kids.size(); ++i) {
        const QRect g = kids[i]->geometry();
        if (!w->rect().contains(g))
            faults.push_back(at + ": " + path(kids[i], form) + " is cut by its parent");
        for (size_t j = i + 1; j < kids.size(); ++j)
            if (g.intersects(kids[j]->geometry()))
                faults.push_back(at + ": " + path(kids[i], form) + " overlaps " + path(kids[j], form));
        checkPlacement(form, kids[i], at, faults);
    }
}

QChar mnemonic(const QString &text)
{
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

void checkMenu(const QMenu *menu, const std::string &at, std::vector<std::string> &faults)
{
    std::map<QChar, QString> used;
    for (const QAction *a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        const std::string item = at + ": menu " + formName(menu) + " item " + a->objectName().toStdString();
        if (a->text().isEmpty()) {
            faults.push_back(item + " has no text");
            continue;
        }
        const QChar m = mnemonic(a->text());
        if (m.isNull())
            faults.push_back(item + " \"" + a->text().toStdString() + "\" has no mnemonic");
        else if (used.count(m))
            faults.push_back(item + " \"" + a->text().toStdString() + "\" shares its mnemonic with \"" +
                             used[m].toStdString() + "\"");
        else
            used[m] = a->text();
        if (a->menu())
            checkMenu(a->menu(), at, faults);
    }
}

// A label in the value column of a captioned row shows what the handset answered, which may be
// nothing (a handset without a firmware version).
bool isValueField(const QLabel *l)
{
    const QWidget *p = l->parentWidget();
    const auto *form = p ? qobject_cast<const QFormLayout *>(p->layout()) : nullptr;
    if (!form)
        return false;
    int row = -1;
    QFormLayout::ItemRole role{};
    form->getWidgetPosition(const_cast<QLabel *>(l), &row, &role);
    return row >= 0 && role == QFormLayout::FieldRole && form->itemAt(row, QFormLayout::LabelRole);
}

// Value labels and list captions are filled from the handset: they are checked once it is there.
void checkTexts(const QWidget *form, const std::string &at, std::vector<std::string> &faults)
{
    const bool connected = at.rfind("connected", 0) == 0;
    std::map<QChar, QString> buttonKeys;
    const bool dialog = qobject_cast<const QDialog *>(form) != nullptr;
    for (const QWidget *w : form->findChildren<const QWidget *>()) {
        if (!w->isVisibleTo(form) || w->window() != form)
            continue;
        if (const auto *b = qobject_cast<const QAbstractButton *>(w)) {
            // Tool bar buttons and the parts of other controls show a picture.
            if (b->text().isEmpty() && b->icon().isNull() && !qobject_cast<const QTabBar *>(b->parentWidget()))
                faults.push_back(at + ": button " + path(b, form) + " is empty");
            // Push buttons and the dialogs' text tool buttons (not check boxes, tabs or a field's
            // own parts).
            const bool pressable = b->inherits("QPushButton") ||
                                   (qobject_cast<const QToolButton *>(b) &&
                                     static_cast<const QToolButton *>(b)->toolButtonStyle() != Qt::ToolButtonIconOnly &&
                                    !qobject_cast<const QToolBar *>(b->parentWidget()) &&
                                    !qobject_cast<const QTabBar *>(b->parentWidget()) &&
                                    !b->parentWidget()->inherits("QAbstractSpinBox") && b->text().size() > 1 &&
                                    b->text() != QStringLiteral("..."));
            if (dialog && pressable && !b->text().isEmpty()) {
                const QChar m = mnemonic(b->text());
                if (m.isNull())
                    faults.push_back(at + ": button " + path(b, form) + " \"" + b->text().toStdString() +
                                     "\" has no mnemonic");
                else if (buttonKeys.count(m))
                    faults.push_back(at + ": button " + path(b, form) + " \"" + b->text().toStdString() +
                                     "\" shares its mnemonic with \"" + buttonKeys[m].toStdString() + "\"");
                else
                    buttonKeys[m] = b->text();
            }
        } else if (w->inherits("TkwSpeedButton") && dialog) {
            // The house button: its caption is a property, its mnemonic a window shortcut.
            const QString caption = w->property("caption").toString();
            if (caption.isEmpty() || caption == QStringLiteral("..."))
                continue;
            const QChar m = mnemonic(caption);
            if (m.isNull())
                faults.push_back(at + ": button " + path(w, form) + " \"" + caption.toStdString() + "\" has no mnemonic");
            else if (buttonKeys.count(m))
                faults.push_back(at + ": button " + path(w, form) + " \"" + caption.toStdString() +
                                 "\" shares its mnemonic with \"" + buttonKeys[m].toStdString() + "\"");
            else
                buttonKeys[m] = caption;
        } else if (!connected) {
            continue;
        } else if (const auto *l = qobject_cast<const QLabel *>(w)) {
            if (l->text().trimmed().isEmpty() && l->pixmap().isNull() && l->movie() == nullptr && !isValueField(l) &&
                !l->objectName().isEmpty() && l->frameShape() == QFrame::NoFrame)
                faults.push_back(at + ": label " + path(l, form) + " is empty");
        } else if (const auto *t = qobject_cast<const QTreeWidget *>(w)) {
            if (t->isHeaderHidden())
                continue;
            for (int c = 0; c < t->columnCount(); ++c)
                if (!t->header()->isSectionHidden(c) && t->header()->sectionSize(c) > 0 &&
                    t->headerItem()->text(c).trimmed().isEmpty() && t->headerItem()->icon(c).isNull())
                    faults.push_back(at + ": column " + std::to_string(c) + " of " + path(t, form) + " has no caption");
        }
    }
    if (const auto *mw = qobject_cast<const QMainWindow *>(form); mw && mw->menuBar()) {
        std::map<QChar, QString> top;
        for (const QAction *a : mw->menuBar()->actions()) {
            if (!a->isVisible() || a->isSeparator())
                continue;
            const QChar m = mnemonic(a->text());
            if (m.isNull() || top.count(m))
                faults.push_back(at + ": main menu item \"" + a->text().toStdString() + "\" has no mnemonic of its own");
            else
                top[m] = a->text();
            if (a->menu())
                checkMenu(a->menu(), at, faults);
        }
    }
}

bool blank(const QImage &img)
{
    if (img.isNull())
        return true;
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            if (img.pixel(x, y) != first)
                return false;
    return true;
}

TEST(FormGeometry, EveryFormIsWhole)
{
    std::set<std::string> shot;
    std::vector<std::string> faults;
    std::set<std::string> reported; // one report per fault, whichever state met it first
    auto check = [&](QWidget *form, const std::string &at) {
        std::vector<std::string> found;
        checkPlacement(form, form, at, found);
        checkTexts(form, at, found);
        for (std::string &f : found) {
            // The same fault in the next state is the same fault.
            const std::string key = f.substr(f.find(": ") + 2);
            if (reported.insert(key).second)
                faults.push_back(std::move(f));
        }
    };
    coverage_test::Walk walk([&](QWidget *form, const std::string &state) {
        const std::string name = formName(form);
        std::string shotName = name;
        // The main window once per area with downloaded content.
        if (auto *win = qobject_cast<forms::TfMain *>(form)) {
            if (state.rfind("connected", 0) != 0 || !win->areaList() || win->areaList()->model()->rowCount() == 0)
                shotName.clear();
            else
                shotName = name + "_" + state.substr(state.find(", ") + 2, state.find(" node") - state.find(", ") - 2);
        }
        if (!shotName.empty() && shot.insert(shotName).second) {
            const std::string file = forms_test::screenshot(form, shotName);
            EXPECT_FALSE(blank(QImage(QString::fromStdString(file)))) << shotName << " is blank";
            const QSize s = QImage(QString::fromStdString(file)).size();
            EXPECT_GE(s.width(), 100) << shotName;
            EXPECT_GE(s.height(), 50) << shotName;
        }
        check(form, state + " [" + name + ", default size]");
        const QSize was = form->size();
        form->resize(was * 3 / 2);
        QCoreApplication::processEvents();
        check(form, state + " [" + name + ", 1.5x]");
        form->resize(was);
        QCoreApplication::processEvents();
    });
    walk.run();
    std::string all;
    for (const std::string &f : faults)
        all += "  " + f + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults:\n" << all;
}

} // namespace
