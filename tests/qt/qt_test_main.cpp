// The widget tests run inside one QApplication on the offscreen platform.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Offscreen, with the options a test may give it (a screen's size); on X only when a test
    // runs on a display of its own (tests/qt/with_tray.sh).
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.startsWith("offscreen") && platform != "xcb") {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
