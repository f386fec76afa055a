#include "net/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace telvane {

namespace {

volatile sig_atomic_t g_signal_number = 0;
volatile sig_atomic_t g_write_fd = -1;
struct sigaction g_previous_int {};
struct sigaction g_previous_term {};

extern "C" void OnStopSignal(int number) {
    const int saved_errno = errno;
    if (g_signal_number == 0) g_signal_number = number;
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe already says "stop".
    if (g_write_fd >= 0) {
        const ssize_t written = write(g_write_fd, &byte, 1);
        static_cast<void>(written);
    }
    errno = saved_errno;
}

}  // namespace

CStopSignal::CStopSignal() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_signal_number = 0;
    g_write_fd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal ignored on entry stays ignored: a shell starts background jobs so, and means it.
    const auto Catch = [&action](int number, struct sigaction& previous) {
        if (sigaction(number, nullptr, &previous) != 0) return false;
        return previous.sa_handler == SIG_IGN || sigaction(number, &action, nullptr) == 0;
    };
    if (!Catch(SIGINT, g_previous_int) || !Catch(SIGTERM, g_previous_term)) {
        sigaction(SIGINT, &g_previous_int, nullptr);
        g_write_fd = -1;
        close(fds[0]);
        close(fds[1]);
        return;
    }
    read_fd_ = fds[0];
    write_fd_ = fds[1];
}

CStopSignal::~CStopSignal() {
    if (read_fd_ < 0) return;
    sigaction(SIGINT, &g_previous_int, nullptr);
    sigaction(SIGTERM, &g_previous_term, nullptr);
    g_write_fd = -1;
    close(read_fd_);
    close(write_fd_);
}

int CStopSignal::Raised() const {
    return IsActive() ? static_cast<int>(g_signal_number) : 0;
}

bool CStopSignal::WaitFor(int timeout_ms) const {
    if (Raised() != 0) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return Raised() != 0;
        pollfd p{read_fd_, POLLIN, 0};
        const int ready = poll(&p, read_fd_ >= 0 ? 1 : 0, static_cast<int>(left));
        if (ready > 0 || Raised() != 0) return true;
        if (ready < 0 && errno != EINTR) return Raised() != 0;
    }
}

}  // namespace telvane
