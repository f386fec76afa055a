#pragma once

// UTF-16 texts of the program and the system's wide strings: the same 16-bit units; and
// the system's wide strings to and from the UTF-8 of the command line and the diagnostics.

#include <windows.h>

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

// Empty for a null or empty text.
inline std::string ToUtf8(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

inline std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

}  // namespace telvane::win32
