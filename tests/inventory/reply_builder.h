#pragma once

// Enumerate replies built byte by byte for the tests, independently of the code under test.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace telvane {

using Bytes = std::vector<std::uint8_t>;

// The base reply of the golden example: 00-1a-2b-3c-4d-5e, 192.168.1.20, gateway
// 192.168.1.1, mask 255.255.255.0, DHCP off, not locked, model MODEL01.
inline const Bytes kGoldenBaseReply = {
    0xFF, 0xFF,                                      // marker
    0xC5, 0xCE,                                      // type MSG_ENUMERATE_REPLY
    0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,              // mac
    0xC0, 0xA8, 0x01, 0x14,                          // ipv4_address
    0xC0, 0xA8, 0x01, 0x01,                          // ipv4_gateway
    0xFF, 0xFF, 0xFF, 0x00,                          // ipv4_mask
    0x00,                                            // status_flags
    0x4D, 0x4F, 0x44, 0x45, 0x4C, 0x30, 0x31,        // "MODEL01"
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // model_name padding, bytes 30..38
    0x73,                                            // checksum of bytes 0..38
};

// Builds enumerate replies field by field, independently of the code under test.
struct Reply {
    Bytes b = kGoldenBaseReply;

    Reply& Mac(std::uint8_t last) { b[9] = last; return *this; }
    Reply& Address(std::uint8_t last) { b[13] = last; return *this; }
    Reply& Ipv4(std::uint8_t a, std::uint8_t b1, std::uint8_t c, std::uint8_t d) {
        b[10] = a; b[11] = b1; b[12] = c; b[13] = d;
        return *this;
    }
    Reply& Status(std::uint8_t flags) { b[22] = flags; return *this; }
    Reply& Model(const std::string& m) {
        std::fill(b.begin() + 23, b.begin() + 39, 0);
        std::memcpy(b.data() + 23, m.data(), std::min<std::size_t>(m.size(), 16));
        return *this;
    }
    // Adds the extension (bytes 40..114) with the given flags and a raw name field.
    Reply& Extension(std::uint8_t ext_flags, std::uint8_t name_length, const Bytes& name) {
        b.resize(115, 0);
        b[40] = ext_flags;
        b[41] = 8; b[42] = 8; b[43] = 4; b[44] = 4;          // dns4_preferred 8.8.4.4
        b[45] = 1; b[46] = 1; b[47] = 1; b[48] = 1;          // dns4_alternate 1.1.1.1
        b[49] = 0xFE; b[50] = 0x80; b[64] = 0x01;             // ipv6_address fe80::1
        b[65] = 64;                                           // prefix
        b[66] = 0xFE; b[67] = 0x80; b[81] = 0xFE;             // gateway fe80::fe
        b[82] = 0x20; b[83] = 0x01; b[97] = 0x53;             // dns6_preferred 2001::53
        b[98] = 0x20; b[99] = 0x01; b[113] = 0x54;            // dns6_alternate 2001::54
        b[114] = name_length;
        b.insert(b.end(), name.begin(), name.end());
        return *this;
    }
    Bytes Sealed() const {
        Bytes out = b;
        unsigned sum = 0;
        for (int i = 0; i < 39; ++i) sum += out[static_cast<std::size_t>(i)];
        out[39] = static_cast<std::uint8_t>(sum);
        return out;
    }
};

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The name field of a UTF-16 name: a zero byte, then the units big-endian. Its
// name_length is the field's size.
inline Bytes Utf16Name(const std::u16string& s) {
    Bytes out = {0x00};
    for (char16_t u : s) {
        out.push_back(static_cast<std::uint8_t>(u >> 8));
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    }
    return out;
}

}  // namespace telvane
