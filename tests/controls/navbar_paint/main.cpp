// Runs the navigation-bar painter tests on an offscreen Qt application with a fixed palette, so that
// every system colour is the same number on any machine.
#include "paint_bar.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setPalette(navbar_paint_test::fixedPalette());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
