#pragma once

// Seams for tests: each replaces one answer of the system, and gives it back when
// called with an empty value. Production code never calls them.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/adapters.h"

namespace telvane {

// The adapter list; an empty function restores the system's.
void SetAdapterSourceForTesting(std::function<std::vector<ADAPTER>()> source);

// Moves the tick counter, e.g. to just before the wrap-around.
void SetTickOffsetForTesting(std::uint32_t offset);

// Forces the start-up's answers; std::nullopt restores the real ones.
void SetStartSocketsForTesting(std::optional<bool> answer);
void SetSupportsFullFunctionForTesting(std::optional<bool> answer);
void SetIpv6AvailableForTesting(std::optional<bool> answer);

// Points the /proc/sys readers of network_state.h at a directory laid out like it;
// empty restores it.
void SetProcSysRootForTesting(const std::string& root);

}  // namespace telvane
