// The settings dialog over the real catalogue (our driver and model plug-in), the real application
// manager with its database, and the worker searching the simulated handset for the connection
// test. Input and message boxes are scripted.

#include "core/app_manage.h"
#include "core/db_main.h"
#include "core/lang_mng.h"
#include "forms/dialogs/worker_rig.h"
#include "forms/f_set.h"
#include "forms/fm_test_conn.h"
#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"
#include "platform/ini_file.h"

#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace forms_test {
namespace {

namespace fs = std::filesystem;
using forms::TfSet;

std::vector<std::string> texts(const QComboBox *c)
{
    std::vector<std::string> out;
    for (int i = 0; i < c->count(); ++i)
        out.push_back(c->itemText(i).toStdString());
    return out;
}
std::vector<std::string> texts(const QListWidget *l)
{
    std::vector<std::string> out;
    for (int i = 0; i < l->count(); ++i)
        out.push_back(l->item(i)->text().toStdString());
    return out;
}
std::vector<int> selectedRows(const QListWidget *l)
{
    std::vector<int> out;
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected())
            out.push_back(i);
    return out;
}
std::string current(const QComboBox *c) { return c->currentIndex() < 0 ? "<none>" : c->currentText().toStdString(); }

// The user picks an entry: the selection changes and the handler runs, as with the mouse.
void choose(QComboBox *c, const QString &text)
{
    const int i = c->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    c->setCurrentIndex(i);
    emit c->activated(i);
}

class SettingsTest : public ::testing::Test {
protected:
    // The program folder with the real pair (and the handset when asked), a fake system port
    // list with one port that does not exist, the application manager with the English texts and
    // a second language, and the database of the value lists.
    void make(bool withHandset = false)
    {
        if (!withHandset)
            rig.dir.addRealPair();
        rig.make(withHandset);
        const std::string lang = rig.dir.root() + "/Language";
        fs::create_directories(lang);
        fs::copy_file(lang_qt_test::distDir() + "/Language/English.dat", lang + "/English.dat");
        fs::copy_file(lang_qt_test::distDir() + "/Language/English.dat", lang + "/Second.dat");
        sysfs = rig.dir.root() + "/sys";
        const std::string dev = sysfs + "/class/tty/ttyUSV9";
        fs::create_directories(dev);
        fs::create_directory_symlink("../../../devices/ttyUSV9", dev + "/device");
        manage = std::make_unique<core::TManage>(rig.dir.root(), &rig.prompt);
        manage->LangMng().setLanguage("English");
        db = std::make_unique<core::TdbMain>(manage->DatabaseDir(), &rig.prompt, &manage->LangMng());
        manage->SetDatabase(db.get());
    }
    void TearDown() override
    {
        dlg.reset();
        if (manage)
            manage->SetDatabase(nullptr);
    }
    TfSet &open(std::shared_ptr<const core::Catalogue> catalogue = {}, bool useDefault = true)
    {
        TfSet::Setup setup{*manage, rig.prompt, useDefault && !catalogue ? rig.tables.snapshot() : catalogue,
                           rig.comm.get(), rig.worker.get(), &rig.messages.hub(), sysfs};
        setup.onTestDialog = [](forms::TfmTestConn &t) { t.setEndPause(1); };
        dlg = std::make_unique<TfSet>(std::move(setup));
        return *dlg;
    }
    // Shows the dialog; act runs inside its modal loop, after which it is cancelled if still up.
    int run(const std::function<void(TfSet &)> &act)
    {
        whenModal("fSet", [&](QWidget *) {
            QCoreApplication::processEvents();
            act(*dlg);
            if (dlg->isVisible())
                dlg->reject();
        });
        return dlg->exec();
    }
    std::vector<std::string> stored(int cls)
    {
        std::vector<std::string> v;
        manage->GetSSInfoList(cls, v);
        return v;
    }

    WorkerRig rig;
    std::string sysfs;
    std::unique_ptr<core::TManage> manage;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<TfSet> dlg;
};

TEST_F(SettingsTest, IsTranslatedWithItsHiddenParts)
{
    make();
    TfSet &d = open();
    lang_qt_test::expectFullyTranslated(&d, "fSet");
    EXPECT_EQ(d.windowTitle(), "Settings");
    QTabWidget *tabs = d.PageControl1;
    for (QWidget *page : {d.TabContact, d.TabPhrase, d.TabOther})
        EXPECT_FALSE(tabs->isTabVisible(tabs->indexOf(page))) << page->objectName().toStdString();
    EXPECT_TRUE(tabs->isTabVisible(tabs->indexOf(d.TabConnect)));
    EXPECT_TRUE(tabs->isTabVisible(tabs->indexOf(d.TabSms)));
    EXPECT_TRUE(d.Button8->isHidden());
    EXPECT_TRUE(d.cbSignature->isHidden() && d.cbSignature->isChecked());
    EXPECT_TRUE(d.CbTitle->isHidden() && d.CbTitle->isChecked());
    EXPECT_EQ(d.edit_disconntime->minimum(), 5);
    EXPECT_EQ(d.edit_disconntime->maximum(), 480);
}

// Each shown page can be worked from the keyboard: every button and box to tick has a mnemonic,
// no two on a page share one (nor with a label's, which goes to its box), and Tab walks the page
// in the order it is laid out.
TEST_F(SettingsTest, KeyboardReachesEveryControl)
{
    make();
    TfSet &d = open();
    auto mnemonic = [](const QString &text) {
        for (int i = 0; i + 1 < text.size(); ++i)
            if (text[i] == '&') {
                if (text[i + 1] != '&')
                    return text[i + 1].toLower();
                ++i;
            }
        return QChar();
    };
    const struct {
        QWidget *page;
        std::vector<std::string> tabOrder;
    } pages[] = {
        {d.TabConnect,
         {"Combo_phone", "Combo_connect", "Combo_com", "Combo_baud", "Button7", "Radio_keep", "Radio_disconn",
          "edit_disconntime", "btnApply"}},
        {d.TabSms,
         {"Check_sms", "check_clearsms", "check_delsms", "cbSendClose", "ListView_sign", "btnAdd", "Btnedit", "BtnDel",
          "ListView_sca", "BtnNew", "BtnClear", "BtnDelete"}},
    };
    for (const auto &p : pages) {
        SCOPED_TRACE(p.page->objectName().toStdString());
        d.PageControl1->setCurrentWidget(p.page);
        std::map<QChar, std::string> used;
        auto take = [&](QWidget *w, const QString &text, bool needed) {
            const QChar m = mnemonic(text);
            EXPECT_TRUE(!needed || !m.isNull()) << w->objectName().toStdString() << " has no mnemonic";
            if (m.isNull())
                return;
            const auto [at, fresh] = used.emplace(m, w->objectName().toStdString());
            EXPECT_TRUE(fresh) << "'" << QString(m).toStdString() << "' of " << w->objectName().toStdString()
                               << " is taken by " << at->second;
        };
        for (QAbstractButton *b : p.page->findChildren<QAbstractButton *>())
            if (b->isVisibleTo(&d))
                take(b, b->text(), true);
        for (QLabel *l : p.page->findChildren<QLabel *>())
            if (l->isVisibleTo(&d) && l->buddy())
                take(l, l->text(), false);

        std::vector<std::string> chain;
        QWidget *first = p.page->findChild<QWidget *>(QString::fromStdString(p.tabOrder.front()));
        ASSERT_NE(first, nullptr);
        QWidget *w = first;
        do {
            if (p.page->isAncestorOf(w) && w->isVisibleTo(&d) && (w->focusPolicy() & Qt::TabFocus) &&
                !w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
                chain.push_back(w->objectName().toStdString());
            w = w->nextInFocusChain();
        } while (w != first);
        EXPECT_EQ(chain, p.tabOrder);
    }
}

#ifdef SV_HAVE_REAL_PLUGINS

// What creation selects from the stored settings.
TEST_F(SettingsTest, CreationSelectsTheStoredChoice)
{
    make();
    {
        SCOPED_TRACE("the default maker is not in the catalogue");
        TfSet &d = open();
        EXPECT_EQ(manage->SelectPhone, "nokia");
        EXPECT_EQ(texts(d.Combo_phone), std::vector<std::string>{"Other"});
        EXPECT_EQ(d.Combo_phone->currentIndex(), -1);
        for (QComboBox *c : {d.Combo_connect, d.Combo_com, d.Combo_baud})
            EXPECT_EQ(c->count(), 0) << c->objectName().toStdString();
        EXPECT_FALSE(d.Button7->isEnabled());
        EXPECT_EQ(current(d.Combo_language), "English");
        EXPECT_TRUE(d.Radio_keep->isChecked());
        EXPECT_FALSE(d.edit_disconntime->isEnabled());
        EXPECT_EQ(texts(d.ListView_sca), std::vector<std::string>{"(Handset default)"});
        EXPECT_TRUE(texts(d.ListView_sign).empty());
    }
    {
        SCOPED_TRACE("case-insensitive selection; the configured port is listed");
        manage->SelectPhone = "other";
        manage->ComType = "cable";
        manage->ComPort = "/dev/pts/99";
        manage->ComBaud = "9600";
        manage->KeepTime = 20;
        manage->CurLangType = "second";
        manage->InCeptDel = true;
        manage->DelQuestion = false;
        manage->SendClose = true;
        TfSet &d = open();
        EXPECT_EQ(current(d.Combo_phone), "Other");
        EXPECT_EQ(texts(d.Combo_connect), (std::vector<std::string>{"Cable", "IrDA"}));
        EXPECT_EQ(current(d.Combo_connect), "Cable");
        EXPECT_EQ(texts(d.Combo_com), (std::vector<std::string>{"/dev/pts/99", "/dev/ttyUSV9"}));
        EXPECT_EQ(current(d.Combo_com), "/dev/pts/99");
        EXPECT_EQ(texts(d.Combo_baud), (std::vector<std::string>{"19200", "38400", "57600", "9600"})) << "text order";
        EXPECT_EQ(current(d.Combo_baud), "9600");
        EXPECT_TRUE(d.Button7->isEnabled());
        EXPECT_EQ(current(d.Combo_language), "Second");
        EXPECT_TRUE(d.Radio_disconn->isChecked());
        EXPECT_TRUE(d.edit_disconntime->isEnabled());
        EXPECT_EQ(d.edit_disconntime->value(), 20);
        EXPECT_TRUE(d.check_delsms->isChecked());
        EXPECT_FALSE(d.Check_sms->isChecked());
        EXPECT_TRUE(d.cbSendClose->isChecked());
    }
    {
        SCOPED_TRACE("the stored port is always listed; a baud no entry has selects nothing");
        manage->ComPort = "/dev/ttyNONE";
        manage->ComBaud = "115200";
        TfSet &d = open();
        EXPECT_EQ(current(d.Combo_com), "/dev/ttyNONE");
        EXPECT_EQ(current(d.Combo_baud), "<none>");
    }
}

// Choosing a maker or a type keeps the type, port and baud shown so far where the new lists offer
// them: choosing the maker again used to jump to the first type, port and baud, which broke a
// working link at OK.
TEST_F(SettingsTest, MakerTypeAndPortChoices)
{
    make();
    TfSet &d = open();
    choose(d.Combo_phone, "Other");
    EXPECT_TRUE(d.Button7->isEnabled());
    EXPECT_EQ(current(d.Combo_connect), "IrDA") << "the stored type";
    EXPECT_FALSE(d.Combo_com->isEnabled()) << "infrared has no port to choose";
    EXPECT_FALSE(d.Combo_baud->isEnabled());
    choose(d.Combo_connect, "Cable");
    EXPECT_TRUE(d.Combo_com->isEnabled() && d.Combo_baud->isEnabled());
    EXPECT_EQ(current(d.Combo_com), "/dev/ttyUSV9") << "the first port: the stored one is not offered";
    EXPECT_EQ(current(d.Combo_baud), "19200");
    choose(d.Combo_baud, "57600");
    choose(d.Combo_phone, "Other");
    EXPECT_EQ(current(d.Combo_connect), "Cable");
    EXPECT_EQ(current(d.Combo_com), "/dev/ttyUSV9");
    EXPECT_EQ(current(d.Combo_baud), "57600") << "the maker chosen again keeps the rate";
    choose(d.Combo_com, "/dev/ttyUSV9");
    EXPECT_EQ(current(d.Combo_baud), "19200") << "choosing a port selects 19200";
    choose(d.Combo_connect, "IrDA");
    const core::UIConnParam *irda = nullptr;
    for (const auto &c : d.connChoices())
        if (c.Type == "IrDA")
            irda = &c;
    ASSERT_NE(irda, nullptr);
    EXPECT_EQ(texts(d.Combo_com).size(), irda->Ports.size());
    EXPECT_EQ(texts(d.Combo_baud).size(), irda->Bauds.size());
    EXPECT_EQ(d.Combo_com->currentIndex(), irda->Ports.empty() ? -1 : 0);
    // A list without 19200: choosing a port leaves no baud selected.
    d.Combo_baud->clear();
    d.Combo_baud->addItems({"9600", "57600"});
    d.Combo_baud->setCurrentIndex(1);
    if (d.Combo_com->count() > 0) {
        choose(d.Combo_com, d.Combo_com->itemText(0));
        EXPECT_EQ(d.Combo_baud->currentIndex(), -1);
    }
}

// Connected through the catalogue's only driver although the stored maker names none: the page
// shows the maker, type, port and baud of the link in use (it used to be blank), and OK keeps them.
TEST_F(SettingsTest, WhileConnectedThePageShowsTheConnectionInUse)
{
    make(true);
    ASSERT_EQ(manage->SelectPhone, "nokia");
    core::SelectedPhone nokia{};
    core::putIdentText(nokia.Man, "nokia");
    rig.comm->SetParams(nokia, "Cable", rig.link, "38400");
    ASSERT_EQ(rig.comm->Connect(), 0);
    TfSet &d = open();
    EXPECT_EQ(current(d.Combo_phone), "Other");
    EXPECT_EQ(current(d.Combo_connect), "Cable");
    EXPECT_EQ(current(d.Combo_com), rig.link);
    EXPECT_EQ(current(d.Combo_baud), "38400");
    choose(d.Combo_phone, "Other");
    EXPECT_EQ(current(d.Combo_com), rig.link);
    EXPECT_EQ(current(d.Combo_baud), "38400");
    EXPECT_EQ(run([](TfSet &s) { QTest::mouseClick(s.btnOk, Qt::LeftButton); }), 1);
    EXPECT_EQ(manage->SelectPhone, "Other");
    EXPECT_EQ(manage->ComType, "Cable");
    EXPECT_EQ(manage->ComPort, rig.link);
    EXPECT_EQ(manage->ComBaud, "38400");
    rig.comm->Disconnect();
}

// The minutes are stored as typed; a number the box cannot take is refused at OK with the range
// (the box shows the nearest allowed value and the dialog stays). "1" used to be stored as 5
// without a word.
TEST_F(SettingsTest, IdleMinutesAsTyped)
{
    make();
    const struct {
        const char *typed;
        bool accepted;
        int shown; // the box afterwards
    } cases[] = {{"12", true, 12}, {"480", true, 480}, {"1", false, 5}, {"4812", true, 48}}; // 481, 482: keys refused
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        manage->KeepTime = 30;
        TfSet &d = open();
        const size_t asked = rig.prompt.calls().size();
        if (!c.accepted)
            rig.prompt.answerBox(core::kIdOk);
        int mr = 0;
        bool stayed = false;
        mr = run([&](TfSet &s) {
            s.edit_disconntime->setFocus();
            s.edit_disconntime->selectAll();
            QTest::keyClicks(s.edit_disconntime, c.typed);
            QTest::keyClick(s.edit_disconntime, Qt::Key_Return);
            stayed = s.isVisible();
        });
        EXPECT_EQ(stayed, !c.accepted);
        EXPECT_EQ(mr, c.accepted ? 1 : 2);
        EXPECT_EQ(d.edit_disconntime->value(), c.shown);
        EXPECT_EQ(manage->KeepTime, c.accepted ? c.shown : 30);
        if (!c.accepted) {
            ASSERT_EQ(rig.prompt.calls().size(), asked + 1);
            EXPECT_EQ(rig.prompt.calls().back().text, "Disconnect after takes 5 to 480 minutes.");
        }
    }
}

// Stored "keep" used to leave the minutes box disabled whatever the user chose.
TEST_F(SettingsTest, TheRadiosEnableTheMinutes)
{
    make();
    TfSet &d = open();
    ASSERT_TRUE(d.Radio_keep->isChecked());
    QTest::mouseClick(d.Radio_disconn, Qt::LeftButton);
    EXPECT_TRUE(d.edit_disconntime->isEnabled());
    EXPECT_EQ(d.edit_disconntime->value(), 5);
    QTest::mouseClick(d.Radio_keep, Qt::LeftButton);
    EXPECT_FALSE(d.edit_disconntime->isEnabled());
}

// The idle time-out reaches the worker only when the applied value differs from the stored one.
TEST_F(SettingsTest, ApplyHandsTheIdleTimeOutOverOnlyWhenItChanges)
{
    make();
    const int64_t untouched = 123456;
    struct Case {
        const char *name;
        int32_t stored;
        bool keep;
        int minutes;
        int64_t timeout; // -1: nothing handed over
    };
    for (const Case &c : {Case{"keep after 10", 10, true, 0, 0}, Case{"15 after 10", 10, false, 15, 900000},
                          Case{"10 again", 10, false, 10, -1}, Case{"keep again", 0, true, 0, -1},
                          Case{"480 after keep", 0, false, 480, 480 * 60000}}) {
        SCOPED_TRACE(c.name);
        manage->KeepTime = c.stored;
        rig.worker->SetIdleTimeout(untouched);
        TfSet &d = open();
        (c.keep ? d.Radio_keep : d.Radio_disconn)->click();
        if (!c.keep)
            d.edit_disconntime->setValue(c.minutes);
        d.btnApply->click();
        EXPECT_EQ(manage->KeepTime, c.keep ? 0 : c.minutes);
        EXPECT_EQ(rig.worker->IdleTimeout(), c.timeout < 0 ? untouched : c.timeout);
    }
}

TEST_F(SettingsTest, ApplyStoresAndSavesEverything)
{
    make();
    manage->SelectPhone = "other";
    TfSet &d = open();
    choose(d.Combo_connect, "Cable");
    choose(d.Combo_com, "/dev/ttyUSV9");
    choose(d.Combo_baud, "57600");
    d.Radio_disconn->click();
    d.edit_disconntime->setValue(30);
    d.check_delsms->setChecked(true);
    d.Check_sms->setChecked(false);
    d.check_clearsms->setChecked(true);
    d.cbSendClose->setChecked(true);
    rig.prompt.answerBox(core::kIdOk);
    choose(d.Combo_language, "Second");
    ASSERT_EQ(rig.prompt.calls().size(), 1u);
    EXPECT_EQ(rig.prompt.calls()[0].text, "The new language takes effect the next time Selvark starts.");
    EXPECT_EQ(rig.prompt.calls()[0].caption, "Selvark");
    EXPECT_EQ(rig.prompt.calls()[0].flags, core::kMbOk);
    EXPECT_EQ(run([](TfSet &s) { QTest::mouseClick(s.btnOk, Qt::LeftButton); }), 1);

    EXPECT_EQ(manage->SelectPhone, "Other");
    EXPECT_EQ(manage->ComType, "Cable");
    EXPECT_EQ(manage->ComPort, "/dev/ttyUSV9");
    EXPECT_EQ(manage->ComBaud, "57600");
    EXPECT_EQ(manage->KeepTime, 30);
    EXPECT_TRUE(manage->InCeptDel);
    EXPECT_FALSE(manage->DelQuestion);
    EXPECT_TRUE(manage->ClearTrashOnExit);
    EXPECT_TRUE(manage->SendClose);
    EXPECT_EQ(manage->CurLangType, "Second");
    EXPECT_EQ(manage->LangMng().currentLanguage(), "English") << "the running language stays";
    EXPECT_EQ(core::identText(rig.comm->selectedPhone().Man), "Other");

    // The settings file holds every key as applied.
    std::ifstream in(manage->SettingsFile());
    std::stringstream text;
    text << in.rdbuf();
    const std::string ini = text.str();
    for (const char *key : core::kSettingKeys)
        EXPECT_NE(ini.find(std::string(key) + "="), std::string::npos) << key;
    for (const char *line : {"SelectPhone=Other", "ComType=Cable", "ComPort=/dev/ttyUSV9", "ComBaud=57600",
                             "KeepTime=30", "CurLangType=Second", "InCeptDel=1", "DelQuestion=0", "SendClose=1"})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
    core::TManage reread(rig.dir.root(), nullptr);
    reread.LoadSettings();
    EXPECT_EQ(reread.ComPort, "/dev/ttyUSV9");
    EXPECT_EQ(reread.KeepTime, 30);
}

TEST_F(SettingsTest, CancelAfterApplyKeepsWhatApplyStored)
{
    make();
    manage->SelectPhone = "Other";
    manage->ComType = "Cable";
    TfSet &d = open();
    choose(d.Combo_baud, "38400");
    d.btnApply->click();
    choose(d.Combo_baud, "57600");
    d.cbSendClose->setChecked(true);
    EXPECT_EQ(run([](TfSet &s) { QTest::mouseClick(s.btnCancel, Qt::LeftButton); }), 2);
    EXPECT_EQ(manage->ComBaud, "38400");
    EXPECT_FALSE(manage->SendClose);
    core::TManage reread(rig.dir.root(), nullptr);
    reread.LoadSettings();
    EXPECT_EQ(reread.ComBaud, "38400");
}

// OK pressed for a message option used to wipe maker, type, port and baud when the lists were
// empty (a maker not in the catalogue, a missing Plug-in folder).
TEST_F(SettingsTest, ListsWithoutASelectionKeepTheStoredConnection)
{
    make();
    const auto empty = std::make_shared<const core::Catalogue>();
    for (const auto &[name, catalogue] : std::vector<std::pair<std::string, std::shared_ptr<const core::Catalogue>>>{
             {"maker not in the catalogue", nullptr}, {"empty catalogue", empty}}) {
        SCOPED_TRACE(name);
        manage->SelectPhone = "Nokia";
        manage->ComType = "Cable";
        manage->ComPort = "/dev/ttyUSB3";
        manage->ComBaud = "115200";
        core::SelectedPhone before{};
        core::putIdentText(before.Man, "Nokia");
        rig.comm->SetParams(before, "Cable", "/dev/ttyUSB3", "115200");
        TfSet &d = open(catalogue);
        EXPECT_FALSE(d.Button7->isEnabled());
        d.cbSendClose->setChecked(true);
        EXPECT_EQ(run([](TfSet &s) { QTest::mouseClick(s.btnOk, Qt::LeftButton); }), 1);
        EXPECT_TRUE(manage->SendClose);
        EXPECT_EQ(manage->SelectPhone, "Nokia");
        EXPECT_EQ(manage->ComType, "Cable");
        EXPECT_EQ(manage->ComPort, "/dev/ttyUSB3");
        EXPECT_EQ(manage->ComBaud, "115200");
        EXPECT_EQ(core::identText(rig.comm->selectedPhone().Man), "Nokia");
        core::TManage reread(rig.dir.root(), nullptr);
        reread.LoadSettings();
        EXPECT_EQ(reread.SelectPhone, "Nokia");
        EXPECT_EQ(reread.ComBaud, "115200");
    }
}

TEST_F(SettingsTest, ValueLists)
{
    make();
    TfSet &d = open();
    QListWidget *sign = d.ListView_sign;
    {
        SCOPED_TRACE("a blank text is not added; a cancelled box adds nothing");
        rig.prompt.answerInput(" \t ");
        rig.prompt.answerInput(std::nullopt);
        d.btnAdd->click();
        d.btnAdd->click();
        EXPECT_EQ(sign->count(), 0);
        EXPECT_TRUE(stored(1).empty());
        ASSERT_EQ(rig.prompt.calls().size(), 2u);
        EXPECT_EQ(rig.prompt.calls()[0].caption, "Signature");
        EXPECT_EQ(rig.prompt.calls()[0].text, "New signature:");
    }
    {
        SCOPED_TRACE("an apostrophe is added, edited and deleted");
        rig.prompt.answerInput("Bob's");
        d.btnAdd->click();
        EXPECT_EQ(stored(1), std::vector<std::string>{"Bob's"});
        sign->item(0)->setSelected(true);
        rig.prompt.answerInput("Bob's 'best'");
        d.Btnedit->click();
        EXPECT_EQ(texts(sign), std::vector<std::string>{"Bob's 'best'"});
        EXPECT_EQ(stored(1), std::vector<std::string>{"Bob's 'best'"});
        d.BtnDel->click();
        EXPECT_EQ(sign->count(), 0);
        EXPECT_TRUE(stored(1).empty());
    }
    {
        SCOPED_TRACE("editing to an empty text is stored; a double click edits");
        rig.prompt.answerInput("Regards");
        d.btnAdd->click();
        sign->item(0)->setSelected(true);
        rig.prompt.answerInput("");
        d.Btnedit->click();
        EXPECT_EQ(texts(sign), std::vector<std::string>{""});
        EXPECT_EQ(stored(1), std::vector<std::string>{""});
        rig.prompt.answerInput("Cheers");
        emit sign->itemDoubleClicked(sign->item(0));
        EXPECT_EQ(stored(1), std::vector<std::string>{"Cheers"});
        const auto &edit = rig.prompt.calls().back();
        EXPECT_EQ(edit.text, "Change the signature:");
    }
    {
        SCOPED_TRACE("deleting the last two of five selects the new last");
        QListWidget *sca = d.ListView_sca;
        for (const char *n : {"+111", "+222", "+333", "+444"}) {
            rig.prompt.answerInput(n);
            d.BtnNew->click();
        }
        ASSERT_EQ(sca->count(), 5);
        sca->clearSelection();
        sca->item(3)->setSelected(true);
        sca->item(4)->setSelected(true);
        d.BtnDelete->click();
        EXPECT_EQ(texts(sca), (std::vector<std::string>{"(Handset default)", "+111", "+222"}));
        EXPECT_EQ(selectedRows(sca), std::vector<int>{2});
        EXPECT_EQ(stored(0), (std::vector<std::string>{"(Handset default)", "+111", "+222"}));
        // The middle one by the Delete key released in the list: the one now at its place.
        sca->clearSelection();
        sca->item(1)->setSelected(true);
        sca->setFocus();
        QTest::keyRelease(sca, Qt::Key_Delete);
        EXPECT_EQ(texts(sca), (std::vector<std::string>{"(Handset default)", "+222"}));
        EXPECT_EQ(selectedRows(sca), std::vector<int>{1});
        // Nothing selected: nothing asked, nothing deleted.
        sca->clearSelection();
        const size_t asked = rig.prompt.calls().size();
        d.BtnClear->click();
        d.BtnDelete->click();
        EXPECT_EQ(rig.prompt.calls().size(), asked);
        EXPECT_EQ(sca->count(), 2);
    }
    {
        SCOPED_TRACE("Ctrl+A selects all");
        QListWidget *sca = d.ListView_sca;
        sca->clearSelection();
        sca->setFocus();
        QTest::keyClick(sca, Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(selectedRows(sca), (std::vector<int>{0, 1}));
    }
}

// The simulated handset's link as the second of two ports: the search fails on the first port's
// four bauds, then answers at the second; result 1 selects that port and baud.
TEST_F(SettingsTest, ConnectionTestSelectsThePairThatAnswered)
{
    make(true);
    manage->SelectPhone = "Other";
    manage->ComType = "Cable";
    manage->ComPort = rig.link;
    TfSet &d = open();
    ASSERT_EQ(texts(d.Combo_com), (std::vector<std::string>{"/dev/ttyUSV9", rig.link}));
    choose(d.Combo_com, "/dev/ttyUSV9");
    choose(d.Combo_baud, "9600");
    whenModal("fmTestConn", [this](QWidget *) { EXPECT_TRUE(rig.worker->batchStep()); });
    EXPECT_EQ(d.Button7Click(), 1);
    EXPECT_EQ(current(d.Combo_com), rig.link);
    EXPECT_EQ(current(d.Combo_baud), "19200") << "the first baud in the list";
    // Every port and baud entry was offered, not only the selected ones: four bauds of the
    // missing port, then the first baud of the link (one 100 ms pause before each attempt).
    EXPECT_EQ(std::count(rig.pauses.begin(), rig.pauses.end(), 100), 5);
    EXPECT_FALSE(rig.sim->commands().empty()) << "the handset was asked";
    EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE), 1);
}

TEST_F(SettingsTest, ConnectionTestWithOnePortAndOneBaud)
{
    make(true);
    // Our driver's cable row narrowed to the handset's link and one baud.
    const auto real = rig.tables.snapshot();
    std::vector<core::ConnRow> conn = real->connInfo();
    for (core::ConnRow &r : conn)
        if (r.Type == "Cable") {
            r.Port = rig.link;
            r.Baud = "57600";
        }
    const auto narrowed =
        std::make_shared<const core::Catalogue>(real->baseInfo(), conn, real->plugInfo(), real->modelRef());
    manage->SelectPhone = "Other";
    manage->ComType = "Cable";
    TfSet &d = open(narrowed);
    ASSERT_EQ(texts(d.Combo_com), std::vector<std::string>{rig.link});
    ASSERT_EQ(texts(d.Combo_baud), std::vector<std::string>{"57600"});
    rig.sim->clearCommands();
    whenModal("fmTestConn", [this](QWidget *) { EXPECT_TRUE(rig.worker->batchStep()); });
    EXPECT_EQ(d.Button7Click(), 1);
    EXPECT_EQ(current(d.Combo_com), rig.link);
    EXPECT_EQ(current(d.Combo_baud), "57600");
    EXPECT_FALSE(rig.sim->commands().empty()) << "the handset was asked";
}

TEST_F(SettingsTest, CancelledConnectionTestChangesNothing)
{
    make(true);
    manage->SelectPhone = "Other";
    manage->ComType = "Cable";
    manage->ComPort = rig.link;
    TfSet &d = open();
    choose(d.Combo_com, "/dev/ttyUSV9");
    choose(d.Combo_baud, "38400");
    rig.onPause = [](int) {
        QWidget *w = QApplication::activeModalWidget();
        if (w && w->objectName() == "fmTestConn")
            if (auto *b = w->findChild<QPushButton *>("btnCancel"))
                QTest::mouseClick(b, Qt::LeftButton);
    };
    whenModal("fmTestConn", [this](QWidget *) { EXPECT_TRUE(rig.worker->batchStep()); });
    EXPECT_EQ(d.Button7Click(), 2);
    rig.onPause = nullptr;
    EXPECT_EQ(current(d.Combo_com), "/dev/ttyUSV9");
    EXPECT_EQ(current(d.Combo_baud), "38400");
    EXPECT_EQ(manage->ComPort, rig.link) << "nothing applied";
    QCoreApplication::processEvents();
    // The search was running when cancelled: its done message acknowledged the cancel.
    EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE), 1);
}

TEST_F(SettingsTest, Screenshots)
{
    make();
    manage->SelectPhone = "Other";
    manage->ComType = "Cable";
    manage->ComPort = "/dev/ttyUSB0";
    manage->ComBaud = "57600";
    manage->KeepTime = 15;
    manage->AddSSInfo(1, "Best regards, Bob's team");
    manage->AddSSInfo(0, "+8613800138000");
    TfSet &d = open();
    run([](TfSet &s) {
        s.PageControl1->setCurrentWidget(s.TabConnect);
        screenshot(&s, "settings_connection");
        s.PageControl1->setCurrentWidget(s.TabSms);
        screenshot(&s, "settings_messages");
    });
}

#endif

} // namespace
} // namespace forms_test
