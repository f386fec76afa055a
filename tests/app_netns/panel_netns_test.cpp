#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "app/telvane_dlg.h"
#include "ui/ipv4_address_box.h"
#include "ui/message_box.h"
#include "net/system_checks.h"
#include "resources/resource.h"
#include "tests/app_netns/window_fixture.h"
#include "tests/netns/harness.h"

namespace telvane {
namespace {

using PanelAfterEnumeration = netns::WindowNetnsTest;

// Guards against a locked first device leaving its IPv4 choices or Set IP usable, the
// frame left disabled by SelectDevice, or its values not shown.
TEST_F(PanelAfterEnumeration, LockedFirstDevice) {
    netns::SimProcess sim(R"({"devices": [{"ipv4_address": "192.0.2.20", "ipv4_gateway": "192.0.2.1",
        "locked": true, "ipv6": true, "ipv6_address": "2001:db8::20", "interface": "tvd1"}]})");
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    ASSERT_EQ(dialog.table.device_count, 1);
    EXPECT_EQ(dialog.table.selected_index, 0);
    EXPECT_EQ(EnabledActions(dialog),
              (std::vector<int>{IDC_EXIT, IDC_ENUMERATE, IDC_ADAPTER, IDC_PROTOCOL, IDC_IPV4_GROUP, IDC_DEVICE_LIST}));
    EXPECT_EQ(Address(dialog, IDC_IPV4_ADDRESS), 0xC0000214u);
    EXPECT_EQ(Address(dialog, IDC_IPV4_GATEWAY), 0xC0000201u);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_IPV6_ADDRESS), u"2001:db8::20");
    for (const int id : {IDC_IPV4_ADDRESS, IDC_IPV4_DNS_MANUAL, IDC_DNS4_PREFERRED, IDC_IPV6_GROUP, IDC_IPV6_STATIC,
                         IDC_IPV6_ADDRESS, IDC_IPV6_DNS_MANUAL, IDC_DNS6_PREFERRED})
        EXPECT_FALSE(dialog.IsDlgItemEnabled(id)) << id;
    EXPECT_EQ(dialog.busy, 0);
}

// Guards against an enumeration that found nothing leaving the list, Set IP or the IPv4
// choices usable, or the panel not blanked as the enumeration's first steps leave it:
// IPv4 boxes 0.0.0.0, DNS boxes blank, IPv6 edits disabled with the last device's text,
// and the DNS and IPv6 choices as they were.
TEST_F(PanelAfterEnumeration, NoDeviceAfterADeviceWasShown) {
    netns::SimProcess sim(R"({"devices": [{"ipv4_address": "192.0.2.20", "ipv6": true, "ipv6_dhcp": true,
        "ipv6_address": "2001:db8::20", "dns6_preferred": "2001:db8::53", "interface": "tvd1"}]})");
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    ASSERT_EQ(dialog.table.device_count, 1);
    ASSERT_EQ(adapter_count, 2);
    ASSERT_EQ(dialog.GetDlgItemText(IDC_DNS6_PREFERRED), u"2001:db8::53");
    const int checks_before[] = {
        dialog.IsDlgButtonChecked(IDC_IPV4_DNS_AUTO), dialog.IsDlgButtonChecked(IDC_IPV4_DNS_MANUAL),
        dialog.IsDlgButtonChecked(IDC_IPV6_DHCP),     dialog.IsDlgButtonChecked(IDC_IPV6_STATIC),
        dialog.IsDlgButtonChecked(IDC_IPV6_DNS_AUTO), dialog.IsDlgButtonChecked(IDC_IPV6_DNS_MANUAL)};
    const bool enabled_before[] = {
        dialog.IsDlgItemEnabled(IDC_IPV4_DNS_AUTO), dialog.IsDlgItemEnabled(IDC_IPV4_DNS_MANUAL),
        dialog.IsDlgItemEnabled(IDC_IPV6_DHCP),     dialog.IsDlgItemEnabled(IDC_IPV6_STATIC),
        dialog.IsDlgItemEnabled(IDC_IPV6_DNS_AUTO), dialog.IsDlgItemEnabled(IDC_IPV6_DNS_MANUAL)};

    // The second adapter's link has no device.
    dialog.ComboSetCurSel(IDC_ADAPTER, 1);
    dialog.Enumerate();
    EXPECT_EQ(dialog.table.device_count, 0);
    EXPECT_EQ(dialog.table.selected_index, -1);
    EXPECT_EQ(EnabledActions(dialog),
              (std::vector<int>{IDC_EXIT, IDC_ENUMERATE, IDC_ADAPTER, IDC_PROTOCOL, IDC_IPV4_GROUP}));
    EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(IDC_ENUMERATE));
    for (const int id : {IDC_IPV4_ADDRESS, IDC_IPV4_MASK, IDC_IPV4_GATEWAY}) {
        EXPECT_FALSE(dialog.GetAddressBox(id)->IsBlank()) << id;
        EXPECT_EQ(Address(dialog, id), 0u) << id;
        EXPECT_FALSE(dialog.IsDlgItemEnabled(id)) << id;
    }
    for (const int id : {IDC_DNS4_PREFERRED, IDC_DNS4_ALTERNATE}) {
        EXPECT_TRUE(dialog.GetAddressBox(id)->IsBlank()) << id;
        EXPECT_FALSE(dialog.IsDlgItemEnabled(id)) << id;
    }
    for (const int id : {IDC_IPV4_ADDRESS_LABEL, IDC_IPV4_MASK_LABEL, IDC_IPV4_GATEWAY_LABEL, IDC_DNS4_PREFERRED_LABEL,
                         IDC_DNS4_ALTERNATE_LABEL, IDC_IPV6_GROUP, IDC_IPV6_ADDRESS_LABEL, IDC_IPV6_ADDRESS,
                         IDC_IPV6_PREFIX_LABEL, IDC_IPV6_PREFIX, IDC_IPV6_GATEWAY_LABEL, IDC_IPV6_GATEWAY,
                         IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE})
        EXPECT_FALSE(dialog.IsDlgItemEnabled(id)) << id;
    EXPECT_EQ(dialog.GetDlgItemText(IDC_IPV6_ADDRESS), u"2001:db8::20");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_DNS6_PREFERRED), u"2001:db8::53");
    const int ids[] = {IDC_IPV4_DNS_AUTO, IDC_IPV4_DNS_MANUAL, IDC_IPV6_DHCP,
                       IDC_IPV6_STATIC,   IDC_IPV6_DNS_AUTO,   IDC_IPV6_DNS_MANUAL};
    for (std::size_t i = 0; i < std::size(ids); ++i) {
        EXPECT_EQ(dialog.IsDlgButtonChecked(ids[i]), checks_before[i]) << ids[i];
        EXPECT_EQ(dialog.IsDlgItemEnabled(ids[i]), enabled_before[i]) << ids[i];
    }
    // The device shown before had these usable: the blank state must not have touched them.
    EXPECT_TRUE(enabled_before[5]);
    EXPECT_EQ(checks_before[2], 1);
}

}  // namespace
}  // namespace telvane
