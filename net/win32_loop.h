#pragma once

// The Windows wait: MsgWaitForMultipleObjectsEx on one event per watched socket
// (WSAEventSelect) and on the thread's message queue. Window messages that arrive while
// waiting are dispatched, so a window stays responsive during a procedure's wait; nothing
// spins. The same contract as the poll() and Qt loops: one batch per call.

#include <cstdint>
#include <functional>
#include <vector>

namespace telvane::win32 {

class EventLoop final {
public:
    // Returns true while it still holds data read but not handed on; it is then called
    // again in the next batch without waiting.
    using ReadyFn = std::function<bool()>;
    // Sees each message before it is dispatched; true when it handled the message itself
    // (a dialog's IsDialogMessage).
    using MessageFilter = std::function<bool(void* msg)>;

    EventLoop() = default;
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // fd is a SOCKET (see UdpSocket::Descriptor). Returns a handle for Unwatch, or 0 when
    // the socket could not be watched. Unwatch may be called from inside the handler.
    int Watch(int fd, ReadyFn on_ready);
    void Unwatch(int handle);
    // Blocks until a watched socket is readable, a message arrives or ms have passed;
    // then dispatches the pending messages and calls each ready watch once.
    void HandleOneBatch(std::uint32_t ms);

    void SetMessageFilter(MessageFilter filter);
    // The messages handled so far, for tests.
    std::uint64_t MessagesDispatched() const { return messages_; }

private:
    struct WATCH {
        int handle;
        int fd;
        void* event;  // WSAEVENT
        ReadyFn on_ready;
        bool holds_data;
    };
    void DispatchMessages();
    void CallReady(const std::vector<int>& handles);

    std::vector<WATCH> watches_;
    int last_handle_ = 0;
    MessageFilter filter_;
    std::uint64_t messages_ = 0;
};

}  // namespace telvane::win32
