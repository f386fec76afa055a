#include "net/system_checks.h"
#include "net/testing.h"

#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace telvane {

namespace {

std::optional<bool> start_sockets_answer;
std::optional<bool> full_function_answer;
std::optional<bool> ipv6_answer;

bool CanOpenSocket(int family) {
    const int fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool SomeAdapterHasIpv6() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool found = false;
    for (const ifaddrs* a = list; a != nullptr && !found; a = a->ifa_next) {
        found = a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET6;
    }
    freeifaddrs(list);
    return found;
}

}  // namespace

bool StartSockets() {
    if (start_sockets_answer) return *start_sockets_answer;
    return CanOpenSocket(AF_INET);
}

// Linux carries the reply extension and IPv6 configuration texts everywhere.
bool SupportsFullFunction() { return full_function_answer.value_or(true); }

// Name resolution of "::" succeeds even where IPv6 is switched off, so ask for what
// the function needs: a socket of the family and an address on some adapter.
bool Ipv6Available() {
    if (ipv6_answer) return *ipv6_answer;
    return CanOpenSocket(AF_INET6) && SomeAdapterHasIpv6();
}

void SetStartSocketsForTesting(std::optional<bool> answer) { start_sockets_answer = answer; }
void SetSupportsFullFunctionForTesting(std::optional<bool> answer) { full_function_answer = answer; }
void SetIpv6AvailableForTesting(std::optional<bool> answer) { ipv6_answer = answer; }

}  // namespace telvane
