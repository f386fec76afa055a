#pragma once

// The control notifications a dialog routes to its handlers, the same on every platform.

#include <cstdint>

namespace telvane {

// Control notifications, routed to handlers by control ID.
enum class NOTIFICATION : std::uint8_t {
    CLICKED,           // BN_CLICKED: push buttons and radio buttons, by the user
    SELECTION_CHANGE,  // CBN_SELCHANGE: a drop-down list, by the user
    CHANGE,            // EN_CHANGE: an edit's or address box's text, by the user or in code
};

}  // namespace telvane
