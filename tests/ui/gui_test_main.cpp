#include <gtest/gtest.h>

#include <QtWidgets/QApplication>

#include <cstdlib>

#include "ui/qt/qt_event_loop.h"

// Widget tests run without a display: the offscreen platform must be chosen before
// the application object exists (test discovery runs this binary at build time too).
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    // As the program does: the pumped waits run the window's events.
    telvane::UseQtEventLoop();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
