#include "net/pumped_wait.h"

#include <chrono>

#include "net/event_loop.h"
#include "net/testing.h"

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
    IEventLoop& loop = CurrentEventLoop();
    for (;;) {
        // Unsigned difference: a wait across the counter's wrap-around lasts its full time.
        const std::uint32_t elapsed = GetTickCount() - t0;
        if (elapsed >= ms) return;
        loop.HandleOneBatch(ms - elapsed);
    }
}

std::uint32_t WaitEventPumping(const CEvent& event, std::uint32_t ms) {
    return WaitPumping([&event] { return event.IsSet(); }, ms);
}

std::uint32_t WaitPumping(const std::function<bool()>& signalled, std::uint32_t ms) {
    const std::uint32_t t0 = GetTickCount();
    if (ms == 0) return WAIT_TIMEOUT;
    const DepthGuard depth;
    IEventLoop& loop = CurrentEventLoop();
    for (;;) {
        // Tested before blocking and after every batch, so the caller reads what the
        // batch that signalled the event left, before any later datagram is taken.
        if (signalled()) return WAIT_OBJECT_0;
        const std::uint32_t elapsed = GetTickCount() - t0;
        if (elapsed >= ms) return WAIT_TIMEOUT;
        loop.HandleOneBatch(ms - elapsed);
    }
}

int PumpDepth() { return pump_depth; }

}  // namespace telvane
