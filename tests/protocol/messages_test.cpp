#include <gtest/gtest.h>

#include <vector>

#include "protocol/messages.h"

namespace telvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

const MAC kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

SET_SETTINGS StaticSettings() {
    SET_SETTINGS s;
    s.ipv4_address = {192, 168, 1, 20};
    s.ipv4_gateway = {192, 168, 1, 1};
    s.ipv4_mask = {255, 255, 255, 0};
    return s;
}

TEST(Checksum, SumsBytesModulo256WithoutComplement) {
    const std::uint8_t bytes[] = {0xFF, 0xFF, 0x45, 0x4E};
    EXPECT_EQ(Checksum(bytes, 4), 0x91);  // 0x291 keeps 0x91
    EXPECT_EQ(Checksum(bytes, 0), 0);
    EXPECT_EQ(Checksum(bytes, -3), 0);
    EXPECT_EQ(Checksum(std::span<const std::uint8_t>(bytes, 2)), 0xFE);
}

TEST(Requests, EnumerateIsTheFixedFiveBytes) {
    EXPECT_EQ(ToBytes(BuildEnumerateRequest()), (Bytes{0xFF, 0xFF, 0x45, 0x4E, 0x91}));
}

TEST(Requests, SetBasicStaticGoldenVector) {
    const Bytes expected = {
        0xFF, 0xFF,                          // marker
        0x49, 0x50,                          // type MSG_SET_BASIC
        0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,  // mac
        0xC0, 0xA8, 0x01, 0x14,              // ipv4_address 192.168.1.20
        0xC0, 0xA8, 0x01, 0x01,              // ipv4_gateway 192.168.1.1 (gateway first here)
        0xFF, 0xFF, 0xFF, 0x00,              // ipv4_mask 255.255.255.0
        0x00,                                // dhcp off
        0xA7,                                // checksum
    };
    EXPECT_EQ(ToBytes(BuildSetBasic(kMac, StaticSettings())), expected);
}

TEST(Requests, SetExtendedPutsMaskBeforeGatewayAndFlagsAtByte30) {
    SET_SETTINGS s = StaticSettings();
    s.set_flags = SET_DNS4_AUTO | SET_DNS6_AUTO | SET_DHCP6;  // 0x0D
    Bytes expected = {
        0xFF, 0xFF,                          // marker
        0x49, 0x41,                          // type MSG_SET_EXTENDED
        0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,  // mac
        0xC0, 0xA8, 0x01, 0x14,              // ipv4_address
        0xFF, 0xFF, 0xFF, 0x00,              // ipv4_mask (mask first in this form)
        0xC0, 0xA8, 0x01, 0x01,              // ipv4_gateway
    };
    expected.resize(30, 0x00);     // dns4_preferred, dns4_alternate: automatic, zero
    expected.push_back(0x0D);      // set_flags
    expected.resize(96, 0x00);     // every IPv6 field zero
    expected.push_back(0xA5);      // checksum
    const Bytes built = ToBytes(BuildSetExtended(kMac, s));
    EXPECT_EQ(built, expected);
    EXPECT_EQ(built.size(), SET_EXTENDED_SIZE);
}

TEST(Requests, SetExtendedPlacesEveryIpv6Field) {
    SET_SETTINGS s;
    for (std::uint8_t i = 0; i < 16; ++i) {
        s.ipv6_address[i] = static_cast<std::uint8_t>(0x10 + i);
        s.ipv6_gateway[i] = static_cast<std::uint8_t>(0x30 + i);
        s.dns6_preferred[i] = static_cast<std::uint8_t>(0x50 + i);
        s.dns6_alternate[i] = static_cast<std::uint8_t>(0x70 + i);
    }
    s.ipv6_prefix_length = 64;
    s.dns4_preferred = {8, 8, 8, 8};
    s.dns4_alternate = {1, 1, 1, 1};
    const auto b = BuildSetExtended(kMac, s);
    EXPECT_EQ(b[22], 8);
    EXPECT_EQ(b[26], 1);
    EXPECT_EQ(b[31], 0x10);
    EXPECT_EQ(b[46], 0x1F);
    EXPECT_EQ(b[47], 64);
    EXPECT_EQ(b[48], 0x30);
    EXPECT_EQ(b[64], 0x50);
    EXPECT_EQ(b[80], 0x70);
    EXPECT_EQ(b[95], 0x7F);
    EXPECT_EQ(b[96], Checksum(b.data(), 96));
}

TEST(Recognition, MarkerTypeAndMinimumLengths) {
    Bytes set_reply = {0xFF, 0xFF, 0xC9, 0xD0, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0xC3};
    EXPECT_EQ(Recognize(set_reply), DatagramKind::SetReply);
    EXPECT_EQ(Recognize(std::span(set_reply).first(11)), DatagramKind::Ignored);  // short set reply dropped

    Bytes enum_reply(40, 0);
    enum_reply[0] = enum_reply[1] = 0xFF;
    enum_reply[2] = 0xC5;
    enum_reply[3] = 0xCE;
    EXPECT_EQ(Recognize(enum_reply), DatagramKind::EnumerateReply);
    EXPECT_EQ(Recognize(std::span(enum_reply).first(39)), DatagramKind::Ignored);

    // Our own requests coming back are not replies.
    EXPECT_EQ(Recognize(ToBytes(BuildEnumerateRequest())), DatagramKind::Ignored);
    EXPECT_EQ(Recognize(ToBytes(BuildSetBasic(kMac, {}))), DatagramKind::Ignored);

    enum_reply[1] = 0xFE;  // marker must be FF FF
    EXPECT_EQ(Recognize(enum_reply), DatagramKind::Ignored);
    EXPECT_EQ(Recognize({}), DatagramKind::Ignored);
}

// Guards against a byte swapped or an octet lost between the wire form and the number
// masks and address boxes work on, and against a shift by 32 for a /0 mask.
TEST(Ipv4HostOrder, FirstOctetIsMostSignificantAndMasksAreLeadingOnes) {
    EXPECT_EQ(Ipv4HostOrder({192, 0, 2, 130}), 0xC0000282u);
    EXPECT_EQ(Ipv4FromHostOrder(0xC0000282u), (IPV4{192, 0, 2, 130}));
    EXPECT_EQ(Ipv4FromHostOrder(Ipv4HostOrder({255, 1, 128, 0})), (IPV4{255, 1, 128, 0}));
    EXPECT_EQ(PrefixMask(0), 0u);
    EXPECT_EQ(PrefixMask(1), 0x80000000u);
    EXPECT_EQ(PrefixMask(26), 0xFFFFFFC0u);
    EXPECT_EQ(PrefixMask(32), 0xFFFFFFFFu);
    EXPECT_EQ(PrefixMask(-1), 0u);
    EXPECT_EQ(PrefixMask(40), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace telvane
