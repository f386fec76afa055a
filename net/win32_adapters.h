#pragma once

// The adapters as Windows lists them (GetAdaptersAddresses), with the interface index
// that Winsock reports for arrivals.

#include <cstdint>
#include <optional>
#include <vector>

#include "net/adapters.h"

namespace telvane::win32 {

struct SystemAdapter {
    ADAPTER adapter;
    std::uint32_t interface_index = 0;
    std::uint8_t ipv4_prefix_length = 0;  // of its first IPv4 address
};

// GetAdaptersAddresses' list: the IP_ADAPTER_ADDRESSES records, the first at data(), without
// anycast, multicast and DNS server addresses; empty on failure.
std::vector<std::uint64_t> AdapterAddresses();

// Every adapter in the system's order, with its first IPv4 address; empty on failure.
std::vector<SystemAdapter> QuerySystemAdapters();

// The interface index of the adapter that holds `address` (first octet first) now.
[[nodiscard]] std::optional<std::uint32_t> InterfaceHolding(const IPV4& address);

}  // namespace telvane::win32
