#pragma once

// The requests the program sends: the constant enumerate request and the two forms
// of the set request.

#include <array>
#include <cstdint>

#include "protocol/wire.h"

namespace telvane {

// Plain, already checked values of a set request. Values that do not apply stay zero.
struct SET_SETTINGS {
    IPV4 ipv4_address{};
    IPV4 ipv4_gateway{};
    IPV4 ipv4_mask{};
    IPV4 dns4_preferred{};
    IPV4 dns4_alternate{};
    std::uint8_t dhcp = 0;       // MSG_SET_BASIC only
    std::uint8_t set_flags = 0;  // MSG_SET_EXTENDED only: SET_DNS4_AUTO, SET_DHCP4, SET_DNS6_AUTO, SET_DHCP6
    IPV6 ipv6_address{};
    std::uint8_t ipv6_prefix_length = 0;
    IPV6 ipv6_gateway{};
    IPV6 dns6_preferred{};
    IPV6 dns6_alternate{};

    bool operator==(const SET_SETTINGS&) const = default;
};

std::array<std::uint8_t, ENUMERATE_SIZE> BuildEnumerateRequest();
std::array<std::uint8_t, SET_BASIC_SIZE> BuildSetBasic(const MAC& mac, const SET_SETTINGS& settings);
std::array<std::uint8_t, SET_EXTENDED_SIZE> BuildSetExtended(const MAC& mac, const SET_SETTINGS& settings);

}  // namespace telvane
