#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "app/telvane_dlg.h"
#include "net/adapters.h"
#include "ui/device_list_view.h"
#include "ui/ipv4_address_box.h"
#include "ui/message_box.h"
#include "net/pumped_wait.h"
#include "procedures/address_checks.h"
#include "procedures/set_exchange_net.h"
#include "procedures/set_form.h"
#include "protocol/text.h"
#include "resources/resource.h"

namespace telvane {

namespace {

// After an acceptance the device takes a while to apply its settings: 300 waits of
// 40 ms, about twelve seconds, before it is enumerated again.
constexpr int SETTLE_STEPS = 300;
constexpr std::uint32_t SETTLE_STEP_MS = 40;

}  // namespace

IPV4_BOX CTelvaneDlg::ReadAddressBox(int id) const {
    const CIpv4AddressBox* box = GetAddressBox(id);
    IPV4_BOX out;
    out.blank = box->IsBlank();
    box->GetAddress(out.value);
    return out;
}

SET_FORM CTelvaneDlg::ReadSetForm() const {
    SET_FORM form;
    form.ipv4_dhcp = IsDlgButtonChecked(IDC_IPV4_DHCP) == 1;
    form.ipv4_address = ReadAddressBox(IDC_IPV4_ADDRESS);
    form.ipv4_gateway = ReadAddressBox(IDC_IPV4_GATEWAY);
    form.ipv4_mask = ReadAddressBox(IDC_IPV4_MASK);
    form.dns4_auto = IsDlgButtonChecked(IDC_IPV4_DNS_AUTO) == 1;
    form.dns4_preferred = ReadAddressBox(IDC_DNS4_PREFERRED);
    form.dns4_alternate = ReadAddressBox(IDC_DNS4_ALTERNATE);
    form.ipv6_dhcp = IsDlgButtonChecked(IDC_IPV6_DHCP) == 1;
    form.ipv6_address = GetDlgItemText(IDC_IPV6_ADDRESS);
    form.ipv6_prefix_length = GetDlgItemText(IDC_IPV6_PREFIX);
    form.ipv6_gateway = GetDlgItemText(IDC_IPV6_GATEWAY);
    form.dns6_auto = IsDlgButtonChecked(IDC_IPV6_DNS_AUTO) == 1;
    form.dns6_preferred = GetDlgItemText(IDC_DNS6_PREFERRED);
    form.dns6_alternate = GetDlgItemText(IDC_DNS6_ALTERNATE);
    return form;
}

bool CTelvaneDlg::ConfirmNewAddress(const SET_FORM& form, const SET_SETTINGS& settings) {
    if (form.ipv4_dhcp) return true;
    std::vector<IPV4> local_addresses;
    for (const ADAPTER& adapter : QueryAdapters()) {
        if (const auto address = ParseIpv4(adapter.ipv4_text)) local_addresses.push_back(*address);
    }
    const auto count = static_cast<std::size_t>(std::clamp(table.device_count, 0, DEVICE_TABLE_CAPACITY));
    const std::vector<std::string> findings =
        NewAddressFindings({settings.ipv4_address, settings.ipv4_mask, settings.ipv4_gateway},
                           table.entries[static_cast<std::size_t>(table.selected_index)].mac,
                           std::span(table.entries.data(), count), local_addresses);
    if (findings.empty()) return true;
    return AskYesNo(this, FromUtf8(NewAddressQuestion(findings)));
}

void CTelvaneDlg::OnSetIp() {
    // The first failed check is shown and nothing is sent.
    const SET_FORM form = ReadSetForm();
    const SET_FORM_CHECK check = CheckSetForm(form, table.Selected());
    if (!check.Ok()) {
        ShowMessageBox(this, FromUtf8(SetFormMessage(check.fault)));
        if (check.fault == SetFormFault::NoDeviceSelected) EnableActionControls(true);
        return;
    }
    // An address that would break something on the network is asked about; No leaves
    // everything as it is.
    if (!ConfirmNewAddress(form, check.settings)) return;
    const CBusyScope busy_scope(busy);
    EnableActionControls(false);
    // 24 or 97 bytes, after whether the device reported the extension.
    const std::size_t index = static_cast<std::size_t>(table.selected_index);
    const SET_REQUEST request = BuildSetRequest(table.entries[index], check.settings);
    // The whole state byte: the row loses its selected look while the request is out.
    table.entries[index].state = STATE_SET_OK;
    // At most two sends, each followed by a 500 ms pumped wait for the reply; a send
    // that fails is waited for like one that went out.
    const SET_EXCHANGE exchange = ExchangeSetRequest(socket, table, request, SEND_FAILURES::WAIT_ANYWAY);
    // Green for an acceptance, red otherwise; the rebuilt list shows it.
    table.entries[index].state = exchange.outcome;
    list_view_->RefillDeviceList();
    list_view_->Invalidate(false);
    if (exchange.outcome != STATE_SET_OK) {
        EnableActionControls(true);
        return;
    }
    // Time for the device to take its new settings, then find it again.
    SetProgressRange(IDC_PROGRESS, 0, SETTLE_STEPS);
    SetProgressPos(IDC_PROGRESS, 0);
    for (int done = 0; done < SETTLE_STEPS; ++done) {
        PumpMessages(SETTLE_STEP_MS);
        SetProgressPos(IDC_PROGRESS, done);
    }
    SetProgressPos(IDC_PROGRESS, 0);
    Enumerate();
    EnableActionControls(true);
}

}  // namespace telvane
