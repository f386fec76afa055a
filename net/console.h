#pragma once

// The command line prints UTF-8 (device names, JSON). A Linux terminal takes it as it is;
// a Windows console shows it only with its output code page set to UTF-8.

#include <string>
#include <vector>

namespace telvane {

// The program's arguments after its name, in UTF-8. Windows hands main() its arguments in
// the ANSI code page, which cannot hold every file name; there they come from the wide
// command line instead. Elsewhere they are argv as it is.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes the console, if any, show UTF-8 until the program ends; the console's own code
// page comes back at exit.
void UseUtf8Console();

}  // namespace telvane
