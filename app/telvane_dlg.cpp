#include "app/telvane_dlg.h"

#include <algorithm>
#include <optional>
#include <span>

#include "inventory/reply_intake.h"
#include "ui/device_list_view.h"
#include "ui/message_box.h"
#include "net/system_checks.h"
#include "procedures/address_checks.h"
#include "procedures/discovery.h"
#include "protocol/text.h"
#include "resources/main_dialog.h"

namespace telvane {

std::array<std::array<char16_t, ADAPTER_ADDRESS_SIZE>, MAX_ADAPTERS> adapter_addresses{};
std::int32_t adapter_count = 0;

namespace {
constexpr char16_t IPV6_REQUIRED[] = u"IPv6 protocol is required for full function support.";
constexpr char16_t LIMITED_FUNCTION[] =
    u"Limited function is supported for your system (Windows 2000 or earlier version).";
constexpr char16_t NO_ADAPTER[] = u"Network adapter not found.";
constexpr char16_t SOCKET_FAILED[] = u"Socket Initialization failure";
}  // namespace

// Control notifications and their handlers. The list's own notifications are
// connected in AttachDeviceList.
const CTelvaneDlg::MESSAGE_MAP_ENTRY CTelvaneDlg::message_map[] = {
    {IDC_ENUMERATE, NOTIFICATION::CLICKED, &CTelvaneDlg::Enumerate},
    {IDC_SET_IP, NOTIFICATION::CLICKED, &CTelvaneDlg::OnSetIp},
    {IDC_IPV4_DHCP, NOTIFICATION::CLICKED, &CTelvaneDlg::OnIpv4Dhcp},
    {IDC_IPV4_STATIC, NOTIFICATION::CLICKED, &CTelvaneDlg::OnIpv4Static},
    {IDC_ADAPTER, NOTIFICATION::SELECTION_CHANGE, &CTelvaneDlg::OnAdapterSelChange},
    {IDC_IPV4_DNS_AUTO, NOTIFICATION::CLICKED, &CTelvaneDlg::OnIpv4DnsAuto},
    {IDC_IPV4_DNS_MANUAL, NOTIFICATION::CLICKED, &CTelvaneDlg::OnIpv4DnsManual},
    {IDC_IPV6_DHCP, NOTIFICATION::CLICKED, &CTelvaneDlg::OnIpv6Dhcp},
    {IDC_IPV6_STATIC, NOTIFICATION::CLICKED, &CTelvaneDlg::OnIpv6Static},
    {IDC_IPV6_DNS_AUTO, NOTIFICATION::CLICKED, &CTelvaneDlg::OnIpv6DnsAuto},
    {IDC_IPV6_DNS_MANUAL, NOTIFICATION::CLICKED, &CTelvaneDlg::OnIpv6DnsManual},
    {IDC_IPV6_PREFIX, NOTIFICATION::CHANGE, &CTelvaneDlg::OnPrefixLengthChanged},
};

CTelvaneDlg::CTelvaneDlg() : CDialog(MainDialogTemplate()) {
    adapter_count = 0;
    for (const MESSAGE_MAP_ENTRY& entry : message_map)
        MapNotification(entry.id, entry.code, [this, handler = entry.handler] { (this->*handler)(); });
}

CTelvaneDlg::~CTelvaneDlg() {
    if (socket_open == 1) socket.Close();
    socket_open = 0;
}

void CTelvaneDlg::AttachDeviceList() {
    list_view_ = std::make_unique<CDeviceListView>(*this, IDC_DEVICE_LIST, table);
    list_view_->SetHeaderClickHandler([this](int column) { OnHeaderItemClick(column); });
    list_view_->SetItemChangedHandler([this](int row, bool selected) { OnListItemChanged(row, selected); });
    list_view_->SetClickHandler([this](int row) { OnListClick(row); });
    list_view_->SetRowHints([this](int row) { return RowHints(row); });
    list_view_->SetTeller([this](const std::u16string& text) { ShowMessageBox(this, text); });
}

bool CTelvaneDlg::OnInitDialog() {
    AttachDeviceList();
    // The initialisation data ("IPv4" into the protocol choice) and the members.
    CDialog::OnInitDialog();
    // What the system can do; either message is information only.
    if (SupportsFullFunction()) {
        if (!Ipv6Available()) ShowMessageBox(this, IPV6_REQUIRED);
    } else {
        ShowMessageBox(this, LIMITED_FUNCTION);
    }
    // Title bar and task bar.
    SetProgramIcon();
    list_view_->InsertListColumns(DEVICE_LIST_COLUMN_COUNT, columns);
    // Not signalled until a set reply is taken in.
    table.reply_event.Reset();
    ListAdapters();
    if (adapter_count >= 1) {
        // The first adapter, enumerated at once.
        ComboSetCurSel(IDC_ADAPTER, 0);
        Enumerate();
    } else {
        // No adapter: only Exit can be used.
        ComboSetCurSel(IDC_ADAPTER, ComboAddString(IDC_ADAPTER, NO_ADAPTER));
        EnableActionControls(false);
        for (const int id : {IDC_ADAPTER_LABEL, IDC_PROTOCOL, IDC_PROTOCOL_LABEL, IDC_IPV4_GROUP})
            EnableDlgItem(id, false);
        EnableDlgItem(IDC_EXIT, true);
    }
    // No initial focus from the dialog; the enumeration gave it to Enumerate.
    return false;
}

void CTelvaneDlg::ListAdapters() {
    for (const ADAPTER& adapter : UsableAdapters(QueryAdapters())) {
        if (adapter_count >= MAX_ADAPTERS) break;
        const std::u16string address = FromUtf8(adapter.ipv4_text);
        auto& entry = adapter_addresses[static_cast<std::size_t>(adapter_count)];
        entry.fill(u'\0');
        std::copy_n(address.begin(), std::min<std::size_t>(address.size(), entry.size() - 1), entry.begin());
        ComboAddString(IDC_ADAPTER, AdapterEntryText(adapter));
        adapter_masks[static_cast<std::size_t>(adapter_count)] = adapter.ipv4_mask;
        ++adapter_count;
    }
}

bool CTelvaneDlg::CreateDiscoverySocket() {
    if (adapter_count == 0) return false;
    if (socket_open == 1) socket.Close();
    socket_open = 0;
    ComboSetCurSel(IDC_PROTOCOL, 0);
    std::optional<std::string> local_address;
    const int i = ComboGetCurSel(IDC_ADAPTER);
    if (i >= 0 && i < adapter_count) local_address = ToUtf8(adapter_addresses[static_cast<std::size_t>(i)].data());
    switch (OpenDiscoverySocket(socket, local_address, this)) {
        case OPEN_RESULT::OPENED:
            socket_open = 1;
            return true;
        case OPEN_RESULT::NO_ADAPTER:
            return false;
        case OPEN_RESULT::SOCKET_FAILED:
            break;
    }
    ShowMessageBox(this, SOCKET_FAILED);
    OnCancel();
    return false;
}

void CTelvaneDlg::OnDatagram(const std::uint8_t* datagram, int length, const std::string&, std::uint16_t) {
    if (datagram == nullptr || length < 0) return;
    telvane::OnDatagram(
        table, std::span(datagram, static_cast<std::size_t>(length)), SupportsFullFunction(),
        [this](std::int32_t index, const DEVICE_INFO& entry) { list_view_->AddDeviceRow(index, entry); });
    // A device turned away by a full table is said at once, also after the enumeration.
    list_view_->UpdateNotes();
}

CDeviceListView::ROW_HINTS CTelvaneDlg::RowHints(int row) const {
    CDeviceListView::ROW_HINTS hints;
    const int count = std::clamp(table.device_count, 0, DEVICE_TABLE_CAPACITY);
    if (row < 0 || row >= count) return hints;
    const std::span<const DEVICE_INFO> devices(table.entries.data(), static_cast<std::size_t>(count));
    const DEVICE_INFO& e = devices[static_cast<std::size_t>(row)];
    const std::string address = FormatIpv4(e.ipv4_address);
    // An unknown mask (all zero) puts every address inside.
    if (!InSubnet(e.ipv4_address, enumerated_address, enumerated_mask)) {
        hints.unreachable = FromUtf8(address + " is outside " + SubnetText(enumerated_address, enumerated_mask) +
                                     ", so its web page cannot be reached from here until its address is changed.");
        hints.text = hints.unreachable;
    }
    // A full table at one address is named by its first few, as the command line names it.
    const std::vector<MAC> sharing = SameAddressMacs(devices, static_cast<std::size_t>(row));
    std::string others;
    for (std::size_t i = 0; i < sharing.size() && i < ADDRESS_CONFLICT_SHOWN; ++i)
        others += (others.empty() ? "" : ", ") + FormatMac(sharing[i]);
    if (sharing.size() > ADDRESS_CONFLICT_SHOWN)
        others += " and " + std::to_string(sharing.size() - ADDRESS_CONFLICT_SHOWN) + " more";
    if (!others.empty()) {
        if (!hints.text.empty()) hints.text += u'\n';
        hints.text += FromUtf8(address + " is also used by " + others + ".");
    }
    return hints;
}

std::u16string CTelvaneDlg::ChosenAdapterAddress() const {
    const int i = ComboGetCurSel(IDC_ADAPTER);
    if (i < 0 || i >= adapter_count) return {};
    return adapter_addresses[static_cast<std::size_t>(i)].data();
}

void CTelvaneDlg::DoDataExchange(bool save) {
    if (save)
        prefix_text = GetDlgItemText(IDC_IPV6_PREFIX);
    else
        SetDlgItemText(IDC_IPV6_PREFIX, prefix_text);
}

// The choice takes effect at the next enumeration.
void CTelvaneDlg::OnAdapterSelChange() {}

void CTelvaneDlg::OnHeaderItemClick(int column) {
    list_view_->SortDeviceList(table, column, [this](std::int32_t index) { SelectDevice(index); });
}

}  // namespace telvane
