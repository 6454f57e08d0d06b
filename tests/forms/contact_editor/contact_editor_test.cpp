// The contact editor and its address dialog: rows built from a storage's template, what OK writes
// back, the number boxes, the type menu, the address parts, and how the forms look.

#include "core/lang_mng.h"
#include "core/lang_qt/expect_translated.h"
#include "core/prompt.h"
#include "forms/fm_add_edit.h"
#include "forms/fm_edit_vcard.h"
#include "forms/support/forms_app.h"
#include "forms/support/screenshot.h"
#include "forms/support/scripted_prompt.h"
#include "forms/support/when_modal.h"

#include "controls/buttons/btn_edit.h"
#include "dv_vcard.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

namespace forms_test {
namespace {

using content::FieldParam;
using content::TFieldParams;
using content::TMobileVacrd;
using content::TVcardFields;
using forms::TfVcardEdit;

FieldParam desc(int32_t type, int32_t flags = 0, int32_t maxLen = 0, std::array<int32_t, 7> parts = {})
{
    return FieldParam{type, flags, maxLen, parts, 0};
}
const std::array<int32_t, 7> kTwoBoxes = {20, 20, 0, 0, 0, 0, 0};

struct Editor {
    explicit Editor(TFieldParams t, TMobileVacrd f = {}, std::vector<std::string> groups = {}, bool english = true)
        : lang(english ? lang_qt_test::distDir() : std::string("/nonexistent"))
    {
        app();
        if (english)
            lang.setLanguage("English"); // otherwise no language: every text is empty
        ed = std::make_unique<TfVcardEdit>(lang, prompt, std::move(groups));
        ed->templ = std::move(t);
        ed->fields = std::move(f);
        built = ed->BuildRows();
    }
    // Shows the editor modally; act runs inside its modal loop, after the post-show step.
    int run(const std::function<void(TfVcardEdit &)> &act)
    {
        whenModal("fVcardEdit", [&](QWidget *) {
            QCoreApplication::processEvents();
            act(*ed);
            if (ed->isVisible())
                ed->reject();
        });
        return ed->exec();
    }
    int ok(const std::function<void(TfVcardEdit &)> &edit)
    {
        return run([&](TfVcardEdit &e) {
            edit(e);
            QTest::mouseClick(e.btnOK, Qt::LeftButton);
        });
    }
    std::string value(int32_t type) const
    {
        for (const TVcardFields &f : ed->fields)
            if (f.type == type)
                return f.value;
        return "<none>";
    }

    core::TLangMng lang;
    ScriptedPrompt prompt;
    std::unique_ptr<TfVcardEdit> ed;
    int built = 0;
};

void focusOut(QWidget *w)
{
    QFocusEvent e(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &e);
}

TEST(ContactEditor, EmptyTemplateBuildsNothing)
{
    Editor e({}, {{3, 0, "Li;Wei"}});
    EXPECT_EQ(e.built, -1);
    EXPECT_TRUE(e.ed->rows().empty());
}

// What OK writes into N, by name form and old value.
TEST(ContactEditor, NameWrittenInTheFormShown)
{
    struct Case {
        const char *what;
        TFieldParams templ;
        std::string old;
        QString family, given; // typed; a null family: leave the boxes alone
        bool twoBoxes;
        int result;
        std::string stored;
    };
    const std::string wang30 = [] { std::string s; for (int i = 0; i < 30; ++i) s += "王"; return s; }();
    const std::string wang26 = [] { std::string s; for (int i = 0; i < 26; ++i) s += "王"; return s; }();
    const Case cases[] = {
        {"untouched", {desc(3, 0, 0, kTwoBoxes)}, "Li;Wei;M;Dr;Jr", {}, {}, true, 2, "Li;Wei;M;Dr;Jr"},
        {"one box, new", {desc(3, 0, 20)}, "", {}, "Wei", false, 1, ";Wei"},
        {"one box, empty", {desc(3, 0, 20)}, "", {}, " ", false, 1, "; "},
        {"one box keeps family", {desc(3, 0, 20)}, "Li;Wei", {}, "Bo", false, 1, "Li;Bo"},
        {"two boxes keep the rest", {desc(3, 0, 0, kTwoBoxes)}, "Li;Wei;M;Dr;Jr", "Zhang", "San", true, 1, "Zhang;San;M;Dr;Jr"},
        {"negative limit: one box", {desc(3, 0, 20, {-1, -1, 0, 0, 0, 0, 0})}, "", {}, "Wei", false, 1, ";Wei"},
        {"N not first", {desc(5, 0x100, 20), desc(3, 0, 0, kTwoBoxes)}, "", "Li", "Wei", true, 1, "Li;Wei"},
        {"CJK cut on a character", {desc(3, 0, 0, {40, 40, 0, 0, 0, 0, 0})}, "", "李", QString::fromStdString(wang30), true, 1, "李;" + wang26},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Editor e(c.templ, {{3, 0, c.old}});
        EXPECT_EQ(e.ed->nameStructured(), c.twoBoxes);
        EXPECT_EQ(e.ed->EdtLastName->isHidden(), !c.twoBoxes);
        const int mr = e.ok([&](TfVcardEdit &ed) {
            if (c.twoBoxes && !c.family.isNull()) {
                ed.edtName->setText(c.family);
                ed.EdtLastName->setText(c.given);
            } else if (!c.given.isNull()) {
                ed.edtName->setText(c.given);
            }
        });
        EXPECT_EQ(mr, c.result);
        EXPECT_EQ(e.value(3), c.stored);
    }
}

TEST(ContactEditor, TwoEmptyNameBoxesAskForANameAndStay)
{
    Editor e({desc(3, 0, 0, kTwoBoxes)}, {{3, 0, "Li;Wei"}});
    e.prompt.answerBox(core::kIdOk);
    bool stayed = false;
    e.run([&](TfVcardEdit &ed) {
        ed.edtName->setText("  ");
        ed.EdtLastName->clear();
        QTest::mouseClick(ed.btnOK, Qt::LeftButton);
        stayed = ed.isVisible();
    });
    EXPECT_TRUE(stayed);
    ASSERT_EQ(e.prompt.boxTexts().size(), 1u);
    EXPECT_EQ(e.prompt.boxTexts()[0], "Please enter a name.");
    EXPECT_EQ(e.value(3), "Li;Wei");
}

TEST(ContactEditor, WithoutANameDescriptionNoNameIsAsked)
{
    Editor e({desc(5, 0x100, 20)}, {{5, 0x100, "123"}});
    EXPECT_TRUE(e.ed->edtName->isHidden());
    EXPECT_TRUE(e.ed->EdtLastName->isHidden());
    EXPECT_EQ(e.ok([](TfVcardEdit &ed) { ed.rows()[0].box->setText("1234"); }), 1);
    EXPECT_EQ(e.value(3), "<none>");
    EXPECT_EQ(e.value(5), "1234");
}

TEST(ContactEditor, NumberBoxes)
{
    Editor e({desc(3, 0, 20), desc(5, 0x100, 20), desc(5, 0x200, 20)}, {{5, 0x100, "*100#"}, {5, 0x200, ""}});
    QLineEdit *kept = e.ed->rows()[0].box;
    QLineEdit *typed = e.ed->rows()[1].box;
    // Tabbing through a service code leaves it whole.
    focusOut(kept);
    EXPECT_EQ(kept->text(), "*100#");
    QTest::keyClicks(typed, "12ab.*#x+");
    EXPECT_EQ(typed->text(), "12*#+");
    typed->clear();
    typed->insert("+86 (10) 1234.5-6"); // a paste
    focusOut(typed);
    EXPECT_EQ(typed->text(), "+86101234.5-6");
    EXPECT_EQ(e.ed->fields[1].value, "+86101234.5-6");
    EXPECT_EQ(e.ed->fields[0].value, "*100#");
}

TEST(ContactEditor, ALongerNumberIsShownWholeAndRefusedOnOk)
{
    Editor e({desc(3, 0, 20), desc(5, 0x100, 5)}, {{3, 0, ";Wei"}, {5, 0x100, "1234567890"}});
    EXPECT_EQ(e.ed->rows()[0].box->text(), "1234567890");
    e.prompt.answerBox(core::kIdOk);
    bool stayed = false;
    e.run([&](TfVcardEdit &ed) {
        ed.edtName->setText("Bo");
        QTest::mouseClick(ed.btnOK, Qt::LeftButton);
        stayed = ed.isVisible();
    });
    EXPECT_TRUE(stayed);
    ASSERT_EQ(e.prompt.boxTexts().size(), 1u);
    EXPECT_NE(e.prompt.boxTexts()[0].find("longer"), std::string::npos);
    EXPECT_EQ(e.value(5), "1234567890");
}

TEST(ContactEditor, FieldsMatchedToDescriptions)
{
    {
        SCOPED_TRACE("flags 0 takes a mobile number");
        Editor e({desc(5, 0, 20)}, {{5, 0x100, "555"}});
        ASSERT_EQ(e.ed->rows().size(), 1u);
        EXPECT_EQ(e.ed->rows()[0].fieldIndex, 0);
        EXPECT_EQ(e.ed->rows()[0].box->text(), "555");
        EXPECT_EQ(e.ed->fields.size(), 1u);
    }
    {
        SCOPED_TRACE("mobile then pager, one plain number");
        Editor e({desc(5, 0x100, 20), desc(5, 0x200, 20)}, {{5, 0x800, "777"}});
        ASSERT_EQ(e.ed->rows().size(), 2u);
        ASSERT_EQ(e.ed->fields.size(), 2u);
        EXPECT_EQ(e.ed->fields[1], (TVcardFields{5, 0x100, ""}));
        EXPECT_EQ(e.ed->rows()[0].fieldIndex, 1);
        EXPECT_EQ(e.ed->rows()[1].fieldIndex, 0);
        EXPECT_EQ(e.ed->rows()[1].box->text(), "777");
    }
    {
        SCOPED_TRACE("a pager-work number under a row offering four types is shown there");
        Editor e({desc(5, 0x101, 20), desc(5, 0x303, 20)}, {{5, 0x101, "111"}, {5, 0x202, "*100#"}});
        ASSERT_EQ(e.ed->rows().size(), 2u);
        EXPECT_EQ(e.ed->fields.size(), 2u);
        EXPECT_EQ(e.ed->rows()[1].box->text(), "*100#");
    }
}

TEST(ContactEditor, TypeMenu)
{
    {
        Editor e({desc(5, 0x101, 20)}, {{5, 0x101, "1"}});
        EXPECT_TRUE(e.ed->rows()[0].typeButton->isHidden());
    }
    Editor e({desc(5, 0x303, 20)}, {{5, 0x303, "1"}});
    const auto items = e.ed->typeMenu(1);
    std::vector<int> types;
    for (const auto &i : items)
        types.push_back(i.type);
    EXPECT_EQ(types, (std::vector<int>{0, 1, 4, 5}));
    EXPECT_EQ(items[0].caption, " Mobile  Home ");
    EXPECT_TRUE(items[0].checked && items[3].checked);
    EXPECT_FALSE(e.ed->rows()[0].typeButton->isHidden());
    const int mr = e.ok([&](TfVcardEdit &ed) { ed.chooseType(1, items[3].type); });
    EXPECT_EQ(mr, 1);
    EXPECT_EQ(e.ed->fields[0].flags, 0x202);
    EXPECT_EQ(e.ed->rows()[0].label->text(), QString::fromStdString(forms::telTypeText(e.lang, 0x202)).simplified());
    EXPECT_EQ(e.ed->rows()[0].label->text(), "Work Pager");
    // The check mark follows the field's new type.
    std::vector<bool> checks;
    for (const auto &i : e.ed->typeMenu(1))
        checks.push_back(i.checked);
    EXPECT_EQ(checks, (std::vector<bool>{false, false, false, true}));
}

TEST(ContactEditor, TabOrderFollowsTheRowsAndCaptionNamesTheStorage)
{
    Editor e({desc(3, 0, 0, kTwoBoxes), desc(4), desc(5, 0x100, 20), desc(6, 0, 40), desc(61), desc(12, 0, 100)},
             {{3, 0, "Li;Wei"}}, {"Family"});
    e.ed->storageCode = 4;
    std::vector<QWidget *> want = {e.ed->edtName, e.ed->EdtLastName, e.ed->dtpBirthday, e.ed->rows()[0].box,
                                   e.ed->rows()[1].box, e.ed->rows()[2].group, e.ed->memEx, e.ed->btnOK,
                                   e.ed->btnCancel};
    std::vector<QWidget *> got;
    QString title;
    e.run([&](TfVcardEdit &ed) {
        title = ed.windowTitle();
        QWidget *w = ed.edtName;
        for (int i = 0; i < 200 && got.size() < want.size(); ++i, w = w->nextInFocusChain())
            if (std::find(want.begin(), want.end(), w) != want.end() &&
                std::find(got.begin(), got.end(), w) == got.end())
                got.push_back(w);
    });
    EXPECT_EQ(got, want);
    EXPECT_EQ(title, "Contacts Contact");
}

TEST(ContactEditor, TypeChosenByIndexWithEmptyTexts)
{
    Editor e({desc(5, 0x303, 20)}, {{5, 0x303, "1"}}, {}, /*english=*/false);
    const auto items = e.ed->typeMenu(1);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_TRUE(items[2].caption.isEmpty());
    e.ed->chooseType(1, items[2].type);
    EXPECT_EQ(e.ed->fields[0].flags, 0x201);
}

// The expected ADR value and display text of a record.
std::pair<std::string, QString> encoded(const VcardAddr &a)
{
    char enc[500] = {}, shown[500] = {};
    VcardAddr_enc(&a, enc, sizeof enc);
    VcardAddr_toStr(&a, shown, sizeof shown);
    return {enc, QString::fromUtf8(shown)};
}

TEST(ContactEditor, AddressDialog)
{
    const std::array<int32_t, 7> limits = {40, 0, 40, 20, 20, 10, 40};
    Editor e({desc(3, 0, 20), desc(8, 0, 0, limits)}, {{3, 0, ";Wei"}, {8, 0, "Box 1;Old ext;Main St;Town;;;"}});
    auto *box = qobject_cast<controls::TkwBtnEdit *>(e.ed->rows()[0].box);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_TRUE(box->showsDefaultGlyph(1));
    {
        VcardAddr old{};
        VcardAddr_dec(&old, "Box 1;Old ext;Main St;Town;;;");
        EXPECT_EQ(box->text(), encoded(old).second);
    }

    QString country;
    for (int i = 0; i < 20; ++i)
        country += QStringLiteral("中");
    bool extendedOff = false;
    QString title;
    whenModal("fmAdd", [&](QWidget *w) {
        auto *dlg = static_cast<forms::TfmAdd *>(w);
        title = dlg->windowTitle();
        extendedOff = !dlg->ME->isEnabled() && !dlg->label(1)->isEnabled() && dlg->ME->toPlainText().isEmpty();
        dlg->MP->setPlainText("PO Box 7\nFloor 2\r\n");
        dlg->ECounty->setText(country);
        screenshot(dlg, "address_dialog");
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
    });
    box->ButtonClick(box->button1());
    EXPECT_TRUE(extendedOff);
    EXPECT_EQ(title, "Wei__Address");

    VcardAddr want{};
    std::strcpy(want.poBox, "PO Box 7Floor 2");
    std::strcpy(want.street, "Main St");
    std::strcpy(want.locality, "Town");
    const std::string cut = country.left(10).toStdString(); // 30 of the record's 31 bytes
    std::memcpy(want.country, cut.data(), cut.size());
    const auto [value, shown] = encoded(want);
    EXPECT_EQ(e.ed->fields[1].value, value);
    EXPECT_EQ(box->text(), shown);
    EXPECT_TRUE(e.ed->changed());
}

TEST(ContactEditor, AddressWithAllLimitsTwoIsPlainText)
{
    Editor e({desc(3, 0, 20), desc(8, 0, 60, {2, 2, 2, 2, 2, 2, 2})}, {{8, 0, "a;b;c"}});
    EXPECT_EQ(qobject_cast<controls::TkwBtnEdit *>(e.ed->rows()[0].box), nullptr);
    EXPECT_EQ(e.ed->rows()[0].box->text(), "a;b;c");
}

TEST(ContactEditor, NoteGroupAndBirthday)
{
    const TFieldParams templ = {desc(3, 0, 20), desc(4), desc(12, 0, 100), desc(61)};
    const std::vector<std::string> groups = {"Family", "Friends", "Work"};
    {
        Editor e(templ, {{3, 0, ";Wei"}, {4, 0, "2001-02-03"}, {12, 0, "a"}, {12, 0, "b"}, {61, 0, "abc"}}, groups);
        EXPECT_EQ(e.ed->dtpBirthday->date(), QDate(2001, 2, 3));
        const auto &grp = e.ed->rows().back();
        ASSERT_NE(grp.group, nullptr);
        EXPECT_EQ(grp.group->currentIndex(), -1);
        EXPECT_EQ(e.ed->fields[grp.fieldIndex].value, "");
        const int mr = e.ok([](TfVcardEdit &ed) {
            ed.memEx->setPlainText("note");
            ed.dtpBirthday->setDate(QDate(2005, 6, 7));
            ed.rows().back().group->setCurrentIndex(1);
        });
        EXPECT_EQ(mr, 1);
        EXPECT_EQ(e.ed->fields[2].value, "note");
        EXPECT_EQ(e.ed->fields[3].value, "note");
        e.ed->memEx->setPlainText(QString(150, 'x'));
        EXPECT_EQ(e.ed->fields[2].value, std::string(100, 'x')); // the storage's limit
        EXPECT_EQ(e.value(4), "2005-06-07");
        EXPECT_EQ(e.value(61), "2");
    }
    {
        Editor e(templ, {{3, 0, ";Wei"}, {4, 0, "sometime"}, {61, 0, "-100"}}, groups);
        EXPECT_EQ(e.ed->rows().back().group->currentIndex(), -1);
        EXPECT_EQ(e.ed->dtpBirthday->text(), "-");
        EXPECT_EQ(e.ok([](TfVcardEdit &ed) { ed.edtName->setText("Bo"); }), 1);
        EXPECT_EQ(e.value(4), "sometime");
        EXPECT_EQ(e.value(61), "-100");
    }
}

// Visible controls of w, by their rectangles in w.
void expectLaidOut(QWidget *w)
{
    std::vector<std::pair<QWidget *, QRect>> boxes;
    for (QWidget *c : w->findChildren<QWidget *>()) {
        if (!c->isVisible() || c->isWindow() || c->parentWidget()->inherits("QLineEdit") ||
            c->parentWidget()->inherits("QAbstractScrollArea") || c->parentWidget()->inherits("QAbstractSpinBox") ||
            c->parentWidget()->inherits("QPlainTextEdit") || c->inherits("QScrollBar") ||
            (c->parentWidget() != w && !c->parentWidget()->inherits("core::Panel")))
            continue;
        const QRect r(c->mapTo(w, QPoint(0, 0)), c->size());
        EXPECT_TRUE(w->rect().contains(r)) << c->objectName().toStdString() << " lies outside";
        boxes.emplace_back(c, r);
    }
    for (size_t i = 0; i < boxes.size(); ++i)
        for (size_t j = i + 1; j < boxes.size(); ++j) {
            if (boxes[i].first->isAncestorOf(boxes[j].first) || boxes[j].first->isAncestorOf(boxes[i].first))
                continue;
            EXPECT_FALSE(boxes[i].second.intersects(boxes[j].second))
                << boxes[i].first->metaObject()->className() << " " << boxes[i].first->objectName().toStdString()
                << " overlaps " << boxes[j].first->metaObject()->className() << " "
                << boxes[j].first->objectName().toStdString();
        }
}

TEST(ContactEditor, LaidOutAndScreenshots)
{
    struct Shot {
        const char *name;
        int32_t storage;
        TFieldParams templ;
        TMobileVacrd fields;
    };
    const std::array<int32_t, 7> addrLimits = {40, 40, 40, 20, 20, 10, 20};
    const Shot shots[] = {
        {"editor_sim", 1, {desc(3, 0, 14), desc(5, 0x800, 20)}, {{3, 0, ";Wei Li"}, {5, 0x800, "+8613800138000"}}},
        {"editor_phone", 2, {desc(3, 0, 20), desc(5, 0x101, 20), desc(5, 0x303, 20), desc(61)},
         {{3, 0, ";Anna"}, {5, 0x101, "0301234"}, {5, 0x202, "*100#"}, {61, 0, "2"}}},
        {"editor_contacts_chinese", 4,
         {desc(3, 0, 0, kTwoBoxes), desc(4), desc(5, 0x303, 20), desc(5, 0xCC3, 20), desc(6, 0, 60), desc(7, 0, 60),
          desc(8, 0, 0, addrLimits), desc(10, 0, 40), desc(11, 0, 40), desc(12, 0, 200), desc(61)},
         {{3, 0, "王;小明"}, {4, 0, "1990-05-17"}, {5, 0x101, "13800138000"}, {5, 0x402, "01012345678"},
          {6, 0, "wang@example.com"}, {7, 0, "http://example.com"}, {8, 0, ";;长安街 1 号;北京;;100000;中国"},
          {10, 0, "示例公司"}, {11, 0, "工程师"}, {12, 0, "备注：周末联系"}, {61, 0, "1"}}},
    };
    for (const Shot &s : shots) {
        SCOPED_TRACE(s.name);
        Editor e(s.templ, s.fields, {"Family", "Friends", "Work"});
        e.ed->storageCode = s.storage;
        e.run([&](TfVcardEdit &ed) {
            expectLaidOut(&ed);
            screenshot(&ed, s.name);
        });
    }
    {
        core::TLangMng lang(lang_qt_test::distDir());
        lang.setLanguage("English");
        forms::TfmAdd dlg(lang);
        VcardAddr a{};
        std::strcpy(a.street, "Main St 1");
        dlg.setParts(a, addrLimits);
        dlg.show();
        QCoreApplication::processEvents();
        expectLaidOut(&dlg);
        dlg.hide();
    }
}

TEST(ContactEditor, FullyTranslated)
{
    app();
    core::TLangMng lang(lang_qt_test::distDir());
    ScriptedPrompt prompt;
    TfVcardEdit ed(lang, prompt, {});
    lang_qt_test::expectFullyTranslated(&ed, "fVcardEdit");
    forms::TfmAdd add(lang);
    lang_qt_test::expectFullyTranslated(&add, "fmAdd");
}

} // namespace
} // namespace forms_test
