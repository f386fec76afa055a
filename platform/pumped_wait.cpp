#include "platform/pumped_wait.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QThread>
#include <QtCore/QTimer>

#include <algorithm>
#include <chrono>
#include <thread>

namespace telvane {

namespace {

std::uint32_t tick_offset = 0;
int pump_depth = 0;

class DepthGuard final {
public:
    DepthGuard() { ++pump_depth; }
    ~DepthGuard() { --pump_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

// Blocks until the thread has an event to handle or `remaining` ms have passed, then
// handles one batch. The timer is what wakes the dispatcher at the deadline.
void HandleOneBatch(QTimer& deadline, std::uint32_t remaining) {
    QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
    if (dispatcher == nullptr) {
        // No event loop on this thread: nothing can arrive, so sleeping is the wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(remaining));
        return;
    }
    deadline.start(static_cast<int>(std::min<std::uint32_t>(remaining, 0x7FFFFFFF)));
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace

std::uint32_t GetTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms)) + tick_offset;
}

void SetTickOffsetForTesting(std::uint32_t offset) { tick_offset = offset; }

void PumpMessages(std::uint32_t ms) {
    const std::uint32_t t0 = GetTickCount();
    if (ms == 0) return;
    const DepthGuard depth;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    for (;;) {
        // Unsigned difference: a wait across the counter's wrap-around lasts its full time.
        const std::uint32_t elapsed = GetTickCount() - t0;
        if (elapsed >= ms) return;
        HandleOneBatch(deadline, ms - elapsed);
    }
}

std::uint32_t WaitEventPumping(const CEvent& event, std::uint32_t ms) {
    const std::uint32_t t0 = GetTickCount();
    if (ms == 0) return WAIT_TIMEOUT;
    const DepthGuard depth;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    for (;;) {
        // Tested before blocking and after every batch, so the caller reads what the
        // batch that signalled the event left, before any later datagram is taken.
        if (event.IsSet()) return WAIT_OBJECT_0;
        const std::uint32_t elapsed = GetTickCount() - t0;
        if (elapsed >= ms) return WAIT_TIMEOUT;
        HandleOneBatch(deadline, ms - elapsed);
    }
}

int PumpDepth() { return pump_depth; }

}  // namespace telvane
