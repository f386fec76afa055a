// The stop of long-running commands on Windows: the console's control handler runs on a
// thread of its own, records what was asked and sets an event that the waits watch. The C
// runtime's SIGINT and SIGTERM (raise(), and what other code sends through it) do the same.
#include "net/stop_signal.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace telvane {

namespace {

std::atomic<int> g_signal_number{0};
std::atomic<HANDLE> g_event{nullptr};
using SignalHandler = void (*)(int);
SignalHandler g_previous_int = SIG_DFL;
SignalHandler g_previous_term = SIG_DFL;

void Record(int number) {
    int none = 0;
    g_signal_number.compare_exchange_strong(none, number);
    if (const HANDLE event = g_event.load(); event != nullptr) SetEvent(event);
}

extern "C" void OnRuntimeSignal(int number) {
    // The runtime puts the default back before calling a handler; catch the next one too.
    std::signal(number, OnRuntimeSignal);
    Record(number);
}

BOOL WINAPI OnConsoleControl(DWORD type) {
    int number = 0;
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            number = SIGINT;
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            number = SIGTERM;
            break;
        default:
            return FALSE;
    }
    Record(number);
    // Handled: the command ends its own way. A closed console still ends the process
    // once this returns, so the command gets a moment to finish its line first.
    if (number == SIGTERM) Sleep(500);
    return TRUE;
}

}  // namespace

CStopSignal::CStopSignal() {
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return;
    g_signal_number = 0;
    g_event = event;
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
        g_event = nullptr;
        CloseHandle(event);
        return;
    }
    // A signal ignored on entry stays ignored.
    g_previous_int = std::signal(SIGINT, OnRuntimeSignal);
    if (g_previous_int == SIG_IGN) std::signal(SIGINT, SIG_IGN);
    g_previous_term = std::signal(SIGTERM, OnRuntimeSignal);
    if (g_previous_term == SIG_IGN) std::signal(SIGTERM, SIG_IGN);
    event_ = event;
}

CStopSignal::~CStopSignal() {
    if (event_ == nullptr) return;
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    std::signal(SIGINT, g_previous_int == SIG_ERR ? SIG_DFL : g_previous_int);
    std::signal(SIGTERM, g_previous_term == SIG_ERR ? SIG_DFL : g_previous_term);
    g_event = nullptr;
    CloseHandle(static_cast<HANDLE>(event_));
}

int CStopSignal::Raised() const {
    return IsActive() ? g_signal_number.load() : 0;
}

bool CStopSignal::WaitFor(int timeout_ms) const {
    if (Raised() != 0) return true;
    if (event_ == nullptr) {
        Sleep(static_cast<DWORD>(timeout_ms < 0 ? 0 : timeout_ms));
        return false;
    }
    const DWORD woke =
        WaitForSingleObject(static_cast<HANDLE>(event_), static_cast<DWORD>(timeout_ms < 0 ? 0 : timeout_ms));
    return woke == WAIT_OBJECT_0 || Raised() != 0;
}

}  // namespace telvane
