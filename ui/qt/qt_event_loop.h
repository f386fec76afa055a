#pragma once

// The window's wait: the pumped waits run Qt's event dispatcher, so clicks, paints and
// timers go on while a procedure waits, and the discovery socket is watched by a socket
// notifier that the window's own event loop serves as well.

#include <memory>

#include "net/event_loop.h"

namespace telvane {

class CQtEventLoop final : public IEventLoop {
public:
    CQtEventLoop();
    ~CQtEventLoop() override;
    CQtEventLoop(const CQtEventLoop&) = delete;
    CQtEventLoop& operator=(const CQtEventLoop&) = delete;

    int Watch(int fd, ReadyFn on_ready) override;
    void Unwatch(int handle) override;
    void HandleOneBatch(std::uint32_t ms) override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Installs one CQtEventLoop for the program's lifetime; for the window and its tests,
// after the application object exists.
void UseQtEventLoop();

}  // namespace telvane
