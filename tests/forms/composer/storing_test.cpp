// What the composer leaves in the boxes: saving new and edited messages of one part or split,
// once and twice, locally and on the simulated handset (also with the batch cancelled); splitting
// turned off over a long text; and the sent box after repeated and failed sends.
#include "composer_rig.h"

#include "controls/buttons/speed_button.h"
#include "controls/history/sw_combo_box.h"
#include "forms/support/when_modal.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <set>

namespace forms_test {
namespace {

using content::Ssms;

QString letters(int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += QChar('a' + i % 26);
    return s;
}

std::vector<Ssms> rowsOf(content::TSMSManage &sms, int box)
{
    std::vector<Ssms> out;
    for (const Ssms &m : sms.Messages(box))
        if (m.boxid == box)
            out.push_back(m);
    return out;
}

std::vector<std::string> bodiesOf(const std::vector<Ssms> &rows)
{
    std::vector<std::string> out;
    for (const Ssms &m : rows)
        out.push_back(m.body);
    return out;
}

// The bodies the composer's split gives for text (titles on, no signature).
std::vector<std::string> partsOf(const std::string &text)
{
    content::SplitSettings s{.haveTitle = true, .signatureOn = false, .signature = ""};
    std::vector<std::string> out;
    for (const Ssms &m : content::SplitSms(Ssms{.Tel = "+4930111", .time = "", .body = text, .V_time = "", .Sca = ""}, s).records)
        out.push_back(m.body);
    return out;
}

#ifdef SV_HAVE_REAL_PLUGINS
size_t handsetMessages(handsetsim::HandsetSim &sim)
{
    size_t n = 0;
    for (const char *name : {"SM", "ME"})
        if (auto st = sim.smsStorage(name))
            n += st->messages.size();
    return n;
}
#endif

enum class Where { Local, Handset, Cancelled };

struct SaveCase {
    bool edit;
    bool split;
    bool twice;
    Where where;
};

std::string name(const SaveCase &c)
{
    static const char *where[] = {"local", "handset", "handset cancelled"};
    return std::string(c.edit ? "edit" : "new") + (c.split ? ", split" : ", one part") +
           (c.twice ? ", saved twice, " : ", saved once, ") + where[int(c.where)];
}

// The message ends as the user left it: one row per part in the box it was meant for (or, when
// the handset batch was cancelled, in the drafts), the text of the last save, its time, nothing
// stale; Save is off only after a save that worked.
TEST(ComposerStoring, SavesLeaveExactlyTheLastTextInItsBox)
{
    std::vector<SaveCase> cases;
    for (bool edit : {false, true})
        for (bool split : {false, true})
            for (bool twice : {false, true})
                for (Where w : {Where::Local, Where::Handset, Where::Cancelled})
                    cases.push_back({edit, split, twice, w});
    for (const SaveCase &c : cases) {
        SCOPED_TRACE(name(c));
#ifndef SV_HAVE_REAL_PLUGINS
        if (c.where != Where::Local)
            continue;
#endif
        ComposerRig rig;
        const bool handset = c.where != Where::Local;
        const int box = handset ? content::kBoxPhoneStored : content::kBoxDrafts;
        size_t onHandset = 0;
        Ssms preset{.id = -1, .boxid = box, .Tid = -1, .Tel = "+4930111"};
        if (handset) {
            ASSERT_NO_FATAL_FAILURE(rig.connectHandset(c.where == Where::Cancelled));
            ASSERT_EQ(rig.phone->Download(), 0);
            onHandset = handsetMessages(*rig.sim);
            ASSERT_EQ(rowsOf(*rig.sms, box).size(), 1u) << "the scenario's stored message";
            if (c.edit)
                preset = rowsOf(*rig.sms, box)[0];
        } else if (c.edit) {
            content::ArraySms old{Ssms{.boxid = box, .Tel = "+4930111", .time = "2020-01-01 00:00:00", .body = "old"}};
            ASSERT_GT(rig.sms->AddMessages(old, -1, false), 0);
            preset = old[0];
        }
        const size_t others = handset && !c.edit ? 1 : 0; // rows of the box that are not this message

        forms::TfEditSms &f = rig.make();
        f.preset(preset, !c.edit);
        f.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(f.btnSave->isEnabled(), c.edit) << "an empty new message has nothing to save";
        f.Memo->selectAll();
        const QString first = c.split ? letters(200) : QString("hello");
        typeText(f.Memo, first);
        rig.cancelBatches = c.where == Where::Cancelled;
        QTest::mouseClick(f.btnSave, Qt::LeftButton);
        std::string text = first.toStdString();
        std::string time = kRigTime;
        if (c.twice) {
            time = "2026-05-06 07:10:00";
            rig.env->setLocalTime(time);
            typeText(f.Memo, " more");
            text += " more";
            QTest::mouseClick(f.btnSave, Qt::LeftButton);
        }
        rig.cancelBatches = false;

        const std::vector<std::string> want = partsOf(text);
        ASSERT_EQ(want.size(), c.split ? 2u : 1u);
        const int holds = c.where == Where::Cancelled ? content::kBoxDrafts : box;
        std::vector<Ssms> rows = rowsOf(*rig.sms, holds);
        if (holds == box && others > 0)
            rows.erase(rows.begin()); // the scenario's message, older than ours
        EXPECT_EQ(bodiesOf(rows), want);
        for (const Ssms &m : rows) {
            EXPECT_EQ(m.time, time);
            EXPECT_EQ(m.Tel, preset.Tel);
        }
        EXPECT_EQ(rowsOf(*rig.sms, box).size(), (holds == box ? want.size() : 0) + others);
        if (holds != content::kBoxDrafts)
            EXPECT_TRUE(rowsOf(*rig.sms, content::kBoxDrafts).empty());
        EXPECT_EQ(f.btnSave->isEnabled(), c.where == Where::Cancelled);
#ifdef SV_HAVE_REAL_PLUGINS
        if (handset) {
            const size_t edited = c.edit ? 1 : 0; // the edited message is rewritten, not doubled
            EXPECT_EQ(handsetMessages(*rig.sim),
                      c.where == Where::Handset ? onHandset + want.size() - edited : onHandset);
        }
#endif
    }
}

// Turning splitting off never touches the text: the counters say it is too long, Send and Save
// refuse it, and turning splitting on again lets it go as it was typed.
TEST(ComposerStoring, SplittingOffKeepsTheTextAndRefusesToStoreIt)
{
    ComposerRig rig;
    rig.manage->Connected = true;
    rig.manage->SplitAuto = true;
    forms::TfEditSms &f = rig.make();
    f.preset(Ssms{.id = -1, .boxid = content::kBoxDrafts, .Tid = -1, .Tel = "+4930111"}, true);
    f.show();
    const QString typed = letters(190);
    typeText(f.Memo, typed);
    auto tooLongShown = [&] { return f.panels[2]->text().toStdString() == rig.text("fEditSms_TooLong"); };
    EXPECT_FALSE(tooLongShown());

    QTest::mouseClick(f.cbSplit, Qt::LeftButton);
    EXPECT_FALSE(rig.manage->SplitAuto);
    EXPECT_EQ(f.Memo->toPlainText(), typed);
    EXPECT_TRUE(tooLongShown());
    QTest::mouseClick(f.btnSave, Qt::LeftButton);
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    const std::string refused = rig.text("fEditSms_TooLongRefused");
    EXPECT_EQ(rig.prompt.texts(), (std::vector<std::string>{refused, refused}));
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_TRUE(rowsOf(*rig.sms, content::kBoxDrafts).empty());
    EXPECT_EQ(f.Memo->toPlainText(), typed);
    EXPECT_TRUE(f.btnSave->isEnabled());

    // Shortened to one message it goes without splitting; long again, refused again.
    f.Memo->moveCursor(QTextCursor::End);
    for (int i = 0; i < 30; ++i)
        QTest::keyClick(f.Memo, Qt::Key_Backspace);
    EXPECT_FALSE(tooLongShown());
    QTest::mouseClick(f.btnSave, Qt::LeftButton);
    EXPECT_EQ(bodiesOf(rowsOf(*rig.sms, content::kBoxDrafts)), std::vector<std::string>{letters(160).toStdString()});
    typeText(f.Memo, typed.mid(160));
    EXPECT_EQ(f.Memo->toPlainText(), typed);
    EXPECT_TRUE(tooLongShown());

    QTest::mouseClick(f.cbSplit, Qt::LeftButton);
    EXPECT_TRUE(rig.manage->SplitAuto);
    EXPECT_EQ(f.Memo->toPlainText(), typed);
    EXPECT_FALSE(tooLongShown());
    rig.prompt.clear();
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    ASSERT_EQ(rig.sent.size(), 1u);
    EXPECT_EQ(rig.sent[0].size(), 2u);
    EXPECT_TRUE(rig.prompt.texts().empty());
}

// Every mnemonic of the composer reaches one control, and the ones users look for are where
// they look: Alt+P the phrase, Alt+C cancel.
TEST(ComposerStoring, MnemonicsAreUniqueAndFollowTheWords)
{
    ComposerRig rig;
    forms::TfEditSms &f = rig.make();
    f.preset(Ssms{.boxid = content::kBoxOutbox}, true); // Save keeps its own caption
    f.show();
    std::map<QChar, QString> seen;
    auto mnemonic = [](const QString &t) {
        for (qsizetype i = 0; i + 1 < t.size(); ++i)
            if (t[i] == '&' && t[i + 1] != '&')
                return t[i + 1].toLower();
        return QChar();
    };
    std::vector<std::pair<QString, QString>> texts;
    for (QAbstractButton *b : f.findChildren<QAbstractButton *>())
        texts.emplace_back(b->objectName(), b->text());
    for (QLabel *l : f.findChildren<QLabel *>())
        texts.emplace_back(l->objectName(), l->text());
    texts.emplace_back("SaveasDraft", QString::fromStdString(rig.text("fEditSms_SaveasDraft")));
    for (const auto &[obj, t] : texts) {
        const QChar m = mnemonic(t);
        if (m.isNull())
            continue;
        const bool saveVariant = obj == "SaveasDraft" || obj == "btnSave";
        auto [it, fresh] = seen.emplace(m, obj);
        if (!fresh && !(saveVariant && (it->second == "SaveasDraft" || it->second == "btnSave")))
            ADD_FAILURE() << "Alt+" << QString(m).toStdString() << ": " << it->second.toStdString() << " and "
                          << obj.toStdString();
    }
    EXPECT_EQ(mnemonic(f.btnInsert->text()), QChar('p'));
    EXPECT_EQ(mnemonic(f.btnCancel->text()), QChar('c'));
}

#ifdef SV_HAVE_REAL_PLUGINS
// The sent box keeps every message that went: one per recipient also for the same number twice,
// each send of the same text, and a failed resend leaves the earlier send where it is.
TEST(ComposerStoring, SentBoxKeepsEverySendAndAFailedResendTouchesNoEarlierOne)
{
    ComposerRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.connectHandset());
    rig.manage->SendClose = false;
    forms::TfEditSms &f = rig.make();
    f.preset(Ssms{.id = -1, .boxid = content::kBoxDrafts, .Tid = -1}, true);
    f.show();
    typeText(f.edit_address->lineEdit(), "+4930111;+4930111");
    typeText(f.Memo, "hello");
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    EXPECT_EQ(rig.sim->submitted().size(), 2u);
    std::vector<Ssms> sent = rowsOf(*rig.sms, content::kBoxSent);
    ASSERT_EQ(sent.size(), 2u) << "\"+1;+1\" sends two and keeps two";
    for (const Ssms &m : sent)
        EXPECT_EQ(m.time, kRigTime);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.Memo->toPlainText(), "hello");
    std::string done = rig.text("fEditSms_Sent");
    done.replace(done.find("%d"), 2, "2");
    done.replace(done.find("%d"), 2, "1");
    EXPECT_EQ(f.panels[2]->text().toStdString(), done);

    // The unchanged text again: asked first; declined, nothing goes.
    rig.prompt.answerNext(core::kIdCancel);
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    EXPECT_EQ(rig.prompt.texts(), std::vector<std::string>{rig.text("fEditSms_SendAgain")});
    EXPECT_EQ(rig.sim->submitted().size(), 2u);
    EXPECT_EQ(rowsOf(*rig.sms, content::kBoxSent).size(), 2u);

    // To one number, the same text: a message of its own, also at the same second.
    rig.prompt.clear();
    f.edit_address->setEditText("+4930111");
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    EXPECT_TRUE(rig.prompt.texts().empty()) << "other numbers: no question";
    EXPECT_EQ(rowsOf(*rig.sms, content::kBoxSent).size(), 3u);

    // Sent again and refused by the handset: the earlier ones stay sent, the new one waits in box 2.
    rig.sim->setSendError(500);
    rig.prompt.answerNext(core::kIdOk);
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    EXPECT_EQ(rowsOf(*rig.sms, content::kBoxSent).size(), 3u);
    std::vector<Ssms> outbox = rowsOf(*rig.sms, content::kBoxOutbox);
    ASSERT_EQ(outbox.size(), 1u);
    EXPECT_EQ(outbox[0].body, "hello");
    EXPECT_GT(outbox[0].id, rowsOf(*rig.sms, content::kBoxSent).back().id);
}
#endif

} // namespace
} // namespace forms_test
