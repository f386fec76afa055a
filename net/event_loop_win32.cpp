// The thread's loop on Windows: MsgWaitForMultipleObjectsEx over the watched sockets'
// events and the message queue (win32_loop.h), for the command line and the window alike.
#include "net/event_loop.h"

#include <utility>

#include "net/win32_loop.h"

namespace telvane {

namespace {

class CWin32EventLoop final : public IEventLoop {
public:
    int Watch(int fd, ReadyFn on_ready) override { return loop_.Watch(fd, std::move(on_ready)); }
    void Unwatch(int handle) override { loop_.Unwatch(handle); }
    void HandleOneBatch(std::uint32_t ms) override { loop_.HandleOneBatch(ms); }

private:
    win32::EventLoop loop_;
};

IEventLoop*& InstalledLoop() {
    static IEventLoop* loop = nullptr;
    return loop;
}

}  // namespace

IEventLoop& CurrentEventLoop() {
    static CWin32EventLoop message_loop;
    IEventLoop* installed = InstalledLoop();
    return installed != nullptr ? *installed : message_loop;
}

void SetEventLoop(IEventLoop* loop) {
    InstalledLoop() = loop;
}

}  // namespace telvane
