#include "procedures/set_form.h"

#include <algorithm>
#include <optional>

#include "inventory/row_text.h"
#include "protocol/text.h"
#include "protocol/wire.h"

namespace telvane {

namespace {

constexpr std::uint32_t ALL_ONES = 0xFFFFFFFFu;

std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// Reads one IPv6 edit. An empty text is "not given"; anything else must parse.
struct Ipv6Field {
    bool empty = true;
    std::optional<IPV6> address;
};

Ipv6Field ReadIpv6(const std::u16string& text) {
    if (text.empty()) return {};
    return {false, ParseIpv6(text)};
}

}  // namespace

IPV4_BOX IPV4_BOX::Of(const IPV4& address) {
    return {false, Ipv4HostOrder(address)};
}

IPV4 IPV4_BOX::Address() const {
    return Ipv4FromHostOrder(value);
}

std::string_view SetFormMessage(SetFormFault fault) {
    switch (fault) {
        case SetFormFault::None:
            return {};
        case SetFormFault::Ipv4AddressRequired:
            return "IPv4 address is required.";
        case SetFormFault::Ipv4AddressInvalid:
            return "IPv4 address is invalid.";
        case SetFormFault::Ipv4GatewayInvalid:
            return "IPv4 gateway address is invalid.";
        case SetFormFault::Ipv4MaskRequired:
            return "IPv4 subnet mask is required.";
        case SetFormFault::Dns4PreferredInvalid:
            return "Preferred IPv4 DNS address is invalid.";
        case SetFormFault::Dns4AlternateInvalid:
            return "Alternate IPv4 DNS address is invalid.";
        case SetFormFault::Ipv6AddressRequired:
            return "IPv6 address is required.";
        case SetFormFault::Ipv6AddressInvalid:
            return "IPv6 address is invalid.";
        case SetFormFault::Ipv6GatewayInvalid:
            return "IPv6 gateway address is invalid.";
        case SetFormFault::Dns6PreferredInvalid:
            return "Preferred IPv6 DNS address is invalid.";
        case SetFormFault::Dns6AlternateInvalid:
            return "Alternate IPv6 DNS address is invalid.";
        case SetFormFault::NoDeviceSelected:
            return "Please select device first.";
    }
    return {};
}

SET_FORM_CHECK CheckSetForm(const SET_FORM& form, const DEVICE_INFO* selected) {
    SET_FORM_CHECK out;
    SET_SETTINGS& s = out.settings;
    const auto fail = [&out](SetFormFault fault) {
        out.fault = fault;
        out.settings = {};
        return out;
    };

    // IPv4 address choice. With DHCP the boxes are not read.
    if (form.ipv4_dhcp) {
        s.dhcp = 1;
        s.set_flags = SET_DHCP4;
    } else {
        if (form.ipv4_address.blank) return fail(SetFormFault::Ipv4AddressRequired);
        if (form.ipv4_address.value == 0 || form.ipv4_address.value == ALL_ONES)
            return fail(SetFormFault::Ipv4AddressInvalid);
        s.ipv4_address = form.ipv4_address.Address();
        // A blank gateway box reads as 0.0.0.0 and is accepted.
        const std::uint32_t gateway = form.ipv4_gateway.blank ? 0 : form.ipv4_gateway.value;
        if (gateway == ALL_ONES) return fail(SetFormFault::Ipv4GatewayInvalid);
        s.ipv4_gateway = IPV4_BOX{false, gateway}.Address();
        if (form.ipv4_mask.blank) return fail(SetFormFault::Ipv4MaskRequired);
        s.ipv4_mask = form.ipv4_mask.Address();
    }

    // The extended part: only a device that reported the extension gets it.
    if (selected != nullptr && selected->has_extension != 0) {
        if (form.dns4_auto) {
            s.set_flags |= SET_DNS4_AUTO;
        } else {
            if (!form.dns4_preferred.blank) {
                if (form.dns4_preferred.value == ALL_ONES) return fail(SetFormFault::Dns4PreferredInvalid);
                s.dns4_preferred = form.dns4_preferred.Address();
            }
            if (!form.dns4_alternate.blank) {
                if (form.dns4_alternate.value == ALL_ONES) return fail(SetFormFault::Dns4AlternateInvalid);
                s.dns4_alternate = form.dns4_alternate.Address();
            }
        }

        if ((selected->ext_flags & EXT_IPV6) != 0) {
            if (form.ipv6_dhcp) {
                s.set_flags |= SET_DHCP6;
            } else {
                const Ipv6Field address = ReadIpv6(form.ipv6_address);
                if (address.empty) return fail(SetFormFault::Ipv6AddressRequired);
                if (!address.address) return fail(SetFormFault::Ipv6AddressInvalid);
                s.ipv6_address = *address.address;
                // Not a number (an empty edit included) reads as 0; the request has 8 bits.
                const auto prefix = ParseDialogInteger(form.ipv6_prefix_length, false);
                s.ipv6_prefix_length = static_cast<std::uint8_t>(prefix.value_or(0) & 0xFF);
                const Ipv6Field gateway = ReadIpv6(form.ipv6_gateway);
                if (!gateway.empty) {
                    if (!gateway.address) return fail(SetFormFault::Ipv6GatewayInvalid);
                    s.ipv6_gateway = *gateway.address;
                }
            }
            if (form.dns6_auto) {
                s.set_flags |= SET_DNS6_AUTO;
            } else {
                const Ipv6Field preferred = ReadIpv6(form.dns6_preferred);
                if (!preferred.empty) {
                    if (!preferred.address) return fail(SetFormFault::Dns6PreferredInvalid);
                    s.dns6_preferred = *preferred.address;
                }
                const Ipv6Field alternate = ReadIpv6(form.dns6_alternate);
                if (!alternate.empty) {
                    if (!alternate.address) return fail(SetFormFault::Dns6AlternateInvalid);
                    s.dns6_alternate = *alternate.address;
                }
            }
        }
    }

    // Checked last, so that with no selection the address messages still come first.
    if (selected == nullptr) return fail(SetFormFault::NoDeviceSelected);
    return out;
}

SET_FORM SetFormFromDevice(const DEVICE_INFO& e) {
    SET_FORM f;
    const bool dhcp = e.dhcp != 0;
    const bool extended = e.has_extension != 0;
    const bool ipv6 = HasIpv6(e);

    f.ipv4_dhcp = dhcp;
    f.ipv4_address = IPV4_BOX::Of(e.ipv4_address);
    f.ipv4_mask = IPV4_BOX::Of(e.ipv4_mask);
    f.ipv4_gateway = IPV4_BOX::Of(e.ipv4_gateway);

    f.dns4_auto = extended && dhcp && (e.ext_flags & EXT_DNS4_AUTO) != 0;
    if (extended) {
        f.dns4_preferred = IPV4_BOX::Of(e.dns4_preferred);
        f.dns4_alternate = IPV4_BOX::Of(e.dns4_alternate);
    }

    if (ipv6) {
        const bool dhcp6 = (e.ext_flags & EXT_DHCP6) != 0;
        f.ipv6_dhcp = dhcp6;
        f.ipv6_address = Ipv6Text(e.ipv6_address);
        f.ipv6_prefix_length = Ascii(std::to_string(e.ipv6_prefix_length));
        f.ipv6_gateway = Ipv6Text(e.ipv6_gateway);
        f.dns6_auto = dhcp6 && (e.ext_flags & EXT_DNS6_AUTO) != 0;
        f.dns6_preferred = Ipv6Text(e.dns6_preferred);
        f.dns6_alternate = Ipv6Text(e.dns6_alternate);
    }
    return f;
}

SET_REQUEST BuildSetRequest(const DEVICE_INFO& entry, const SET_SETTINGS& settings) {
    SET_REQUEST out;
    if (entry.has_extension != 0) {
        const auto bytes = BuildSetExtended(entry.mac, settings);
        std::copy(bytes.begin(), bytes.end(), out.bytes.begin());
        out.size = bytes.size();
    } else {
        const auto bytes = BuildSetBasic(entry.mac, settings);
        std::copy(bytes.begin(), bytes.end(), out.bytes.begin());
        out.size = bytes.size();
    }
    return out;
}

}  // namespace telvane
