#include "net/pumped_wait.h"
#include "net/testing.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include <chrono>

namespace telvane {
namespace {

using Clock = std::chrono::steady_clock;

// The tick counter counts whole milliseconds, so a wait of n ms may end up to 1 ms short
// of n on a finer clock.
long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Runs `f` from the event loop, after everything already queued.
template <typename F>
void Post(F f) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), f, Qt::QueuedConnection);
}

class PumpedWaitTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetTickOffsetForTesting(0);
        // Leave nothing queued for the next test.
        QCoreApplication::processEvents();
    }
};

// Guards against a zero wait handling a message (the caller's state could change).
TEST_F(PumpedWaitTest, ZeroPumpHandlesNothing) {
    bool ran = false;
    Post([&] { ran = true; });
    PumpMessages(0);
    EXPECT_FALSE(ran);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
}

// Guards against a wait that blocks without dispatching: arrivals must be taken in.
TEST_F(PumpedWaitTest, PumpDispatchesEventsAndLastsItsTime) {
    int ran = 0;
    Post([&] { ++ran; });
    QTimer::singleShot(20, QCoreApplication::instance(), [&] { ++ran; });
    const auto start = Clock::now();
    PumpMessages(60);
    EXPECT_GE(MsSince(start), 59);
    EXPECT_EQ(ran, 2);
}

// Guards against testing the event when no time was given.
TEST_F(PumpedWaitTest, ZeroWaitTimesOutEvenWhenSignalled) {
    CEvent event;
    event.Set();
    EXPECT_EQ(WaitEventPumping(event, 0), WAIT_TIMEOUT);
}

// Guards against waiting out the time for an event that is already signalled.
TEST_F(PumpedWaitTest, SignalledEventEndsTheWaitAtOnce) {
    CEvent event;
    event.Set();
    const auto start = Clock::now();
    EXPECT_EQ(WaitEventPumping(event, 2000), WAIT_OBJECT_0);
    EXPECT_LT(MsSince(start), 1000);
}

// Guards against handling further events after the one that signalled: the set
// procedure must read set_result before a later datagram can overwrite it.
TEST_F(PumpedWaitTest, EventIsTestedAfterEachBatch) {
    CEvent event;
    bool later_ran = false;
    QTimer::singleShot(10, QCoreApplication::instance(), [&] {
        event.Set();
        Post([&] { later_ran = true; });
    });
    EXPECT_EQ(WaitEventPumping(event, 2000), WAIT_OBJECT_0);
    EXPECT_FALSE(later_ran);
}

TEST_F(PumpedWaitTest, UnsignalledEventTimesOut) {
    CEvent event;
    const auto start = Clock::now();
    EXPECT_EQ(WaitEventPumping(event, 50), WAIT_TIMEOUT);
    EXPECT_GE(MsSince(start), 49);
}

// Guards against a signed or additive deadline: across the 32-bit wrap-around the
// waits must last their full time, neither end at once nor hang.
TEST_F(PumpedWaitTest, WaitsSpanningTheTickWrapAroundLastTheirFullTime) {
    SetTickOffsetForTesting(0);
    SetTickOffsetForTesting(0xFFFFFFF0u - GetTickCount());  // 16 ms before the wrap
    EXPECT_GT(GetTickCount(), 0xFFFFFF00u);
    auto start = Clock::now();
    PumpMessages(80);
    EXPECT_GE(MsSince(start), 79);
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_LT(GetTickCount(), 0x1000u);  // it did wrap

    SetTickOffsetForTesting(0);
    SetTickOffsetForTesting(0xFFFFFFF0u - GetTickCount());
    CEvent event;
    start = Clock::now();
    EXPECT_EQ(WaitEventPumping(event, 80), WAIT_TIMEOUT);
    EXPECT_GE(MsSince(start), 79);
    EXPECT_LT(MsSince(start), 5000);
}

// Guards against the depth not being kept (the window's dialog keys depend on it).
TEST_F(PumpedWaitTest, DepthCountsNestedWaits) {
    EXPECT_EQ(PumpDepth(), 0);
    int outer = -1;
    int inner = -1;
    Post([&] {
        outer = PumpDepth();
        CEvent event;
        Post([&] { inner = PumpDepth(); });
        WaitEventPumping(event, 20);
    });
    PumpMessages(60);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 2);
    EXPECT_EQ(PumpDepth(), 0);
}

}  // namespace
}  // namespace telvane
