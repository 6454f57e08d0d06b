// Runs the combo box tests on an offscreen Qt application with the Fusion style, so focus, popups
// and screenshots behave the same on every machine.
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
