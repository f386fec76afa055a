// The worked examples of docs/protocol.md against the codec: the page cannot tell a
// firmware author other bytes than the program sends and takes.

#include <gtest/gtest.h>

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

// The settings an example states, field by field; a key the request has not fails.
SET_SETTINGS Settings(const DOC_EXAMPLE& e, MAC& mac) {
    SET_SETTINGS s;
    const auto v4 = [](const std::string& v) { return ParseIpv4(v).value_or(IPV4{1, 1, 1, 1}); };
    const auto v6 = [](const std::string& v) { return ParseIpv6(FromUtf8(v)).value_or(IPV6{1}); };
    for (const auto& [key, value] : e.fields) {
        const auto byte = [&] { return static_cast<std::uint8_t>(std::stoul(value, nullptr, 0)); };
        if (key == "mac") mac = ParseMac(value).value_or(MAC{1});
        else if (key == "ipv4_address") s.ipv4_address = v4(value);
        else if (key == "ipv4_gateway") s.ipv4_gateway = v4(value);
        else if (key == "ipv4_mask") s.ipv4_mask = v4(value);
        else if (key == "dns4_preferred") s.dns4_preferred = v4(value);
        else if (key == "dns4_alternate") s.dns4_alternate = v4(value);
        else if (key == "dhcp") s.dhcp = byte();
        else if (key == "set_flags") s.set_flags = byte();
        else if (key == "ipv6_address") s.ipv6_address = v6(value);
        else if (key == "ipv6_prefix_length") s.ipv6_prefix_length = byte();
        else if (key == "ipv6_gateway") s.ipv6_gateway = v6(value);
        else if (key == "dns6_preferred") s.dns6_preferred = v6(value);
        else if (key == "dns6_alternate") s.dns6_alternate = v6(value);
        else ADD_FAILURE() << "line " << e.line << ": a set request has no field " << key;
    }
    return s;
}

TEST(ProtocolDoc, EveryExampleIsWellFormedAndEveryDatagramTypeIsShown) {
    std::multiset<std::string> kinds;
    for (const DOC_EXAMPLE& e : Examples()) {
        EXPECT_EQ(e.error, "") << "line " << e.line;
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
