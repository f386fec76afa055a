// What the start-up asks of the system, on Windows.
#include "net/system_checks.h"

// Winsock before everything that uses its types.
#include <winsock2.h>

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <vector>

#include "net/testing.h"
#include "net/win32_socket.h"

namespace telvane {

namespace {

std::optional<bool> start_sockets_answer;
std::optional<bool> full_function_answer;
std::optional<bool> ipv6_answer;

bool CanOpenSocket(int family) {
    if (!win32::StartWinsock()) return false;
    const SOCKET s = socket(family, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return false;
    closesocket(s);
    return true;
}

bool SomeAdapterHasIpv6() {
    ULONG bytes = 16 * 1024;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<std::uint64_t> buffer((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
        auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        const ULONG result =
            GetAdaptersAddresses(AF_INET6, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                 nullptr, first, &bytes);
        if (result == ERROR_BUFFER_OVERFLOW) continue;
        if (result != ERROR_SUCCESS) return false;
        for (const IP_ADAPTER_ADDRESSES* a = first; a != nullptr; a = a->Next) {
            if (a->FirstUnicastAddress != nullptr) return true;
        }
        return false;
    }
    return false;
}

}  // namespace

bool StartSockets() {
    if (start_sockets_answer) return *start_sockets_answer;
    return CanOpenSocket(AF_INET);
}

// The reply extension and IPv6 configuration texts are carried on every Windows we run on.
bool SupportsFullFunction() {
    return full_function_answer.value_or(true);
}

// As on Linux: a socket of the family and an address on some adapter.
bool Ipv6Available() {
    if (ipv6_answer) return *ipv6_answer;
    return CanOpenSocket(AF_INET6) && SomeAdapterHasIpv6();
}

void SetStartSocketsForTesting(std::optional<bool> answer) {
    start_sockets_answer = answer;
}
void SetSupportsFullFunctionForTesting(std::optional<bool> answer) {
    full_function_answer = answer;
}
void SetIpv6AvailableForTesting(std::optional<bool> answer) {
    ipv6_answer = answer;
}

}  // namespace telvane
