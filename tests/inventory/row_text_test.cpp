#include <gtest/gtest.h>

#include <cstring>

#include "inventory/row_text.h"

namespace telvane {
namespace {

DEVICE_INFO Entry() {
    DEVICE_INFO e{};
    e.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    e.ipv4_address = {10, 0, 0, 9};
    return e;
}

TEST(RowText, AreaWithoutTerminatorIsNeverReadPastItsEnd) {
    DEVICE_INFO e = Entry();
    // A UTF-16 area filled to the last byte by hand: 127 units, then the area ends.
    e.device_name.fill(0x41);
    e.device_name[0] = 0;
    EXPECT_EQ(DeviceNameText(e).size(), 127u);
    // An 8-bit area with no zero byte at all ends with the area.
    e.device_name.fill('b');
    EXPECT_EQ(DeviceNameText(e).size(), 256u);
}

TEST(RowText, MacAndAddressColumns) {
    DEVICE_INFO e = Entry();
    EXPECT_EQ(MacText(e), u"00-1a-2b-3c-4d-5e");
    EXPECT_EQ(IpAddressText(e), u"10.0.0.9");
    e.has_extension = 1;
    e.ext_flags = EXT_DHCP6;  // extension without IPv6: plain IPv4 text
    EXPECT_EQ(IpAddressText(e), u"10.0.0.9");
    e.ext_flags = EXT_IPV6;
    e.ipv6_address = {0x20, 0x01, 0x0d, 0xb8};
    e.ipv6_address[15] = 0x20;
    EXPECT_EQ(IpAddressText(e), u"10.0.0.9 (2001:db8::20)");
    e.has_extension = 0;  // flags left from an earlier slot are not read
    EXPECT_EQ(IpAddressText(e), u"10.0.0.9");
}

TEST(RowText, ModelNameStopsAtSixteenBytes) {
    DEVICE_INFO e = Entry();
    e.model_name.fill('M');
    EXPECT_EQ(ModelNameText(e), u"MMMMMMMMMMMMMMMM");
    std::memcpy(e.model_name.data(), "AB\0CD", 5);
    EXPECT_EQ(ModelNameText(e), u"AB");
}

}  // namespace
}  // namespace telvane
