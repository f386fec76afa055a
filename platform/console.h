#pragma once

// The command line prints UTF-8 (device names, JSON). A Linux terminal takes it as it is;
// a Windows console shows it only with its output code page set to UTF-8.

namespace telvane {

// Makes the console, if any, show UTF-8 until the program ends; the console's own code
// page comes back at exit.
void UseUtf8Console();

}  // namespace telvane
