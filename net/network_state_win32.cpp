// What the diagnostics read of a Windows system: the interfaces from GetAdaptersAddresses,
// no per-interface kernel settings, Windows' dynamic port range, and a program's output
// through CreateProcessW.
#include "net/network_state.h"

// winsock2.h must come before windows.h, which iphlpapi.h pulls in.
#include <winsock2.h>

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "net/testing.h"
#include "net/wide_text.h"
#include "net/win32_adapters.h"

namespace telvane {

std::vector<INTERFACE_STATE> QueryInterfaceStates() {
    std::vector<INTERFACE_STATE> out;
    const std::vector<std::uint64_t> buffer = win32::AdapterAddresses();
    if (buffer.empty()) return out;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr; a = a->Next) {
        INTERFACE_STATE state;
        state.name = win32::ToUtf8(a->FriendlyName);
        if (state.name.empty() && a->AdapterName != nullptr) state.name = a->AdapterName;
        state.index = a->IfIndex;
        // A disabled adapter is not listed at all; one that is listed is switched on, and
        // its operational status says whether its link is.
        state.up = a->OperStatus != IfOperStatusNotPresent;
        state.carrier = a->OperStatus == IfOperStatusUp;
        state.loopback = a->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
        if (a->PhysicalAddressLength >= state.hardware_address.size()) {
            std::copy_n(a->PhysicalAddress, state.hardware_address.size(), state.hardware_address.begin());
        }
        for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
            const SOCKET_ADDRESS& s = u->Address;
            if (s.lpSockaddr == nullptr || s.lpSockaddr->sa_family != AF_INET) continue;
            sockaddr_in in{};
            std::memcpy(&in, s.lpSockaddr, sizeof in);
            IPV4_INTERFACE_ADDRESS address;
            std::memcpy(address.address.data(), &in.sin_addr, address.address.size());
            address.prefix_length = u->OnLinkPrefixLength;
            state.ipv4.push_back(address);
        }
        out.push_back(std::move(state));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const INTERFACE_STATE& l, const INTERFACE_STATE& r) { return l.index < r.index; });
    return out;
}

HOST_SYSTEM ThisHostSystem() {
    return HOST_SYSTEM::WINDOWS;
}

std::optional<int> ReadIpv4ConfSetting(const std::string&, const std::string&) {
    // Windows has no such per-interface settings to read.
    return std::nullopt;
}

std::pair<std::uint16_t, std::uint16_t> ReadLocalPortRange() {
    // Windows' dynamic port range unless an administrator moved it (netsh), which this
    // does not ask for.
    return {49152, 65535};
}

void SetProcSysRootForTesting(const std::string&) {}

namespace {

// One argument as the C runtime's parser splits a command line: quoted when it holds a
// blank or a quote, with the backslashes before a quote doubled.
std::wstring QuotedArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// Moves whatever the pipe holds now into sink, without blocking. False once the pipe is
// closed at the other end.
bool DrainPipe(HANDLE pipe, std::string& sink) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
        if (available == 0) return true;
        char buffer[4096];
        DWORD n = 0;
        if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &n, nullptr)) return false;
        sink.append(buffer, n);
    }
}

}  // namespace

std::string FirstExecutable(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return path;
    }
    return paths.empty() ? std::string() : paths.front();
}

PROGRAM_RESULT RunProgram(const std::vector<std::string>& argv, int timeout_ms) {
    PROGRAM_RESULT result;
    if (argv.empty()) return result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out_read = nullptr;
    HANDLE out_write = nullptr;
    HANDLE err_read = nullptr;
    HANDLE err_write = nullptr;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return result;
    if (!CreatePipe(&err_read, &err_write, &inherit, 0)) {
        CloseHandle(out_read);
        CloseHandle(out_write);
        return result;
    }
    // Only the child's ends are inherited.
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
    const HANDLE null_in =
        CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

    std::wstring command_line;
    for (const std::string& a : argv)
        command_line += (command_line.empty() ? L"" : L" ") + QuotedArgument(win32::WideFromUtf8(a));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = null_in;
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    PROCESS_INFORMATION process{};
    // No application name: the first word is looked up the way a console does, PATH included.
    const BOOL created = CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (null_in != INVALID_HANDLE_VALUE) CloseHandle(null_in);
    if (!created) {
        CloseHandle(out_read);
        CloseHandle(err_read);
        return result;
    }
    CloseHandle(process.hThread);
    result.started = true;

    // Anonymous pipes cannot be waited on, so the output is collected between short waits
    // on the process; a program that left a child holding the pipes cannot stall this.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        DrainPipe(out_read, result.output);
        DrainPipe(err_read, result.errors);
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            result.timed_out = true;
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 1000);
            break;
        }
        if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(std::min<long long>(left, 20))) == WAIT_OBJECT_0) {
            DrainPipe(out_read, result.output);
            DrainPipe(err_read, result.errors);
            DWORD code = 0;
            if (GetExitCodeProcess(process.hProcess, &code)) result.exit_code = static_cast<int>(code);
            break;
        }
    }
    CloseHandle(process.hProcess);
    CloseHandle(out_read);
    CloseHandle(err_read);
    return result;
}

}  // namespace telvane
