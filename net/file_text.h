#pragma once

// Reading a whole file the user named, on either system.

#include <optional>
#include <string>

namespace telvane {

// The bytes of the file at path (UTF-8, so that any name opens on Windows too, whatever
// the ANSI code page holds), unchanged; empty when it cannot be opened or read, a
// directory included.
[[nodiscard]] std::optional<std::string> ReadFileText(const std::string& path);

}  // namespace telvane
