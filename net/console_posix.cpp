#include "net/console.h"

namespace telvane {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

// Terminals here take the program's UTF-8 as it is.
void UseUtf8Console() {}

}  // namespace telvane
