#pragma once

// The settings a user asks for, as the panel holds them, and their checks. The window
// and the command line read their input into a SET_FORM and both run CheckSetForm, so
// they refuse the same input with the same message. No Qt in here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "inventory/device_info.h"
#include "protocol/messages.h"

namespace telvane {

// A four-field IPv4 address box: blank (all fields empty) is distinct from 0.0.0.0.
// value has the first (leftmost) field in its most significant byte; a field left empty
// in a box that is not blank counts as 0.
struct IPV4_BOX {
    bool blank = true;
    std::uint32_t value = 0;

    static IPV4_BOX Of(const IPV4& address);
    IPV4 Address() const;
    bool operator==(const IPV4_BOX&) const = default;
};

// The panel's state as the set procedure reads it. The bools are the automatic choice of
// each radio pair (checked = automatic). IPv6 fields are the edits' texts as typed.
struct SET_FORM {
    bool ipv4_dhcp = false;
    IPV4_BOX ipv4_address;
    IPV4_BOX ipv4_gateway;
    IPV4_BOX ipv4_mask;

    bool dns4_auto = false;
    IPV4_BOX dns4_preferred;
    IPV4_BOX dns4_alternate;

    bool ipv6_dhcp = false;
    std::u16string ipv6_address;
    std::u16string ipv6_prefix_length;
    std::u16string ipv6_gateway;

    bool dns6_auto = false;
    std::u16string dns6_preferred;
    std::u16string dns6_alternate;

    bool operator==(const SET_FORM&) const = default;
};

// The first check a form fails, in the order the checks run.
enum class SetFormFault {
    None,
    Ipv4AddressRequired,
    Ipv4AddressInvalid,
    Ipv4GatewayInvalid,
    Ipv4MaskRequired,
    Dns4PreferredInvalid,
    Dns4AlternateInvalid,
    Ipv6AddressRequired,
    Ipv6AddressInvalid,
    Ipv6GatewayInvalid,
    Dns6PreferredInvalid,
    Dns6AlternateInvalid,
    NoDeviceSelected,
};

// The message the user sees for a fault; empty for None.
std::string_view SetFormMessage(SetFormFault fault);

struct SET_FORM_CHECK {
    SetFormFault fault = SetFormFault::None;
    SET_SETTINGS settings;  // meaningful only when fault is None

    bool Ok() const { return fault == SetFormFault::None; }
};

// Checks the form for the selected device (nullptr: none selected) and composes the
// request's values. The DNS and IPv6 parts are read only for a device with the extension,
// the IPv6 part only when it also has EXT_IPV6; everything not read stays zero. IPv6 texts
// are parsed numerically only (a scope suffix is dropped), so checking never waits on a
// name service.
[[nodiscard]] SET_FORM_CHECK CheckSetForm(const SET_FORM& form, const DEVICE_INFO* selected);

// The panel as SelectDevice fills it for this device, before the user changes anything.
SET_FORM SetFormFromDevice(const DEVICE_INFO& device);

// A built set request: MSG_SET_BASIC (24 bytes) or MSG_SET_EXTENDED (97 bytes).
struct SET_REQUEST {
    std::array<std::uint8_t, SET_EXTENDED_SIZE> bytes{};
    std::size_t size = 0;

    std::span<const std::uint8_t> Bytes() const { return std::span(bytes).first(size); }
};

// The form of the request depends only on whether the entry holds the extension.
SET_REQUEST BuildSetRequest(const DEVICE_INFO& entry, const SET_SETTINGS& settings);

}  // namespace telvane
