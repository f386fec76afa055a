// The window program's start on Windows: the common controls, then the program itself.
// Per-monitor DPI awareness and version 6 of the common controls come from the manifest.

#include <windows.h>

#include <commctrl.h>

#include <functional>

namespace telvane {

int RunApplication(int argc, char** argv, const std::function<int()>& run);

int RunApplication(int, char**, const std::function<int()>& run) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
    return run();
}

}  // namespace telvane
