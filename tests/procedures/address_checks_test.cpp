#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "procedures/address_checks.h"

namespace telvane {
namespace {

DEVICE_INFO Device(std::uint8_t mac_last, const IPV4& address) {
    DEVICE_INFO e{};
    e.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, mac_last};
    e.ipv4_address = address;
    e.ipv4_mask = {255, 255, 255, 0};
    return e;
}

constexpr IPV4 kMask24 = {255, 255, 255, 0};

// Guards against a subnet test that compares more or less than the mask's bits, and a
// subnet written with a prefix length for a mask that has none.
TEST(AddressChecks, SubnetMembershipAndText) {
    EXPECT_TRUE(InSubnet({192, 0, 2, 200}, {192, 0, 2, 1}, kMask24));
    EXPECT_FALSE(InSubnet({192, 0, 3, 1}, {192, 0, 2, 1}, kMask24));
    EXPECT_TRUE(InSubnet({192, 0, 3, 1}, {192, 0, 2, 1}, {255, 255, 254, 0}));
    EXPECT_FALSE(InSubnet({192, 0, 2, 2}, {192, 0, 2, 1}, {255, 255, 255, 255}));
    EXPECT_TRUE(InSubnet({10, 1, 2, 3}, {192, 0, 2, 1}, {0, 0, 0, 0}));
    EXPECT_EQ(SubnetText({192, 0, 2, 77}, kMask24), "192.0.2.0/24");
    EXPECT_EQ(SubnetText({203, 0, 113, 62}, {255, 255, 255, 192}), "203.0.113.0/26");
    EXPECT_EQ(SubnetText({10, 9, 8, 7}, {255, 255, 255, 255}), "10.9.8.7/32");
    EXPECT_EQ(SubnetText({10, 9, 8, 7}, {0, 0, 0, 0}), "0.0.0.0/0");
    EXPECT_EQ(SubnetText({10, 9, 8, 7}, {255, 0, 255, 0}), "10.0.8.0/255.0.255.0");
}

// Guards against a device named as its own twin, the same MAC listed twice (one device
// at two addresses is no conflict), or a conflict missed for the third of three.
TEST(AddressChecks, SameAddressNamesTheOtherMacs) {
    const std::vector<DEVICE_INFO> devices = {Device(1, {192, 0, 2, 10}), Device(2, {192, 0, 2, 10}),
                                              Device(3, {192, 0, 2, 11}), Device(2, {192, 0, 2, 10}),
                                              Device(4, {192, 0, 2, 10})};
    EXPECT_EQ(SameAddressMacs(devices, 0), (std::vector<MAC>{devices[1].mac, devices[4].mac}));
    EXPECT_EQ(SameAddressMacs(devices, 1), (std::vector<MAC>{devices[0].mac, devices[4].mac}));
    EXPECT_TRUE(SameAddressMacs(devices, 2).empty());
    EXPECT_TRUE(SameAddressMacs(devices, 5).empty());
    // The listing's all-at-once form says the same for every row.
    const auto each = AddressConflictsOfEach(devices);
    ASSERT_EQ(each.size(), devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(each[i].others, SameAddressMacs(devices, i)) << i;
        EXPECT_EQ(each[i].count, each[i].others.size()) << i;
    }
    // Capped, it names the group's first MACs other than the device's own, and counts all.
    const auto capped = AddressConflictsOfEach(devices, 1);
    EXPECT_EQ(capped[0].others, (std::vector<MAC>{devices[1].mac}));
    EXPECT_EQ(capped[1].others, (std::vector<MAC>{devices[0].mac}));
    EXPECT_EQ(capped[4].others, (std::vector<MAC>{devices[0].mac}));
    EXPECT_EQ(capped[4].count, 2u);
    EXPECT_EQ(capped[2].count, 0u);
}

// Guards against a new address that breaks the network going unnoticed, a finding for
// the device's own current address, and findings out of order or in other words.
TEST(AddressChecks, NewAddressFindingsInOrderAndWords) {
    const std::vector<DEVICE_INFO> devices = {Device(0x5e, {203, 0, 113, 10}), Device(0x62, {203, 0, 113, 62}),
                                              Device(0x63, {203, 0, 113, 0})};
    const std::vector<IPV4> local = {{203, 0, 113, 1}, {127, 0, 0, 1}};
    const MAC self = devices[0].mac;
    const auto findings = [&](IPV4 address, IPV4 mask, IPV4 gateway) {
        return NewAddressFindings({address, mask, gateway}, self, devices, local);
    };
    EXPECT_TRUE(findings({203, 0, 113, 10}, kMask24, {203, 0, 113, 1}).empty()) << "its own address";
    EXPECT_TRUE(findings({203, 0, 113, 20}, kMask24, {}).empty()) << "a blank gateway is fine";
    EXPECT_EQ(findings({203, 0, 113, 62}, kMask24, {203, 0, 113, 1}),
              (std::vector<std::string>{"203.0.113.62 is already used by 00-1a-2b-3c-4d-62."}));
    EXPECT_EQ(NewAddressQuestion(findings({203, 0, 113, 62}, kMask24, {203, 0, 113, 1})),
              "203.0.113.62 is already used by 00-1a-2b-3c-4d-62. Set it anyway?");
    EXPECT_EQ(findings({203, 0, 113, 1}, kMask24, {}),
              (std::vector<std::string>{"203.0.113.1 is already used by this computer."}));
    EXPECT_EQ(findings({203, 0, 113, 0}, kMask24, {203, 0, 113, 1}),
              (std::vector<std::string>{"203.0.113.0 is already used by 00-1a-2b-3c-4d-63.",
                                        "203.0.113.0 is the network address of 203.0.113.0/24."}));
    EXPECT_EQ(findings({203, 0, 113, 255}, kMask24, {198, 51, 100, 1}),
              (std::vector<std::string>{"203.0.113.255 is the broadcast address of 203.0.113.0/24.",
                                        "The gateway 198.51.100.1 is outside 203.0.113.0/24."}));
    // /31 and /32 have neither a network nor a broadcast address.
    EXPECT_TRUE(findings({203, 0, 113, 4}, {255, 255, 255, 254}, {203, 0, 113, 5}).empty());
    EXPECT_TRUE(findings({203, 0, 113, 5}, {255, 255, 255, 254}, {203, 0, 113, 4}).empty());
    EXPECT_EQ(findings({203, 0, 113, 7}, {255, 255, 255, 255}, {203, 0, 113, 1}),
              (std::vector<std::string>{"The gateway 203.0.113.1 is outside 203.0.113.7/32."}));
    EXPECT_EQ(findings({203, 0, 113, 3}, {255, 255, 255, 252}, {}),
              (std::vector<std::string>{"203.0.113.3 is the broadcast address of 203.0.113.0/30."}));
}

// Guards against a crowd of forged replies at the new address (each MAC listed twice, in
// reverse order) being named one by one, or each repeat twice.
TEST(AddressChecks, NewAddressFindingsNameACrowdByItsFirstFew) {
    std::vector<DEVICE_INFO> devices;
    for (int round = 0; round < 2; ++round) {
        for (int i = 12; i > 0; --i) devices.push_back(Device(static_cast<std::uint8_t>(i), {192, 0, 2, 30}));
    }
    EXPECT_EQ(NewAddressFindings({{192, 0, 2, 30}, kMask24, {}}, devices[0].mac, devices, {}),
              (std::vector<std::string>{"192.0.2.30 is already used by 00-1a-2b-3c-4d-0b, 00-1a-2b-3c-4d-0a, "
                                        "00-1a-2b-3c-4d-09, 00-1a-2b-3c-4d-08, 00-1a-2b-3c-4d-07, 00-1a-2b-3c-4d-06, "
                                        "00-1a-2b-3c-4d-05, 00-1a-2b-3c-4d-04 and 3 more."}));
}

}  // namespace
}  // namespace telvane
