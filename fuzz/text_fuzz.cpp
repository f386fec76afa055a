// The text parsers that user input and device texts go through.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);

    // 8-bit device texts decode, and survive a trip through UTF-8.
    const std::u16string decoded = telvane::DecodeAnsi(bytes);
    if (decoded.size() > size) std::abort();
    if (telvane::FromUtf8(telvane::ToUtf8(decoded)) != decoded) std::abort();

    const std::string narrow(reinterpret_cast<const char*>(data), size);
    const std::u16string wide = telvane::FromUtf8(narrow);

    // A parsed IPv6 address formats to a text that parses back to the same address.
    if (const auto v6 = telvane::ParseIpv6(wide)) {
        const auto again = telvane::ParseIpv6(telvane::FromUtf8(telvane::FormatIpv6(*v6)));
        if (!again || *again != *v6) std::abort();
    }
    if (const auto v4 = telvane::ParseIpv4(narrow)) {
        if (telvane::ParseIpv4(telvane::FormatIpv4(*v4)) != v4) std::abort();
    }
    if (const auto mac = telvane::ParseMac(narrow)) {
        if (telvane::ParseMac(telvane::FormatMac(*mac)) != mac) std::abort();
    }
    for (bool allow_sign : {false, true}) {
        if (const auto v = telvane::ParseDialogInteger(wide, allow_sign)) {
            if (!allow_sign && (*v < 0 || *v > 0xFFFFFFFFll)) std::abort();
            if (allow_sign && (*v < -0x80000000ll || *v > 0x7FFFFFFFll)) std::abort();
        }
    }
    return 0;
}
