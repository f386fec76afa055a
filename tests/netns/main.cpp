// The harness runs the tools with QProcess; the discovery socket and the waits are the
// command line's, on poll().
#include <QtCore/QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
