#include "core/qt/form_translate.h"

#include "core/lang_mng.h"
#include "core/qt/form_widgets.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QWidget>

#include <string>

namespace core {

namespace {

QString tr(const TLangMng &lang, const std::string &key)
{
    return QString::fromStdString(lang.translate(key));
}

// A tool tip shows the caption without its accelerator marks ("&File" -> "File", "&&" -> "&").
QString tipOf(const QString &caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&')
                out += u'&', ++i;
            continue;
        }
        out += caption[i];
    }
    return out;
}

// Qt names some of its inner parts ("qt_scrollarea_viewport", "_q_qlineeditclearaction"):
// they are not the form's components.
bool isQtInternalName(const QString &name)
{
    return name.startsWith(QLatin1String("qt_")) || name.startsWith(QLatin1String("_q_"));
}

// Widgets whose children are Qt's own parts (tab-bar scroll buttons, spin-box edits, combo
// pop-ups): never walked into.
bool hidesItsParts(const QObject *o)
{
    return qobject_cast<const QTabBar *>(o) || qobject_cast<const QAbstractSpinBox *>(o) ||
           qobject_cast<const QComboBox *>(o);
}

// The speed button of the controls library, found by class name so the language layer does not
// depend on the controls. Its caption is its "caption" property.
bool isSpeedButton(const QObject *o)
{
    for (const QMetaObject *m = o->metaObject(); m; m = m->superClass()) {
        const QByteArray name(m->className());
        if (name == "TkwSpeedButton" || name.endsWith("::TkwSpeedButton"))
            return true;
    }
    return false;
}

void setSpeedButtonCaption(QObject *o, const QString &t)
{
    o->setProperty("caption", t);
    if (auto *w = qobject_cast<QWidget *>(o))
        w->setToolTip(tipOf(t));
}

// A submenu (a menu whose action sits in another menu or a menu bar), as opposed to a pop-up menu.
bool isSubmenu(const QMenu *m)
{
    for (QObject *owner : m->menuAction()->associatedObjects())
        if (owner != m)
            return true;
    return false;
}

// The class table: what one named object takes from the language. K is its key.
void translateOne(const TLangMng &lang, QObject *o, const std::string &key)
{
    if (auto *panel = qobject_cast<Panel *>(o)) {
        // A panel's caption follows the language even when the text is missing.
        const QString t = tr(lang, key);
        panel->setCaption(t);
        panel->setToolTip(tipOf(t));
    } else if (auto *action = qobject_cast<QAction *>(o)) {
        if (action->isSeparator())
            return;
        const QString t = tr(lang, key);
        action->setText(t);
        action->setToolTip(tipOf(t));
    } else if (auto *menu = qobject_cast<QMenu *>(o)) {
        // A submenu is a menu item with items; a pop-up menu has no caption of its own.
        if (!isSubmenu(menu))
            return;
        const QString t = tr(lang, key);
        menu->menuAction()->setText(t);
        menu->menuAction()->setToolTip(tipOf(t));
    } else if (auto *toolButton = qobject_cast<QToolButton *>(o)) {
        toolButton->setText(tr(lang, key));
    } else if (auto *label = qobject_cast<QLabel *>(o)) {
        // A label keeps its designed text when the language has none.
        const QString t = tr(lang, key);
        if (!t.isEmpty()) {
            label->setText(t);
            label->setToolTip(tipOf(t));
        }
    } else if (auto *edit = qobject_cast<LabeledEdit *>(o)) {
        const QString t = tr(lang, key);
        if (!t.isEmpty()) {
            if (edit->editLabel())
                edit->editLabel()->setText(t);
            edit->setToolTip(tipOf(t));
        }
    } else if (qobject_cast<QPushButton *>(o) || qobject_cast<QCheckBox *>(o) ||
               qobject_cast<QRadioButton *>(o)) {
        auto *button = static_cast<QAbstractButton *>(o);
        const QString t = tr(lang, key);
        button->setText(t);
        button->setToolTip(tipOf(t));
    } else if (isSpeedButton(o)) {
        setSpeedButtonCaption(o, tr(lang, key));
    } else if (auto *group = qobject_cast<QGroupBox *>(o)) {
        const QString t = tr(lang, key);
        group->setTitle(t);
        group->setToolTip(tipOf(t));
    } else if (auto *tree = qobject_cast<QTreeWidget *>(o)) {
        QTreeWidgetItem *header = tree->headerItem();
        for (int j = 0; j < tree->columnCount(); ++j)
            header->setText(j, tr(lang, key + "_" + std::to_string(j)));
    } else if (auto *view = qobject_cast<QTreeView *>(o); view && view->model()) {
        // A list over a model of its own: the model keeps the captions.
        QAbstractItemModel *model = view->model();
        for (int j = 0; j < model->columnCount(); ++j)
            model->setHeaderData(j, Qt::Horizontal, tr(lang, key + "_" + std::to_string(j)));
    } else if (auto *table = qobject_cast<QTableWidget *>(o)) {
        for (int j = 0; j < table->columnCount(); ++j) {
            const QString t = tr(lang, key + "_" + std::to_string(j));
            if (QTableWidgetItem *item = table->horizontalHeaderItem(j))
                item->setText(t);
            else
                table->setHorizontalHeaderItem(j, new QTableWidgetItem(t));
        }
    }
    // Menu bars, tool bars and every other class: nothing of their own.
}

// Pages are looked up by their own name under the form's prefix.
void translatePages(const TLangMng &lang, QTabWidget *tabs, std::string_view prefix)
{
    for (int i = 0; i < tabs->count(); ++i) {
        const QString name = tabs->widget(i)->objectName();
        if (name.isEmpty())
            continue;
        const QString t = tr(lang, std::string(prefix) + "_" + name.toStdString());
        tabs->setTabText(i, t);
        tabs->setTabToolTip(i, tipOf(t));
    }
}

class Walker {
public:
    Walker(const TLangMng &lang, std::string_view prefix) : lang_(lang), prefix_(prefix) {}

    // The form's own components: its descendants and the actions shown in it.
    void walkParts(QObject *o)
    {
        visited_.insert(o);
        if (hidesItsParts(o))
            return;
        for (QObject *child : o->children())
            walk(child);
        // Actions owned elsewhere but shown here (a menu's items, a tool bar's buttons).
        if (auto *w = qobject_cast<QWidget *>(o))
            for (QAction *a : w->actions())
                walk(a);
    }

    void walk(QObject *o)
    {
        if (!o || visited_.contains(o))
            return;
        visited_.insert(o);
        const QString name = o->objectName();
        if (!name.isEmpty() && !isQtInternalName(name)) {
            if (auto *tabs = qobject_cast<QTabWidget *>(o))
                translatePages(lang_, tabs, prefix_);
            else
                translateOne(lang_, o, std::string(prefix_) + "_" + name.toStdString());
        }
        walkParts(o);
    }

private:
    const TLangMng &lang_;
    std::string_view prefix_;
    QSet<QObject *> visited_;
};

} // namespace

void translateForm(const TLangMng &lang, QWidget *form, std::string_view prefix)
{
    if (!form)
        return;
    Walker walker(lang, prefix);
    // The form is not one of its components: its caption comes from <prefix>_Caption.
    walker.walkParts(form);
}

void setFormFont(const TLangMng &lang, QWidget *form)
{
    if (!form)
        return;
    // Linux rarely has the Windows fonts: name stand-ins once, so the family asked for is kept
    // (and reported) while a present font draws it.
    static const bool substitutes = [] {
        QFont::insertSubstitutions(QStringLiteral("宋体"),
                                   {QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                                    QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
                                    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("AR PL UMing CN"),
                                    QStringLiteral("Droid Sans Fallback")});
        QFont::insertSubstitutions(QStringLiteral("Arial"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("DejaVu Sans"), QStringLiteral("Helvetica")});
        return true;
    }();
    (void)substitutes;
    QFont font = form->font();
    if (lang.currentLanguage() == "Chinese") {
        font.setFamilies({QStringLiteral("宋体")});
        font.setPointSize(9);
    } else {
        font.setFamilies({QStringLiteral("Arial")});
        font.setPointSize(8);
    }
    form->setFont(font);
}

} // namespace core
