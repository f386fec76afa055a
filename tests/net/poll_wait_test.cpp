// The pumped waits on poll(), as the command line runs them: no Qt, no application
// object. A pipe stands in for the discovery socket's descriptor.
#include "net/event_loop.h"
#include "net/pumped_wait.h"
#include "net/testing.h"

#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>

#include <chrono>

namespace telvane {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A pipe whose read end is watched for as long as the object lives.
class WatchedPipe {
public:
    explicit WatchedPipe(IEventLoop::ReadyFn on_ready) {
        if (pipe(fds_) != 0) ADD_FAILURE() << "no pipe";
        handle_ = CurrentEventLoop().Watch(fds_[0], std::move(on_ready));
    }
    ~WatchedPipe() {
        CurrentEventLoop().Unwatch(handle_);
        close(fds_[0]);
        close(fds_[1]);
    }
    WatchedPipe(const WatchedPipe&) = delete;
    WatchedPipe& operator=(const WatchedPipe&) = delete;

    void Write() { ASSERT_EQ(write(fds_[1], "x", 1), 1); }
    void ReadOne() {
        char c = 0;
        ASSERT_EQ(read(fds_[0], &c, 1), 1);
    }
    int handle() const { return handle_; }

private:
    int fds_[2] = {-1, -1};
    int handle_ = 0;
};

// Guards against a zero wait handling anything (the caller's state could change).
TEST(PollWait, ZeroPumpHandlesNothing) {
    int calls = 0;
    WatchedPipe p([&] {
        ++calls;
        return false;
    });
    p.Write();
    PumpMessages(0);
    EXPECT_EQ(calls, 0);
    p.ReadOne();
}

// Guards against a wait that blocks without taking arrivals in, or ends before its time.
TEST(PollWait, PumpTakesArrivalsAndLastsItsTime) {
    int calls = 0;
    WatchedPipe* self = nullptr;
    WatchedPipe p([&] {
        ++calls;
        self->ReadOne();
        return false;
    });
    self = &p;
    p.Write();
    const auto start = Clock::now();
    PumpMessages(60);
    EXPECT_GE(MsSince(start), 59);
    EXPECT_EQ(calls, 1);
}

// Guards against a busy wait: the command line waits 450 ms per enumeration and must
// leave the processor alone meanwhile.
TEST(PollWait, WaitingDoesNotSpin) {
    const double before = CpuMs();
    PumpMessages(200);
    CEvent event;
    EXPECT_EQ(WaitEventPumping(event, 200), WAIT_TIMEOUT);
    EXPECT_LT(CpuMs() - before, 40.0);
}

// Guards against testing the event when no time was given, and against waiting out the
// time for an event that is already signalled.
TEST(PollWait, EventBeforeTheWait) {
    CEvent event;
    event.Set();
    EXPECT_EQ(WaitEventPumping(event, 0), WAIT_TIMEOUT);
    const auto start = Clock::now();
    EXPECT_EQ(WaitEventPumping(event, 2000), WAIT_OBJECT_0);
    EXPECT_LT(MsSince(start), 100);
}

// Guards against handing on a second datagram after the one that signalled: a watcher
// that still holds data is called again only in the next batch, after the event was
// tested, and without waiting for its descriptor.
TEST(PollWait, EventIsTestedBetweenTwoHeldDatagrams) {
    CEvent event;
    int calls = 0;
    WatchedPipe* self = nullptr;
    WatchedPipe p([&] {
        if (calls++ == 0) self->ReadOne();  // reads "both" at once, holds the second
        event.Set();
        return calls == 1;
    });
    self = &p;
    p.Write();
    EXPECT_EQ(WaitEventPumping(event, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(calls, 1);
    event.Reset();
    const auto start = Clock::now();
    EXPECT_EQ(WaitEventPumping(event, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(calls, 2);
    EXPECT_LT(MsSince(start), 100);
}

// Guards against a watcher that ends its own watch being called again (the socket
// closes from inside its notification when the window ends mid-procedure).
TEST(PollWait, UnwatchFromInsideTheHandler) {
    int calls = 0;
    WatchedPipe* self = nullptr;
    WatchedPipe p([&] {
        ++calls;
        CurrentEventLoop().Unwatch(self->handle());
        return true;
    });
    self = &p;
    p.Write();
    PumpMessages(50);
    EXPECT_EQ(calls, 1);
    p.ReadOne();
}

// Guards against a spin when a watched descriptor is closed without its watch ended:
// poll() would report it at once on every call.
TEST(PollWait, ClosedDescriptorDoesNotSpin) {
    int fds[2] = {-1, -1};
    ASSERT_EQ(pipe(fds), 0);
    int calls = 0;
    const int handle = CurrentEventLoop().Watch(fds[0], [&] {
        ++calls;
        return false;
    });
    close(fds[0]);
    close(fds[1]);
    const double before = CpuMs();
    PumpMessages(100);
    EXPECT_LT(CpuMs() - before, 40.0);
    EXPECT_EQ(calls, 0);
    CurrentEventLoop().Unwatch(handle);
}

// Guards against a wait across the 32-bit tick counter's wrap-around ending at once or
// never.
TEST(PollWait, WaitSpanningTheTickWrapAroundLastsItsFullTime) {
    SetTickOffsetForTesting(0);
    SetTickOffsetForTesting(0xFFFFFFF0u - GetTickCount());
    const auto start = Clock::now();
    CEvent event;
    EXPECT_EQ(WaitEventPumping(event, 80), WAIT_TIMEOUT);
    EXPECT_GE(MsSince(start), 79);
    EXPECT_LT(MsSince(start), 5000);
    SetTickOffsetForTesting(0);
}

// Guards against the depth not being kept (the window's dialog keys depend on it).
TEST(PollWait, DepthCountsNestedWaits) {
    int inner = -1;
    WatchedPipe* self = nullptr;
    WatchedPipe p([&] {
        self->ReadOne();
        inner = PumpDepth();
        return false;
    });
    self = &p;
    p.Write();
    PumpMessages(20);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(PumpDepth(), 0);
}

}  // namespace
}  // namespace telvane
