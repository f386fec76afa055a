#pragma once

// The command line's road from "set this MAC to these options" to a request: find the
// device in the enumerated table, refuse a locked one, start from the panel as the
// window would show the device, apply the options and run the window's checks. No Qt.

#include <cstdint>
#include <span>
#include <string>

#include "procedures/set_form.h"
#include "procedures/set_options.h"

namespace telvane {

enum class SetPlanKind {
    Ready,          // request built; the device is the table's selection
    NotFound,       // no entry has the MAC
    Locked,         // the device refuses changes; nothing may be sent
    NotApplicable,  // an option the device cannot take (DNS or IPv6 on a device without them)
    BadInput,       // an option of the wrong form, or a failed check (message as the window's)
    CannotKeep,     // no request carries both the change asked for and a setting left out
};

struct SET_PLAN {
    SetPlanKind kind = SetPlanKind::BadInput;
    std::string message;  // for everything but Ready
    std::int32_t index = -1;
    SET_FORM form;  // the panel after the options
    SET_SETTINGS settings;
    SET_REQUEST request;
    // The request differs from the one that would carry the settings the device
    // reported, so sending it would change something. An automatic choice carries no
    // values, so with DHCP on the addresses the device reported do not count.
    bool changed = true;
};

// Settings no option names are sent as the device reported them, read as the device
// means them (automatic DNS with a static address included), not as the window's panel
// shows them. On Ready the found entry becomes table.selected_index, so that the intake
// takes its set reply. Should two entries share the MAC (a device that answered from two
// addresses), the first one found is used.
SET_PLAN PlanDeviceSet(DEVICE_TABLE& table, const MAC& mac, std::span<const SET_OPTION> options);

// The entry with this MAC among the first device_count, or -1.
std::int32_t FindDevice(const DEVICE_TABLE& table, const MAC& mac);

}  // namespace telvane
