#pragma once

// A dialog described by one table: the window, then its controls in template order
// (which is also the tab order). Positions and sizes are dialog units, which the
// dialog converts with the metrics of the font it really uses.

#include <cstdint>
#include <span>

// Windows' own headers define IDOK and IDCANCEL (and the A/W names of the dialog calls) as
// macros: every file that sees a dialog sees them, so the names stay the same throughout.
#if defined(_WIN32)
#include <windows.h>
#endif

namespace telvane {

#if !defined(_WIN32)
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
#endif
inline constexpr int IDC_STATIC = -1;

enum class CONTROL_KIND : std::uint8_t {
    LABEL,
    LIST_VIEW,     // report view, single selection
    PROGRESS_BAR,  // smooth
    GROUP_FRAME,   // a frame with an optional caption; holds no controls
    RADIO_BUTTON,  // automatic: a click checks it and clears the rest of its group
    IPV4_ADDRESS,  // four-field address box
    PUSH_BUTTON,
    DEFAULT_PUSH_BUTTON,
    DROP_DOWN_LIST,  // not editable, not sorted
    EDIT,            // single line, scrolls horizontally
};

struct DLG_ITEM_TEMPLATE {
    int id;
    CONTROL_KIND kind;
    const char* text;  // UTF-8; empty for none
    int x, y, cx, cy;  // dialog units
    bool enabled;
    bool visible;
    bool group;  // starts a group: a radio button with it opens a new radio group
    bool tab_stop;
};

// One entry of the dialog-initialisation data: a string added to a combo box.
struct DLG_INIT_ENTRY {
    int control_id;
    const char* text;  // UTF-8
};

// A name for assistive technology beyond the one the system derives (the label placed
// right before a control in template order): a label elsewhere in the template
// (label_id), or a text of its own when no label says what the control is.
struct DLG_ACCESSIBLE_NAME {
    int control_id;
    int label_id;      // 0 when text names it
    const char* text;  // UTF-8; nullptr when label_id names it
};

struct DLG_TEMPLATE {
    int id;
    const char* title;  // UTF-8
    int cx, cy;         // client area, dialog units
    const char* font_family;
    int font_point_size;
    std::span<const DLG_ITEM_TEMPLATE> items;
    std::span<const DLG_INIT_ENTRY> init_data;
    std::span<const DLG_ACCESSIBLE_NAME> accessible_names = {};
};

}  // namespace telvane
