#include "procedures/set_plan.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "inventory/row_text.h"
#include "protocol/text.h"

namespace telvane {

namespace {

bool IsDns4Option(std::string_view name) {
    return name == "dns4-auto" || name == "dns4-manual" || name == "dns4";
}

bool IsIpv6Option(std::string_view name) {
    return name == "ipv6-dhcp" || name == "ipv6-static" || name == "ipv6" || name == "prefix" ||
           name == "ipv6-gateway" || name == "dns6-auto" || name == "dns6-manual" || name == "dns6";
}

// Why the device cannot take one of the options; empty when it takes them all. Such an
// option would be dropped from the request, and the device's acceptance would then
// report a change that was never sent.
std::string NotApplicable(const DEVICE_INFO& device, std::span<const SET_OPTION> options) {
    const std::string who = "device " + FormatMac(device.mac);
    for (const SET_OPTION& o : options) {
        const bool dns4 = IsDns4Option(o.name);
        const bool ipv6 = IsIpv6Option(o.name);
        if (!dns4 && !ipv6) continue;
        const std::string what = dns4 ? " does not take DNS settings" : " does not take IPv6 settings";
        if (device.has_extension == 0)
            return "--" + o.name + ": " + who + what + " (it reports no extended description)";
        if (ipv6 && (device.ext_flags & EXT_IPV6) == 0)
            return "--" + o.name + ": " + who + what + " (it reports no IPv6 support)";
    }
    return {};
}

bool Given(std::span<const SET_OPTION> options, std::initializer_list<std::string_view> names) {
    return std::ranges::any_of(options,
                               [&](const SET_OPTION& o) { return std::ranges::find(names, o.name) != names.end(); });
}

// The form as the device reports its settings. The panel counts automatic DNS only
// together with DHCP of its family; a device may report it with a static address too,
// and a setting nobody asked to change must go back as it is.
SET_FORM FormFromReport(const DEVICE_INFO& device) {
    SET_FORM form = SetFormFromDevice(device);
    form.dns4_auto = device.has_extension != 0 && (device.ext_flags & EXT_DNS4_AUTO) != 0;
    form.dns6_auto = HasIpv6(device) && (device.ext_flags & EXT_DNS6_AUTO) != 0;
    return form;
}

// Automatic DNS servers that come with DHCP cannot outlive a request that turns that
// DHCP off: kept automatic, the device may have no servers at all (a combination the
// window never sends); made manual, the leased servers would stay for good. Either is a
// choice the user must make, so the plan asks for it instead of sending one.
std::string CannotKeep(const DEVICE_INFO& device, const SET_FORM& form, std::span<const SET_OPTION> options) {
    const std::string who = "device " + FormatMac(device.mac);
    if (device.has_extension != 0 && device.dhcp != 0 && !form.ipv4_dhcp && (device.ext_flags & EXT_DNS4_AUTO) != 0 &&
        !Given(options, {"dns4-auto", "dns4-manual", "dns4"}))
        return who +
               " takes its IPv4 DNS servers automatically, by DHCP, and a static address turns DHCP off; "
               "say which DNS servers it keeps: --dns4-manual for the ones it reports now (" +
               FormatIpv4(device.dns4_preferred) + ", " + FormatIpv4(device.dns4_alternate) +
               "), --dns4 for others, or --dns4-auto";
    if (HasIpv6(device) && (device.ext_flags & EXT_DHCP6) != 0 && !form.ipv6_dhcp &&
        (device.ext_flags & EXT_DNS6_AUTO) != 0 && !Given(options, {"dns6-auto", "dns6-manual", "dns6"}))
        return who +
               " takes its IPv6 DNS servers automatically, with its IPv6 configuration, and a static IPv6 "
               "address turns that off; say which DNS servers it keeps: --dns6-manual for the ones it reports "
               "now (" +
               FormatIpv6(device.dns6_preferred) + ", " + FormatIpv6(device.dns6_alternate) +
               "), --dns6 for others, or --dns6-auto";
    return {};
}

// The option that sets what a failed check judged.
std::string_view OptionOfFault(SetFormFault fault) {
    switch (fault) {
        case SetFormFault::Ipv4AddressRequired:
        case SetFormFault::Ipv4AddressInvalid:
            return "ip";
        case SetFormFault::Ipv4GatewayInvalid:
            return "gateway";
        case SetFormFault::Ipv4MaskRequired:
            return "mask";
        case SetFormFault::Dns4PreferredInvalid:
        case SetFormFault::Dns4AlternateInvalid:
            return "dns4";
        case SetFormFault::Ipv6AddressRequired:
        case SetFormFault::Ipv6AddressInvalid:
            return "ipv6";
        case SetFormFault::Ipv6GatewayInvalid:
            return "ipv6-gateway";
        case SetFormFault::Dns6PreferredInvalid:
        case SetFormFault::Dns6AlternateInvalid:
            return "dns6";
        case SetFormFault::None:
        case SetFormFault::NoDeviceSelected:
            break;
    }
    return {};
}

// The request that would carry the settings the device reported, read as the device
// means them rather than as the panel shows them: an automatic choice carries no values.
SET_SETTINGS ReportedSettings(const DEVICE_INFO& device) {
    SET_SETTINGS s;
    if (device.dhcp != 0) {
        s.dhcp = 1;
        s.set_flags = SET_DHCP4;
    } else {
        s.ipv4_address = device.ipv4_address;
        s.ipv4_mask = device.ipv4_mask;
        s.ipv4_gateway = device.ipv4_gateway;
    }
    if (device.has_extension == 0) return s;
    if ((device.ext_flags & EXT_DNS4_AUTO) != 0) {
        s.set_flags |= SET_DNS4_AUTO;
    } else {
        s.dns4_preferred = device.dns4_preferred;
        s.dns4_alternate = device.dns4_alternate;
    }
    if ((device.ext_flags & EXT_IPV6) == 0) return s;
    if ((device.ext_flags & EXT_DHCP6) != 0) {
        s.set_flags |= SET_DHCP6;
    } else {
        s.ipv6_address = device.ipv6_address;
        s.ipv6_prefix_length = device.ipv6_prefix_length;
        s.ipv6_gateway = device.ipv6_gateway;
    }
    if ((device.ext_flags & EXT_DNS6_AUTO) != 0) {
        s.set_flags |= SET_DNS6_AUTO;
    } else {
        s.dns6_preferred = device.dns6_preferred;
        s.dns6_alternate = device.dns6_alternate;
    }
    return s;
}

}  // namespace

std::int32_t FindDevice(const DEVICE_TABLE& table, const MAC& mac) {
    for (std::int32_t i = 0; i < table.device_count && static_cast<std::size_t>(i) < table.entries.size(); ++i)
        if (table.entries[static_cast<std::size_t>(i)].mac == mac) return i;
    return -1;
}

SET_PLAN PlanDeviceSet(DEVICE_TABLE& table, const MAC& mac, std::span<const SET_OPTION> options) {
    SET_PLAN plan;
    plan.index = FindDevice(table, mac);
    if (plan.index < 0) {
        plan.kind = SetPlanKind::NotFound;
        plan.message = "no device with MAC " + FormatMac(mac) + " answered";
        return plan;
    }
    const DEVICE_INFO& device = table.entries[static_cast<std::size_t>(plan.index)];
    if (device.locked != 0) {
        // The window disables every control for such a device; the CLI refuses likewise.
        plan.kind = SetPlanKind::Locked;
        plan.message = "device " + FormatMac(mac) + " is locked; its configuration cannot be changed";
        return plan;
    }
    if (std::string why = NotApplicable(device, options); !why.empty()) {
        plan.kind = SetPlanKind::NotApplicable;
        plan.message = std::move(why);
        return plan;
    }
    plan.form = FormFromReport(device);
    if (std::string error = ApplySetOptions(plan.form, options); !error.empty()) {
        plan.kind = SetPlanKind::BadInput;
        plan.message = std::move(error);
        return plan;
    }
    if (std::string why = CannotKeep(device, plan.form, options); !why.empty()) {
        plan.kind = SetPlanKind::CannotKeep;
        plan.message = std::move(why);
        return plan;
    }
    const SET_FORM_CHECK check = CheckSetForm(plan.form, &device);
    if (!check.Ok()) {
        plan.message = std::string(SetFormMessage(check.fault));
        const std::string_view option = OptionOfFault(check.fault);
        if (!option.empty() && !Given(options, {option})) {
            // The value judged is the device's own: it cannot go back in a request.
            plan.kind = SetPlanKind::CannotKeep;
            plan.message += " (device " + FormatMac(mac) + " reports it so, and a request cannot carry it; give --" +
                            std::string(option) + ")";
            return plan;
        }
        plan.kind = SetPlanKind::BadInput;
        return plan;
    }
    plan.kind = SetPlanKind::Ready;
    plan.settings = check.settings;
    plan.request = BuildSetRequest(device, check.settings);
    plan.changed = !std::ranges::equal(BuildSetRequest(device, ReportedSettings(device)).Bytes(), plan.request.Bytes());
    table.selected_index = plan.index;
    return plan;
}

}  // namespace telvane
