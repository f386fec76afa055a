#pragma once

// Ending a long-running command cleanly on Ctrl-C or SIGTERM: the signal only writes a
// byte into a pipe, and the command's poll() waits watch the pipe's read end, so a
// wait ends at once and the command finishes what it was printing. On Windows the
// console's control handler (Ctrl-C, Ctrl-Break, the window closed) sets an event
// that WaitFor waits on instead.

namespace telvane {

class CStopSignal final {
public:
    // Catches SIGINT and SIGTERM until destroyed; the handlers before are put back then.
    // A signal that is ignored when it is made stays ignored. One at a time in a process.
    CStopSignal();
    ~CStopSignal();
    CStopSignal(const CStopSignal&) = delete;
    CStopSignal& operator=(const CStopSignal&) = delete;

#ifdef _WIN32
    // False when the event or the handler could not be set up; Ctrl-C then acts as before.
    bool IsActive() const {
        return event_ != nullptr;
    }
#else
    // False when the pipe or the handlers could not be set up; signals then act as before.
    bool IsActive() const {
        return read_fd_ >= 0;
    }
    // Readable once a stop was asked for; stays readable.
    int Fd() const {
        return read_fd_;
    }
#endif
    // A stop was asked for: the number of the first signal (SIGINT for Ctrl-C and
    // Ctrl-Break, SIGTERM for a closed console on Windows), or 0.
    int Raised() const;

    // Sleeps up to timeout_ms, ending early when a stop is asked for. True when it was.
    [[nodiscard]] bool WaitFor(int timeout_ms) const;

private:
#ifdef _WIN32
    void* event_ = nullptr;  // HANDLE, manual-reset: stays set once a stop was asked for
#else
    int read_fd_ = -1;
    int write_fd_ = -1;
#endif
};

}  // namespace telvane
