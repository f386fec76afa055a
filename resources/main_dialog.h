#pragma once

// The program's resources: the main dialog's template with its initialisation data,
// the string table and the program icon.

#include <QtGui/QIcon>

#include <string>

#include "platform/dialog_template.h"
#include "resources/resource.h"

namespace telvane {

// Dialog 102.
const DLG_TEMPLATE& MainDialogTemplate();

// A string of the string table; empty for an ID it does not hold.
std::u16string LoadString(int id);

// Icon group 128 in every size drawn for it.
QIcon LoadProgramIcon();

}  // namespace telvane
