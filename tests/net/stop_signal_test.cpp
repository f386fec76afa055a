#include "net/stop_signal.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>

#include <chrono>

namespace telvane {
namespace {

volatile sig_atomic_t g_earlier_handler_ran = 0;
extern "C" void EarlierHandler(int) {
    g_earlier_handler_ran = 1;
}

TEST(StopSignal, SignalMakesThePipeReadableAndEndsAWait) {
    CStopSignal stop;
    ASSERT_TRUE(stop.IsActive());
    EXPECT_EQ(stop.Raised(), 0);
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_EQ(stop.Raised(), SIGTERM);
    pollfd p{stop.Fd(), POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(stop.WaitFor(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // A second signal does not replace the first one's number.
    ASSERT_EQ(raise(SIGINT), 0);
    EXPECT_EQ(stop.Raised(), SIGTERM);
}

TEST(StopSignal, WaitWithoutSignalLastsItsTime) {
    CStopSignal stop;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(stop.WaitFor(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

// Guards against leaving the process deaf to Ctrl-C, or calling into a closed pipe, after a watch ended.
TEST(StopSignal, EarlierHandlersComeBack) {
    struct sigaction earlier {};
    earlier.sa_handler = EarlierHandler;
    sigemptyset(&earlier.sa_mask);
    struct sigaction saved {};
    ASSERT_EQ(sigaction(SIGINT, &earlier, &saved), 0);
    { CStopSignal stop; }
    g_earlier_handler_ran = 0;
    ASSERT_EQ(raise(SIGINT), 0);
    EXPECT_EQ(g_earlier_handler_ran, 1);
    sigaction(SIGINT, &saved, nullptr);
}

// Guards against a background job of a script ending on the Ctrl-C meant for the shell.
TEST(StopSignal, IgnoredSignalStaysIgnored) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction saved {};
    ASSERT_EQ(sigaction(SIGINT, &ignore, &saved), 0);
    {
        CStopSignal stop;
        ASSERT_EQ(raise(SIGINT), 0);
        EXPECT_EQ(stop.Raised(), 0);
        ASSERT_EQ(raise(SIGTERM), 0);
        EXPECT_EQ(stop.Raised(), SIGTERM);
    }
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
    sigaction(SIGINT, &saved, nullptr);
}

}  // namespace
}  // namespace telvane
