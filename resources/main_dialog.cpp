#include "resources/main_dialog.h"

#include <array>

namespace telvane {

namespace {

using K = CONTROL_KIND;
constexpr bool ENABLED = true;
constexpr bool DISABLED = false;
constexpr bool VISIBLE = true;
constexpr bool GROUP = true;
constexpr bool TAB = true;
constexpr bool NO = false;

// Template order is tab order. Every control is a child of the dialog; the frames are
// drawn around controls, they do not hold them.
constexpr std::array<DLG_ITEM_TEMPLATE, 44> MAIN_DIALOG_ITEMS{{
    {IDC_DEVICE_LIST_LABEL, K::LABEL, "Device list:", 7, 7, 36, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_DEVICE_LIST, K::LIST_VIEW, "", 7, 16, 387, 110, ENABLED, VISIBLE, NO, TAB},
    {IDC_PROGRESS, K::PROGRESS_BAR, "", 7, 134, 387, 6, ENABLED, VISIBLE, NO, NO},
    {IDC_STATIC, K::GROUP_FRAME, "", 13, 188, 173, 60, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV4_DHCP, K::RADIO_BUTTON, "Obtain an IP address automatically (DHCP)", 17, 176, 151, 10, DISABLED, VISIBLE,
     GROUP, TAB},
    {IDC_IPV4_STATIC, K::RADIO_BUTTON, "Use the following IP address:", 17, 188, 107, 10, DISABLED, VISIBLE, NO, TAB},
    {IDC_IPV4_ADDRESS_LABEL, K::LABEL, "IP address:", 19, 203, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV4_ADDRESS, K::IPV4_ADDRESS, "", 93, 200, 88, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_IPV4_MASK_LABEL, K::LABEL, "Subnet mask:", 19, 218, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV4_MASK, K::IPV4_ADDRESS, "", 93, 215, 88, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_IPV4_GATEWAY_LABEL, K::LABEL, "Default gateway:", 19, 233, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV4_GATEWAY, K::IPV4_ADDRESS, "", 93, 230, 88, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_ENUMERATE, K::PUSH_BUTTON, "&Enumerate", 407, 127, 47, 14, ENABLED, VISIBLE, NO, TAB},
    {IDC_SET_IP, K::PUSH_BUTTON, "&Set IP", 407, 147, 47, 14, DISABLED, VISIBLE, NO, TAB},
    {IDC_EXIT, K::DEFAULT_PUSH_BUTTON, "E&xit", 407, 16, 47, 14, ENABLED, VISIBLE, NO, TAB},
    {IDC_ADAPTER_LABEL, K::LABEL, "Network adapter: ", 96, 150, 56, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_ADAPTER, K::DROP_DOWN_LIST, "", 155, 148, 239, 101, ENABLED, VISIBLE, NO, TAB},
    {IDC_IPV4_GROUP, K::GROUP_FRAME, "IPv4 settings", 7, 165, 185, 153, ENABLED, VISIBLE, NO, NO},
    {IDC_STATIC, K::GROUP_FRAME, "", 13, 266, 173, 46, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV4_DNS_AUTO, K::RADIO_BUTTON, "Obtain DNS server address automatically", 17, 254, 145, 10, DISABLED, VISIBLE,
     GROUP, TAB},
    {IDC_IPV4_DNS_MANUAL, K::RADIO_BUTTON, "Use the following DNS server addresses:", 17, 266, 145, 10, DISABLED,
     VISIBLE, NO, TAB},
    {IDC_DNS4_PREFERRED_LABEL, K::LABEL, "Preferred DNS server:", 19, 282, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_DNS4_PREFERRED, K::IPV4_ADDRESS, "", 93, 279, 88, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_DNS4_ALTERNATE_LABEL, K::LABEL, "Alternate DNS server:", 19, 297, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_DNS4_ALTERNATE, K::IPV4_ADDRESS, "", 93, 294, 88, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_STATIC, K::GROUP_FRAME, "", 210, 188, 237, 60, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV6_DHCP, K::RADIO_BUTTON, "Obtain an IPv6 address automatically (DHCP)", 214, 176, 159, 10, DISABLED,
     VISIBLE, GROUP, TAB},
    {IDC_IPV6_STATIC, K::RADIO_BUTTON, "Use the following IPv6 address:", 214, 187, 115, 10, DISABLED, VISIBLE, NO,
     TAB},
    {IDC_IPV6_ADDRESS_LABEL, K::LABEL, "IPv6 address:", 216, 203, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV6_PREFIX_LABEL, K::LABEL, "Subnet prefix length:", 216, 218, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV6_GATEWAY_LABEL, K::LABEL, "Default gateway:", 216, 233, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV6_GROUP, K::GROUP_FRAME, "IPv6 settings", 204, 165, 250, 153, ENABLED, VISIBLE, NO, NO},
    {IDC_STATIC, K::GROUP_FRAME, "", 210, 266, 237, 46, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV6_DNS_AUTO, K::RADIO_BUTTON, "Obtain DNS server address automatically", 214, 253, 145, 10, DISABLED,
     VISIBLE, GROUP, TAB},
    {IDC_IPV6_DNS_MANUAL, K::RADIO_BUTTON, "Use the following DNS server addresses:", 214, 266, 145, 10, DISABLED,
     VISIBLE, NO, TAB},
    {IDC_DNS6_PREFERRED_LABEL, K::LABEL, "Preferred DNS server:", 216, 282, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_DNS6_ALTERNATE_LABEL, K::LABEL, "Alternate DNS server:", 216, 297, 72, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_IPV6_ADDRESS, K::EDIT, "", 290, 200, 151, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_IPV6_PREFIX, K::EDIT, "", 290, 215, 23, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_DNS6_PREFERRED, K::EDIT, "", 290, 279, 151, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_DNS6_ALTERNATE, K::EDIT, "", 290, 294, 151, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_IPV6_GATEWAY, K::EDIT, "", 290, 230, 151, 12, ENABLED, VISIBLE, NO, TAB},
    {IDC_PROTOCOL_LABEL, K::LABEL, "Protocol: ", 7, 150, 31, 8, ENABLED, VISIBLE, NO, NO},
    {IDC_PROTOCOL, K::DROP_DOWN_LIST, "", 40, 148, 33, 101, ENABLED, VISIBLE, NO, TAB},
}};

// Dialog-initialisation data: the protocol choice's only entry.
constexpr std::array<DLG_INIT_ENTRY, 1> MAIN_DIALOG_INIT{{{IDC_PROTOCOL, "IPv4"}}};

// The IPv6 edits follow all their labels in template order, so the label before each is
// not its own; the list and the progress bar have no label that says what they are.
constexpr std::array<DLG_ACCESSIBLE_NAME, 7> MAIN_DIALOG_NAMES{{
    {IDC_DEVICE_LIST, 0, "Device list"},
    {IDC_PROGRESS, 0, "Waiting for the device to restart"},
    {IDC_IPV6_ADDRESS, IDC_IPV6_ADDRESS_LABEL, nullptr},
    {IDC_IPV6_PREFIX, IDC_IPV6_PREFIX_LABEL, nullptr},
    {IDC_IPV6_GATEWAY, IDC_IPV6_GATEWAY_LABEL, nullptr},
    {IDC_DNS6_PREFERRED, IDC_DNS6_PREFERRED_LABEL, nullptr},
    {IDC_DNS6_ALTERNATE, IDC_DNS6_ALTERNATE_LABEL, nullptr},
}};

// DejaVu Sans is on every system the program is built for; dialog units follow its
// metrics, so the layout keeps its proportions at any size.
constexpr DLG_TEMPLATE MAIN_DIALOG{
    IDD_TELVANE_DIALOG, "Network Device Telvane", 461, 330, "DejaVu Sans", 8, MAIN_DIALOG_ITEMS,
    MAIN_DIALOG_INIT,   MAIN_DIALOG_NAMES};

}  // namespace

const DLG_TEMPLATE& MainDialogTemplate() {
    return MAIN_DIALOG;
}

std::u16string LoadString(int id) {
    if (id == IDS_SOCKETS_INIT_FAILED) return u"Windows sockets initialization failed.";
    return {};
}

}  // namespace telvane
