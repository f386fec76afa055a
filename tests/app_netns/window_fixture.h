#pragma once

// The main window against simulated devices: the start-up checks answer as on a system
// with IPv6, and message boxes are recorded instead of shown.

#include <cstdint>
#include <string>
#include <vector>

#include "app/telvane_dlg.h"
#include "resources/resource.h"
#include "tests/netns/harness.h"

namespace telvane::netns {

// The nine controls a procedure locks, in their order.
inline constexpr int ACTION_CONTROLS[] = {IDC_EXIT,     IDC_ENUMERATE,  IDC_IPV4_DHCP,   IDC_IPV4_STATIC, IDC_ADAPTER,
                                          IDC_PROTOCOL, IDC_IPV4_GROUP, IDC_DEVICE_LIST, IDC_SET_IP};

class WindowNetnsTest : public NetnsTest {
protected:
    std::vector<std::u16string> messages;

    void SetUp() override;
    void TearDown() override;

    // Rows of the device list.
    static int Rows(const CTelvaneDlg& dialog);
    // Whether the table holds a device with this MAC ("00-1a-2b-3c-4d-5e").
    static bool Lists(const CTelvaneDlg& dialog, const std::string& mac);
    // The action controls that are enabled, in their order.
    static std::vector<int> EnabledActions(const CTelvaneDlg& dialog);
    // The address an IPv4 box shows (0 when blank).
    static std::uint32_t Address(const CTelvaneDlg& dialog, int id);
};

}  // namespace telvane::netns
