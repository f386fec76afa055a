#include <initializer_list>
#include <tuple>

#include "app/telvane_dlg.h"
#include "inventory/row_text.h"
#include "protocol/wire.h"
#include "resources/resource.h"
#include "ui/device_list_view.h"
#include "ui/ipv4_address_box.h"

namespace telvane {

namespace {

constexpr int IPV6_TEXT_LIMIT = 39;
constexpr int PREFIX_TEXT_LIMIT = 3;
constexpr std::int64_t PREFIX_LENGTH_MAX = 128;

}  // namespace

void CTelvaneDlg::SelectDevice(std::int32_t index) {
    if (index < 0 || index >= table.device_count) return;
    table.selected_index = index;
    for (std::int32_t i = 0; i < table.device_count; ++i) {
        auto& state = table.entries[static_cast<std::size_t>(i)].state;
        state = static_cast<std::uint8_t>(state & ~STATE_SELECTED);
    }
    const DEVICE_INFO& e = table.entries[static_cast<std::size_t>(index)];
    auto& selected = table.entries[static_cast<std::size_t>(index)].state;
    selected = static_cast<std::uint8_t>(selected | STATE_SELECTED);

    const bool l = e.locked != 0;
    const bool d = e.dhcp != 0;
    const bool x = e.has_extension != 0;
    const std::uint8_t f = e.ext_flags;
    const bool p6 = x && (f & EXT_IPV6) != 0;
    const bool dhcp6 = (f & EXT_DHCP6) != 0;

    // IPv4 address choice; the boxes show the device's values even while DHCP disables them.
    EnableDlgItem(IDC_SET_IP, !l);
    EnableDlgItem(IDC_IPV4_GROUP, !l);
    CheckDlgButton(IDC_IPV4_DHCP, d ? 1 : 0);
    EnableDlgItem(IDC_IPV4_DHCP, !l);
    CheckDlgButton(IDC_IPV4_STATIC, d ? 0 : 1);
    EnableDlgItem(IDC_IPV4_STATIC, !l);
    for (const auto& [label, box, value] : {std::tuple{IDC_IPV4_ADDRESS_LABEL, IDC_IPV4_ADDRESS, &e.ipv4_address},
                                            std::tuple{IDC_IPV4_MASK_LABEL, IDC_IPV4_MASK, &e.ipv4_mask},
                                            std::tuple{IDC_IPV4_GATEWAY_LABEL, IDC_IPV4_GATEWAY, &e.ipv4_gateway}}) {
        EnableDlgItem(label, !l && !d);
        GetAddressBox(box)->SetAddress(Ipv4HostOrder(*value));
        EnableDlgItem(box, !l && !d);
    }

    // IPv4 DNS. A4 is what the automatic button now shows.
    CheckDlgButton(IDC_IPV4_DNS_AUTO, x && d && (f & EXT_DNS4_AUTO) != 0 ? 1 : 0);
    EnableDlgItem(IDC_IPV4_DNS_AUTO, !l && x && d);
    const bool a4 = IsDlgButtonChecked(IDC_IPV4_DNS_AUTO) == 1;
    CheckDlgButton(IDC_IPV4_DNS_MANUAL, x && !a4 ? 1 : 0);
    EnableDlgItem(IDC_IPV4_DNS_MANUAL, !l && x);
    for (const auto& [label, box, value] :
         {std::tuple{IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED, &e.dns4_preferred},
          std::tuple{IDC_DNS4_ALTERNATE_LABEL, IDC_DNS4_ALTERNATE, &e.dns4_alternate}}) {
        EnableDlgItem(label, !l && x && !a4);
        if (x)
            GetAddressBox(box)->SetAddress(Ipv4HostOrder(*value));
        else
            GetAddressBox(box)->ClearAddress();
        EnableDlgItem(box, !l && x && !a4);
    }

    // IPv6 address choice.
    EnableDlgItem(IDC_IPV6_GROUP, !l && p6);
    CheckDlgButton(IDC_IPV6_DHCP, p6 && dhcp6 ? 1 : 0);
    EnableDlgItem(IDC_IPV6_DHCP, !l && p6);
    CheckDlgButton(IDC_IPV6_STATIC, p6 && !dhcp6 ? 1 : 0);
    EnableDlgItem(IDC_IPV6_STATIC, !l && p6);
    const bool ipv6_manual = !l && p6 && !dhcp6;
    EnableDlgItem(IDC_IPV6_ADDRESS_LABEL, ipv6_manual);
    SetDlgItemText(IDC_IPV6_ADDRESS, p6 ? Ipv6Text(e.ipv6_address) : std::u16string());
    LimitText(IDC_IPV6_ADDRESS, IPV6_TEXT_LIMIT);
    EnableDlgItem(IDC_IPV6_ADDRESS, ipv6_manual);
    EnableDlgItem(IDC_IPV6_PREFIX_LABEL, ipv6_manual);
    // Raises the prefix guard like typing does.
    if (p6)
        SetDlgItemInt(IDC_IPV6_PREFIX, e.ipv6_prefix_length, true);
    else
        SetDlgItemText(IDC_IPV6_PREFIX, u"");
    LimitText(IDC_IPV6_PREFIX, PREFIX_TEXT_LIMIT);
    EnableDlgItem(IDC_IPV6_PREFIX, ipv6_manual);
    EnableDlgItem(IDC_IPV6_GATEWAY_LABEL, ipv6_manual);
    SetDlgItemText(IDC_IPV6_GATEWAY, p6 ? Ipv6Text(e.ipv6_gateway) : std::u16string());
    LimitText(IDC_IPV6_GATEWAY, IPV6_TEXT_LIMIT);
    EnableDlgItem(IDC_IPV6_GATEWAY, ipv6_manual);

    // IPv6 DNS. M6 is read back from the automatic button just set.
    CheckDlgButton(IDC_IPV6_DNS_AUTO, p6 && dhcp6 && (f & EXT_DNS6_AUTO) != 0 ? 1 : 0);
    EnableDlgItem(IDC_IPV6_DNS_AUTO, !l && p6 && dhcp6);
    const bool m6 = p6 && IsDlgButtonChecked(IDC_IPV6_DNS_AUTO) != 1;
    CheckDlgButton(IDC_IPV6_DNS_MANUAL, m6 ? 1 : 0);
    EnableDlgItem(IDC_IPV6_DNS_MANUAL, !l && p6);
    for (const auto& [label, edit, value] :
         {std::tuple{IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED, &e.dns6_preferred},
          std::tuple{IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE, &e.dns6_alternate}}) {
        EnableDlgItem(label, !l && m6);
        SetDlgItemText(edit, p6 ? Ipv6Text(*value) : std::u16string());
        LimitText(edit, IPV6_TEXT_LIMIT);
        EnableDlgItem(edit, !l && m6);
    }
}

void CTelvaneDlg::OnListItemChanged(int row, bool selected) {
    if (!selected) return;
    SelectDevice(row);
    list_view_->Invalidate(true);
}

void CTelvaneDlg::OnListClick(int row) {
    if (row == -1) return;
    SelectDevice(row);
    list_view_->Invalidate(true);
}

// The radio handlers look only at the controls, never at the device: automatic DNS is
// offered only together with the automatic address.

void CTelvaneDlg::EnableIpv4AddressBoxes(bool enable) {
    for (const int id : {IDC_IPV4_ADDRESS_LABEL, IDC_IPV4_ADDRESS, IDC_IPV4_MASK_LABEL, IDC_IPV4_MASK,
                         IDC_IPV4_GATEWAY_LABEL, IDC_IPV4_GATEWAY})
        EnableDlgItem(id, enable);
}

void CTelvaneDlg::EnableDns4Boxes(bool enable) {
    for (const int id : {IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED, IDC_DNS4_ALTERNATE_LABEL, IDC_DNS4_ALTERNATE})
        EnableDlgItem(id, enable);
}

void CTelvaneDlg::EnableIpv6AddressEdits(bool enable) {
    for (const int id : {IDC_IPV6_ADDRESS_LABEL, IDC_IPV6_ADDRESS, IDC_IPV6_PREFIX_LABEL, IDC_IPV6_PREFIX,
                         IDC_IPV6_GATEWAY_LABEL, IDC_IPV6_GATEWAY})
        EnableDlgItem(id, enable);
}

void CTelvaneDlg::EnableDns6Edits(bool enable) {
    for (const int id : {IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE})
        EnableDlgItem(id, enable);
}

bool CTelvaneDlg::IsEnabledAndChecked(int id) const {
    return IsDlgItemEnabled(id) && IsDlgButtonChecked(id) == 1;
}

void CTelvaneDlg::OnIpv4Dhcp() {
    EnableIpv4AddressBoxes(false);
    if (IsEnabledAndChecked(IDC_IPV4_DNS_MANUAL)) EnableDlgItem(IDC_IPV4_DNS_AUTO, true);
}

void CTelvaneDlg::OnIpv4Static() {
    EnableIpv4AddressBoxes(true);
    if (IsEnabledAndChecked(IDC_IPV4_DNS_AUTO)) {
        CheckDlgButton(IDC_IPV4_DNS_MANUAL, 1);
        EnableDns4Boxes(true);
    }
    CheckDlgButton(IDC_IPV4_DNS_AUTO, 0);
    EnableDlgItem(IDC_IPV4_DNS_AUTO, false);
}

void CTelvaneDlg::OnIpv4DnsAuto() {
    EnableDns4Boxes(false);
}

void CTelvaneDlg::OnIpv4DnsManual() {
    EnableDns4Boxes(true);
}

void CTelvaneDlg::OnIpv6Dhcp() {
    EnableIpv6AddressEdits(false);
    if (IsEnabledAndChecked(IDC_IPV6_DNS_MANUAL)) EnableDlgItem(IDC_IPV6_DNS_AUTO, true);
}

void CTelvaneDlg::OnIpv6Static() {
    EnableIpv6AddressEdits(true);
    if (IsEnabledAndChecked(IDC_IPV6_DNS_AUTO)) {
        CheckDlgButton(IDC_IPV6_DNS_MANUAL, 1);
        EnableDns6Edits(true);
    }
    CheckDlgButton(IDC_IPV6_DNS_AUTO, 0);
    EnableDlgItem(IDC_IPV6_DNS_AUTO, false);
}

void CTelvaneDlg::OnIpv6DnsAuto() {
    EnableDns6Edits(false);
}

void CTelvaneDlg::OnIpv6DnsManual() {
    EnableDns6Edits(true);
}

// Keeps the prefix length within 0..128 as it is typed. Writing the bound back raises
// this handler once more, which then finds the value in range. Text that is no number
// (empty, a lone minus, letters) is the user's to finish.
void CTelvaneDlg::OnPrefixLengthChanged() {
    bool translated = false;
    const std::int64_t value = GetDlgItemInt(IDC_IPV6_PREFIX, &translated, true);
    if (!translated) return;
    if (value < 0)
        SetDlgItemInt(IDC_IPV6_PREFIX, 0, false);
    else if (value > PREFIX_LENGTH_MAX)
        SetDlgItemInt(IDC_IPV6_PREFIX, PREFIX_LENGTH_MAX, false);
}

}  // namespace telvane
