// The pumped waits under the window's event loop need the thread's event dispatcher, so
// these tests run under an application object with the Qt loop installed.
#include <QtCore/QCoreApplication>

#include <gtest/gtest.h>

#include "ui/qt/qt_event_loop.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    telvane::UseQtEventLoop();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
