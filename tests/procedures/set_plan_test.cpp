#include <gtest/gtest.h>

#include "procedures/set_plan.h"

namespace telvane {
namespace {

const MAC kMacA = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MAC kMacB = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F};

class SetPlan : public testing::Test {
protected:
    SetPlan() {
        DEVICE_INFO& a = table.entries[0];
        a.mac = kMacA;
        a.ipv4_address = {192, 0, 2, 20};
        a.ipv4_mask = {255, 255, 255, 0};
        a.ipv4_gateway = {192, 0, 2, 1};
        a.state = STATE_NORMAL;
        DEVICE_INFO& b = table.entries[1];
        b = a;
        b.mac = kMacB;
        b.ipv4_address = {192, 0, 2, 21};
        b.has_extension = 1;
        b.ext_flags = EXT_IPV6;
        b.ipv6_address[0] = 0x20;
        b.ipv6_address[15] = 0x21;
        b.ipv6_prefix_length = 64;
        table.device_count = 2;
    }
    DEVICE_TABLE table;
};

// Guards against the unchanged settings not round-tripping: without options the request
// repeats what the device reported.
TEST_F(SetPlan, NoOptionsResendsTheCurrentSettings) {
    const SET_PLAN plan = PlanDeviceSet(table, kMacB, {});
    ASSERT_EQ(plan.kind, SetPlanKind::Ready) << plan.message;
    EXPECT_EQ(plan.index, 1);
    EXPECT_EQ(table.selected_index, 1) << "the intake matches set replies against the selection";
    EXPECT_EQ(plan.request.size, SET_EXTENDED_SIZE);
    EXPECT_EQ(plan.settings.ipv4_address, (IPV4{192, 0, 2, 21}));
    EXPECT_EQ(plan.settings.ipv6_address, table.entries[1].ipv6_address);
    EXPECT_EQ(plan.settings.ipv6_prefix_length, 64);
}

TEST_F(SetPlan, OptionsChangeTheRequestOfTheNamedDevice) {
    const std::vector<SET_OPTION> options = {{"ip", {"192.0.2.99"}}};
    const SET_PLAN plan = PlanDeviceSet(table, kMacA, options);
    ASSERT_EQ(plan.kind, SetPlanKind::Ready) << plan.message;
    EXPECT_EQ(plan.request.size, SET_BASIC_SIZE);
    EXPECT_EQ(plan.request.bytes[4 + 5], 0x5E);
    EXPECT_EQ(plan.request.bytes[13], 99);
}

// Guards against sending to a device the table does not hold, or to a locked one.
TEST_F(SetPlan, UnknownAndLockedDevicesAreRefused) {
    const MAC unknown = {0x02, 0, 0, 0, 0, 1};
    SET_PLAN plan = PlanDeviceSet(table, unknown, {});
    EXPECT_EQ(plan.kind, SetPlanKind::NotFound);
    EXPECT_EQ(plan.message, "no device with MAC 02-00-00-00-00-01 answered");
    table.entries[0].locked = 1;
    plan = PlanDeviceSet(table, kMacA, {});
    EXPECT_EQ(plan.kind, SetPlanKind::Locked);
    EXPECT_EQ(table.selected_index, -1);
    // A device past device_count is a leftover of an earlier enumeration.
    table.device_count = 1;
    EXPECT_EQ(PlanDeviceSet(table, kMacB, {}).kind, SetPlanKind::NotFound);
}

// Guards against the CLI wording its own messages for what the window's checks say.
TEST_F(SetPlan, FailedChecksCarryTheWindowsMessage) {
    const std::vector<SET_OPTION> options = {{"ipv6", {"fe80::1"}}, {"ipv6-gateway", {"router"}}};
    const SET_PLAN plan = PlanDeviceSet(table, kMacB, options);
    EXPECT_EQ(plan.kind, SetPlanKind::BadInput);
    EXPECT_EQ(plan.message, "IPv6 gateway address is invalid.");
    EXPECT_EQ(table.selected_index, -1);
}

// Guards against DNS or IPv6 options being dropped from the request for a device that
// cannot take them, and the device's acceptance then passing for their success.
TEST_F(SetPlan, OptionsTheDeviceCannotTakeAreRefused) {
    const std::vector<SET_OPTION> ipv6 = {{"ip", {"192.0.2.99"}}, {"ipv6", {"2001:db8::9"}}};
    SET_PLAN plan = PlanDeviceSet(table, kMacA, ipv6);
    EXPECT_EQ(plan.kind, SetPlanKind::NotApplicable);
    EXPECT_EQ(plan.message,
              "--ipv6: device 00-1a-2b-3c-4d-5e does not take IPv6 settings (it reports no extended description)");
    plan = PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"dns4-auto", {}}});
    EXPECT_EQ(plan.kind, SetPlanKind::NotApplicable);
    EXPECT_EQ(plan.message,
              "--dns4-auto: device 00-1a-2b-3c-4d-5e does not take DNS settings (it reports no extended description)");
    EXPECT_EQ(table.selected_index, -1);

    // An extended device without IPv6 takes IPv4 DNS settings but no IPv6 ones.
    table.entries[1].ext_flags = 0;
    EXPECT_EQ(PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"dns4", {"192.0.2.53"}}}).kind, SetPlanKind::Ready);
    plan = PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"dns6-auto", {}}});
    EXPECT_EQ(plan.kind, SetPlanKind::NotApplicable);
    EXPECT_EQ(plan.message,
              "--dns6-auto: device 00-1a-2b-3c-4d-5f does not take IPv6 settings (it reports no IPv6 support)");
}

// Guards against --ensure sending what the device already has, or skipping a real change:
// with DHCP on the reported addresses must not count.
TEST_F(SetPlan, ChangedComparesTheRequestWithTheReportedSettings) {
    EXPECT_FALSE(PlanDeviceSet(table, kMacB, {}).changed);
    EXPECT_FALSE(PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"ip", {"192.0.2.20"}}}).changed);
    EXPECT_TRUE(PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"ip", {"192.0.2.99"}}}).changed);
    EXPECT_TRUE(PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"dhcp", {}}}).changed);
    EXPECT_TRUE(PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"prefix", {"48"}}}).changed);
    table.entries[0].dhcp = 1;  // leased 192.0.2.20: the request carries zeros
    EXPECT_FALSE(PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"dhcp", {}}}).changed);
    EXPECT_TRUE(PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"ip", {"192.0.2.20"}}}).changed);
    // A report the checks refuse (no address) differs from every request that passes them.
    table.entries[0].dhcp = 0;
    table.entries[0].ipv4_address = {0, 0, 0, 0};
    EXPECT_TRUE(PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"ip", {"192.0.2.20"}}}).changed);
}

// Guards against a static address inventing the DNS that came with DHCP: kept automatic
// or turned manual, it is a choice nobody made, so the plan asks for it; given, it is sent.
TEST_F(SetPlan, StaticAddressOnDhcpWithAutomaticDnsNeedsADnsChoice) {
    table.entries[1].dhcp = 1;
    table.entries[1].ext_flags = EXT_IPV6 | EXT_DNS4_AUTO;
    table.entries[1].dns4_preferred = {192, 0, 2, 53};
    SET_PLAN plan = PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"ip", {"192.0.2.99"}}});
    EXPECT_EQ(plan.kind, SetPlanKind::CannotKeep);
    EXPECT_NE(plan.message.find("--dns4-manual for the ones it reports now (192.0.2.53, 0.0.0.0)"), std::string::npos)
        << plan.message;
    EXPECT_EQ(table.selected_index, -1);
    plan = PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"static", {}}, {"dns4-auto", {}}});
    ASSERT_EQ(plan.kind, SetPlanKind::Ready) << plan.message;
    EXPECT_EQ(plan.settings.set_flags, SET_DNS4_AUTO);
    plan = PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"ip", {"192.0.2.99"}}, {"dns4-manual", {}}});
    ASSERT_EQ(plan.kind, SetPlanKind::Ready) << plan.message;
    EXPECT_EQ(plan.settings.dns4_preferred, (IPV4{192, 0, 2, 53}));
    // The same for IPv6, whose automatic DNS comes with its automatic configuration.
    table.entries[1].dhcp = 0;
    table.entries[1].ext_flags = EXT_IPV6 | EXT_DHCP6 | EXT_DNS6_AUTO;
    EXPECT_EQ(PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"ipv6", {"2001:db8::9"}}}).kind,
              SetPlanKind::CannotKeep);
}

// Guards against settings nobody named being sent as the panel shows them: a static device
// reporting automatic DNS got manual DNS with the servers it reported (0.0.0.0), and an
// IPv4 option turned automatic IPv6 DNS manual; --ensure then saw a change.
TEST_F(SetPlan, SettingsNotGivenGoBackAsReported) {
    table.entries[1].ext_flags = EXT_IPV6 | EXT_DNS4_AUTO | EXT_DNS6_AUTO;
    SET_PLAN plan = PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"ip", {"192.0.2.21"}}});
    ASSERT_EQ(plan.kind, SetPlanKind::Ready) << plan.message;
    EXPECT_FALSE(plan.changed);
    plan = PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"ip", {"192.0.2.99"}}});
    EXPECT_TRUE(plan.changed);
    EXPECT_EQ(plan.settings.set_flags, SET_DNS4_AUTO | SET_DNS6_AUTO);
    EXPECT_FALSE(PlanDeviceSet(table, kMacB, std::vector<SET_OPTION>{{"dns4-auto", {}}}).changed);
}

// Guards against a value the device reports, but no request may carry, being refused with
// the window's message as if the user had typed it.
TEST_F(SetPlan, ReportedValueNoRequestCarriesIsNamed) {
    table.entries[0].ipv4_gateway = {255, 255, 255, 255};
    SET_PLAN plan = PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"ip", {"192.0.2.99"}}});
    EXPECT_EQ(plan.kind, SetPlanKind::CannotKeep);
    EXPECT_EQ(plan.message,
              "IPv4 gateway address is invalid. (device 00-1a-2b-3c-4d-5e reports it so, and a request cannot carry "
              "it; give --gateway)");
    plan = PlanDeviceSet(table, kMacA, std::vector<SET_OPTION>{{"gateway", {"255.255.255.255"}}});
    EXPECT_EQ(plan.kind, SetPlanKind::BadInput);
    EXPECT_EQ(plan.message, "IPv4 gateway address is invalid.");
}

}  // namespace
}  // namespace telvane
