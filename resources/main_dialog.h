#pragma once

// The program's resources: the main dialog's template with its initialisation data and
// the string table. The program icon is the platform's (IDR_MAINFRAME).

#include <string>

#include "ui/dialog_template.h"
#include "resources/resource.h"

namespace telvane {

// Dialog 102.
const DLG_TEMPLATE& MainDialogTemplate();

// A string of the string table; empty for an ID it does not hold.
std::u16string LoadString(int id);

}  // namespace telvane
