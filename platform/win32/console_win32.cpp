#include "platform/console.h"

#include <windows.h>

#include <cstdlib>

namespace telvane {

namespace {

UINT previous_output_page = 0;

void RestoreOutputPage() {
    if (previous_output_page != 0) SetConsoleOutputCP(previous_output_page);
}

}  // namespace

void UseUtf8Console() {
    // Without a console (output to a file or a pipe) the bytes go out as they are.
    if (GetConsoleWindow() == nullptr || previous_output_page != 0) return;
    const UINT page = GetConsoleOutputCP();
    if (page == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    // The console outlives the program: leave it as it was found.
    previous_output_page = page;
    std::atexit(RestoreOutputPage);
}

}  // namespace telvane
