#include "net/event_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace telvane {

namespace {

// Waits on poll(): the command line's loop, and every thread's until another is installed.
class CPollEventLoop final : public IEventLoop {
public:
    int Watch(int fd, ReadyFn on_ready) override {
        const int handle = ++last_handle_;
        watches_.push_back({handle, fd, std::move(on_ready), false});
        return handle;
    }

    void Unwatch(int handle) override {
        std::erase_if(watches_, [handle](const WATCH& w) { return w.handle == handle; });
    }

    void HandleOneBatch(std::uint32_t ms) override {
        // Handles are taken first: a handler may add or remove watches.
        std::vector<int> ready;
        for (const WATCH& w : watches_) {
            if (w.holds_data) ready.push_back(w.handle);
        }
        if (ready.empty()) {
            std::vector<pollfd> fds;
            fds.reserve(watches_.size());
            for (const WATCH& w : watches_) fds.push_back({w.fd, POLLIN, 0});
            const int timeout = static_cast<int>(std::min<std::uint32_t>(ms, 0x7FFFFFFF));
            // A signal ends the wait early; the caller looks at the clock and waits again.
            if (poll(fds.data(), fds.size(), timeout) <= 0) return;
            // A descriptor closed under its watch would be reported at once, for ever: drop
            // the watch rather than spin on it.
            std::vector<int> closed;
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if ((fds[i].revents & POLLNVAL) != 0) {
                    closed.push_back(watches_[i].handle);
                } else if (fds[i].revents != 0) {
                    ready.push_back(watches_[i].handle);
                }
            }
            for (const int handle : closed) Unwatch(handle);
        }
        for (const int handle : ready) {
            const auto it =
                std::find_if(watches_.begin(), watches_.end(), [handle](const WATCH& w) { return w.handle == handle; });
            if (it == watches_.end()) continue;
            // A copy: the handler may unwatch itself.
            const ReadyFn on_ready = it->on_ready;
            const bool holds_data = on_ready();
            const auto after =
                std::find_if(watches_.begin(), watches_.end(), [handle](const WATCH& w) { return w.handle == handle; });
            if (after != watches_.end()) after->holds_data = holds_data;
        }
    }

private:
    struct WATCH {
        int handle;
        int fd;
        ReadyFn on_ready;
        bool holds_data;
    };
    std::vector<WATCH> watches_;
    int last_handle_ = 0;
};

IEventLoop*& InstalledLoop() {
    static IEventLoop* loop = nullptr;
    return loop;
}

}  // namespace

IEventLoop& CurrentEventLoop() {
    static CPollEventLoop poll_loop;
    IEventLoop* installed = InstalledLoop();
    return installed != nullptr ? *installed : poll_loop;
}

void SetEventLoop(IEventLoop* loop) {
    InstalledLoop() = loop;
}

}  // namespace telvane
