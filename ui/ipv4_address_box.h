#pragma once

// The window's side of the platform layer: the system's own controls on Windows, Qt
// Widgets elsewhere. Both sides offer the same calls to the application.

#if defined(_WIN32)
#include "ui/win32/ipv4_address_box_win32.h"
#else
#include "ui/qt/ipv4_address_box_qt.h"
#endif
