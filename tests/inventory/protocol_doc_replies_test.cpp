// The enumerate replies of docs/protocol.md, taken in by the reply intake: each
// decodes to every field its example states, names included.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "inventory/reply_intake.h"
#include "inventory/row_text.h"
#include "protocol/text.h"
#include "tests/protocol/protocol_doc.h"

namespace telvane {
namespace {

TEST(ProtocolDoc, EnumerateRepliesDecodeToTheirStatedFields) {
    int replies = 0;
    for (const DOC_EXAMPLE& example : ReadDocExamples(TELVANE_PROTOCOL_DOC)) {
        if (example.kind != "enumerate_reply") continue;
        SCOPED_TRACE("example at line " + std::to_string(example.line));
        ++replies;
        DEVICE_TABLE table;
        OnDatagram(table, example.bytes, true, nullptr);
        ASSERT_EQ(table.device_count, 1);
        const DEVICE_INFO& e = table.entries[0];
        EXPECT_EQ(e.has_extension, example.bytes.size() > ENUMERATE_REPLY_BASE_SIZE ? 1 : 0);

        const auto v4 = [](const IPV4& a) { return [&a](const std::string& v) { EXPECT_EQ(FormatIpv4(a), v); }; };
        const auto v6 = [](const IPV6& a) {
            return [&a](const std::string& v) { EXPECT_EQ(ParseIpv6(FromUtf8(v)), a) << v; };
        };
        const auto number = [](unsigned n) {
            return [n](const std::string& v) { EXPECT_EQ(n, std::stoul(v, nullptr, 0)) << v; };
        };
        const std::map<std::string, std::function<void(const std::string&)>> checks = {
            {"length", number(static_cast<unsigned>(example.bytes.size()))},
            {"mac", [&](const std::string& v) { EXPECT_EQ(FormatMac(e.mac), v); }},
            {"ipv4_address", v4(e.ipv4_address)},
            {"ipv4_gateway", v4(e.ipv4_gateway)},
            {"ipv4_mask", v4(e.ipv4_mask)},
            {"status_flags", number((e.dhcp != 0 ? STATUS_DHCP : 0u) | (e.locked != 0 ? STATUS_LOCKED : 0u))},
            {"model", [&](const std::string& v) { EXPECT_EQ(ToUtf8(ModelNameText(e)), v); }},
            {"ext_flags", number(e.ext_flags)},
            {"dns4_preferred", v4(e.dns4_preferred)},
            {"dns4_alternate", v4(e.dns4_alternate)},
            {"ipv6_address", v6(e.ipv6_address)},
            {"ipv6_prefix_length", number(e.ipv6_prefix_length)},
            {"ipv6_gateway", v6(e.ipv6_gateway)},
            {"dns6_preferred", v6(e.dns6_preferred)},
            {"dns6_alternate", v6(e.dns6_alternate)},
            {"name", [&](const std::string& v) { EXPECT_EQ(ToUtf8(DeviceNameText(e)), v); }},
        };
        for (const auto& [key, value] : example.fields) {
            const auto check = checks.find(key);
            EXPECT_NE(check, checks.end()) << "an enumerate reply has no field " << key;
            if (check != checks.end()) check->second(value);
        }
    }
    EXPECT_GE(replies, 3);
}

}  // namespace
}  // namespace telvane
