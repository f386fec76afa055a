// The simulator's datagrams against the program's codec and intake: each side is
// written from the byte tables on its own, so a disagreement is a fault in one.
#include "tools/sim/sim_device.h"

#include <gtest/gtest.h>

#include <vector>

#include "inventory/reply_intake.h"
#include "inventory/row_text.h"
#include "protocol/messages.h"
#include "protocol/text.h"
#include "tools/sim/sim_config.h"

namespace telvane::sim {
namespace {

constexpr MAC DEVICE_MAC = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

SIM_DEVICE ExampleDevice() {
    SIM_DEVICE d;
    d.mac = DEVICE_MAC;
    d.ipv4_address = {192, 168, 1, 20};
    d.ipv4_gateway = {192, 168, 1, 1};
    d.ipv4_mask = {255, 255, 255, 0};
    d.model_name = "MODEL01";
    return d;
}

DEVICE_INFO Take(const std::vector<std::uint8_t>& datagram) {
    DEVICE_TABLE table;
    OnDatagram(table, datagram, true, nullptr);
    EXPECT_EQ(table.device_count, 1);
    return table.entries[0];
}

IPV6 V6(const char16_t* text) { return ParseIpv6(text).value(); }

// The worked example of the base reply, byte for byte.
TEST(SimEnumerateReply, BaseFormIsTheDocumentedBytes) {
    SIM_DEVICE d = ExampleDevice();
    d.form = REPLY_FORM::BASE;
    std::vector<std::uint8_t> expected = {0xFF, 0xFF, 0xC5, 0xCE, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,
                                          0xC0, 0xA8, 0x01, 0x14,  // address
                                          0xC0, 0xA8, 0x01, 0x01,  // gateway
                                          0xFF, 0xFF, 0xFF, 0x00,  // mask
                                          0x00,                    // status_flags
                                          0x4D, 0x4F, 0x44, 0x45, 0x4C, 0x30, 0x31};
    expected.resize(39, 0);
    expected.push_back(0x73);  // checksum
    EXPECT_EQ(BuildEnumerateReply(d), expected);
}

// Guards against offsets of the extension disagreeing between simulator and intake.
TEST(SimEnumerateReply, ExtendedFieldsArriveWhereTheIntakeReadsThem) {
    SIM_DEVICE d = ExampleDevice();
    d.dhcp = true;
    d.locked = true;
    d.dns4_auto = true;
    d.dns4_preferred = {192, 0, 2, 53};
    d.dns4_alternate = {192, 0, 2, 54};
    d.ipv6 = true;
    d.ipv6_dhcp = true;
    d.dns6_auto = true;
    d.ipv6_address = V6(u"2001:db8::20");
    d.ipv6_prefix_length = 64;
    d.ipv6_gateway = V6(u"2001:db8::1");
    d.dns6_preferred = V6(u"2001:db8::53");
    d.dns6_alternate = V6(u"2001:db8::54");
    d.device_name = "Test-Device-Name";
    const auto reply = BuildEnumerateReply(d);
    EXPECT_EQ(reply.size(), 115u + 16u);
    const DEVICE_INFO e = Take(reply);
    EXPECT_EQ(e.mac, DEVICE_MAC);
    EXPECT_EQ(e.ipv4_gateway, (IPV4{192, 168, 1, 1}));
    EXPECT_EQ(e.ipv4_mask, (IPV4{255, 255, 255, 0}));
    EXPECT_EQ(e.dhcp, 1);
    EXPECT_EQ(e.locked, 1);
    EXPECT_EQ(e.has_extension, 1);
    EXPECT_EQ(e.ext_flags, EXT_DNS4_AUTO | EXT_DNS6_AUTO | EXT_DHCP6 | EXT_IPV6);
    EXPECT_EQ(e.dns4_preferred, d.dns4_preferred);
    EXPECT_EQ(e.dns4_alternate, d.dns4_alternate);
    EXPECT_EQ(e.ipv6_address, d.ipv6_address);
    EXPECT_EQ(e.ipv6_prefix_length, 64);
    EXPECT_EQ(e.ipv6_gateway, d.ipv6_gateway);
    EXPECT_EQ(e.dns6_preferred, d.dns6_preferred);
    EXPECT_EQ(e.dns6_alternate, d.dns6_alternate);
    EXPECT_EQ(DeviceNameText(e), u"Test-Device-Name");
    EXPECT_EQ(ModelNameText(e), u"MODEL01");
}

// Guards against the UTF-16 form's length rule (1 + 2n) or byte order going wrong.
TEST(SimEnumerateReply, NameEncodings) {
    SIM_DEVICE d = ExampleDevice();
    d.device_name = "Gerät 測試";
    d.name_encoding = NAME_ENCODING::UTF16;
    const auto utf16 = BuildEnumerateReply(d);
    EXPECT_EQ(utf16[114], 1 + 2 * 8);
    EXPECT_EQ(utf16[115], 0);
    EXPECT_EQ(DeviceNameText(Take(utf16)), u"Gerät 測試");

    d.name_encoding = NAME_ENCODING::INVALID;
    d.invalid_name_byte = 0x1F;
    const auto invalid = BuildEnumerateReply(d);
    EXPECT_EQ(invalid[115], 0x1F);
    EXPECT_EQ(DeviceNameText(Take(invalid)), u"Invalid Device Name!!!");

    d.name_encoding = NAME_ENCODING::ANSI;
    d.device_name = std::string(300, 'n');
    const auto longest = BuildEnumerateReply(d);
    EXPECT_EQ(longest[114], 255);
    EXPECT_EQ(longest.size(), 115u + 255u);
}

TEST(SimEnumerateReply, PaddingAndReservedBits) {
    SIM_DEVICE d = ExampleDevice();
    d.pad_to = 2049;
    EXPECT_EQ(BuildEnumerateReply(d).size(), 2049u);
    d.status_extra = 0x04;
    DEVICE_TABLE table;
    OnDatagram(table, BuildEnumerateReply(d), true, nullptr);
    EXPECT_EQ(table.device_count, 0);  // the program refuses reserved bits
}

TEST(SimRequests, RecognisesTheEnumerateRequestOnlyWithItsChecksum) {
    const auto request = BuildEnumerateRequest();
    EXPECT_EQ(ClassifyRequest(request), REQUEST_KIND::ENUMERATE);
    std::vector<std::uint8_t> damaged(request.begin(), request.end());
    damaged[4] = 0x90;
    EXPECT_EQ(ClassifyRequest(damaged), REQUEST_KIND::NONE);
    EXPECT_EQ(ClassifyRequest(std::vector<std::uint8_t>{0xFF, 0xFF, 0x45}), REQUEST_KIND::NONE);
}

SET_SETTINGS StaticSettings() {
    SET_SETTINGS s;
    s.ipv4_address = {192, 168, 1, 30};
    s.ipv4_gateway = {192, 168, 1, 254};
    s.ipv4_mask = {255, 255, 0, 0};
    return s;
}

// Guards against the gateway/mask order of the two set forms being mixed up on
// either side.
TEST(SimRequests, ReadsBothSetFormsAsTheProgramBuildsThem) {
    const SET_SETTINGS s = StaticSettings();
    const auto basic = BuildSetBasic(DEVICE_MAC, s);
    ASSERT_EQ(ClassifyRequest(basic), REQUEST_KIND::SET);
    const SET_REQUEST b = ReadSetRequest(basic).value();
    EXPECT_FALSE(b.extended);
    EXPECT_EQ(b.mac, DEVICE_MAC);
    EXPECT_EQ(b.ipv4_gateway, s.ipv4_gateway);
    EXPECT_EQ(b.ipv4_mask, s.ipv4_mask);

    SET_SETTINGS x = s;
    x.set_flags = SET_DNS6_AUTO;
    x.dns4_preferred = {192, 0, 2, 53};
    x.ipv6_address = V6(u"2001:db8::30");
    x.ipv6_prefix_length = 48;
    x.ipv6_gateway = V6(u"2001:db8::1");
    const auto extended = BuildSetExtended(DEVICE_MAC, x);
    const SET_REQUEST r = ReadSetRequest(extended).value();
    EXPECT_TRUE(r.extended);
    EXPECT_EQ(r.ipv4_gateway, s.ipv4_gateway);
    EXPECT_EQ(r.ipv4_mask, s.ipv4_mask);
    EXPECT_EQ(r.dns4_preferred, x.dns4_preferred);
    EXPECT_TRUE(r.dns6_auto);
    EXPECT_FALSE(r.dhcp4);
    EXPECT_FALSE(r.dhcp6);
    EXPECT_EQ(r.ipv6_address, x.ipv6_address);
    EXPECT_EQ(r.ipv6_prefix_length, 48);

    auto damaged = extended;
    damaged[96] = static_cast<std::uint8_t>(damaged[96] + 1);
    EXPECT_FALSE(ReadSetRequest(damaged));
}

// Guards against an accepted set not showing in the next enumeration.
TEST(SimSetBehaviour, AcceptAppliesAndAnswersTheDocumentedBytes) {
    SIM_DEVICE d = ExampleDevice();
    d.ipv6 = true;
    const auto reply = AnswerSetRequest(d, ReadSetRequest(BuildSetBasic(DEVICE_MAC, StaticSettings())).value());
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xC9, 0xD0, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0xC3}));
    const DEVICE_INFO e = Take(BuildEnumerateReply(d));
    EXPECT_EQ(e.ipv4_address, (IPV4{192, 168, 1, 30}));
    EXPECT_EQ(e.ipv4_gateway, (IPV4{192, 168, 1, 254}));
    EXPECT_EQ(e.ipv4_mask, (IPV4{255, 255, 0, 0}));

    SET_SETTINGS dhcp;
    dhcp.set_flags = SET_DHCP4 | SET_DNS4_AUTO | SET_DHCP6;
    AnswerSetRequest(d, ReadSetRequest(BuildSetExtended(DEVICE_MAC, dhcp)).value());
    const DEVICE_INFO after = Take(BuildEnumerateReply(d));
    EXPECT_EQ(after.dhcp, 1);
    EXPECT_EQ(after.ipv4_address, (IPV4{192, 168, 1, 30}));  // kept under DHCP
    EXPECT_EQ(after.ext_flags & (EXT_DNS4_AUTO | EXT_DHCP6), EXT_DNS4_AUTO | EXT_DHCP6);
}

TEST(SimSetBehaviour, RefusalsSilenceAndDamagedAnswersLeaveTheDeviceAsItWas) {
    const SET_REQUEST request = ReadSetRequest(BuildSetBasic(DEVICE_MAC, StaticSettings())).value();
    const auto run = [&](SET_BEHAVIOUR behaviour, SIM_DEVICE& d) {
        d.set = behaviour;
        d.refuse_code = 200;
        return AnswerSetRequest(d, request);
    };
    SIM_DEVICE d = ExampleDevice();
    const auto refused = run(SET_BEHAVIOUR::REFUSE, d).value();
    EXPECT_EQ(refused[10], 200);
    EXPECT_EQ(refused[11], Checksum(refused.data(), 11));
    EXPECT_FALSE(run(SET_BEHAVIOUR::SILENT, d));
    const auto damaged = run(SET_BEHAVIOUR::BAD_CHECKSUM, d).value();
    EXPECT_NE(damaged[11], Checksum(damaged.data(), 11));
    const auto other = run(SET_BEHAVIOUR::OTHER_MAC, d).value();
    EXPECT_EQ(other[9], 0x5E ^ 0xFF);
    EXPECT_EQ(other[11], Checksum(other.data(), 11));
    EXPECT_EQ(d.ipv4_address, (IPV4{192, 168, 1, 20}));
}

TEST(SimConfig, ReadsDevicesAndRefusesMistakes) {
    const auto ok = ParseConfig(R"({"devices": [{"mac": "00:1A:2B:3C:4D:5E", "locked": true, "reply": "base",
        "ipv6_address": "2001:db8::1", "answer": "subnet", "delay_ms": 20}, {}]})");
    ASSERT_EQ(ok.error, "");
    ASSERT_EQ(ok.devices.size(), 2u);
    EXPECT_EQ(ok.devices[0].mac, DEVICE_MAC);
    EXPECT_EQ(ok.devices[0].set, SET_BEHAVIOUR::REFUSE);  // locked devices refuse by default
    EXPECT_EQ(ok.devices[0].form, REPLY_FORM::BASE);
    EXPECT_EQ(ok.devices[0].answer, ANSWER_MODE::SUBNET);
    EXPECT_EQ(ok.devices[0].delay_ms, 20u);
    EXPECT_NE(ok.devices[1].mac, ok.devices[0].mac);

    EXPECT_NE(ParseConfig(R"({"devices": [{"macc": "00-1a-2b-3c-4d-5e"}]})").error, "");
    EXPECT_NE(ParseConfig(R"({"devices": [{"mac": "00-1a-2b"}]})").error, "");
    EXPECT_NE(ParseConfig(R"({"devices": [{"refuse_code": 0}]})").error, "");
    EXPECT_NE(ParseConfig(R"({"devices": [{"answer": "sometimes"}]})").error, "");
    EXPECT_NE(ParseConfig("[1,2]").error, "");
    EXPECT_NE(ParseConfig("{").error, "");
}

TEST(SimConfig, GeneratedDevicesAreDistinct) {
    const auto devices = GenerateDevices(300);
    DEVICE_TABLE table;
    for (const auto& d : devices) OnDatagram(table, BuildEnumerateReply(d), true, nullptr);
    EXPECT_EQ(table.device_count, DEVICE_TABLE_CAPACITY);  // none refused as known before the table filled
}

}  // namespace
}  // namespace telvane::sim
