#pragma once

// The four-field IPv4 address box: the common controls' IP address control. Blank (all
// four fields empty) is a state of its own, distinct from 0.0.0.0. The address is 32 bits
// with the first field most significant; a field left empty in a box that is not blank
// counts as 0.

#include <windows.h>

#include <cstdint>
#include <functional>

namespace telvane {

class CIpv4AddressBox final {
public:
    // control: a SysIPAddress32 window; the box does not own it.
    explicit CIpv4AddressBox(HWND control) : control_(control) {}
    CIpv4AddressBox(const CIpv4AddressBox&) = delete;
    CIpv4AddressBox& operator=(const CIpv4AddressBox&) = delete;

    // IPM_SETADDRESS
    void SetAddress(std::uint32_t address);
    // IPM_CLEARADDRESS: all four fields empty.
    void ClearAddress();
    // IPM_ISBLANK
    bool IsBlank() const;
    // IPM_GETADDRESS: fills address (empty fields as 0) and returns how many fields are not
    // empty.
    int GetAddress(std::uint32_t& address) const;

    // Called whenever a field's text changes, by the user or by the calls above (the
    // control's EN_CHANGE, which the dialog hands on through Changed).
    void SetChangedHandler(std::function<void()> handler) { changed_ = std::move(handler); }
    void Changed() const {
        if (changed_) changed_();
    }

    HWND Hwnd() const { return control_; }

private:
    HWND control_;
    std::function<void()> changed_;
};

}  // namespace telvane
