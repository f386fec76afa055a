#include "protocol/text.h"

#include <array>
#include <cstdio>
#include <vector>

namespace telvane {

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;

// Windows-1252 0x80..0x9F; 0 marks the five bytes that have no character.
constexpr std::array<char16_t, 32> CP1252_HIGH = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// Decodes one UTF-8 sequence at i; returns its length, or 0 when it is malformed.
std::size_t DecodeUtf8At(std::span<const std::uint8_t> b, std::size_t i, char32_t& cp) {
    const std::uint8_t c = b[i];
    std::size_t n = 0;
    char32_t min = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        n = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (n > b.size() - i) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const std::uint8_t cc = b[i + k];
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Parses a dotted IPv4 tail of an IPv6 text into 4 bytes.
bool ParseDottedTail(std::u16string_view s, std::uint8_t* out) {
    std::string narrow;
    for (char16_t c : s) {
        if (c > 0x7F) return false;
        narrow.push_back(static_cast<char>(c));
    }
    const auto v4 = ParseIpv4(narrow);
    if (!v4) return false;
    for (int i = 0; i < 4; ++i) out[i] = (*v4)[static_cast<std::size_t>(i)];
    return true;
}

}  // namespace

std::u16string DecodeAnsi(std::span<const std::uint8_t> bytes) {
    std::u16string utf8;
    utf8.reserve(bytes.size());
    bool valid = true;
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const std::size_t n = DecodeUtf8At(bytes, i, cp);
        if (n == 0) {
            valid = false;
            break;
        }
        AppendCodePoint(utf8, cp);
        i += n;
    }
    if (valid) return utf8;

    std::u16string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) {
        if (b >= 0x80 && b <= 0x9F) {
            const char16_t c = CP1252_HIGH[b - 0x80u];
            out.push_back(c != 0 ? c : REPLACEMENT);
        } else {
            out.push_back(static_cast<char16_t>(b));
        }
    }
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = REPLACEMENT;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    const std::span<const std::uint8_t> b(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < b.size();) {
        char32_t cp = 0;
        const std::size_t n = DecodeUtf8At(b, i, cp);
        if (n == 0) {
            out.push_back(REPLACEMENT);
            ++i;
        } else {
            AppendCodePoint(out, cp);
            i += n;
        }
    }
    return out;
}

std::string FormatMac(const MAC& mac) {
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return buf;
}

std::optional<MAC> ParseMac(std::string_view text) {
    std::vector<int> digits;
    std::optional<char> separator;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const int v = HexValue(static_cast<char16_t>(static_cast<unsigned char>(c)));
        if (v >= 0) {
            digits.push_back(v);
            continue;
        }
        if (c != '-' && c != ':') return std::nullopt;
        if (separator && *separator != c) return std::nullopt;
        separator = c;
        // A separator must follow each full byte except the last.
        if (digits.size() % 2 != 0 || digits.empty() || digits.size() >= 12) return std::nullopt;
        if (i + 1 < text.size() && (text[i + 1] == '-' || text[i + 1] == ':')) return std::nullopt;
    }
    if (digits.size() != 12) return std::nullopt;
    if (separator && (text.size() != 17)) return std::nullopt;
    MAC mac{};
    for (std::size_t k = 0; k < 6; ++k) mac[k] = static_cast<std::uint8_t>(digits[2 * k] * 16 + digits[2 * k + 1]);
    return mac;
}

std::string FormatIpv4(const IPV4& a) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    return buf;
}

std::optional<IPV4> ParseIpv4(std::string_view text) {
    IPV4 out{};
    std::size_t field = 0;
    std::size_t i = 0;
    while (true) {
        unsigned value = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            if (++digits > 3) return std::nullopt;
            ++i;
        }
        if (digits == 0 || value > 255) return std::nullopt;
        out[field++] = static_cast<std::uint8_t>(value);
        if (field == 4) break;
        if (i >= text.size() || text[i] != '.') return std::nullopt;
        ++i;
    }
    if (i != text.size()) return std::nullopt;
    return out;
}

std::string FormatIpv6(const IPV6& a) {
    std::array<unsigned, 8> g{};
    for (std::size_t i = 0; i < 8; ++i) g[i] = (unsigned{a[2 * i]} << 8) | a[2 * i + 1];

    // IPv4-mapped addresses keep their dotted tail, as the platform's own formatting does.
    const bool mapped = g[0] == 0 && g[1] == 0 && g[2] == 0 && g[3] == 0 && g[4] == 0 && g[5] == 0xFFFF;
    if (mapped) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "::ffff:%u.%u.%u.%u", a[12], a[13], a[14], a[15]);
        return buf;
    }

    int best_start = -1, best_len = 0;
    for (int i = 0; i < 8;) {
        if (g[static_cast<std::size_t>(i)] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && g[static_cast<std::size_t>(j)] == 0) ++j;
        if (j - i > best_len) best_start = i, best_len = j - i;
        i = j;
    }
    if (best_len < 2) best_start = -1;

    std::string out;
    for (int i = 0; i < 8; ++i) {
        if (i == best_start) {
            out += "::";
            i += best_len - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':') out += ':';
        char buf[8];
        std::snprintf(buf, sizeof buf, "%x", g[static_cast<std::size_t>(i)]);
        out += buf;
    }
    return out;
}

std::optional<IPV6> ParseIpv6(std::u16string_view text) {
    // Drop a scope suffix; an empty scope is not a scope.
    if (const auto pct = text.find(u'%'); pct != std::u16string_view::npos) {
        if (pct + 1 >= text.size()) return std::nullopt;
        text = text.substr(0, pct);
    }
    if (text.empty() || text.size() > 45) return std::nullopt;

    std::array<std::uint8_t, 16> head{}, tail{};
    std::size_t head_len = 0, tail_len = 0;
    bool compressed = false;
    std::size_t i = 0;
    if (text.starts_with(u"::")) {
        compressed = true;
        i = 2;
    } else if (text[0] == u':') {
        return std::nullopt;
    }

    while (i < text.size()) {
        std::array<std::uint8_t, 16>& dst = compressed ? tail : head;
        std::size_t& len = compressed ? tail_len : head_len;
        // A dotted IPv4 tail ends the address.
        const auto rest = text.substr(i);
        const auto colon = rest.find(u':');
        const auto dot = rest.find(u'.');
        if (dot != std::u16string_view::npos && colon == std::u16string_view::npos) {
            if (len + 4 > 16) return std::nullopt;
            if (!ParseDottedTail(rest, dst.data() + len)) return std::nullopt;
            len += 4;
            i = text.size();
            break;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (i < text.size() && HexValue(text[i]) >= 0) {
            value = (value << 4) | static_cast<unsigned>(HexValue(text[i]));
            if (++digits > 4) return std::nullopt;
            ++i;
        }
        if (digits == 0) return std::nullopt;
        if (len + 2 > 16) return std::nullopt;
        dst[len++] = static_cast<std::uint8_t>(value >> 8);
        dst[len++] = static_cast<std::uint8_t>(value & 0xFF);
        if (i == text.size()) break;
        if (text[i] != u':') return std::nullopt;
        ++i;
        if (i < text.size() && text[i] == u':') {
            if (compressed) return std::nullopt;  // a second "::"
            compressed = true;
            ++i;
        } else if (i == text.size()) {
            return std::nullopt;  // a single trailing ':'
        }
    }

    IPV6 out{};
    if (compressed) {
        if (head_len + tail_len > 14) return std::nullopt;  // "::" stands for at least one group
        for (std::size_t k = 0; k < head_len; ++k) out[k] = head[k];
        for (std::size_t k = 0; k < tail_len; ++k) out[16 - tail_len + k] = tail[k];
    } else {
        if (head_len != 16) return std::nullopt;
        out = head;
    }
    return out;
}

std::optional<std::int64_t> ParseDialogInteger(std::u16string_view text, bool allow_sign) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (allow_sign && i < text.size() && text[i] == u'-') {
        negative = true;
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
        value = value * 10 + (text[i] - u'0');
        if (value > 0xFFFFFFFFll) return std::nullopt;
    }
    if (negative) value = -value;
    if (allow_sign && (value > 0x7FFFFFFFll || value < -0x80000000ll)) return std::nullopt;
    return value;
}

namespace {

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Characters that change the direction or the lines of the text after them.
bool IsLayoutControl(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void AppendHex(std::u16string& out, unsigned value, int digits) {
    constexpr char16_t HEX[] = u"0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out.push_back(HEX[(value >> shift) & 0xFu]);
}

}  // namespace

std::u16string VisibleText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (IsControl(c)) {
            out += u"\\x";
            AppendHex(out, c, 2);
        } else if (IsLayoutControl(c)) {
            out += u"\\u";
            AppendHex(out, c, 4);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace telvane
