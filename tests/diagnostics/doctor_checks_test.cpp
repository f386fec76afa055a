#include "diagnostics/doctor_checks.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

TEST(RpFilterCheck, StrictInAllWarns) {
    const auto check = CheckRpFilter("tvp1", 1, 0);
    EXPECT_EQ(check.status, CHECK_STATUS::WARN);
    EXPECT_EQ(check.detail,
              "strict reverse-path filtering on tvp1 (all 1, tvp1 0): replies from devices with an address in "
              "another subnet are dropped");
    EXPECT_EQ(check.fix, "use loose filtering: sysctl -w net.ipv4.conf.tvp1.rp_filter=2");
}

TEST(RpFilterCheck, HigherSettingCounts) {
    EXPECT_EQ(CheckRpFilter("tvp1", 0, 1).status, CHECK_STATUS::WARN);
    EXPECT_EQ(CheckRpFilter("tvp1", 0, 1).fix, "use loose filtering: sysctl -w net.ipv4.conf.tvp1.rp_filter=2");
    // Loose on one side outranks strict on the other.
    EXPECT_EQ(CheckRpFilter("tvp1", 1, 2).status, CHECK_STATUS::OK);
    EXPECT_EQ(CheckRpFilter("tvp1", 2, 0).detail, "reverse-path filtering on tvp1 is loose (all 2, tvp1 0)");
    EXPECT_EQ(CheckRpFilter("tvp1", 0, 0).detail, "reverse-path filtering on tvp1 is off (all 0, tvp1 0)");
    EXPECT_EQ(CheckRpFilter("tvp1", std::nullopt, 0).status, CHECK_STATUS::UNKNOWN);
}

INTERFACE_STATE Interface(const std::string& name, unsigned index, std::vector<IPV4_INTERFACE_ADDRESS> ipv4, MAC mac) {
    INTERFACE_STATE s;
    s.name = name;
    s.index = index;
    s.up = true;
    s.carrier = true;
    s.hardware_address = mac;
    s.ipv4 = std::move(ipv4);
    return s;
}

const MAC kMac1 = {0x02, 0x00, 0x5e, 0x00, 0x01, 0x01};
const MAC kMac3 = {0x02, 0x00, 0x5e, 0x00, 0x03, 0x01};

TEST(SameSubnetCheck, NamesTheLinksRepliesMayArriveOn) {
    const std::vector<INTERFACE_STATE> interfaces = {
        Interface("tvp1", 3, {{{192, 0, 2, 1}, 24}}, kMac1),
        Interface("tvp2", 4, {{{198, 51, 100, 1}, 24}}, kMac3),
        Interface("tvp3", 5, {{{192, 0, 2, 5}, 24}}, kMac3),
    };
    const auto check = CheckSameSubnet(interfaces, "192.0.2.1");
    EXPECT_EQ(check.status, CHECK_STATUS::OK);
    EXPECT_EQ(check.detail,
              "tvp1 shares 192.0.2.0/24 with tvp3 (192.0.2.5): replies to 192.0.2.1 may arrive on tvp1 or tvp3 and "
              "are taken in on either; replies sent to a broadcast address count only on tvp1");
    EXPECT_EQ(CheckSameSubnet(interfaces, "198.51.100.1").detail,
              "no other adapter is on 198.51.100.0/24; replies arrive on tvp2");
    EXPECT_EQ(CheckSameSubnet(interfaces, "10.0.0.1").status, CHECK_STATUS::UNKNOWN);

    // Windows takes a reply in only where its destination address is held.
    const auto on_windows = CheckSameSubnet(interfaces, "192.0.2.1", HOST_SYSTEM::WINDOWS);
    EXPECT_EQ(on_windows.status, CHECK_STATUS::WARN);
    EXPECT_EQ(on_windows.detail,
              "tvp1 shares 192.0.2.0/24 with tvp3 (192.0.2.5): Windows drops replies to 192.0.2.1 that arrive on "
              "tvp3, so devices that reach this computer over that link are not found");
    EXPECT_EQ(on_windows.fix,
              "as administrator: netsh interface ipv4 set interface \"tvp3\" weakhostreceive=enabled; or disconnect "
              "all but one of them");
    EXPECT_EQ(CheckSameSubnet(interfaces, "198.51.100.1", HOST_SYSTEM::WINDOWS).status, CHECK_STATUS::OK);
}

TEST(AdaptersCheck, SaysWhyOthersAreNotUsable) {
    INTERFACE_STATE lo = Interface("lo", 1, {{{127, 0, 0, 1}, 8}}, MAC{});
    lo.loopback = true;
    INTERFACE_STATE bare = Interface("eth1", 2, {}, kMac3);
    bare.carrier = false;
    const auto tvp1 = Interface("tvp1", 3, {{{192, 0, 2, 1}, 24}}, kMac1);
    const std::vector<ADAPTER> usable = {{kMac1, "192.0.2.1"}};
    const auto check = CheckAdapters({lo, bare, tvp1}, usable, "192.0.2.1");
    EXPECT_EQ(check.status, CHECK_STATUS::OK);
    EXPECT_EQ(check.detail,
              "usable: 192.0.2.1 (tvp1, 02-00-5e-00-01-01, up, carrier); not usable: lo (no hardware address), eth1 "
              "(no IPv4 address)");
    EXPECT_EQ(CheckAdapters({lo}, {}, "").status, CHECK_STATUS::FAIL);
}

TEST(AdaptersCheck, ChosenAdapterWithoutLinkFails) {
    auto tvp1 = Interface("tvp1", 3, {{{192, 0, 2, 1}, 24}}, kMac1);
    tvp1.carrier = false;
    const auto check = CheckAdapters({tvp1}, {{kMac1, "192.0.2.1"}}, "192.0.2.1");
    EXPECT_EQ(check.status, CHECK_STATUS::FAIL);
    EXPECT_EQ(check.fix, "connect tvp1 to the devices' segment (it has no link)");
    tvp1.up = false;
    EXPECT_EQ(CheckAdapters({tvp1}, {{kMac1, "192.0.2.1"}}, "192.0.2.1").fix, "bring tvp1 up: ip link set tvp1 up");
}

TEST(ProbeCheck, ReportsDevicesAndIgnoredDatagramsByReason) {
    PROBE_FACTS facts{"192.0.2.1", true, 8, {{"bad checksum", 3}, {"too short", 0}, {"duplicate", 16}}, 0, {}};
    auto check = CheckProbe(facts);
    EXPECT_EQ(check.status, CHECK_STATUS::OK);
    EXPECT_EQ(check.detail, "8 devices answered on 192.0.2.1; ignored 19 datagrams: 3 bad checksum, 16 duplicate");

    facts.kernel_drops = 40;
    EXPECT_EQ(CheckProbe(facts).status, CHECK_STATUS::WARN);
    EXPECT_EQ(CheckProbe(facts).detail,
              "8 devices answered on 192.0.2.1; ignored 19 datagrams: 3 bad checksum, 16 duplicate; 40 datagrams lost "
              "in the system's receive queue");

    facts = PROBE_FACTS{"192.0.2.1", true, 0, {}, 0, {}};
    check = CheckProbe(facts);
    EXPECT_EQ(check.status, CHECK_STATUS::WARN);
    EXPECT_EQ(check.detail, "0 devices answered on 192.0.2.1");
    facts.send_error = "Operation not permitted";
    EXPECT_EQ(CheckProbe(facts).status, CHECK_STATUS::FAIL);
    EXPECT_EQ(CheckProbe(facts).detail, "cannot send the enumerate request on 192.0.2.1: Operation not permitted");
    facts.socket_opened = false;
    EXPECT_EQ(CheckProbe(facts).status, CHECK_STATUS::FAIL);
}

TEST(DoctorExitCode, WarnOrFailGivesFiveUnknownDoesNot) {
    std::vector<DOCTOR_CHECK> checks = {{"a", CHECK_STATUS::OK, "", ""}, {"b", CHECK_STATUS::UNKNOWN, "", ""}};
    EXPECT_EQ(DoctorExitCode(checks), 0);
    checks.push_back({"c", CHECK_STATUS::WARN, "", ""});
    EXPECT_EQ(DoctorExitCode(checks), 5);
    checks.back().status = CHECK_STATUS::FAIL;
    EXPECT_EQ(DoctorExitCode(checks), 5);
}

}  // namespace
}  // namespace telvane
