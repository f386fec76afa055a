#include "ui/dialog_names.h"

#include <algorithm>

namespace telvane {

namespace {

bool NamedByLabel(CONTROL_KIND kind) {
    switch (kind) {
        case CONTROL_KIND::LIST_VIEW:
        case CONTROL_KIND::PROGRESS_BAR:
        case CONTROL_KIND::IPV4_ADDRESS:
        case CONTROL_KIND::DROP_DOWN_LIST:
        case CONTROL_KIND::EDIT:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::vector<DLG_ACCESSIBLE_NAME> ControlNames(const DLG_TEMPLATE& dialog_template) {
    const auto items = dialog_template.items;
    std::vector<DLG_ACCESSIBLE_NAME> names;
    for (std::size_t i = 0; i + 1 < items.size(); ++i) {
        if (items[i].kind == CONTROL_KIND::LABEL && NamedByLabel(items[i + 1].kind))
            names.push_back({items[i + 1].id, items[i].id, nullptr});
    }
    for (const DLG_ACCESSIBLE_NAME& name : dialog_template.accessible_names) {
        const auto same = std::find_if(names.begin(), names.end(), [&name](const DLG_ACCESSIBLE_NAME& n) {
            return n.control_id == name.control_id;
        });
        if (same != names.end())
            *same = name;
        else
            names.push_back(name);
    }
    return names;
}

}  // namespace telvane
