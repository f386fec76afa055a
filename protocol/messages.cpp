#include "protocol/messages.h"

namespace telvane {

namespace {

void PutHeader(std::span<std::uint8_t> out, std::uint16_t type) {
    PutU16BE(out, 0, DATAGRAM_MARKER);
    PutU16BE(out, 2, type);
}

void SealChecksum(std::span<std::uint8_t> out) { out.back() = Checksum(out.first(out.size() - 1)); }

}  // namespace

std::array<std::uint8_t, ENUMERATE_SIZE> BuildEnumerateRequest() {
    std::array<std::uint8_t, ENUMERATE_SIZE> out{};
    PutHeader(out, MSG_ENUMERATE);
    SealChecksum(out);
    return out;
}

std::array<std::uint8_t, SET_BASIC_SIZE> BuildSetBasic(const MAC& mac, const SET_SETTINGS& s) {
    std::array<std::uint8_t, SET_BASIC_SIZE> out{};
    PutHeader(out, MSG_SET_BASIC);
    PutBytes(out, 4, mac);
    PutBytes(out, 10, s.ipv4_address);
    PutBytes(out, 14, s.ipv4_gateway);  // gateway before mask in this form
    PutBytes(out, 18, s.ipv4_mask);
    out[22] = s.dhcp;
    SealChecksum(out);
    return out;
}

std::array<std::uint8_t, SET_EXTENDED_SIZE> BuildSetExtended(const MAC& mac, const SET_SETTINGS& s) {
    std::array<std::uint8_t, SET_EXTENDED_SIZE> out{};
    PutHeader(out, MSG_SET_EXTENDED);
    PutBytes(out, 4, mac);
    PutBytes(out, 10, s.ipv4_address);
    PutBytes(out, 14, s.ipv4_mask);  // mask before gateway in this form
    PutBytes(out, 18, s.ipv4_gateway);
    PutBytes(out, 22, s.dns4_preferred);
    PutBytes(out, 26, s.dns4_alternate);
    out[30] = s.set_flags;
    PutBytes(out, 31, s.ipv6_address);
    out[47] = s.ipv6_prefix_length;
    PutBytes(out, 48, s.ipv6_gateway);
    PutBytes(out, 64, s.dns6_preferred);
    PutBytes(out, 80, s.dns6_alternate);
    SealChecksum(out);
    return out;
}

}  // namespace telvane
