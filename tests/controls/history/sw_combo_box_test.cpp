// The recipient combo box on a real, offscreen window: typing with the completer popup open, and
// filling the items without touching what the user typed.
#include "controls/history/sw_combo_box.h"

#include "core/platform/temp_dir.h"
#include "qt_print.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>

using controls::History;
using controls::TSWComboBox;
using platform_test::readText;
using platform_test::TempDir;
using platform_test::writeText;

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

QString screenshotDir()
{
    const QByteArray bin = qgetenv("SELVARK_BINARY_DIR");
    const QString dir = (bin.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(bin)) + "/screenshots/controls";
    QDir().mkpath(dir);
    return dir;
}

// A small form with the recipient field, shown and active.
class ComboWindow {
public:
    ComboWindow()
    {
        window_ = std::make_unique<QWidget>();
        window_->setObjectName("fEditSms");
        auto *layout = new QHBoxLayout(window_.get());
        layout->addWidget(new QLabel("To:"));
        combo = new TSWComboBox(window_.get());
        combo->setObjectName("edit_address");
        layout->addWidget(combo, 1);
        window_->resize(320, 44);
    }

    bool show()
    {
        window_->show();
        window_->activateWindow();
        if (!QTest::qWaitForWindowActive(window_.get()))
            return false;
        combo->setFocus();
        QApplication::processEvents();
        return combo->lineEdit()->hasFocus();
    }

    // Types through the window system, as a keyboard does: with a popup open, keys go to the popup
    // first, which is where QComboBox's own list would swallow them.
    void type(const char *text)
    {
        for (const char *p = text; *p; ++p) {
            QTest::keyClick(window_->windowHandle(), *p);
            QApplication::processEvents();
        }
    }
    void key(Qt::Key k)
    {
        QTest::keyClick(window_->windowHandle(), k);
        QApplication::processEvents();
    }

    QAbstractItemView *popup() const { return combo->historyCompleter()->popup(); }

    QStringList offered() const
    {
        QStringList l;
        QAbstractItemModel *m = combo->historyCompleter()->completionModel();
        for (int r = 0; r < m->rowCount(); ++r)
            l << m->index(r, 0).data().toString();
        return l;
    }

    // The window with the completer popup drawn where it stands on the screen.
    QImage shot() const
    {
        const QRect win(window_->mapToGlobal(QPoint(0, 0)), window_->size());
        QRect all = win;
        QAbstractItemView *pop = popup();
        const bool popOpen = pop->isVisible();
        if (popOpen)
            all = all.united(pop->geometry());
        QImage img(all.size(), QImage::Format_ARGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.drawPixmap(win.topLeft() - all.topLeft(), window_->grab());
        if (popOpen)
            p.drawPixmap(pop->geometry().topLeft() - all.topLeft(), pop->grab());
        return img;
    }

    TSWComboBox *combo = nullptr;

private:
    std::unique_ptr<QWidget> window_;
};

QStringList items(const QComboBox *c)
{
    QStringList l;
    for (int i = 0; i < c->count(); ++i)
        l << c->itemText(i);
    return l;
}

struct Spies {
    explicit Spies(TSWComboBox *c)
        : editText(c, &QComboBox::editTextChanged), currentText(c, &QComboBox::currentTextChanged),
          index(c, &QComboBox::currentIndexChanged), lineText(c->lineEdit(), &QLineEdit::textChanged)
    {
    }
    int total() const { return editText.count() + currentText.count() + index.count() + lineText.count(); }
    QSignalSpy editText, currentText, index, lineText;
};

const char *kHistory = "13800138000\r\n13912345678\r\nAlice <13800999999>\r\n13800999999\r\n";

} // namespace

TEST(SWComboBox, StartsEditableEmptyWithNoInsertion)
{
    TSWComboBox c;
    EXPECT_TRUE(c.isEditable());
    EXPECT_EQ(c.insertPolicy(), QComboBox::NoInsert);
    EXPECT_EQ(c.Maxrecord(), 10);
    EXPECT_TRUE(c.currentText().isEmpty());
    EXPECT_EQ(c.count(), 0);
    EXPECT_EQ(c.completer(), c.historyCompleter());
    EXPECT_EQ(c.historyCompleter()->completionMode(), QCompleter::PopupCompletion);
}

TEST(SWComboBox, TypingKeepsTextAndCaretAndOffersMatchingEntries)
{
    TempDir dir;
    writeText(dir.file("SmsADRSFile.Vrk"), kHistory);
    ComboWindow w;
    ASSERT_TRUE(w.combo->SetFilename(q(dir.file("SmsADRSFile.Vrk"))));
    ASSERT_TRUE(w.show());

    w.type("13800");
    QLineEdit *edit = w.combo->lineEdit();
    EXPECT_EQ(edit->text(), "13800");
    EXPECT_EQ(edit->cursorPosition(), 5);
    EXPECT_FALSE(edit->hasSelectedText());
    // The combo box passes its focus on to its edit; a list that took focus would be the focus widget.
    EXPECT_EQ(QApplication::focusWidget(), w.combo);
    EXPECT_TRUE(edit->hasFocus());
    ASSERT_TRUE(w.popup()->isVisible());
    EXPECT_EQ(w.offered(), QStringList({"13800138000", "13800999999"}));

    const QImage img = w.shot();
    const QString file = screenshotDir() + "/history_combo_popup.png";
    EXPECT_TRUE(img.save(file)) << file.toStdString();
    EXPECT_TRUE(img.scaled(img.size() * 2).save(screenshotDir() + "/history_combo_popup-x2.png"));

    // Editing goes on in the edit with the popup open; letters match in any case.
    w.key(Qt::Key_Backspace);
    w.key(Qt::Key_Backspace);
    w.type("9");
    EXPECT_EQ(edit->text(), "1389");
    EXPECT_TRUE(w.offered().isEmpty()); // "1389" starts no entry
    EXPECT_FALSE(w.popup()->isVisible());
    edit->clear();
    w.type("aLi");
    EXPECT_EQ(edit->text(), "aLi");
    EXPECT_EQ(w.offered(), QStringList{"Alice <13800999999>"});
    EXPECT_TRUE(w.popup()->isVisible());

    // Enter adds no item.
    w.key(Qt::Key_Escape);
    w.type("x");
    w.key(Qt::Key_Return);
    EXPECT_EQ(w.combo->count(), 4);
}

TEST(SWComboBox, ChoosingFromThePopupTakesTheEntry)
{
    TempDir dir;
    writeText(dir.file("SmsADRSFile.Vrk"), kHistory);
    ComboWindow w;
    w.combo->SetFilename(q(dir.file("SmsADRSFile.Vrk")));
    ASSERT_TRUE(w.show());
    w.type("13800");
    ASSERT_TRUE(w.popup()->isVisible());
    w.key(Qt::Key_Down);
    w.key(Qt::Key_Down);
    w.key(Qt::Key_Return);
    EXPECT_FALSE(w.popup()->isVisible());
    EXPECT_EQ(w.combo->currentText(), "13800999999");
}

TEST(SWComboBox, AddHistoryLeavesTheTextAndRaisesNoSignal)
{
    struct Row {
        const char *name;
        const char *file;      // nullptr: no file
        const char *text;      // set by program, as the composer does
        QStringList items;     // after AddHistory
    };
    const Row rows[] = {
        {"into an empty list", nullptr, "13800138000", {"13800138000"}},
        {"on top of a list", kHistory, "15000000000",
         {"15000000000", "13800138000", "13912345678", "Alice <13800999999>", "13800999999"}},
        {"already present in another case", kHistory, "alice <13800999999>",
         {"13800138000", "13912345678", "Alice <13800999999>", "13800999999"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.file("SmsADRSFile.Vrk");
        if (row.file)
            writeText(path, row.file);
        ComboWindow w;
        w.combo->SetFilename(q(path));
        ASSERT_TRUE(w.show());
        w.combo->setEditText(row.text);
        w.combo->lineEdit()->setCursorPosition(3);
        Spies spies(w.combo);

        w.combo->AddHistory();
        EXPECT_EQ(w.combo->currentText(), row.text);
        EXPECT_EQ(w.combo->lineEdit()->cursorPosition(), 3);
        EXPECT_EQ(spies.total(), 0);
        EXPECT_EQ(items(w.combo), row.items);
        EXPECT_EQ(History::parse(QByteArray::fromStdString(readText(path))), row.items);
    }
}

TEST(SWComboBox, AddHistoryKeepsASelectionAndClosesThePopup)
{
    TempDir dir;
    writeText(dir.file("SmsADRSFile.Vrk"), kHistory);
    ComboWindow w;
    w.combo->SetFilename(q(dir.file("SmsADRSFile.Vrk")));
    ASSERT_TRUE(w.show());
    w.type("1380");
    ASSERT_TRUE(w.popup()->isVisible());
    QLineEdit *edit = w.combo->lineEdit();
    edit->setSelection(4, -3); // "380" selected, caret after "1"
    Spies spies(w.combo);

    w.combo->AddHistory();
    EXPECT_FALSE(w.popup()->isVisible());
    EXPECT_EQ(items(w.combo).first(), "1380");
    EXPECT_EQ(edit->text(), "1380");
    EXPECT_EQ(edit->selectedText(), "380");
    EXPECT_EQ(edit->cursorPosition(), 1);
    EXPECT_EQ(spies.total(), 0);
    EXPECT_EQ(QApplication::focusWidget(), w.combo);
    EXPECT_TRUE(edit->hasFocus());
}

TEST(SWComboBox, AFailedSaveStillRefreshesTheList)
{
    TempDir dir;
    writeText(dir.file("plain"), "x");
    ComboWindow w;
    EXPECT_FALSE(w.combo->SetFilename(q(dir.file("plain/SmsADRSFile.Vrk"))));
    w.combo->setEditText("13800138000");
    Spies spies(w.combo);
    const History::AddResult r = w.combo->AddHistory();
    EXPECT_EQ(r.added, History::Added::New);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(items(w.combo), QStringList{"13800138000"});
    EXPECT_EQ(w.combo->currentText(), "13800138000");
    EXPECT_EQ(spies.total(), 0);
}

TEST(SWComboBox, SettingFilenameFillsTheListWithoutTouchingTheText)
{
    TempDir dir;
    writeText(dir.file("a.Vrk"), kHistory);
    writeText(dir.file("b.Vrk"), "15000000000\r\n");
    ComboWindow w;
    ASSERT_TRUE(w.show());
    w.type("typed");
    w.key(Qt::Key_Left);
    Spies spies(w.combo);

    ASSERT_TRUE(w.combo->SetFilename(q(dir.file("a.Vrk"))));
    EXPECT_EQ(items(w.combo), QStringList({"13800138000", "13912345678", "Alice <13800999999>", "13800999999"}));
    ASSERT_TRUE(w.combo->SetFilename(q(dir.file("b.Vrk"))));
    EXPECT_EQ(items(w.combo), QStringList{"15000000000"});
    ASSERT_TRUE(w.combo->SetFilename(q(dir.file("missing.Vrk"))));
    EXPECT_EQ(w.combo->count(), 0);

    EXPECT_EQ(w.combo->currentText(), "typed");
    EXPECT_EQ(w.combo->lineEdit()->cursorPosition(), 4);
    EXPECT_TRUE(w.combo->lineEdit()->isModified());
    EXPECT_EQ(spies.total(), 0);
    EXPECT_EQ(w.combo->Filename(), q(dir.file("missing.Vrk")));
}
