#pragma once

// Where the thread waits: the discovery socket has its descriptor watched here, and the
// pumped waits block here until something arrives or their time is up. The command line
// waits on poll(); the window installs a loop over its toolkit's event dispatcher, so
// its controls stay alive while a procedure waits. Never a spin.

#include <cstdint>
#include <functional>

namespace telvane {

class IEventLoop {
public:
    virtual ~IEventLoop() = default;

    // Called on this thread, from inside a wait (or the window's own loop), each time fd
    // is readable. It returns true when it still holds data it has read but not handed
    // on: it is then called again in the next batch without waiting for the descriptor.
    using ReadyFn = std::function<bool()>;

    // Returns a handle for Unwatch; the descriptor must stay open until then. Unwatch
    // may be called from inside the handler itself.
    virtual int Watch(int fd, ReadyFn on_ready) = 0;
    virtual void Unwatch(int handle) = 0;

    // Blocks until there is something to handle or ms have passed, then handles one batch:
    // each ready watch once (and, in the window, the toolkit's pending events).
    virtual void HandleOneBatch(std::uint32_t ms) = 0;
};

// The loop of the thread: the one installed, or the poll() loop.
IEventLoop& CurrentEventLoop();
// Installs a loop (the window's); nullptr goes back to poll(). Watches made before stay
// with the loop they were made on.
void SetEventLoop(IEventLoop* loop);

}  // namespace telvane
