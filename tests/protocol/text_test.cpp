#include <gtest/gtest.h>

#include "protocol/text.h"

namespace telvane {
namespace {

std::u16string Decode(std::initializer_list<std::uint8_t> bytes) {
    const std::vector<std::uint8_t> v(bytes);
    return DecodeAnsi(v);
}

TEST(AnsiText, Utf8WhenValidOtherwiseWindows1252) {
    EXPECT_EQ(Decode({'A', 'b', '1'}), u"Ab1");
    EXPECT_EQ(Decode({0xC3, 0xA9, 't', 0xC3, 0xA9}), u"\u00e9t\u00e9");  // valid UTF-8
    EXPECT_EQ(Decode({'c', 'a', 'f', 0xE9}), u"caf\u00e9");              // lone 0xE9: Windows-1252
    EXPECT_EQ(Decode({0x80, 0x99}), u"\u20ac\u2122");                    // 1252 specials
    EXPECT_EQ(Decode({0x81, 0x8D, 0x8F, 0x90, 0x9D}), u"\ufffd\ufffd\ufffd\ufffd\ufffd");
    EXPECT_EQ(Decode({0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600");    // surrogate pair
    EXPECT_EQ(Decode({0xED, 0xA0, 0x80}), u"\u00ed\u00a0\u20ac");  // encoded surrogate is not UTF-8
    EXPECT_EQ(Decode({0xC0, 0x80}), u"\u00c0\u20ac");              // overlong is not UTF-8
    EXPECT_EQ(Decode({}), u"");
}

TEST(AnsiText, Utf8RoundTrip) {
    EXPECT_EQ(ToUtf8(u"Gr\u00fc\u00dfe \U0001F600"),
              "Gr\xc3\xbc\xc3\x9f"
              "e \xf0\x9f\x98\x80");
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t{0xD800})), "\xef\xbf\xbd");
    EXPECT_EQ(FromUtf8("a\xff"), u"a\ufffd");
}

TEST(AddressText, MacAndIpv4) {
    EXPECT_EQ(FormatMac({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), "00-1a-2b-3c-4d-5e");
    EXPECT_EQ(ParseMac("00-1a-2b-3c-4d-5e"), (MAC{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(ParseMac("00:1A:2B:3C:4D:5E"), (MAC{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(ParseMac("001a2b3c4d5e"), (MAC{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    for (const char* bad : {"", "00-1a-2b-3c-4d", "00-1a-2b-3c-4d-5e-6f", "0-1a-2b-3c-4d-5e0", "00-1a:2b-3c-4d-5e",
                            "00--1a2b-3c-4d-5e", "00-1a-2b-3c-4d-5g", "-001a2b3c4d5e"}) {
        EXPECT_FALSE(ParseMac(bad)) << bad;
    }
    EXPECT_EQ(FormatIpv4({10, 0, 0, 255}), "10.0.0.255");
    EXPECT_EQ(ParseIpv4("192.168.1.20"), (IPV4{192, 168, 1, 20}));
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3", "1.2.3.0004"}) {
        EXPECT_FALSE(ParseIpv4(bad)) << bad;
    }
}

IPV6 V6(std::initializer_list<unsigned> groups) {
    IPV6 a{};
    std::size_t i = 0;
    for (unsigned g : groups) {
        a[i++] = static_cast<std::uint8_t>(g >> 8);
        a[i++] = static_cast<std::uint8_t>(g & 0xFF);
    }
    return a;
}

TEST(Ipv6Text, FormatsTheStandardForm) {
    EXPECT_EQ(FormatIpv6(V6({0xfe80, 0, 0, 0, 0, 0, 0, 1})), "fe80::1");
    EXPECT_EQ(FormatIpv6(V6({0, 0, 0, 0, 0, 0, 0, 0})), "::");
    EXPECT_EQ(FormatIpv6(V6({0, 0, 0, 0, 0, 0, 0, 1})), "::1");
    EXPECT_EQ(FormatIpv6(V6({0x2001, 0xdb8, 0, 1, 0, 0, 0, 1})), "2001:db8:0:1::1");       // longest run wins
    EXPECT_EQ(FormatIpv6(V6({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1})), "2001:db8::1:0:0:1");     // first of equal runs
    EXPECT_EQ(FormatIpv6(V6({0x2001, 0xdb8, 1, 2, 3, 4, 5, 0})), "2001:db8:1:2:3:4:5:0");  // lone zero kept
    EXPECT_EQ(FormatIpv6(V6({0, 0, 0, 0, 0, 0xffff, 0xc0a8, 0x0001})), "::ffff:192.168.0.1");
}

TEST(Ipv6Text, ParsesNumericallyAndDropsScope) {
    EXPECT_EQ(ParseIpv6(u"fe80::1"), V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(ParseIpv6(u"fe80::1%2"), V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(ParseIpv6(u"fe80::1%eth0"), V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(ParseIpv6(u"::"), V6({}));
    EXPECT_EQ(ParseIpv6(u"1::"), V6({1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ParseIpv6(u"2001:DB8:0:0:0:0:0:1"), V6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(ParseIpv6(u"::ffff:10.0.0.1"), V6({0, 0, 0, 0, 0, 0xffff, 0x0a00, 0x0001}));
    EXPECT_EQ(ParseIpv6(u"1:2:3:4:5:6:7::"), V6({1, 2, 3, 4, 5, 6, 7, 0}));
    // Round trip over the formatter.
    for (const char16_t* text : {u"2001:db8::1:0:0:1", u"::1", u"fe80::abcd:ef01", u"::ffff:1.2.3.4"}) {
        const auto parsed = ParseIpv6(text);
        ASSERT_TRUE(parsed) << ToUtf8(text);
        EXPECT_EQ(FromUtf8(FormatIpv6(*parsed)), text);
    }
}

TEST(Ipv6Text, RejectsWhatIsNotAnIpv6Address) {
    for (const char16_t* bad : {u"",
                                u"192.168.0.1",
                                u"localhost",
                                u":",
                                u":::",
                                u"1:::2",
                                u"1::2::3",
                                u"fe80::1%",
                                u"1:2:3:4:5:6:7:8:9",
                                u"1:2:3:4:5:6:7",
                                u"12345::1",
                                u"1:2:3:4:5:6:7:8::",
                                u"g::1",
                                u" ::1",
                                u"::1 ",
                                u"1:",
                                u":1",
                                u"::ffff:1.2.3",
                                u"1.2.3.4::",
                                u"\u0661::1",
                                u"1:2:3:4:5:6:1.2.3.4:1"}) {
        EXPECT_FALSE(ParseIpv6(bad)) << ToUtf8(bad);
    }
}

TEST(DialogInteger, ReadsWholeDecimalText) {
    EXPECT_EQ(ParseDialogInteger(u"64", false), 64);
    EXPECT_EQ(ParseDialogInteger(u"  7", false), 7);
    EXPECT_EQ(ParseDialogInteger(u"-5", true), -5);
    EXPECT_EQ(ParseDialogInteger(u"4294967295", false), 4294967295ll);
    for (const char16_t* bad : {u"", u"-", u"-5", u"12a", u"1 ", u"4294967296", u"0x10"}) {
        EXPECT_FALSE(ParseDialogInteger(bad, false)) << ToUtf8(bad);
    }
    EXPECT_FALSE(ParseDialogInteger(u"-", true));
    EXPECT_FALSE(ParseDialogInteger(u"2147483648", true));
}

// Guards against a device's name writing to a terminal or breaking a row: controls, DEL,
// line breaks and direction overrides must come out as visible escapes, other text as is.
TEST(VisibleText, EscapesControlsAndLayoutCharacters) {
    EXPECT_EQ(VisibleText(u"Lobby camera \u00dcber\\1"), u"Lobby camera \u00dcber\\1");
    EXPECT_EQ(VisibleText(u"a\nb\r\tc"), u"a\\x0ab\\x0d\\x09c");
    EXPECT_EQ(VisibleText(std::u16string(u"x\0y", 3)), u"x\\x00y");
    EXPECT_EQ(VisibleText(u"\x1b[2J\x7f\u0080\u009b\u00a0"), u"\\x1b[2J\\x7f\\x80\\x9b\u00a0");
    EXPECT_EQ(VisibleText(u"abc\u202etxt.exe"), u"abc\\u202etxt.exe");
    EXPECT_EQ(VisibleText(u"\u200e\u200f\u202a\u2066\u2069\u061c\u2028\u2029"),
              u"\\u200e\\u200f\\u202a\\u2066\\u2069\\u061c\\u2028\\u2029");
    EXPECT_EQ(VisibleText(u"\u2027\u202f\u2065\u206a"), u"\u2027\u202f\u2065\u206a");
    EXPECT_EQ(VisibleText(u"\U0001F600"), u"\U0001F600");
}

}  // namespace
}  // namespace telvane
