#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

// Every test binary runs with a QApplication so that widgets, fonts and
// images work; without a display the offscreen platform stands in.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Texts with decimals read the same whatever the user's locale.
    QLocale::setDefault(QLocale::c());
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
