// The main of the control tests: an offscreen Qt application with the Fusion style and its standard
// palette, so focus, popups, probed colours and screenshots are the same on every machine. The theme
// state goes before the application does.
#include "controls/paint/theme.h"

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
    const int rc = RUN_ALL_TESTS();
    controls::DoneThemeLibrary();
    return rc;
}
