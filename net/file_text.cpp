#include "net/file_text.h"

#include <filesystem>
#include <fstream>
#include <ios>
#include <iterator>

namespace telvane {

std::optional<std::string> ReadFileText(const std::string& path) {
    std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!file) return std::nullopt;
    // A directory opens like a file; the library throws when it is read.
    try {
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (file.bad()) return std::nullopt;
        return text;
    } catch (const std::ios_base::failure&) {
        return std::nullopt;
    }
}

}  // namespace telvane
