#include "tests/app_netns/window_fixture.h"

#include <QtWidgets/QTreeWidget>

#include <optional>

#include "net/system_checks.h"
#include "net/testing.h"
#include "protocol/text.h"
#include "ui/ipv4_address_box.h"
#include "ui/message_box.h"
#include "ui/testing.h"

namespace telvane::netns {

void WindowNetnsTest::SetUp() {
    NetnsTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    SetMessageBoxHookForTesting([this](const std::u16string& text) { messages.push_back(text); });
    SetIpv6AvailableForTesting(true);
    SetSupportsFullFunctionForTesting(true);
}

void WindowNetnsTest::TearDown() {
    SetMessageBoxHookForTesting({});
    SetIpv6AvailableForTesting(std::nullopt);
    SetSupportsFullFunctionForTesting(std::nullopt);
}

int WindowNetnsTest::Rows(const CTelvaneDlg& dialog) {
    return dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST))->topLevelItemCount();
}

bool WindowNetnsTest::Lists(const CTelvaneDlg& dialog, const std::string& mac) {
    for (std::int32_t i = 0; i < dialog.table.device_count; ++i) {
        if (FormatMac(dialog.table.entries[static_cast<std::size_t>(i)].mac) == mac) return true;
    }
    return false;
}

std::vector<int> WindowNetnsTest::EnabledActions(const CTelvaneDlg& dialog) {
    std::vector<int> out;
    for (const int id : ACTION_CONTROLS) {
        if (dialog.IsDlgItemEnabled(id)) out.push_back(id);
    }
    return out;
}

std::uint32_t WindowNetnsTest::Address(const CTelvaneDlg& dialog, int id) {
    std::uint32_t address = 0;
    dialog.GetAddressBox(id)->GetAddress(address);
    return address;
}

}  // namespace telvane::netns
