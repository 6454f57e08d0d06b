// Draws the buttons and button edits in their states into PNG files
// (<build>/screenshots/controls/buttons/) for a person to look at. The checks only make sure the
// pictures were taken.
#include "button_util.h"
#include "controls/buttons/btn_edit.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>

using namespace controls;
using namespace buttontest;

namespace {

QPixmap sampleGlyph()
{
    // A 16 x 16 page with a fold, on the transparent colour white.
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QColor(0, 0, 128));
    p.setBrush(QColor(255, 255, 200));
    p.drawRect(3, 1, 9, 13);
    p.drawLine(9, 1, 12, 4);
    p.setPen(QColor(200, 0, 0));
    p.drawLine(5, 6, 10, 6);
    p.drawLine(5, 9, 10, 9);
    p.end();
    return QPixmap::fromImage(img);
}

} // namespace

TEST(Screenshots, SpeedButtonStates)
{
    QWidget window;
    window.setObjectName(QStringLiteral("SpeedButtons"));
    auto *grid = new QGridLayout(&window);
    const QString rowNames[] = {QStringLiteral("normal"), QStringLiteral("combo"), QStringLiteral("flat"),
                                QStringLiteral("menu"), QStringLiteral("flat menu")};
    const QString colNames[] = {QStringLiteral("up"), QStringLiteral("pressed"), QStringLiteral("down / arrow"),
                                QStringLiteral("hot"), QStringLiteral("disabled")};
    for (int c = 0; c < 5; ++c)
        grid->addWidget(new QLabel(colNames[c], &window), 0, c + 1);
    QMenu menu;
    std::vector<std::pair<TkwSpeedButton *, bool>> toPress; // button, on its arrow part
    for (int r = 0; r < 5; ++r) {
        grid->addWidget(new QLabel(rowNames[r], &window), r + 1, 0);
        const bool isMenu = r >= 3;
        for (int c = 0; c < 5; ++c) {
            auto *b = new TkwSpeedButton(&window);
            b->setMinimumSize(isMenu ? 74 : 60, 23);
            b->setCaption(QStringLiteral("&Open"));
            b->setGlyph(sampleGlyph());
            if (r == 1)
                b->setStyle(TkwSpeedButtonStyle::sbsComboButton);
            if (r == 2 || r == 4)
                b->setFlat(true);
            if (isMenu) {
                b->setStyle(TkwSpeedButtonStyle::sbsMenu);
                b->setDropDownMenu(&menu);
            }
            grid->addWidget(b, r + 1, c + 1);
            if (c == 1)
                toPress.emplace_back(b, false);
            if (c == 2 && isMenu)
                toPress.emplace_back(b, true); // menu buttons are never down: show the arrow pressed
            if (c == 2 && !isMenu) {
                b->setGroupIndex(r + 1);
                b->setDown(true);
            }
            if (c == 3) {
                QEnterEvent ev(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
                QApplication::sendEvent(b, &ev);
            }
            if (c == 4)
                b->setEnabled(false);
        }
    }
    showActive(window);
    for (const auto &[b, arrow] : toPress)
        press(b, arrow ? QPoint(b->width() - 4, 4) : QPoint(4, 4));
    save(shot(window), QStringLiteral("speed_buttons"));
}

TEST(Screenshots, ButtonEdits)
{
    QWidget window;
    window.setObjectName(QStringLiteral("ButtonEdits"));
    auto *grid = new QGridLayout(&window);
    auto row = [&](int r, const QString &label, TkwBtnEdit *e) {
        grid->addWidget(new QLabel(label, &window), r, 0);
        grid->addWidget(e, r, 1);
    };
    auto *one = new TkwBtnEdit(&window);
    one->setText(QStringLiteral("12 Harbour Road, Porthleven"));
    row(0, QStringLiteral("one button"), one);
    auto *two = new TkwBtnEdit(&window);
    two->setText(QStringLiteral("two buttons, a long text that runs under nothing"));
    two->setBtn2Visible(true);
    row(1, QStringLiteral("two buttons"), two);
    auto *wide = new TkwBtnEdit(&window);
    wide->setBtnWidth(22);
    wide->setBtn2Visible(true);
    wide->setBtn2Glyph(sampleGlyph());
    wide->setText(QStringLiteral("BtnWidth 22, own glyph"));
    row(2, QStringLiteral("wide"), wide);
    auto *ro = new TkwBtnEdit(&window);
    ro->setReadOnly(true);
    ro->setText(QStringLiteral("read-only address"));
    row(3, QStringLiteral("read-only"), ro);
    auto *off = new TkwBtnEdit(&window);
    off->setText(QStringLiteral("disabled"));
    off->setBtn2Visible(true);
    off->setEnabled(false);
    row(4, QStringLiteral("disabled"), off);
    auto *b1off = new TkwBtnEdit(&window);
    b1off->setText(QStringLiteral("button 1 disabled, button 2 enabled"));
    b1off->setBtn2Visible(true);
    b1off->setBtn1Enabled(false);
    row(5, QStringLiteral("btn1 off"), b1off);
    auto *none = new TkwBtnEdit(&window);
    none->setBtn1Visible(false);
    none->setBtn2Visible(true);
    none->setText(QStringLiteral("no buttons: the text runs to the right edge of the box"));
    none->setCursorPosition(0);
    row(6, QStringLiteral("no buttons"), none);
    window.resize(320, 10);
    showActive(window);
    one->setFocus();
    press(two->button1(), {3, 3});
    save(shot(window), QStringLiteral("button_edits"));
    release(two->button1(), {100, 100});

    // The same after a change of the system colours.
    const ButtonColours colours(QColor(180, 0, 0), QColor(214, 228, 240));
    save(shot(window), QStringLiteral("button_edits_new_colours"));
}
