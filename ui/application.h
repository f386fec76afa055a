#pragma once

// The program's start on each platform: the toolkit or the common controls are made ready,
// then run() runs the application and its result is the program's exit status.

#include <functional>

namespace telvane {

int RunApplication(int argc, char** argv, const std::function<int()>& run);

}  // namespace telvane
