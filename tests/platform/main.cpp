// The pumped waits need the thread's event dispatcher, so the tests run under an
// application object.
#include <QtCore/QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
