#pragma once

// The local network adapters, as the system lists them.

#include <cstddef>
#include <string>
#include <vector>

#include "protocol/wire.h"

namespace telvane {

inline constexpr int MAX_ADAPTERS = 5;

struct ADAPTER {
    MAC hardware_address{};  // first six bytes; all zero when the adapter has none
    std::string ipv4_text;   // text of its first IPv4 address; empty when it has none
    IPV4 ipv4_mask{};        // the subnet mask of that address; all zero when unknown
};

// Every adapter in the system's order, with its first IPv4 address.
[[nodiscard]] std::vector<ADAPTER> QueryAdapters();

// The adapters the program offers: system order, skipping those without an IPv4
// address ("0.0.0.0" or none) and those whose hardware address is all zero, at most
// limit of them: the window's choice holds MAX_ADAPTERS, the command line takes all.
inline constexpr std::size_t ALL_ADAPTERS = static_cast<std::size_t>(-1);
[[nodiscard]] std::vector<ADAPTER> UsableAdapters(const std::vector<ADAPTER>& all,
                                                  std::size_t limit = static_cast<std::size_t>(MAX_ADAPTERS));

// "MAC: 00-1a-2b-3c-4d-5e,   IP: 192.168.0.10"
std::u16string AdapterEntryText(const ADAPTER& adapter);

}  // namespace telvane
