#pragma once

// The system's own list of adapters, one implementation per system (adapters_posix.cpp,
// win32/adapters_win32.cpp); QueryAdapters() asks it unless a test has replaced it.

#include <vector>

#include "net/adapters.h"

namespace telvane {

// Every adapter in the system's order, with its first IPv4 address.
std::vector<ADAPTER> QuerySystemAdapters();

}  // namespace telvane
