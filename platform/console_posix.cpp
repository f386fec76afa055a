#include "platform/console.h"

namespace telvane {

// Terminals here take the program's UTF-8 as it is.
void UseUtf8Console() {}

}  // namespace telvane
