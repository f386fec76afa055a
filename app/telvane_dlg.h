#pragma once

// The main window: a modal dialog built from template 102 that owns the discovery
// socket, the device table and the busy flag, and routes the controls' notifications
// to its handlers.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "inventory/device_info.h"
#include "inventory/device_list.h"
#include "net/adapters.h"
#include "ui/device_list_view.h"
#include "ui/dialog.h"
#include "net/discovery_socket.h"

namespace telvane {

struct IPV4_BOX;
struct SET_FORM;
struct SET_SETTINGS;

// The local adapters offered in the adapter choice (IDC_ADAPTER), entry i for combo entry i.
// Filled once while the main dialog initialises.
inline constexpr int ADAPTER_ADDRESS_SIZE = 32;
extern std::array<std::array<char16_t, ADAPTER_ADDRESS_SIZE>, MAX_ADAPTERS> adapter_addresses;
extern std::int32_t adapter_count;

// Raises a busy flag for the length of a procedure and puts back what it found on every
// way out, so a set's enumeration leaves the flag to the set that runs it.
class CBusyScope final {
public:
    explicit CBusyScope(std::int32_t& flag) : flag_(flag), previous_(flag) { flag_ = 1; }
    ~CBusyScope() { flag_ = previous_; }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

private:
    std::int32_t& flag_;
    std::int32_t previous_;
};

class CTelvaneDlg final : public CDialog, public IDatagramSink {
public:
    CTelvaneDlg();
    ~CTelvaneDlg() override;
    CTelvaneDlg(const CTelvaneDlg&) = delete;
    CTelvaneDlg& operator=(const CTelvaneDlg&) = delete;

    // Closes the socket when open and opens it anew on the chosen adapter. False when
    // there is no adapter, or when the socket failed: then the failure has been shown
    // and the dialog cancelled.
    [[nodiscard]] bool CreateDiscoverySocket();
    // Finds the devices on the chosen adapter's segment (IDC_ENUMERATE, start-up, after a set).
    void Enumerate();
    // Enables or disables the nine controls that must not be used while a procedure runs.
    void EnableActionControls(bool enable);
    // Makes table entry index the selection and fills the settings panel from it.
    void SelectDevice(std::int32_t index);
    // Sends the panel's settings to the selected device (IDC_SET_IP).
    void OnSetIp();
    // The panel as the set checks take it: each box's blank flag and value, the
    // automatic choices, the edits' texts.
    SET_FORM ReadSetForm() const;

    // Every datagram the socket reads: taken into the table, a new device becomes a row.
    void OnDatagram(const std::uint8_t* datagram, int length, const std::string& sender_address,
                    std::uint16_t sender_port) override;

    CDeviceListView& ListView() const { return *list_view_; }
    // The address of the adapter chosen in IDC_ADAPTER, or empty when none is.
    std::u16string ChosenAdapterAddress() const;

    // The dialog's state, in declaration order.
    std::array<LIST_COLUMN, DEVICE_LIST_COLUMN_COUNT> columns = DEVICE_LIST_COLUMNS;
    CTelvaneSocket socket;
    std::int32_t socket_open = 0;
    // Entries, device_count, sort_toggles, reply_event, set_result and selected_index.
    DEVICE_TABLE table;
    std::int32_t busy = 0;
    std::u16string prefix_text;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;
    bool IsBusy() const override { return busy != 0; }

private:
    // Tests stand in for an enumeration's adapter.
    friend class CTelvaneDlgTestAccess;

    struct MESSAGE_MAP_ENTRY {
        int id;
        NOTIFICATION code;
        void (CTelvaneDlg::*handler)();
    };
    static const MESSAGE_MAP_ENTRY message_map[];

    void AttachDeviceList();
    void ListAdapters();
    void OnAdapterSelChange();
    void OnHeaderItemClick(int column);
    void OnListItemChanged(int row, bool selected);
    void OnListClick(int row);
    // Whether a row's device is reachable from the enumerated adapter, and whom it
    // shares its address with.
    CDeviceListView::ROW_HINTS RowHints(int row) const;

    // The settings panel's radio pairs and the prefix length guard.
    void OnIpv4Dhcp();
    void OnIpv4Static();
    void OnIpv4DnsAuto();
    void OnIpv4DnsManual();
    void OnIpv6Dhcp();
    void OnIpv6Static();
    void OnIpv6DnsAuto();
    void OnIpv6DnsManual();
    void OnPrefixLengthChanged();
    void EnableIpv4AddressBoxes(bool enable);
    void EnableDns4Boxes(bool enable);
    void EnableIpv6AddressEdits(bool enable);
    void EnableDns6Edits(bool enable);
    bool IsEnabledAndChecked(int id) const;
    IPV4_BOX ReadAddressBox(int id) const;
    // Asks before a static address that another device or this computer uses, that is its
    // subnet's network or broadcast address, or whose gateway lies outside its subnet.
    // True to go on.
    bool ConfirmNewAddress(const SET_FORM& form, const SET_SETTINGS& settings);

    std::unique_ptr<CDeviceListView> list_view_;
    // The subnet masks of the adapters offered, entry i for combo entry i (zero: unknown).
    std::array<IPV4, MAX_ADAPTERS> adapter_masks{};
    // The adapter the last enumeration ran on, which the rows' hints are about.
    IPV4 enumerated_address{};
    IPV4 enumerated_mask{};
};

}  // namespace telvane
