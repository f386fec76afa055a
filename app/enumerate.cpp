#include <initializer_list>

#include "app/telvane_dlg.h"
#include "ui/device_list_view.h"
#include "ui/ipv4_address_box.h"
#include "procedures/discovery.h"
#include "protocol/text.h"
#include "resources/resource.h"

namespace telvane {

void CTelvaneDlg::EnableActionControls(bool enable) {
    for (const int id : {IDC_EXIT, IDC_ENUMERATE, IDC_IPV4_DHCP, IDC_IPV4_STATIC, IDC_ADAPTER, IDC_PROTOCOL,
                         IDC_IPV4_GROUP, IDC_DEVICE_LIST, IDC_SET_IP})
        EnableDlgItem(id, enable);
}

void CTelvaneDlg::Enumerate() {
    // No adapter, or the socket failed and the dialog is being cancelled.
    if (!CreateDiscoverySocket()) return;
    // The rows' hints are about the adapter the replies come in on.
    const int adapter = ComboGetCurSel(IDC_ADAPTER);
    if (adapter >= 0 && adapter < adapter_count) {
        enumerated_address =
            ParseIpv4(ToUtf8(adapter_addresses[static_cast<std::size_t>(adapter)].data())).value_or(IPV4{});
        enumerated_mask = adapter_masks[static_cast<std::size_t>(adapter)];
    }
    // No selection until a device answers; the window refuses to close meanwhile.
    table.selected_index = -1;
    const CBusyScope busy_scope(busy);
    EnableActionControls(false);
    // The settings panel blank and disabled; the six DNS and IPv6 choices keep
    // their check marks and enabled states.
    for (const int id : {IDC_SET_IP, IDC_IPV4_DHCP, IDC_IPV4_STATIC, IDC_IPV4_GROUP}) EnableDlgItem(id, false);
    for (const auto& [label, box] :
         {std::pair{IDC_IPV4_ADDRESS_LABEL, IDC_IPV4_ADDRESS}, std::pair{IDC_IPV4_MASK_LABEL, IDC_IPV4_MASK},
          std::pair{IDC_IPV4_GATEWAY_LABEL, IDC_IPV4_GATEWAY}}) {
        EnableDlgItem(label, false);
        EnableDlgItem(box, false);
        GetAddressBox(box)->SetAddress(0);
    }
    for (const auto& [label, box] : {std::pair{IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED},
                                     std::pair{IDC_DNS4_ALTERNATE_LABEL, IDC_DNS4_ALTERNATE}}) {
        EnableDlgItem(label, false);
        EnableDlgItem(box, false);
        GetAddressBox(box)->ClearAddress();
    }
    for (const int id : {IDC_IPV6_GROUP, IDC_IPV6_ADDRESS_LABEL, IDC_IPV6_ADDRESS, IDC_IPV6_PREFIX_LABEL,
                         IDC_IPV6_PREFIX, IDC_IPV6_GATEWAY_LABEL, IDC_IPV6_GATEWAY, IDC_DNS6_PREFERRED_LABEL,
                         IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE})
        EnableDlgItem(id, false);
    // The table and the list start empty, with nothing to say until the replies are in.
    EnableDlgItem(IDC_ENUMERATE, false);
    table.device_count = 0;
    table.ignored = {};
    list_view_->SetEnumeratedAdapter({});
    list_view_->DeleteAllItems();
    // Replies are taken in by OnDatagram during the waits between the requests. The
    // window does not look at the sends: a failed one shows as no answer.
    (void)BroadcastEnumerateRequests(socket);
    EnableDlgItem(IDC_ENUMERATE, true);
    list_view_->SetEnumeratedAdapter(ChosenAdapterAddress());
    GotoDlgCtrl(IDC_ENUMERATE);
    // The first device to answer is selected; a locked one cannot be set.
    if (table.device_count != 0) {
        list_view_->SetSelectionMark(0);
        SelectDevice(0);
        EnableActionControls(true);
        const bool locked = table.entries[0].locked != 0;
        for (const int id : {IDC_IPV4_DHCP, IDC_IPV4_STATIC, IDC_SET_IP}) EnableDlgItem(id, !locked);
    }
    // These stay usable even when nothing answered, so another adapter can be tried.
    for (const int id : {IDC_EXIT, IDC_ADAPTER, IDC_PROTOCOL, IDC_IPV4_GROUP}) EnableDlgItem(id, true);
}

}  // namespace telvane
