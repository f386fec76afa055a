#pragma once

// UTF-16 texts of the program and the system's wide strings: the same 16-bit units.

#include <algorithm>
#include <string>
#include <string_view>

namespace telvane::win32 {

inline std::wstring ToWide(std::u16string_view text) {
    std::wstring wide(text.size(), L'\0');
    std::transform(text.begin(), text.end(), wide.begin(), [](char16_t c) { return static_cast<wchar_t>(c); });
    return wide;
}

inline std::u16string ToU16(std::wstring_view text) {
    std::u16string out(text.size(), u'\0');
    std::transform(text.begin(), text.end(), out.begin(), [](wchar_t c) { return static_cast<char16_t>(c); });
    return out;
}

}  // namespace telvane::win32
