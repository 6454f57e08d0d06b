// The main of the content managers' Qt tests: an offscreen application with the Fusion style, so
// menus, clicks and screenshots are the same on every machine. The application lives on main's
// stack, so it goes before Qt's own statics at exit.
#include <QApplication>
#include <QStyleFactory>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
