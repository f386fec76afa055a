#include "net/console.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>

#include "net/wide_text.h"

namespace telvane {

namespace {

UINT previous_output_page = 0;

void RestoreOutputPage() {
    if (previous_output_page != 0) SetConsoleOutputCP(previous_output_page);
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
    std::vector<std::string> out;
    for (int i = 1; i < count; ++i) out.push_back(win32::ToUtf8(wide[i]));
    LocalFree(wide);
    return out;
}

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
