#include "net/win32_adapters.h"

// winsock2.h must come before windows.h, which iphlpapi.h pulls in.
#include <winsock2.h>

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "protocol/text.h"
#include "protocol/wire.h"

namespace telvane::win32 {

namespace {

const sockaddr_in* FirstIpv4(const IP_ADAPTER_ADDRESSES& adapter, std::uint8_t* prefix_length) {
    for (const IP_ADAPTER_UNICAST_ADDRESS* u = adapter.FirstUnicastAddress; u != nullptr; u = u->Next) {
        const SOCKET_ADDRESS& a = u->Address;
        if (a.lpSockaddr == nullptr || a.lpSockaddr->sa_family != AF_INET) continue;
        if (prefix_length != nullptr) *prefix_length = u->OnLinkPrefixLength;
        return reinterpret_cast<const sockaddr_in*>(a.lpSockaddr);
    }
    return nullptr;
}

// Windows gives the on-link prefix length; the rest of the program takes a mask.
IPV4 MaskOfPrefix(std::uint8_t length) {
    return Ipv4FromHostOrder(PrefixMask(length));
}

}  // namespace

// GetAdaptersAddresses fills a caller's buffer and says when it needs a larger one; the
// list can grow between two calls, so it is asked a few times. uint64_t elements keep the
// records aligned.
std::vector<std::uint64_t> AdapterAddresses() {
    constexpr ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG bytes = 16 * 1024;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<std::uint64_t> buffer((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
        auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        const ULONG result = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, first, &bytes);
        if (result == ERROR_SUCCESS) return buffer;
        if (result != ERROR_BUFFER_OVERFLOW) break;
    }
    return {};
}

std::vector<SystemAdapter> QuerySystemAdapters() {
    std::vector<SystemAdapter> out;
    const std::vector<std::uint64_t> buffer = AdapterAddresses();
    if (buffer.empty()) return out;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr; a = a->Next) {
        SystemAdapter entry;
        entry.interface_index = a->IfIndex;
        if (a->PhysicalAddressLength >= entry.adapter.hardware_address.size()) {
            std::copy_n(a->PhysicalAddress, entry.adapter.hardware_address.size(),
                        entry.adapter.hardware_address.begin());
        }
        if (const sockaddr_in* in = FirstIpv4(*a, &entry.ipv4_prefix_length)) {
            IPV4 octets{};
            std::memcpy(octets.data(), &in->sin_addr, octets.size());
            entry.adapter.ipv4_text = FormatIpv4(octets);
            entry.adapter.ipv4_mask = MaskOfPrefix(entry.ipv4_prefix_length);
        }
        out.push_back(entry);
    }
    return out;
}

std::optional<std::uint32_t> InterfaceHolding(const IPV4& address) {
    const std::vector<std::uint64_t> buffer = AdapterAddresses();
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.empty() ? nullptr : buffer.data());
         a != nullptr; a = a->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
            const SOCKET_ADDRESS& s = u->Address;
            if (s.lpSockaddr == nullptr || s.lpSockaddr->sa_family != AF_INET) continue;
            const auto* in = reinterpret_cast<const sockaddr_in*>(s.lpSockaddr);
            if (std::memcmp(&in->sin_addr, address.data(), address.size()) == 0) return a->IfIndex;
        }
    }
    return std::nullopt;
}

}  // namespace telvane::win32
