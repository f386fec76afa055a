#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "procedures/set_form.h"
#include "protocol/text.h"

namespace telvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t Addr(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return (std::uint32_t{a} << 24) | (std::uint32_t{b} << 16) | (std::uint32_t{c} << 8) | d;
}
IPV4_BOX Box(std::uint32_t value) {
    return {false, value};
}
const IPV4_BOX kBlank{};

const MAC kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

DEVICE_INFO Device(bool extended, std::uint8_t ext_flags) {
    DEVICE_INFO e{};
    e.mac = kMac;
    e.ipv4_address = {192, 168, 1, 20};
    e.ipv4_gateway = {192, 168, 1, 1};
    e.ipv4_mask = {255, 255, 255, 0};
    e.state = STATE_NORMAL;
    e.has_extension = extended ? 1 : 0;
    e.ext_flags = ext_flags;
    return e;
}
const DEVICE_INFO kBasic = Device(false, 0);
// A basic entry whose slot still holds an earlier extended device's flags: they must not count.
const DEVICE_INFO kBasicWithStaleFlags = Device(false, EXT_IPV6 | EXT_DNS4_AUTO);
const DEVICE_INFO kExtended = Device(true, 0);
const DEVICE_INFO kIpv6 = Device(true, EXT_IPV6);

IPV6 V6(std::initializer_list<std::uint8_t> head, std::initializer_list<std::uint8_t> tail = {}) {
    IPV6 a{};
    std::size_t i = 0;
    for (auto b : head) a[i++] = b;
    i = 16 - tail.size();
    for (auto b : tail) a[i++] = b;
    return a;
}

// Passes every check for every kind of device.
SET_FORM GoodForm() {
    SET_FORM f;
    f.ipv4_address = Box(Addr(192, 168, 1, 20));
    f.ipv4_gateway = Box(Addr(192, 168, 1, 1));
    f.ipv4_mask = Box(Addr(255, 255, 255, 0));
    f.dns4_preferred = Box(Addr(192, 0, 2, 53));
    f.dns4_alternate = kBlank;
    f.ipv6_address = u"2001:db8::20";
    f.ipv6_prefix_length = u"64";
    f.ipv6_gateway = u"fe80::1";
    f.dns6_preferred = u"2001:db8::53";
    f.dns6_alternate = u"";
    return f;
}

SetFormFault Fault(const SET_FORM& f, const DEVICE_INFO* d) {
    return CheckSetForm(f, d).fault;
}

// ---- The order of the checks -------------------------------------------------------

// One breaker per row of the message table, in table order (the selection row is last
// and handled apart). Each makes exactly its own check fail.
const std::vector<std::function<void(SET_FORM&)>> kBreakers = {
    [](SET_FORM& f) { f.ipv4_address = kBlank; },
    [](SET_FORM& f) { f.ipv4_address = Box(0xFFFFFFFFu); },
    [](SET_FORM& f) { f.ipv4_gateway = Box(0xFFFFFFFFu); },
    [](SET_FORM& f) { f.ipv4_mask = kBlank; },
    [](SET_FORM& f) { f.dns4_preferred = Box(0xFFFFFFFFu); },
    [](SET_FORM& f) { f.dns4_alternate = Box(0xFFFFFFFFu); },
    [](SET_FORM& f) { f.ipv6_address = u""; },
    [](SET_FORM& f) { f.ipv6_address = u"2001:db8::zz"; },
    [](SET_FORM& f) { f.ipv6_gateway = u"gateway"; },
    [](SET_FORM& f) { f.dns6_preferred = u"1.2.3.4"; },
    [](SET_FORM& f) { f.dns6_alternate = u"::1::2"; },
};

const char* const kMessages[] = {
    "IPv4 address is required.",
    "IPv4 address is invalid.",
    "IPv4 gateway address is invalid.",
    "IPv4 subnet mask is required.",
    "Preferred IPv4 DNS address is invalid.",
    "Alternate IPv4 DNS address is invalid.",
    "IPv6 address is required.",
    "IPv6 address is invalid.",
    "IPv6 gateway address is invalid.",
    "Preferred IPv6 DNS address is invalid.",
    "Alternate IPv6 DNS address is invalid.",
    "Please select device first.",
};

class CheckOrder : public testing::TestWithParam<std::size_t> {};

// Guards against checks running in the wrong order: row k is broken together with every
// later row, and row k's message must win. For the IPv4 rows no device is selected either,
// so the selection check must come after them.
TEST_P(CheckOrder, EarliestFailingRowWinsWithItsExactMessage) {
    const std::size_t row = GetParam();
    SET_FORM f = GoodForm();
    for (std::size_t k = kBreakers.size(); k-- > row;) kBreakers[k](f);
    const DEVICE_INFO* selected = row < 4 ? nullptr : &kIpv6;
    const SET_FORM_CHECK check = CheckSetForm(f, selected);
    EXPECT_FALSE(check.Ok());
    EXPECT_EQ(SetFormMessage(check.fault), kMessages[row]);
    EXPECT_EQ(check.settings, SET_SETTINGS{}) << "a failed check hands out no values";
}

INSTANTIATE_TEST_SUITE_P(EveryRow, CheckOrder, testing::Range<std::size_t>(0, 11));

// Guards against a row whose own check is missing: each breaker alone fails with its message.
TEST(CheckRows, EachRowAloneFailsWithItsMessage) {
    for (std::size_t row = 0; row < kBreakers.size(); ++row) {
        SET_FORM f = GoodForm();
        kBreakers[row](f);
        EXPECT_EQ(SetFormMessage(Fault(f, &kIpv6)), kMessages[row]) << "row " << row;
    }
}

// Guards against the selection being tested first (or not at all).
TEST(CheckRows, SelectionIsCheckedLast) {
    EXPECT_EQ(SetFormMessage(Fault(GoodForm(), nullptr)), "Please select device first.");
    SET_FORM f = GoodForm();
    f.ipv4_address = kBlank;
    EXPECT_EQ(SetFormMessage(Fault(f, nullptr)), "IPv4 address is required.");
    // Without a selection the extended checks cannot run: broken DNS and IPv6 texts are not seen.
    f = GoodForm();
    f.dns4_preferred = Box(0xFFFFFFFFu);
    f.ipv6_address = u"";
    EXPECT_EQ(Fault(f, nullptr), SetFormFault::NoDeviceSelected);
}

TEST(CheckRows, AddressZeroIsInvalidToo) {
    SET_FORM f = GoodForm();
    f.ipv4_address = Box(0);
    EXPECT_EQ(Fault(f, &kBasic), SetFormFault::Ipv4AddressInvalid);
}

TEST(CheckRows, EveryFaultHasItsTextAndNoneHasNone) {
    EXPECT_TRUE(SetFormMessage(SetFormFault::None).empty());
    EXPECT_EQ(SetFormMessage(SetFormFault::NoDeviceSelected), kMessages[11]);
}

// ---- What each check lets through --------------------------------------------------

// Guards against DHCP still reading (and checking) the address boxes.
TEST(CheckValues, Ipv4DhcpZeroesTheAddressesWhateverTheBoxesShow) {
    SET_FORM f = GoodForm();
    f.ipv4_dhcp = true;
    f.ipv4_address = kBlank;
    f.ipv4_gateway = Box(0xFFFFFFFFu);
    f.ipv4_mask = kBlank;
    for (const DEVICE_INFO* d : {&kBasic, &kIpv6}) {
        const SET_FORM_CHECK c = CheckSetForm(f, d);
        ASSERT_TRUE(c.Ok());
        EXPECT_EQ(c.settings.dhcp, 1);
        EXPECT_EQ(c.settings.set_flags & SET_DHCP4, SET_DHCP4);
        EXPECT_EQ(c.settings.ipv4_address, IPV4{});
        EXPECT_EQ(c.settings.ipv4_gateway, IPV4{});
        EXPECT_EQ(c.settings.ipv4_mask, IPV4{});
    }
}

// Guards against a blank gateway being refused and against a test on the mask's value.
TEST(CheckValues, BlankOrZeroGatewayAndAnyMaskAreAccepted) {
    SET_FORM f = GoodForm();
    f.ipv4_gateway = kBlank;
    f.ipv4_mask = Box(0xFFFFFFFFu);
    SET_FORM_CHECK c = CheckSetForm(f, &kBasic);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.ipv4_gateway, IPV4{});
    EXPECT_EQ(c.settings.ipv4_mask, (IPV4{255, 255, 255, 255}));
    EXPECT_EQ(c.settings.dhcp, 0);
    EXPECT_EQ(c.settings.set_flags, 0);

    f.ipv4_gateway = Box(0);
    f.ipv4_mask = Box(0);
    c = CheckSetForm(f, &kBasic);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.ipv4_mask, IPV4{});
}

// Guards against the fields going out in the wrong order (first field = most significant).
TEST(CheckValues, BoxValueMostSignificantByteIsTheFirstField) {
    SET_FORM f = GoodForm();
    f.ipv4_address = Box(0x0A141E28);
    const SET_FORM_CHECK c = CheckSetForm(f, &kBasic);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.ipv4_address, (IPV4{10, 20, 30, 40}));
}

// Guards against DNS or IPv6 checks running for a device that has no extension.
TEST(CheckValues, BasicDeviceIgnoresDnsAndIpv6Controls) {
    SET_FORM f = GoodForm();
    f.dns4_auto = true;
    f.dns4_preferred = Box(0xFFFFFFFFu);
    f.ipv6_address = u"not an address";
    f.ipv6_dhcp = true;
    f.dns6_auto = true;
    for (const DEVICE_INFO* d : {&kBasic, &kBasicWithStaleFlags}) {
        const SET_FORM_CHECK c = CheckSetForm(f, d);
        ASSERT_TRUE(c.Ok());
        EXPECT_EQ(c.settings.set_flags, 0) << "no DNS or IPv6 bit for a basic device";
        EXPECT_EQ(c.settings.dns4_preferred, IPV4{});
        EXPECT_EQ(BuildSetRequest(*d, c.settings).size, SET_BASIC_SIZE);
    }
}

TEST(CheckValues, ExtendedDnsBlankSkippedZeroTakenAutoSetsFlag) {
    SET_FORM f = GoodForm();
    f.dns4_preferred = kBlank;
    f.dns4_alternate = Box(0);
    SET_FORM_CHECK c = CheckSetForm(f, &kExtended);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.dns4_preferred, IPV4{});
    EXPECT_EQ(c.settings.set_flags, 0);

    f.dns4_preferred = Box(Addr(198, 51, 100, 1));
    f.dns4_alternate = Box(Addr(198, 51, 100, 2));
    c = CheckSetForm(f, &kExtended);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.dns4_preferred, (IPV4{198, 51, 100, 1}));
    EXPECT_EQ(c.settings.dns4_alternate, (IPV4{198, 51, 100, 2}));

    // Automatic DNS: the boxes are not read, not even a broken one.
    f.dns4_auto = true;
    f.dns4_preferred = Box(0xFFFFFFFFu);
    c = CheckSetForm(f, &kExtended);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.set_flags, SET_DNS4_AUTO);
    EXPECT_EQ(c.settings.dns4_preferred, IPV4{});
}

// Guards against IPv6 values or bits leaking into the request of a device without IPv6.
TEST(CheckValues, ExtendedWithoutIpv6SendsNoIpv6) {
    SET_FORM f = GoodForm();
    f.ipv6_dhcp = true;
    f.dns6_auto = true;
    f.ipv6_address = u"garbage";
    f.dns6_preferred = u"garbage";
    const SET_FORM_CHECK c = CheckSetForm(f, &kExtended);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.set_flags & (SET_DHCP6 | SET_DNS6_AUTO), 0);
    EXPECT_EQ(c.settings.ipv6_address, IPV6{});
    EXPECT_EQ(c.settings.ipv6_prefix_length, 0);
    EXPECT_EQ(c.settings.dns6_preferred, IPV6{});
    EXPECT_EQ(BuildSetRequest(kExtended, c.settings).size, SET_EXTENDED_SIZE);
}

TEST(CheckValues, Ipv6StaticValuesAreParsed) {
    const SET_FORM_CHECK c = CheckSetForm(GoodForm(), &kIpv6);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.ipv6_address, V6({0x20, 0x01, 0x0d, 0xb8}, {0x00, 0x20}));
    EXPECT_EQ(c.settings.ipv6_prefix_length, 64);
    EXPECT_EQ(c.settings.ipv6_gateway, V6({0xfe, 0x80}, {0x00, 0x01}));
    EXPECT_EQ(c.settings.dns6_preferred, V6({0x20, 0x01, 0x0d, 0xb8}, {0x00, 0x53}));
    EXPECT_EQ(c.settings.dns6_alternate, IPV6{});
    EXPECT_EQ(c.settings.set_flags, 0);
}

// Guards against IPv6 DHCP still reading the address edits, or skipping the DNS edits.
TEST(CheckValues, Ipv6DhcpLeavesAddressFieldsZeroButStillChecksDns) {
    SET_FORM f = GoodForm();
    f.ipv6_dhcp = true;
    f.ipv6_address = u"leftover";
    f.ipv6_prefix_length = u"64";
    f.ipv6_gateway = u"also leftover";
    SET_FORM_CHECK c = CheckSetForm(f, &kIpv6);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.set_flags, SET_DHCP6);
    EXPECT_EQ(c.settings.ipv6_address, IPV6{});
    EXPECT_EQ(c.settings.ipv6_prefix_length, 0);
    EXPECT_EQ(c.settings.ipv6_gateway, IPV6{});
    EXPECT_EQ(c.settings.dns6_preferred, V6({0x20, 0x01, 0x0d, 0xb8}, {0x00, 0x53}));

    f.dns6_preferred = u"bad";
    EXPECT_EQ(Fault(f, &kIpv6), SetFormFault::Dns6PreferredInvalid);
    f.dns6_auto = true;
    c = CheckSetForm(f, &kIpv6);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.set_flags, SET_DHCP6 | SET_DNS6_AUTO);
    EXPECT_EQ(c.settings.dns6_preferred, IPV6{});
}

// Guards against the prefix being range-checked, signed, or refused when not a number.
TEST(CheckValues, PrefixIsReadAsUnsignedWithLowEightBits) {
    const std::pair<std::u16string, int> cases[] = {
        {u"", 0}, {u"64", 64}, {u"128", 128}, {u"0", 0}, {u"abc", 0}, {u"-5", 0}, {u" 48", 48}, {u"300", 44},
    };
    for (const auto& [text, expected] : cases) {
        SET_FORM f = GoodForm();
        f.ipv6_prefix_length = text;
        const SET_FORM_CHECK c = CheckSetForm(f, &kIpv6);
        ASSERT_TRUE(c.Ok());
        EXPECT_EQ(c.settings.ipv6_prefix_length, expected) << ToUtf8(text);
    }
}

// Guards against a scope suffix failing the parse or leaking into the bytes.
TEST(CheckValues, Ipv6ScopeIsAcceptedAndDropped) {
    for (const std::u16string text : {u"fe80::1%2", u"fe80::1%eth0"}) {
        SET_FORM f = GoodForm();
        f.ipv6_address = text;
        f.ipv6_gateway = text;
        const SET_FORM_CHECK c = CheckSetForm(f, &kIpv6);
        ASSERT_TRUE(c.Ok());
        EXPECT_EQ(c.settings.ipv6_address, V6({0xfe, 0x80}, {0x00, 0x01}));
        EXPECT_EQ(c.settings.ipv6_gateway, V6({0xfe, 0x80}, {0x00, 0x01}));
    }
}

// Guards against a name lookup (or an IPv4 fallback) sneaking back into IPv6 parsing.
TEST(CheckValues, Ipv6TextsParseNumericallyOnly) {
    for (const std::u16string text : {u"192.168.1.20", u"localhost", u"ip6-localhost", u"example.com", u"fe80::1%"}) {
        SET_FORM f = GoodForm();
        f.ipv6_address = text;
        EXPECT_EQ(Fault(f, &kIpv6), SetFormFault::Ipv6AddressInvalid) << ToUtf8(text);
    }
    SET_FORM f = GoodForm();
    f.ipv6_address = u"::ffff:192.0.2.1";  // a mapped address is an IPv6 address
    EXPECT_TRUE(CheckSetForm(f, &kIpv6).Ok());
}

// ---- Requests built from the form ---------------------------------------------------

// Guards against BuildSetRequest choosing the form by anything but has_extension, and
// against the composed flags differing from the protocol's example.
TEST(BuildFromForm, GoldenBasicStatic) {
    SET_FORM f = GoodForm();
    const SET_FORM_CHECK c = CheckSetForm(f, &kBasic);
    ASSERT_TRUE(c.Ok());
    const SET_REQUEST r = BuildSetRequest(kBasic, c.settings);
    const Bytes expected = {
        0xFF, 0xFF,                          // marker
        0x49, 0x50,                          // MSG_SET_BASIC
        0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,  // mac
        0xC0, 0xA8, 0x01, 0x14,              // ipv4_address 192.168.1.20
        0xC0, 0xA8, 0x01, 0x01,              // ipv4_gateway 192.168.1.1
        0xFF, 0xFF, 0xFF, 0x00,              // ipv4_mask 255.255.255.0
        0x00,                                // dhcp off
        0xA7,                                // checksum
    };
    EXPECT_EQ(Bytes(r.Bytes().begin(), r.Bytes().end()), expected);
}

TEST(BuildFromForm, GoldenExtendedWithAutomaticDnsAndIpv6) {
    SET_FORM f = GoodForm();
    f.dns4_auto = true;
    f.ipv6_dhcp = true;
    f.dns6_auto = true;
    const SET_FORM_CHECK c = CheckSetForm(f, &kIpv6);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.set_flags, 0x0D);
    const SET_REQUEST r = BuildSetRequest(kIpv6, c.settings);
    Bytes expected = {
        0xFF, 0xFF,                          // marker
        0x49, 0x41,                          // MSG_SET_EXTENDED
        0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,  // mac
        0xC0, 0xA8, 0x01, 0x14,              // ipv4_address
        0xFF, 0xFF, 0xFF, 0x00,              // ipv4_mask (mask first here)
        0xC0, 0xA8, 0x01, 0x01,              // ipv4_gateway
    };
    expected.resize(97, 0x00);  // DNS, IPv6 all zero
    expected[30] = 0x0D;        // set_flags
    expected[96] = 0xA5;        // checksum
    EXPECT_EQ(Bytes(r.Bytes().begin(), r.Bytes().end()), expected);
}

TEST(BuildFromForm, BasicDhcpCarriesDhcpByteAndZeroAddresses) {
    SET_FORM f = GoodForm();
    f.ipv4_dhcp = true;
    const SET_REQUEST r = BuildSetRequest(kBasic, CheckSetForm(f, &kBasic).settings);
    ASSERT_EQ(r.size, SET_BASIC_SIZE);
    EXPECT_EQ(r.bytes[22], 1);
    for (std::size_t i = 10; i < 22; ++i) EXPECT_EQ(r.bytes[i], 0) << i;
    EXPECT_EQ(r.bytes[23], Checksum(r.Bytes().first(23)));
}

TEST(BuildFromForm, ExtendedDhcpTravelsAsSetFlagOnly) {
    SET_FORM f = GoodForm();
    f.ipv4_dhcp = true;
    const SET_REQUEST r = BuildSetRequest(kExtended, CheckSetForm(f, &kExtended).settings);
    ASSERT_EQ(r.size, SET_EXTENDED_SIZE);
    EXPECT_EQ(r.bytes[30], SET_DHCP4);
    for (std::size_t i = 10; i < 22; ++i) EXPECT_EQ(r.bytes[i], 0) << i;
    EXPECT_EQ(r.bytes[22], 192) << "manual DNS still goes out";
}

// ---- The panel as SelectDevice fills it --------------------------------------------

TEST(FormFromDevice, BasicDeviceShowsAddressesAndBlankDns) {
    DEVICE_INFO d = kBasicWithStaleFlags;
    d.dhcp = 1;
    const SET_FORM f = SetFormFromDevice(d);
    EXPECT_TRUE(f.ipv4_dhcp);
    EXPECT_EQ(f.ipv4_address, Box(Addr(192, 168, 1, 20)));
    EXPECT_EQ(f.ipv4_gateway, Box(Addr(192, 168, 1, 1)));
    EXPECT_EQ(f.ipv4_mask, Box(Addr(255, 255, 255, 0)));
    EXPECT_FALSE(f.dns4_auto) << "automatic DNS needs the extension";
    EXPECT_TRUE(f.dns4_preferred.blank);
    EXPECT_TRUE(f.ipv6_address.empty());
    EXPECT_TRUE(f.ipv6_prefix_length.empty());
}

// Guards against automatic IPv4 DNS being shown for a device that does not use DHCP,
// and automatic IPv6 DNS without IPv6 DHCP.
TEST(FormFromDevice, AutomaticChoicesFollowThePanelRules) {
    DEVICE_INFO d = Device(true, EXT_DNS4_AUTO | EXT_IPV6 | EXT_DNS6_AUTO);
    SET_FORM f = SetFormFromDevice(d);
    EXPECT_FALSE(f.dns4_auto);
    EXPECT_FALSE(f.ipv6_dhcp);
    EXPECT_FALSE(f.dns6_auto);
    d.dhcp = 1;
    d.ext_flags |= EXT_DHCP6;
    f = SetFormFromDevice(d);
    EXPECT_TRUE(f.dns4_auto);
    EXPECT_TRUE(f.ipv6_dhcp);
    EXPECT_TRUE(f.dns6_auto);
}

// Guards against the panel's texts not parsing back: an unchanged panel re-sends what the
// device reported.
TEST(FormFromDevice, UnchangedIpv6DeviceChecksBackToItsOwnValues) {
    DEVICE_INFO d = kIpv6;
    d.dns4_preferred = {192, 0, 2, 53};
    d.ipv6_address = V6({0x20, 0x01, 0x0d, 0xb8}, {0x00, 0x20});
    d.ipv6_prefix_length = 64;
    d.ipv6_gateway = V6({0xfe, 0x80}, {0x00, 0x01});
    d.dns6_alternate = V6({0x20, 0x01, 0x0d, 0xb8}, {0x00, 0x54});
    const SET_FORM f = SetFormFromDevice(d);
    EXPECT_EQ(f.ipv6_address, u"2001:db8::20");
    EXPECT_EQ(f.ipv6_prefix_length, u"64");
    const SET_FORM_CHECK c = CheckSetForm(f, &d);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.settings.ipv4_address, d.ipv4_address);
    EXPECT_EQ(c.settings.dns4_preferred, d.dns4_preferred);
    EXPECT_EQ(c.settings.ipv6_address, d.ipv6_address);
    EXPECT_EQ(c.settings.ipv6_prefix_length, 64);
    EXPECT_EQ(c.settings.ipv6_gateway, d.ipv6_gateway);
    EXPECT_EQ(c.settings.dns6_preferred, IPV6{});  // "::" parses to zero
    EXPECT_EQ(c.settings.dns6_alternate, d.dns6_alternate);
}

}  // namespace
}  // namespace telvane
