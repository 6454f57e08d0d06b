// Helpers of the button tests: shown windows, mouse events, pixel probes, screenshots.
#pragma once

#include "controls/paint/color.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace buttontest {

using namespace controls;

// The colour a system colour resolves to under the tests' fixed palette, as a QRgb.
inline QRgb sys(TColor c) { return toQColor(c).rgb(); }

// Shows w (a top-level widget) and waits until it is exposed and active.
inline void showActive(QWidget &w)
{
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

// What w shows on the screen.
inline QImage shot(QWidget &w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

inline int count(const QImage &img, QRgb c, QRect r = QRect())
{
    if (r.isNull())
        r = img.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.rect().contains(x, y) && (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF))
                ++n;
    return n;
}

// The bounding box of the pixels of colour c (inside area, when given).
inline QRect box(const QImage &img, QRgb c, QRect area = QRect())
{
    if (area.isNull())
        area = img.rect();
    area = area.intersected(img.rect());
    QRect r;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF))
                r = r.united(QRect(x, y, 1, 1));
    return r;
}

// New system colours for buttons (text and face) while it lives; the old palette comes back after.
class ButtonColours {
public:
    ButtonColours(QColor text, QColor face)
    {
        QPalette pal = old_;
        pal.setColor(QPalette::ButtonText, text);
        pal.setColor(QPalette::Button, face);
        QApplication::setPalette(pal);
        QApplication::processEvents();
    }
    ~ButtonColours()
    {
        QApplication::setPalette(old_);
        QApplication::processEvents();
    }
    ButtonColours(const ButtonColours &) = delete;
    ButtonColours &operator=(const ButtonColours &) = delete;

private:
    const QPalette old_ = QApplication::palette();
};

// Mouse events sent straight to a widget, in its coordinates.
inline void mouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                  : type == QEvent::MouseMove       ? Qt::MouseButtons(Qt::LeftButton)
                                                                    : Qt::MouseButtons(button);
    QMouseEvent ev(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), type == QEvent::MouseMove ? Qt::NoButton : button,
                   held, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}
inline void press(QWidget *w, QPoint pos) { mouse(w, QEvent::MouseButtonPress, pos); }
inline void move(QWidget *w, QPoint pos) { mouse(w, QEvent::MouseMove, pos); }
inline void release(QWidget *w, QPoint pos) { mouse(w, QEvent::MouseButtonRelease, pos); }

// Where screenshots go: <build>/screenshots/controls/buttons, at their size and enlarged four times.
inline void save(const QImage &img, const QString &name)
{
    QByteArray bin = qgetenv("SELVARK_BINARY_DIR");
#ifdef SELVARK_BUILD_DIR
    if (bin.isEmpty())
        bin = SELVARK_BUILD_DIR;
#endif
    const QString dir =
        (bin.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(bin)) + "/screenshots/controls/buttons";
    QDir().mkpath(dir);
    EXPECT_TRUE(img.save(dir + "/" + name + ".png"));
    EXPECT_TRUE(img.scaled(img.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .save(dir + "/" + name + "-x4.png"));
}

} // namespace buttontest
