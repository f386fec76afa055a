#include "net/win32_loop.h"

#include <winsock2.h>

#include <windows.h>

#include <algorithm>

namespace telvane::win32 {

EventLoop::~EventLoop() {
    for (const WATCH& w : watches_) {
        WSAEventSelect(static_cast<SOCKET>(w.fd), nullptr, 0);
        WSACloseEvent(w.event);
    }
}

int EventLoop::Watch(int fd, ReadyFn on_ready) {
    const WSAEVENT event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT) return 0;
    // Makes the socket non-blocking; FD_READ is signalled again after each read while
    // datagrams are left.
    if (WSAEventSelect(static_cast<SOCKET>(fd), event, FD_READ) != 0) {
        WSACloseEvent(event);
        return 0;
    }
    const int handle = ++last_handle_;
    watches_.push_back({handle, fd, event, std::move(on_ready), false});
    return handle;
}

void EventLoop::Unwatch(int handle) {
    const auto it =
        std::find_if(watches_.begin(), watches_.end(), [handle](const WATCH& w) { return w.handle == handle; });
    if (it == watches_.end()) return;
    WSAEventSelect(static_cast<SOCKET>(it->fd), nullptr, 0);
    WSACloseEvent(it->event);
    watches_.erase(it);
}

void EventLoop::SetMessageFilter(MessageFilter filter) {
    filter_ = std::move(filter);
}

void EventLoop::DispatchMessages() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ++messages_;
        // WM_QUIT belongs to the caller's own loop: put it back and stop here.
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (filter_ && filter_(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void EventLoop::CallReady(const std::vector<int>& handles) {
    for (const int handle : handles) {
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

void EventLoop::HandleOneBatch(std::uint32_t ms) {
    std::vector<int> ready;
    for (const WATCH& w : watches_) {
        if (w.holds_data) ready.push_back(w.handle);
    }
    if (!ready.empty()) {
        DispatchMessages();
        CallReady(ready);
        return;
    }

    std::vector<HANDLE> events;
    events.reserve(watches_.size());
    for (const WATCH& w : watches_) events.push_back(w.event);
    // INFINITE is one more than the longest wait asked for; a longer one is cut there and
    // the caller waits again.
    const DWORD timeout = std::min<DWORD>(ms, INFINITE - 1);
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(events.size(), MAXIMUM_WAIT_OBJECTS - 1));
    // MWMO_INPUTAVAILABLE: messages already in the queue wake the wait too, not only new ones.
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, events.data(), timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED) return;

    DispatchMessages();
    // Every signalled event, not only the lowest one the wait reported; the watches as
    // they are now, after the messages' handlers.
    std::vector<int> closed;
    for (const WATCH& w : watches_) {
        WSANETWORKEVENTS happened{};
        if (WSAEnumNetworkEvents(static_cast<SOCKET>(w.fd), w.event, &happened) != 0) {
            // A socket closed under its watch leaves its event signalled: every wait would
            // end at once, for ever. Drop the watch rather than spin on it.
            if (WSAGetLastError() == WSAENOTSOCK) closed.push_back(w.handle);
            continue;
        }
        if ((happened.lNetworkEvents & FD_READ) != 0) ready.push_back(w.handle);
    }
    for (const int handle : closed) Unwatch(handle);
    CallReady(ready);
}

}  // namespace telvane::win32
