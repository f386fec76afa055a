#include "procedures/set_plan.h"

#include "protocol/text.h"

namespace telvane {

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
    plan.form = SetFormFromDevice(device);
    if (std::string error = ApplySetOptions(plan.form, options); !error.empty()) {
        plan.kind = SetPlanKind::BadInput;
        plan.message = std::move(error);
        return plan;
    }
    const SET_FORM_CHECK check = CheckSetForm(plan.form, &device);
    if (!check.Ok()) {
        plan.kind = SetPlanKind::BadInput;
        plan.message = std::string(SetFormMessage(check.fault));
        return plan;
    }
    plan.kind = SetPlanKind::Ready;
    plan.settings = check.settings;
    plan.request = BuildSetRequest(device, check.settings);
    table.selected_index = plan.index;
    return plan;
}

}  // namespace telvane
