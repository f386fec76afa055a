// The worked examples of docs/protocol.md against the codec: the page cannot tell a
// firmware author other bytes than the program sends and takes.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "protocol/messages.h"
#include "protocol/text.h"
#include "tests/protocol/protocol_doc.h"

namespace telvane {
namespace {

const std::vector<DOC_EXAMPLE>& Examples() {
    static const std::vector<DOC_EXAMPLE> examples = ReadDocExamples(TELVANE_PROTOCOL_DOC);
    return examples;
}

// The settings an example states; a key that no set request has fails.
SET_SETTINGS Settings(const DOC_EXAMPLE& e, MAC& mac) {
    SET_SETTINGS s;
    using Setter = std::function<void(const std::string&)>;
    const auto v4 = [](IPV4& f) -> Setter { return [&f](const std::string& v) { f = ParseIpv4(v).value(); }; };
    const auto v6 = [](IPV6& f) -> Setter {
        return [&f](const std::string& v) { f = ParseIpv6(FromUtf8(v)).value(); };
    };
    const auto byte = [](std::uint8_t& f) -> Setter {
        return [&f](const std::string& v) { f = static_cast<std::uint8_t>(std::stoul(v, nullptr, 0)); };
    };
    const std::map<std::string, Setter> setters = {
        {"mac", [&](const std::string& v) { mac = ParseMac(v).value(); }},
        {"ipv4_address", v4(s.ipv4_address)},
        {"ipv4_gateway", v4(s.ipv4_gateway)},
        {"ipv4_mask", v4(s.ipv4_mask)},
        {"dns4_preferred", v4(s.dns4_preferred)},
        {"dns4_alternate", v4(s.dns4_alternate)},
        {"dhcp", byte(s.dhcp)},
        {"set_flags", byte(s.set_flags)},
        {"ipv6_address", v6(s.ipv6_address)},
        {"ipv6_prefix_length", byte(s.ipv6_prefix_length)},
        {"ipv6_gateway", v6(s.ipv6_gateway)},
        {"dns6_preferred", v6(s.dns6_preferred)},
        {"dns6_alternate", v6(s.dns6_alternate)},
    };
    for (const auto& [key, value] : e.fields) {
        const auto setter = setters.find(key);
        EXPECT_NE(setter, setters.end()) << "line " << e.line << ": a set request has no field " << key;
        if (setter != setters.end()) setter->second(value);
    }
    return s;
}

TEST(ProtocolDoc, EveryExampleIsWellFormedAndEveryDatagramTypeIsShown) {
    // An unknown kind would be checked by nothing.
    const std::set<std::string> known = {"enumerate", "set_basic", "set_extended", "set_reply", "enumerate_reply"};
    std::multiset<std::string> kinds;
    for (const DOC_EXAMPLE& e : Examples()) {
        EXPECT_EQ(e.error, "") << "line " << e.line;
        EXPECT_TRUE(known.contains(e.kind)) << "line " << e.line << ": " << e.kind;
        kinds.insert(e.kind);
    }
    for (const char* kind : {"enumerate", "set_basic", "set_extended", "set_reply"}) EXPECT_GE(kinds.count(kind), 1u);
    EXPECT_GE(kinds.count("enumerate_reply"), 3u);  // base, 8-bit name, UTF-16 name
}

TEST(ProtocolDoc, RequestsAreTheBytesTheProgramBuilds) {
    for (const DOC_EXAMPLE& e : Examples()) {
        if (e.kind != "enumerate" && e.kind != "set_basic" && e.kind != "set_extended") continue;
        SCOPED_TRACE("example at line " + std::to_string(e.line));
        MAC mac{};
        const SET_SETTINGS s = Settings(e, mac);
        using Bytes = std::vector<std::uint8_t>;
        if (e.kind == "enumerate") {
            const auto built = BuildEnumerateRequest();
            EXPECT_EQ(e.bytes, Bytes(built.begin(), built.end()));
        } else if (e.kind == "set_basic") {
            const auto built = BuildSetBasic(mac, s);
            EXPECT_EQ(e.bytes, Bytes(built.begin(), built.end()));
        } else if (e.kind == "set_extended") {
            const auto built = BuildSetExtended(mac, s);
            EXPECT_EQ(e.bytes, Bytes(built.begin(), built.end()));
        }
    }
}

TEST(ProtocolDoc, RepliesAreRecognisedWithTheirChecksumAndStatedSize) {
    for (const DOC_EXAMPLE& e : Examples()) {
        SCOPED_TRACE("example at line " + std::to_string(e.line));
        const ByteReader in(e.bytes);
        if (e.kind == "set_reply") {
            EXPECT_EQ(Classify(e.bytes).kind, DatagramKind::SetReply);
            EXPECT_EQ(e.bytes.size(), SET_REPLY_SIZE);
            EXPECT_EQ(Checksum(in.Array<set_reply::CHECKSUM>(0)), in.U8(set_reply::CHECKSUM));
            EXPECT_EQ(FormatMac(in.Array<6>(set_reply::MAC)), e.fields.at("mac"));
            EXPECT_EQ(std::to_string(in.U8(set_reply::RESULT)), e.fields.at("result"));
        } else if (e.kind == "enumerate_reply") {
            // Its fields are decoded by the reply intake's own test.
            EXPECT_EQ(Classify(e.bytes).kind, DatagramKind::EnumerateReply);
            EXPECT_EQ(std::to_string(e.bytes.size()), e.fields.at("length"));
            EXPECT_EQ(Checksum(in.Array<reply::CHECKSUM>(0)), in.U8(reply::CHECKSUM));
            if (e.bytes.size() > ENUMERATE_REPLY_BASE_SIZE) {
                EXPECT_EQ(e.bytes.size(), ENUMERATE_REPLY_NAME_OFFSET + in.U8(reply::NAME_LENGTH));
            }
        }
    }
}

}  // namespace
}  // namespace telvane
