// Runs the button tests on a Qt application with the Fusion style's standard palette, so every probed
// colour is the same on every desktop.
#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
