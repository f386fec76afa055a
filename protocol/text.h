#pragma once

// Text forms shared by the window, the command line and the simulator: 8-bit device
// texts, MAC and address texts, and the numeric IPv6 and integer parsers. No Qt.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/wire.h"

namespace telvane {

// Decodes an 8-bit device text: as UTF-8 when the bytes are valid UTF-8, otherwise as
// Windows-1252; a byte with no character there becomes U+FFFD. Never fails.
std::u16string DecodeAnsi(std::span<const std::uint8_t> bytes);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);

// "00-1a-2b-3c-4d-5e"
std::string FormatMac(const MAC& mac);
// Accepts "00-1a-2b-3c-4d-5e", "00:1A:2B:3C:4D:5E" and "001a2b3c4d5e".
[[nodiscard]] std::optional<MAC> ParseMac(std::string_view text);

// "192.168.0.1"
std::string FormatIpv4(const IPV4& address);
// Strict dotted quad: four decimal fields 0..255, no blanks.
[[nodiscard]] std::optional<IPV4> ParseIpv4(std::string_view text);

// The standard text of an IPv6 address (lower-case hex, longest run of zero groups
// shortened to "::", IPv4-mapped addresses with a dotted tail), without port or scope.
std::string FormatIpv6(const IPV6& address);

// Parses an IPv6 address numerically; never asks a name service. A scope suffix
// ("%2", "%eth0") is accepted and dropped. IPv4 texts and names do not parse.
[[nodiscard]] std::optional<IPV6> ParseIpv6(std::u16string_view text);

// Reads a whole text as a decimal integer the way a dialog's integer field is read:
// optional leading blanks, an optional minus sign when allowed, digits, nothing else.
// Fails on empty text, a lone sign, other characters, and values outside 32 bits
// (unsigned range, or signed range when a sign is allowed).
[[nodiscard]] std::optional<std::int64_t> ParseDialogInteger(std::u16string_view text, bool allow_sign);

// A device's text made safe to show on one line, in a terminal or in a list row: C0 and
// C1 control characters and DEL become "\x1b"-style escapes; the bidirectional controls
// and the line and paragraph separators, which reorder or break what follows them, become
// "\u202e"-style escapes. Everything else, backslashes included, is kept as it is.
std::u16string VisibleText(std::u16string_view text);

}  // namespace telvane
