#pragma once

// What names each control of a dialog for assistive technology, on every toolkit.

#include <vector>

#include "ui/dialog_template.h"

namespace telvane {

// The controls that show no caption of their own (lists, address boxes, drop-down lists,
// edits, progress bars), each with the label or text that names it: the label placed right
// before it in template order, as the Windows dialog manager derives names, unless the
// template's accessible_names say otherwise. Controls with a caption name themselves.
std::vector<DLG_ACCESSIBLE_NAME> ControlNames(const DLG_TEMPLATE& dialog_template);

}  // namespace telvane
