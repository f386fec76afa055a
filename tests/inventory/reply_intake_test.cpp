#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "inventory/reply_intake.h"
#include "inventory/row_text.h"
#include "tests/inventory/reply_builder.h"

namespace telvane {
namespace {

Bytes SetReply(const MAC& mac, std::uint8_t result, bool good_checksum = true) {
    Bytes b = {0xFF, 0xFF, 0xC9, 0xD0};
    b.insert(b.end(), mac.begin(), mac.end());
    b.push_back(result);
    unsigned sum = 0;
    for (auto x : b) sum += x;
    b.push_back(static_cast<std::uint8_t>(sum + (good_checksum ? 0 : 1)));
    return b;
}

class Intake : public ::testing::Test {
protected:
    DEVICE_TABLE table;
    std::vector<std::int32_t> rows;  // indexes handed to AddDeviceRow
    bool full_function = true;

    void Take(const Bytes& datagram) {
        OnDatagram(table, datagram, full_function, [this](std::int32_t index, const DEVICE_INFO& e) {
            // The row is asked for before the count rises, for the slot being filled.
            EXPECT_EQ(index, table.device_count);
            EXPECT_EQ(&e, &table.entries[static_cast<std::size_t>(index)]);
            rows.push_back(index);
        });
    }
    const DEVICE_INFO& E(int i) const { return table.entries[static_cast<std::size_t>(i)]; }
};

TEST_F(Intake, GoldenBaseReplyBecomesAnEntryWithoutExtension) {
    Take(kGoldenBaseReply);
    ASSERT_EQ(table.device_count, 1);
    EXPECT_EQ(rows, std::vector<std::int32_t>{0});
    const DEVICE_INFO& e = E(0);
    EXPECT_EQ(e.mac, (MAC{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(e.ipv4_address, (IPV4{192, 168, 1, 20}));
    EXPECT_EQ(e.ipv4_gateway, (IPV4{192, 168, 1, 1}));
    EXPECT_EQ(e.ipv4_mask, (IPV4{255, 255, 255, 0}));
    EXPECT_EQ(e.dhcp, 0);
    EXPECT_EQ(e.locked, 0);
    EXPECT_EQ(ModelNameText(e), u"MODEL01");
    EXPECT_EQ(e.state, STATE_NORMAL);
    EXPECT_EQ(e.has_extension, 0);
    EXPECT_EQ(DeviceNameText(e), u"N/A");
}

TEST_F(Intake, DuplicatesAreKeyedOnMacAndAddressTogether) {
    Take(Reply().Sealed());
    Take(Reply().Model("OTHER").Status(0x03).Sealed());  // same mac+address, other fields: ignored
    EXPECT_EQ(table.device_count, 1);
    EXPECT_EQ(ModelNameText(E(0)), u"MODEL01");
    EXPECT_EQ(E(0).dhcp, 0);

    Take(Reply().Address(21).Sealed());  // known mac, new address
    Take(Reply().Mac(0x5F).Sealed());    // known address, new mac
    EXPECT_EQ(table.device_count, 3);
    EXPECT_TRUE(IsKnownDevice(table, E(1).mac, E(1).ipv4_address));
    EXPECT_FALSE(IsKnownDevice(table, E(1).mac, IPV4{1, 2, 3, 4}));
}

TEST_F(Intake, FullTableRefusesUntilTheCountIsReset) {
    for (int i = 0; i < DEVICE_TABLE_CAPACITY; ++i) {
        Take(Reply().Mac(static_cast<std::uint8_t>(i)).Address(static_cast<std::uint8_t>(i)).Sealed());
    }
    ASSERT_EQ(table.device_count, 100);
    EXPECT_EQ(table.ignored.Of(DROP_REASON::TABLE_FULL), 0u);
    Take(Reply().Mac(200).Address(200).Sealed());
    EXPECT_EQ(table.device_count, 100);
    EXPECT_EQ(rows.size(), 100u);
    // Counted, so the window can say that more answered; a listed device is no more.
    EXPECT_EQ(table.ignored.Of(DROP_REASON::TABLE_FULL), 1u);
    Take(Reply().Mac(1).Address(1).Sealed());
    EXPECT_EQ(table.ignored.Of(DROP_REASON::TABLE_FULL), 1u);

    table.device_count = 0;  // as a new enumeration does
    Take(Reply().Mac(200).Sealed());
    EXPECT_EQ(table.device_count, 1);
    EXPECT_EQ(E(0).mac[5], 200);
}

TEST_F(Intake, StatusFlagsReservedBitsRefuseTheReply) {
    for (std::uint8_t bad : {std::uint8_t{0x04}, std::uint8_t{0x08}, std::uint8_t{0x10}, std::uint8_t{0x20}}) {
        Take(Reply().Mac(bad).Status(bad).Sealed());
    }
    EXPECT_EQ(table.device_count, 0);
    Take(Reply().Mac(1).Status(0x43).Sealed());  // bits 6 and 7 are not examined
    Take(Reply().Mac(2).Status(0x80).Sealed());
    ASSERT_EQ(table.device_count, 2);
    EXPECT_EQ(E(0).dhcp, 1);
    EXPECT_EQ(E(0).locked, 1);
    EXPECT_EQ(E(1).dhcp, 0);
    EXPECT_EQ(E(1).locked, 0);
}

TEST_F(Intake, WrongChecksumOrMarkerOrTypeIsDropped) {
    Bytes bad = Reply().Sealed();
    bad[39] ^= 1;
    Take(bad);
    Bytes marker = Reply().Sealed();
    marker[0] = 0xFE;
    Take(marker);
    Bytes type = Reply().Sealed();
    type[3] = 0xCF;
    Take(type);
    EXPECT_EQ(table.device_count, 0);
    EXPECT_TRUE(rows.empty());
}

TEST_F(Intake, ModelNameOfSixteenLettersGetsItsZero) {
    Take(Reply().Model("ABCDEFGHIJKLMNOP").Sealed());
    EXPECT_EQ(E(0).model_name[16], 0);
    EXPECT_EQ(ModelNameText(E(0)), u"ABCDEFGHIJKLMNOP");
}

TEST_F(Intake, ExtensionFieldsAreTakenOnlyWithFullFunction) {
    const Bytes reply = Reply().Extension(EXT_IPV6 | EXT_DHCP6, 16, Text("Test-Device-Name")).Sealed();
    Take(reply);
    const DEVICE_INFO& e = E(0);
    EXPECT_EQ(e.has_extension, 1);
    EXPECT_EQ(e.ext_flags, EXT_IPV6 | EXT_DHCP6);
    EXPECT_EQ(e.dns4_preferred, (IPV4{8, 8, 4, 4}));
    EXPECT_EQ(e.dns4_alternate, (IPV4{1, 1, 1, 1}));
    EXPECT_EQ(e.ipv6_address[0], 0xFE);
    EXPECT_EQ(e.ipv6_address[15], 0x01);
    EXPECT_EQ(e.ipv6_prefix_length, 64);
    EXPECT_EQ(e.ipv6_gateway[15], 0xFE);
    EXPECT_EQ(e.dns6_preferred[15], 0x53);
    EXPECT_EQ(e.dns6_alternate[15], 0x54);
    EXPECT_EQ(DeviceNameText(e), u"Test-Device-Name");
    EXPECT_EQ(IpAddressText(e), u"192.168.1.20 (fe80::1)");

    full_function = false;
    table.device_count = 0;
    Take(reply);
    EXPECT_EQ(E(0).has_extension, 0);
    EXPECT_EQ(DeviceNameText(E(0)), u"N/A");
    EXPECT_EQ(IpAddressText(E(0)), u"192.168.1.20");
}

TEST_F(Intake, ExactlyFortyBytesHasNoExtensionFortyOneHas) {
    Take(Reply().Sealed());
    EXPECT_EQ(E(0).has_extension, 0);
    Bytes one_more = Reply().Mac(9).Sealed();
    one_more.push_back(EXT_IPV6);  // ext_flags only; the rest reads as zero
    Take(one_more);
    EXPECT_EQ(E(1).has_extension, 1);
    EXPECT_EQ(E(1).ext_flags, EXT_IPV6);
    EXPECT_EQ(DeviceNameText(E(1)), u"");  // name_length reads as 0: an empty UTF-16 name
}

TEST_F(Intake, NameForms) {
    // 0x20 starts 8-bit text; 0x1F is invalid whatever the length; 0 starts UTF-16.
    Take(Reply().Mac(1).Extension(0, 3, Text(" ab")).Sealed());
    Take(Reply().Mac(2).Extension(0, 200, Bytes{0x1F, 'x'}).Sealed());
    Take(Reply().Mac(3).Extension(0, 0, Bytes{0x05}).Sealed());
    // Bytes 17 00 6E 2C 8A 66 ...: 11 UTF-16 units, big-endian on the wire.
    Bytes utf16 = {0x00, 0x6E, 0x2C, 0x8A, 0x66};
    for (int i = 0; i < 9; ++i) utf16.insert(utf16.end(), {0x00, static_cast<std::uint8_t>('a' + i)});
    Take(Reply().Mac(4).Extension(0, 23, utf16).Sealed());
    Take(Reply().Mac(5).Extension(0, 1, Bytes{0x00}).Sealed());  // the zero byte alone: empty

    ASSERT_EQ(table.device_count, 5);
    EXPECT_EQ(DeviceNameText(E(0)), u" ab");
    EXPECT_EQ(DeviceNameText(E(1)), u"Invalid Device Name!!!");
    EXPECT_EQ(DeviceNameText(E(2)), u"Invalid Device Name!!!");
    EXPECT_EQ(DeviceNameText(E(3)), u"\u6E2C\u8A66abcdefghi");
    // The area keeps units low byte first from its second byte.
    EXPECT_EQ(E(3).device_name[0], 0x00);
    EXPECT_EQ(E(3).device_name[1], 0x2C);
    EXPECT_EQ(E(3).device_name[2], 0x6E);
    EXPECT_EQ(E(3).device_name[3], 0x66);
    EXPECT_EQ(E(3).device_name[4], 0x8A);
    EXPECT_EQ(DeviceNameText(E(4)), u"");
}

TEST_F(Intake, EvenUtf16LengthDropsTheHalfUnit) {
    // name_length 24: 11 whole units; byte 139 (just past the field) is never read.
    Bytes name = {0x00};
    for (int i = 0; i < 11; ++i) name.insert(name.end(), {0x00, static_cast<std::uint8_t>('A' + i)});
    name.push_back(0x00);  // byte 138: the 24th byte of the field
    name.push_back('Z');   // byte 139: outside the field
    Take(Reply().Extension(0, 24, name).Sealed());
    EXPECT_EQ(DeviceNameText(E(0)), u"ABCDEFGHIJK");
    EXPECT_EQ(E(0).device_name[23], 0);
    EXPECT_EQ(E(0).device_name[24], 0);
}

TEST_F(Intake, LongNamesAlwaysKeepATerminator) {
    Bytes eight_bit(255, 'n');
    Take(Reply().Mac(1).Extension(0, 255, eight_bit).Sealed());
    EXPECT_EQ(DeviceNameText(E(0)).size(), 255u);
    EXPECT_EQ(E(0).device_name[255], 0);

    Bytes wide = {0x00};
    for (int i = 0; i < 127; ++i) wide.insert(wide.end(), {0x4E, 0x01});
    Take(Reply().Mac(2).Extension(0, 255, wide).Sealed());
    EXPECT_EQ(DeviceNameText(E(1)).size(), 126u);  // 127 units would leave no zero unit
    EXPECT_EQ(E(1).device_name[253], 0);
    EXPECT_EQ(E(1).device_name[254], 0);
}

TEST_F(Intake, ShortExtensionReadsMissingBytesAsZero) {
    // The name claims 20 bytes but the datagram ends after 5 of them.
    Bytes reply = Reply().Extension(0, 20, Text("short")).Sealed();
    Take(reply);
    EXPECT_EQ(DeviceNameText(E(0)), u"short");
    // A slot reused from an earlier enumeration is cleared first.
    table.device_count = 0;
    Take(Reply().Extension(0, 2, Text("ab")).Sealed());
    EXPECT_EQ(DeviceNameText(E(0)), u"ab");
}

TEST_F(Intake, SortTogglesReturnToAscendingOnEveryNewEntry) {
    table.sort_toggles = {0, 1, 0, 0};
    Take(Reply().Sealed());
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{1, 1, 1, 1}));
    table.sort_toggles = {0, 0, 0, 0};
    Take(Reply().Sealed());  // a duplicate changes nothing
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

TEST_F(Intake, SetRepliesSignalOnlyForTheSelectedDevice) {
    Take(Reply().Sealed());
    const MAC mac = E(0).mac;
    MAC other = mac;
    other[5] ^= 0xFF;

    // No selection: a good reply changes nothing.
    Take(SetReply(mac, 0));
    EXPECT_FALSE(table.reply_event.IsSet());

    table.selected_index = 0;
    table.set_result = 77;
    Take(SetReply(other, 0));  // another device's answer
    EXPECT_FALSE(table.reply_event.IsSet());
    EXPECT_EQ(table.set_result, 77);

    Take(SetReply(mac, 200));
    EXPECT_TRUE(table.reply_event.IsSet());
    EXPECT_EQ(table.set_result, 200);  // unsigned, not negative

    table.reply_event.Reset();
    Take(SetReply(mac, 0));
    EXPECT_TRUE(table.reply_event.IsSet());
    EXPECT_EQ(table.set_result, 0);

    // A damaged set reply is a refusal whatever its mac, even with no selection.
    table.reply_event.Reset();
    table.selected_index = -1;
    Take(SetReply(other, 0, false));
    EXPECT_TRUE(table.reply_event.IsSet());
    EXPECT_EQ(table.set_result, -1);

    // The golden accepting reply: FF FF C9 D0 00 1A 2B 3C 4D 5E 00 C3.
    EXPECT_EQ(SetReply(mac, 0), (Bytes{0xFF, 0xFF, 0xC9, 0xD0, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0xC3}));
}

// Guards against a silent cap on the command line: a table without a limit lists every
// device in order of arrival, and keeps the window's duplicate rule past the first 100.
TEST(IntakeUnlimited, EveryDeviceInArrivalOrderAndDuplicatesStillRefused) {
    DEVICE_TABLE table(UNLIMITED_DEVICES);
    const auto reply = [](int n) {
        return Reply()
            .Mac(static_cast<std::uint8_t>(n))
            .Ipv4(10, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n))
            .Sealed();
    };
    for (int round = 0; round < 3; ++round) {
        for (int n = 0; n < 2000; ++n) OnDatagram(table, reply(n), true, nullptr);
    }
    ASSERT_EQ(table.device_count, 2000);
    for (int n = 0; n < 2000; ++n) {
        const DEVICE_INFO& e = table.entries[static_cast<std::size_t>(n)];
        ASSERT_EQ(e.ipv4_address, (IPV4{10, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)}));
    }
    EXPECT_EQ(table.ignored.Of(DROP_REASON::DUPLICATE), 4000u);
    EXPECT_EQ(table.ignored.Of(DROP_REASON::TABLE_FULL), 0u);
    // Known MAC with a new address is a new entry, as in the window's table.
    OnDatagram(table, Reply().Mac(7).Ipv4(10, 9, 9, 9).Sealed(), true, nullptr);
    EXPECT_EQ(table.device_count, 2001);

    // The next enumeration starts empty, counts included, and hears them all again.
    table.BeginEnumeration();
    EXPECT_EQ(table.ignored.Total(), 0u);
    OnDatagram(table, reply(1500), true, nullptr);
    OnDatagram(table, reply(1500), true, nullptr);
    EXPECT_EQ(table.device_count, 1);
    EXPECT_EQ(table.ignored.Of(DROP_REASON::DUPLICATE), 1u);
}

// Guards against a drop going uncounted or counted under another reason: one datagram
// of each kind the intake refuses.
TEST(IntakeCounts, EveryRefusalIsCountedByItsReason) {
    DEVICE_TABLE table(2);
    const auto take = [&](const Bytes& b) { OnDatagram(table, b, true, nullptr); };
    take(Reply().Mac(1).Sealed());
    Bytes bad = Reply().Mac(2).Sealed();
    bad[39] ^= 1;
    take(bad);                                                             // bad checksum
    take(Reply().Mac(3).Status(0x04).Sealed());                            // reserved status bits
    take(Reply().Mac(1).Sealed());                                         // duplicate
    take(Reply().Mac(4).Sealed());                                         // fills the table of two
    take(Reply().Mac(5).Sealed());                                         // table full
    take(Bytes(kGoldenBaseReply.begin(), kGoldenBaseReply.begin() + 39));  // too short
    take({0xFF, 0xFF, 0xC9});                                              // too short to say its type
    take({0xFF, 0xFF, 0x45, 0x4E, 0x91});                                  // an enumerate request: unknown type here
    take(Text("GET / HTTP/1.0"));                                          // not this protocol
    take({});                                                              // not this protocol either
    take(SetReply(MAC{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x01}, 0));            // no set running
    EXPECT_EQ(table.device_count, 2);
    const INTAKE_COUNTS& c = table.ignored;
    EXPECT_EQ(c.Of(DROP_REASON::BAD_CHECKSUM), 1u);
    EXPECT_EQ(c.Of(DROP_REASON::RESERVED_STATUS_BITS), 1u);
    EXPECT_EQ(c.Of(DROP_REASON::DUPLICATE), 1u);
    EXPECT_EQ(c.Of(DROP_REASON::TABLE_FULL), 1u);
    EXPECT_EQ(c.Of(DROP_REASON::TOO_SHORT), 2u);
    EXPECT_EQ(c.Of(DROP_REASON::UNKNOWN_TYPE), 1u);
    EXPECT_EQ(c.Of(DROP_REASON::NOT_THIS_PROTOCOL), 2u);
    EXPECT_EQ(c.Of(DROP_REASON::SET_REPLY_NOT_AWAITED), 1u);
    EXPECT_EQ(c.Total(), 10u);
    // A damaged set reply is no drop: it ends the set's wait as a refusal.
    take(SetReply(MAC{}, 0, false));
    EXPECT_EQ(c.Total(), 10u);
    EXPECT_EQ(table.set_result, -1);
}

TEST(IntakeCounts, SummaryLine) {
    INTAKE_COUNTS c;
    EXPECT_EQ(IntakeSummary(0, c), "0 devices; ignored 0 datagrams");
    c.Add(DROP_REASON::DUPLICATE, 16);
    c.Add(DROP_REASON::BAD_CHECKSUM, 3);
    c.Add(DROP_REASON::RESERVED_STATUS_BITS, 3);
    EXPECT_EQ(IntakeSummary(8, c),
              "8 devices; ignored 22 datagrams: 3 bad checksum, 3 reserved status bits, 16 duplicate");
    INTAKE_COUNTS one;
    one.Add(DROP_REASON::TOO_LONG);
    one.lost_in_system = 1;
    EXPECT_EQ(IntakeSummary(1, one),
              "1 device; ignored 1 datagram: 1 too long; 1 datagram lost in the system's receive queue");
}

// Every prefix of both reply types must be handled without reading past its end; run
// under AddressSanitizer, a heap copy of exactly that length catches any over-read.
TEST(IntakeTruncation, EveryLengthOfBothRepliesIsSafe) {
    const Bytes full = Reply().Extension(EXT_IPV6, 255, Bytes(255, 'x')).Sealed();
    const Bytes wide = Reply().Extension(EXT_IPV6, 255, Bytes(255, 0x00)).Sealed();
    const Bytes set = SetReply({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 0);
    for (const Bytes* source : {&full, &wide, &set}) {
        for (std::size_t len = 0; len <= source->size(); ++len) {
            DEVICE_TABLE table;
            table.selected_index = 0;
            table.device_count = 1;
            table.entries[0].mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
            table.entries[0].ipv4_address = {9, 9, 9, 9};
            auto* heap = new std::uint8_t[len == 0 ? 1 : len];
            std::memcpy(heap, source->data(), len);
            OnDatagram(table, std::span<const std::uint8_t>(heap, len), true, nullptr);
            delete[] heap;
            const bool whole_base = source != &set && len >= 40;
            EXPECT_EQ(table.device_count, whole_base ? 2 : 1) << len;
            if (source == &set) {
                EXPECT_EQ(table.reply_event.IsSet(), len == set.size()) << len;
            }
        }
    }
}

}  // namespace
}  // namespace telvane
