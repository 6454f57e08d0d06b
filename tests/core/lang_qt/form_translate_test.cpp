#include "core/lang/lang_fixture.h"
#include "core/lang_mng.h"
#include "core/lang_qt/expect_translated.h"
#include "core/qt/form_translate.h"
#include "core/qt/form_widgets.h"
#include "qt_app.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDockWidget>
#include <QMainWindow>
#include <QStatusBar>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

// Stands in for the controls library's speed button: the translation finds it by class name and
// sets its "caption" property.
namespace controls {
class TkwSpeedButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    using QWidget::QWidget;
    QString caption() const { return caption_; }
    void setCaption(const QString &c) { caption_ = c; }

private:
    QString caption_;
};
} // namespace controls

namespace {

using platform_test::TempTree;

// One widget of each kind the translation knows, named as a form would name them, with designed
// texts that show what is kept.
struct TestForm {
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
    core::Panel *panel;
    QPushButton *btnInPanel;
    QLabel *label;
    core::LabeledEdit *labeledEdit;
    QPushButton *button;
    QCheckBox *check;
    QRadioButton *radio;
    controls::TkwSpeedButton *speed;
    QGroupBox *group;
    QTreeWidget *tree;
    QTableWidget *table;
    QTabWidget *tabs;
    QToolButton *toolButton;
    QMenuBar *menuBar;
    QMenu *mFile, *mRecent, *popup;
    QAction *mOpen, *separator, *mRecent1, *pCopy, *tbPrint;
    QToolBar *toolBar;
    QPushButton *unnamed;
    QLineEdit *plainEdit;
    QSpinBox *spin;

    TestForm()
    {
        QWidget *f = form.get();
        f->setObjectName("fTest");
        f->resize(520, 420);
        auto *layout = new QVBoxLayout(f);
        menuBar = new QMenuBar(f);
        menuBar->setObjectName("MainMenu1");
        layout->setMenuBar(menuBar);
        mFile = menuBar->addMenu("&File designed");
        mFile->setObjectName("mFile");
        mOpen = mFile->addAction("Open designed");
        mOpen->setObjectName("mOpen");
        separator = mFile->addSeparator();
        separator->setObjectName("N1");
        mRecent = mFile->addMenu("Recent designed");
        mRecent->setObjectName("mRecent");
        mRecent1 = mRecent->addAction("One designed");
        mRecent1->setObjectName("mRecent1");
        popup = new QMenu(f);
        popup->setObjectName("PopupMenu1");
        pCopy = popup->addAction("Copy designed");
        pCopy->setObjectName("pCopy");

        toolBar = new QToolBar(f);
        toolBar->setObjectName("ToolBar1");
        layout->addWidget(toolBar);
        tbPrint = new QAction("Print designed", f);
        tbPrint->setObjectName("tbPrint");
        toolBar->addAction(tbPrint);
        popup->addAction(tbPrint); // shown twice, still one component

        panel = new core::Panel(f);
        panel->setObjectName("Panel1");
        panel->setCaption("Panel designed");
        panel->setMinimumHeight(40);
        layout->addWidget(panel);
        btnInPanel = new QPushButton("In panel designed", panel);
        btnInPanel->setObjectName("btnInPanel");
        btnInPanel->move(4, 4);

        label = new QLabel("Label designed", f);
        label->setObjectName("Label1");
        layout->addWidget(label);
        labeledEdit = new core::LabeledEdit(f);
        labeledEdit->setObjectName("edtName");
        labeledEdit->editLabel()->setText("Name designed");
        layout->addSpacing(18);
        layout->addWidget(labeledEdit);
        button = new QPushButton("Button designed", f);
        button->setObjectName("btnOK");
        layout->addWidget(button);
        check = new QCheckBox("Check designed", f);
        check->setObjectName("cbSplit");
        layout->addWidget(check);
        radio = new QRadioButton("Radio designed", f);
        radio->setObjectName("RadioButton1");
        layout->addWidget(radio);
        speed = new controls::TkwSpeedButton(f);
        speed->setObjectName("SpeedButton1");
        speed->setCaption("Speed designed");
        toolButton = new QToolButton(f);
        toolButton->setObjectName("ToolButton1");
        toolButton->setText("Tool designed");
        layout->addWidget(toolButton);
        group = new QGroupBox("Group designed", f);
        group->setObjectName("GroupBox1");
        layout->addWidget(group);

        tree = new QTreeWidget(f);
        tree->setObjectName("ListView_sms");
        tree->setColumnCount(3);
        tree->setHeaderLabels({"c0 designed", "c1 designed", "c2 designed"});
        layout->addWidget(tree);
        table = new QTableWidget(1, 2, f);
        table->setObjectName("Grid1");
        layout->addWidget(table);

        tabs = new QTabWidget(f);
        tabs->setObjectName("PageControl1");
        for (const char *page : {"TabSheet1", "TabSheet2", ""}) {
            auto *w = new QWidget;
            w->setObjectName(page);
            tabs->addTab(w, QString(page) + " designed");
        }
        layout->addWidget(tabs);

        unnamed = new QPushButton("Unnamed designed", f);
        layout->addWidget(unnamed);
        plainEdit = new QLineEdit("edit text", f);
        plainEdit->setObjectName("Edit1");
        plainEdit->setClearButtonEnabled(true); // Qt adds a named inner action
        layout->addWidget(plainEdit);
        spin = new QSpinBox(f);
        spin->setObjectName("SpinEdit1"); // inner line edit named by Qt: not walked
        layout->addWidget(spin);
    }
};

// Keys the test form looks up, once each.
const char *const kFormKeys[] = {
    "fTest_mFile", "fTest_mOpen", "fTest_mRecent", "fTest_mRecent1", "fTest_pCopy",
    "fTest_tbPrint", "fTest_Panel1", "fTest_btnInPanel", "fTest_Label1", "fTest_edtName",
    "fTest_btnOK", "fTest_cbSplit", "fTest_RadioButton1", "fTest_SpeedButton1",
    "fTest_ToolButton1", "fTest_GroupBox1", "fTest_ListView_sms_0", "fTest_ListView_sms_1",
    "fTest_ListView_sms_2", "fTest_Grid1_0", "fTest_Grid1_1", "fTest_TabSheet1", "fTest_TabSheet2",
};

class FormTranslate : public ::testing::Test {
protected:
    void SetUp() override { lang_qt_test::app(); }

    // A program folder whose only language is built from tsv.
    std::unique_ptr<core::TLangMng> language(const std::string &name, const std::string &tsv)
    {
        lang_test::buildLanguage(tree_, name, tsv);
        return std::make_unique<core::TLangMng>(tree_.root());
    }

    TempTree tree_;
};

TEST_F(FormTranslate, EveryKeyPresentSetsTextsAndToolTipsByTheTable)
{
    std::string tsv;
    for (const char *k : kFormKeys)
        tsv += std::string(k) + "\tT " + (k + 6) + "\n";
    tsv += "fTest_mOpen2\t&Open && save\n"; // accelerators: stripped in the tool tip
    tsv += "fTest_N1\tmust not reach the separator\n";
    tsv += "fTest_PageControl1\tmust not reach the tab widget\n";
    auto lang = language("English", tsv);
    ASSERT_EQ(lang->currentLanguage(), "English");

    TestForm t;
    t.mOpen->setObjectName("mOpen2");
    core::translateForm(*lang, t.form.get(), "fTest");

    EXPECT_EQ(t.panel->caption(), "T Panel1");
    EXPECT_EQ(t.panel->toolTip(), "T Panel1");
    EXPECT_EQ(t.btnInPanel->text(), "T btnInPanel");
    EXPECT_EQ(t.label->text(), "T Label1");
    EXPECT_EQ(t.label->toolTip(), "T Label1");
    EXPECT_EQ(t.labeledEdit->editLabel()->text(), "T edtName");
    EXPECT_EQ(t.labeledEdit->toolTip(), "T edtName");
    EXPECT_EQ(t.labeledEdit->text(), ""); // the edit's own text is the user's
    EXPECT_EQ(t.button->text(), "T btnOK");
    EXPECT_EQ(t.button->toolTip(), "T btnOK");
    EXPECT_EQ(t.check->text(), "T cbSplit");
    EXPECT_EQ(t.check->toolTip(), "T cbSplit");
    EXPECT_EQ(t.radio->text(), "T RadioButton1");
    EXPECT_EQ(t.radio->toolTip(), "T RadioButton1");
    EXPECT_EQ(t.speed->caption(), "T SpeedButton1");
    EXPECT_EQ(t.speed->toolTip(), "T SpeedButton1");
    EXPECT_EQ(t.toolButton->text(), "T ToolButton1");
    EXPECT_EQ(t.toolButton->toolTip(), ""); // a tool button takes its caption only
    EXPECT_EQ(t.group->title(), "T GroupBox1");
    EXPECT_EQ(t.group->toolTip(), "T GroupBox1");
    EXPECT_EQ(t.mFile->title(), "T mFile");
    EXPECT_EQ(t.mFile->menuAction()->toolTip(), "T mFile");
    EXPECT_EQ(t.mOpen->text(), "&Open && save");
    EXPECT_EQ(t.mOpen->toolTip(), "Open & save");
    EXPECT_TRUE(t.separator->isSeparator());
    EXPECT_EQ(t.separator->text(), "");
    EXPECT_EQ(t.mRecent->title(), "T mRecent");
    EXPECT_EQ(t.mRecent1->text(), "T mRecent1");
    EXPECT_EQ(t.pCopy->text(), "T pCopy");
    EXPECT_EQ(t.popup->title(), ""); // a pop-up menu has no caption of its own
    EXPECT_EQ(t.tbPrint->text(), "T tbPrint");
    for (int j = 0; j < 3; ++j)
        EXPECT_EQ(t.tree->headerItem()->text(j), "T ListView_sms_" + QString::number(j));
    for (int j = 0; j < 2; ++j)
        EXPECT_EQ(t.table->horizontalHeaderItem(j)->text(), "T Grid1_" + QString::number(j));
    EXPECT_EQ(t.tabs->tabText(0), "T TabSheet1");
    EXPECT_EQ(t.tabs->tabToolTip(0), "T TabSheet1");
    EXPECT_EQ(t.tabs->tabText(1), "T TabSheet2");
    EXPECT_EQ(t.tabs->tabText(2), " designed"); // unnamed page untouched
    EXPECT_EQ(t.unnamed->text(), "Unnamed designed");
    EXPECT_EQ(t.unnamed->toolTip(), "");
    EXPECT_EQ(t.plainEdit->text(), "edit text");

    EXPECT_TRUE(lang->missedKeys().empty()) << lang->missedKeys().begin()->first;

    t.form->show();
    QDir().mkpath(SV_SCREENSHOT_DIR);
    EXPECT_TRUE(t.form->grab().save(SV_SCREENSHOT_DIR "/translated_form.png"));
}

TEST_F(FormTranslate, MissingKeysEmptyCaptionsButLabelsKeepTheirDesign)
{
    auto lang = language("English", "unrelated\tx\n");
    TestForm t;
    core::translateForm(*lang, t.form.get(), "fTest");

    EXPECT_EQ(t.label->text(), "Label designed");
    EXPECT_EQ(t.label->toolTip(), "");
    EXPECT_EQ(t.labeledEdit->editLabel()->text(), "Name designed");
    EXPECT_EQ(t.button->text(), "");
    EXPECT_EQ(t.check->text(), "");
    EXPECT_EQ(t.radio->text(), "");
    EXPECT_EQ(t.speed->caption(), "");
    EXPECT_EQ(t.panel->caption(), "");
    EXPECT_EQ(t.btnInPanel->text(), "");
    EXPECT_EQ(t.group->title(), "");
    EXPECT_EQ(t.toolButton->text(), "");
    EXPECT_EQ(t.mOpen->text(), "");
    EXPECT_EQ(t.mFile->title(), "");
    EXPECT_TRUE(t.separator->isSeparator());
    EXPECT_EQ(t.tree->headerItem()->text(0), "");
    EXPECT_EQ(t.tabs->tabText(0), "");
    EXPECT_EQ(t.tabs->tabText(2), " designed");
    EXPECT_EQ(t.unnamed->text(), "Unnamed designed");
    lang->clearMissedKeys();
}

TEST_F(FormTranslate, EachObjectIsLookedUpExactlyOnce)
{
    auto lang = language("English", "unrelated\tx\n");
    TestForm t;
    core::translateForm(*lang, t.form.get(), "fTest");

    std::map<std::string, int> expected;
    for (const char *k : kFormKeys)
        expected[k] = 1;
    const auto &missed = lang->missedKeys();
    const std::map<std::string, int> seen(missed.begin(), missed.end());
    EXPECT_EQ(seen, expected);
    lang->clearMissedKeys();
}

// Qt builds inner parts into some widgets (tab-bar scroll buttons, a tool bar's extension button,
// dock-widget title buttons, spin-box and combo-box edits, a line edit's clear action). None is a
// component of the form, so none may be looked up.
TEST_F(FormTranslate, QtsInnerPartsAreNotComponents)
{
    auto lang = language("English", "unrelated\tx\n");
    QMainWindow form;
    form.setObjectName("fTest");
    form.resize(300, 200);
    auto *tabs = new QTabWidget;
    tabs->setObjectName("PageControl1");
    for (int i = 0; i < 12; ++i) {
        auto *page = new QWidget;
        page->setObjectName(QString("TabSheet%1").arg(i));
        tabs->addTab(page, "a long page title");
    }
    form.setCentralWidget(tabs);
    auto *bar = form.addToolBar("bar");
    for (int i = 0; i < 30; ++i)
        bar->addAction("x"); // unnamed: overflows into the extension menu
    auto *dock = new QDockWidget("dock", &form);
    form.addDockWidget(Qt::LeftDockWidgetArea, dock);
    auto *holder = new QWidget;
    dock->setWidget(holder);
    auto *layout = new QVBoxLayout(holder);
    layout->addWidget(new QComboBox);
    layout->addWidget(new QDateEdit);
    auto *edit = new QLineEdit;
    edit->setClearButtonEnabled(true);
    layout->addWidget(edit);
    form.statusBar()->showMessage("status");
    form.show();
    QApplication::processEvents();

    core::translateForm(*lang, &form, "fTest");
    std::map<std::string, int> expected;
    for (int i = 0; i < 12; ++i)
        expected["fTest_TabSheet" + std::to_string(i)] = 1;
    const auto &missed = lang->missedKeys();
    const std::map<std::string, int> seen(missed.begin(), missed.end());
    EXPECT_EQ(seen, expected);
    lang->clearMissedKeys();
}

TEST_F(FormTranslate, NoLanguageAtAllEmptiesWhatTheTableEmpties)
{
    core::TLangMng lang(tree_.root()); // no Language folder
    TestForm t;
    core::translateForm(lang, t.form.get(), "fTest");
    EXPECT_EQ(t.button->text(), "");
    EXPECT_EQ(t.label->text(), "Label designed");
    EXPECT_EQ(lang.missedKeys().size(), std::size(kFormKeys));
    lang.clearMissedKeys();
}

TEST_F(FormTranslate, LanguageFontFollowsTheCurrentLanguage)
{
    lang_test::buildLanguage(tree_, "Chinese", "fTest_btnOK\t\xE7\xA1\xAE\xE5\xAE\x9A\n");
    lang_test::buildLanguage(tree_, "English", "fTest_btnOK\tOK\n");
    core::TLangMng lang(tree_.root());
    ASSERT_EQ(lang.currentLanguage(), "Chinese");
    TestForm t;
    core::setFormFont(lang, t.form.get());
    core::translateForm(lang, t.form.get(), "fTest");
    EXPECT_EQ(t.form->font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(t.form->font().pointSize(), 9);
    EXPECT_EQ(t.button->font().pointSize(), 9); // children follow the form
    t.form->show();
    QDir().mkpath(SV_SCREENSHOT_DIR);
    EXPECT_TRUE(t.form->grab().save(SV_SCREENSHOT_DIR "/chinese_font.png"));

    ASSERT_EQ(lang.setLanguage("English"), 0);
    core::setFormFont(lang, t.form.get());
    EXPECT_EQ(t.form->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(t.form->font().pointSize(), 8);
    lang.clearMissedKeys();
}

TEST_F(FormTranslate, FullyTranslatedCheckListsEveryMissedKey)
{
    // Components whose keys the shipped English texts have.
    QWidget form;
    auto *ok = new QPushButton(&form);
    ok->setObjectName("btnOK");
    auto *cancel = new QPushButton(&form);
    cancel->setObjectName("btnCancel");
    lang_qt_test::expectFullyTranslated(&form, "fVcardEdit");
    EXPECT_EQ(ok->text(), "&OK");

    auto *extra = new QLabel(&form);
    extra->setObjectName("lblNoSuchKey");
    EXPECT_NONFATAL_FAILURE(lang_qt_test::expectFullyTranslated(&form, "fVcardEdit"),
                            "fVcardEdit_lblNoSuchKey");
    // The form's caption key is checked too.
    EXPECT_NONFATAL_FAILURE(lang_qt_test::expectFullyTranslated(&form, "fNoSuchForm"),
                            "fNoSuchForm_Caption");
}

} // namespace

#include "form_translate_test.moc"
