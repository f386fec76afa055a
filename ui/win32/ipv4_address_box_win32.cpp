#include "ui/win32/ipv4_address_box_win32.h"

#include <commctrl.h>

namespace telvane {

void CIpv4AddressBox::SetAddress(std::uint32_t address) {
    SendMessageW(control_, IPM_SETADDRESS, 0, static_cast<LPARAM>(address));
}

void CIpv4AddressBox::ClearAddress() {
    SendMessageW(control_, IPM_CLEARADDRESS, 0, 0);
}

bool CIpv4AddressBox::IsBlank() const {
    return SendMessageW(control_, IPM_ISBLANK, 0, 0) != 0;
}

int CIpv4AddressBox::GetAddress(std::uint32_t& address) const {
    DWORD value = 0;
    const LRESULT filled = SendMessageW(control_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    address = value;
    return static_cast<int>(filled);
}

}  // namespace telvane
