// The harness runs the tools with QProcess; the discovery socket and the waits are the
// command line's, on poll().
#include <QtCore/QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The command line journals every set: into a folder of this run, not the user's.
    char state[] = "/tmp/telvane-netns-state-XXXXXX";
    if (mkdtemp(state) != nullptr) setenv("XDG_STATE_HOME", state, 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(state);
    return result;
}
