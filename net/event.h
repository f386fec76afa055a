#pragma once

// A manual-reset event of the one GUI thread: set by a handler that runs inside a
// pumped wait, tested by the wait after each batch. Nothing else waits on it, so a
// flag is all it needs to be. No Qt, no system call.

namespace telvane {

class CEvent final {
public:
    void Set() { signalled_ = true; }
    void Reset() { signalled_ = false; }
    bool IsSet() const { return signalled_; }

private:
    bool signalled_ = false;
};

}  // namespace telvane
