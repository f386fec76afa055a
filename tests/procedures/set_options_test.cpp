#include <gtest/gtest.h>

#include "procedures/set_options.h"

namespace telvane {
namespace {

DEVICE_INFO Ipv6Device(bool dhcp) {
    DEVICE_INFO e{};
    e.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    e.ipv4_address = {192, 0, 2, 20};
    e.ipv4_gateway = {192, 0, 2, 1};
    e.ipv4_mask = {255, 255, 255, 0};
    e.dhcp = dhcp ? 1 : 0;
    e.has_extension = 1;
    e.ext_flags = EXT_IPV6 | EXT_DHCP6 | EXT_DNS6_AUTO | EXT_DNS4_AUTO;
    e.ipv6_address[0] = 0x20;
    e.ipv6_address[15] = 0x01;
    e.ipv6_prefix_length = 64;
    return e;
}

std::string Apply(SET_FORM& form, std::vector<SET_OPTION> options) {
    return ApplySetOptions(form, options);
}

// Guards against a DHCP device staying on DHCP when the user gives it an address.
TEST(SetOptions, ValueOptionsImplyTheManualChoice) {
    SET_FORM f = SetFormFromDevice(Ipv6Device(true));
    ASSERT_TRUE(f.ipv4_dhcp && f.dns4_auto && f.ipv6_dhcp && f.dns6_auto);
    ASSERT_EQ(Apply(f, {{"ip", {"198.51.100.7"}},
                        {"dns4", {"198.51.100.53"}},
                        {"prefix", {"48"}},
                        {"dns6", {"2001:db8::53", "-"}}}),
              "");
    EXPECT_FALSE(f.ipv4_dhcp);
    EXPECT_EQ(f.ipv4_address, IPV4_BOX::Of({198, 51, 100, 7}));
    EXPECT_EQ(f.ipv4_mask, IPV4_BOX::Of({255, 255, 255, 0})) << "values not given stay as the device reported";
    EXPECT_FALSE(f.dns4_auto);
    EXPECT_EQ(f.dns4_preferred, IPV4_BOX::Of({198, 51, 100, 53}));
    EXPECT_TRUE(f.dns4_alternate.blank) << "a single DNS server leaves no alternate";
    EXPECT_FALSE(f.ipv6_dhcp);
    EXPECT_EQ(f.ipv6_prefix_length, u"48");
    EXPECT_FALSE(f.dns6_auto);
    EXPECT_EQ(f.dns6_preferred, u"2001:db8::53");
    EXPECT_EQ(f.dns6_alternate, u"");
}

// Guards against a request the window cannot send: a static address with automatic DNS
// kept from the device's DHCP state.
TEST(SetOptions, StaticAddressTurnsInheritedAutomaticDnsManual) {
    SET_FORM f = SetFormFromDevice(Ipv6Device(true));
    ASSERT_EQ(Apply(f, {{"ip", {"198.51.100.7"}}, {"ipv6-static", {}}}), "");
    EXPECT_FALSE(f.dns4_auto);
    EXPECT_FALSE(f.dns6_auto);
    f = SetFormFromDevice(Ipv6Device(true));
    ASSERT_EQ(Apply(f, {{"ip", {"198.51.100.7"}}, {"dns4-auto", {}}}), "");
    EXPECT_TRUE(f.dns4_auto) << "asked for, it stays";
    EXPECT_TRUE(f.dns6_auto) << "IPv6 stays on DHCP";
}

TEST(SetOptions, FlagsSwitchEachPairBothWays) {
    SET_FORM f = SetFormFromDevice(Ipv6Device(false));
    ASSERT_EQ(Apply(f, {{"dhcp", {}}, {"dns4-auto", {}}, {"ipv6-static", {}}, {"dns6-manual", {}}}), "");
    EXPECT_TRUE(f.ipv4_dhcp);
    EXPECT_TRUE(f.dns4_auto);
    EXPECT_FALSE(f.ipv6_dhcp);
    EXPECT_FALSE(f.dns6_auto);
    ASSERT_EQ(Apply(f, {{"static", {}}, {"dns4-manual", {}}, {"ipv6-dhcp", {}}, {"dns6-auto", {}}}), "");
    EXPECT_FALSE(f.ipv4_dhcp);
    EXPECT_FALSE(f.dns4_auto);
    EXPECT_TRUE(f.ipv6_dhcp);
    EXPECT_TRUE(f.dns6_auto);
}

// Guards against blank values being refused before the checks can give their message.
TEST(SetOptions, EmptyAddressBlanksTheBoxForTheChecksToJudge) {
    SET_FORM f = SetFormFromDevice(Ipv6Device(false));
    ASSERT_EQ(Apply(f, {{"ip", {""}}, {"gateway", {""}}}), "");
    EXPECT_TRUE(f.ipv4_address.blank);
    EXPECT_TRUE(f.ipv4_gateway.blank);
    DEVICE_INFO d = Ipv6Device(false);
    EXPECT_EQ(SetFormMessage(CheckSetForm(f, &d).fault), "IPv4 address is required.");
}

TEST(SetOptions, ContradictionsRepeatsAndBadValuesAreRefused) {
    const std::pair<std::vector<SET_OPTION>, std::string> cases[] = {
        {{{"dhcp", {}}, {"ip", {"192.0.2.9"}}}, "--dhcp and --ip contradict each other"},
        {{{"gateway", {"192.0.2.1"}}, {"dhcp", {}}}, "--dhcp and --gateway contradict each other"},
        {{{"dns4", {"192.0.2.53"}}, {"dns4-auto", {}}}, "--dns4-auto and --dns4 contradict each other"},
        {{{"ipv6-dhcp", {}}, {"prefix", {"64"}}}, "--ipv6-dhcp and --prefix contradict each other"},
        {{{"dns6-auto", {}}, {"dns6-manual", {}}}, "--dns6-auto and --dns6-manual contradict each other"},
        {{{"ip", {"192.0.2.9"}}, {"ip", {"192.0.2.9"}}}, "--ip is given twice"},
        {{{"ip", {"192.0.2"}}}, "--ip: \"192.0.2\" is not an IPv4 address"},
        {{{"prefix", {"129"}}}, "--prefix: \"129\" is not a number from 0 to 128"},
        {{{"prefix", {"-1"}}}, "--prefix: \"-1\" is not a number from 0 to 128"},
        {{{"dns4", {"192.0.2.1", "300.1.1.1"}}}, "--dns4: \"300.1.1.1\" is not an IPv4 address"},
        {{{"dns4", {}}}, "--dns4 takes PREFERRED [ALTERNATE]"},
        {{{"dhcp", {"yes"}}}, "--dhcp takes no value"},
        {{{"colour", {}}}, "unknown option --colour"},
    };
    for (const auto& [options, message] : cases) {
        SET_FORM f;
        EXPECT_EQ(ApplySetOptions(f, options), message);
    }
}

// The IPv6 texts go to the checks unjudged, so the CLI fails with the window's messages.
TEST(SetOptions, Ipv6TextsAreJudgedByTheChecks) {
    SET_FORM f = SetFormFromDevice(Ipv6Device(false));
    ASSERT_EQ(Apply(f, {{"ipv6", {"192.0.2.1"}}}), "");
    DEVICE_INFO d = Ipv6Device(false);
    EXPECT_EQ(SetFormMessage(CheckSetForm(f, &d).fault), "IPv6 address is invalid.");
}

// ---- CSV batches ------------------------------------------------------------------

TEST(SetBatch, ReadsRowsWithTheirOptionsSkippingEmptyCells) {
    const SET_BATCH b = ReadSetBatch(
        "MAC,--ip,mask,dhcp,dns4\r\n"
        "00-1a-2b-3c-4d-5e,192.0.2.20,255.255.255.0,,192.0.2.53;192.0.2.54\r\n"
        "00:1A:2B:3C:4D:5F,,,yes,\r\n"
        "001a2b3c4d60,,,no,\r\n");
    ASSERT_TRUE(b.Ok()) << b.error;
    ASSERT_EQ(b.rows.size(), 3u);
    EXPECT_EQ(b.rows[0].line, 2u);
    EXPECT_EQ(b.rows[0].mac, "00-1a-2b-3c-4d-5e");
    ASSERT_EQ(b.rows[0].options.size(), 3u);
    EXPECT_EQ(b.rows[0].options[0].name, "ip");
    EXPECT_EQ(b.rows[0].options[2].values, (std::vector<std::string>{"192.0.2.53", "192.0.2.54"}));
    ASSERT_EQ(b.rows[1].options.size(), 1u);
    EXPECT_EQ(b.rows[1].options[0].name, "dhcp");
    ASSERT_EQ(b.rows[2].options.size(), 1u);
    EXPECT_EQ(b.rows[2].options[0].name, "static") << "\"no\" chooses the other button";
    for (const auto& row : b.rows) EXPECT_TRUE(row.error.empty()) << row.error;
}

// Guards against anything being sent from a file with a wrong column or a ragged row.
TEST(SetBatch, FileLevelFaultsFailTheWholeBatch) {
    const std::pair<const char*, std::string> cases[] = {
        {"mac,ip,colour\n00-1a-2b-3c-4d-5e,192.0.2.1,red\n", "unknown column \"colour\""},
        {"ip\n192.0.2.1\n", "no mac column"},
        {"mac,ip,IP\n", "column ip is named twice"},
        {"mac,ip\n00-1a-2b-3c-4d-5e\n", "1 cells where the header names 2"},
        {"mac,ip\n00-1a-2b-3c-4d-5e,\"192.0.2.1\n", "a quoted field is not closed"},
        {"", "no header row"},
    };
    for (const auto& [text, message] : cases) {
        const SET_BATCH b = ReadSetBatch(text);
        EXPECT_EQ(b.error, message) << text;
        EXPECT_TRUE(b.rows.empty());
    }
}

// Guards against one bad row stopping (or poisoning) the others.
TEST(SetBatch, RowFaultsStayWithTheirRow) {
    const SET_BATCH b = ReadSetBatch(
        "mac,ip,dhcp\n"
        "not-a-mac,192.0.2.1,\n"
        "00-1a-2b-3c-4d-5e,192.0.2,\n"
        "00-1a-2b-3c-4d-5f,,maybe\n"
        ",192.0.2.1,\n"
        "00-1a-2b-3c-4d-60,192.0.2.1,yes\n"
        "00-1a-2b-3c-4d-61,192.0.2.1,\n"
        "00-1a-2b-3c-4d-62,,\n");
    ASSERT_TRUE(b.Ok()) << b.error;
    ASSERT_EQ(b.rows.size(), 7u);
    EXPECT_EQ(b.rows[0].error, "\"not-a-mac\" is not a MAC address");
    EXPECT_EQ(b.rows[1].error, "--ip: \"192.0.2\" is not an IPv4 address");
    EXPECT_EQ(b.rows[2].error, "column dhcp: \"maybe\" is not yes or no");
    EXPECT_EQ(b.rows[3].error, "no MAC address");
    EXPECT_EQ(b.rows[4].error, "--dhcp and --ip contradict each other");
    EXPECT_EQ(b.rows[5].error, "");
    EXPECT_EQ(b.rows[6].error, "no setting given") << "nothing to change is not a reason to send";
}

}  // namespace
}  // namespace telvane
