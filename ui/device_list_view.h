#pragma once

// The window's side of the platform layer: the system's own controls on Windows, Qt
// Widgets elsewhere. Both sides offer the same calls to the application.

#if defined(_WIN32)
#include "ui/win32/device_list_view_win32.h"
#else
#include "ui/qt/device_list_view_qt.h"
#endif
