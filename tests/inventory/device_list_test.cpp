#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/device_list.h"
#include "inventory/reply_intake.h"
#include "inventory/row_text.h"
#include "tests/inventory/reply_builder.h"

namespace telvane {
namespace {

class Sorting : public ::testing::Test {
protected:
    DEVICE_TABLE table;

    void Take(const Bytes& reply) { OnDatagram(table, reply, true, nullptr); }
    std::vector<std::u16string> Column(int column) const {
        std::vector<std::u16string> out;
        for (int i = 0; i < table.device_count; ++i) {
            const DEVICE_INFO& e = table.entries[static_cast<std::size_t>(i)];
            out.push_back(column == 0   ? DeviceNameText(e)
                          : column == 1 ? ModelNameText(e)
                          : column == 2 ? MacText(e)
                                        : IpAddressText(e));
        }
        return out;
    }
};

// Guards against comparing addresses as text ("10.0.0.10" < "10.0.0.9").
TEST_F(Sorting, IpColumnIsNumericAndTheSecondClickDescends) {
    Take(Reply().Mac(1).Ipv4(10, 0, 0, 10).Sealed());
    Take(Reply().Mac(2).Ipv4(10, 0, 0, 9).Sealed());
    Take(Reply().Mac(3).Ipv4(192, 168, 0, 1).Sealed());
    Take(Reply().Mac(4).Ipv4(9, 255, 255, 255).Sealed());
    SortDeviceTable(table, 3);
    EXPECT_EQ(Column(3), (std::vector<std::u16string>{u"9.255.255.255", u"10.0.0.9", u"10.0.0.10", u"192.168.0.1"}));
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{1, 1, 1, 0}));
    SortDeviceTable(table, 3);
    EXPECT_EQ(Column(3), (std::vector<std::u16string>{u"192.168.0.1", u"10.0.0.10", u"10.0.0.9", u"9.255.255.255"}));
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{1, 1, 1, 1}));
}

// Guards against a signed byte compare, which would put 0x80.. before 0x7f...
TEST_F(Sorting, MacColumnComparesBytesUnsigned) {
    Take(Reply().Mac(0x80).Sealed());
    Take(Reply().Mac(0x7F).Sealed());
    Take(Reply().Mac(0xFF).Sealed());
    SortDeviceTable(table, 2);
    EXPECT_EQ(Column(2),
              (std::vector<std::u16string>{u"00-1a-2b-3c-4d-7f", u"00-1a-2b-3c-4d-80", u"00-1a-2b-3c-4d-ff"}));
}

// Names order by their stored bytes: every UTF-16 name (first byte zero) before every
// 8-bit one, and UTF-16 names by the low byte of each unit first, not by code point.
TEST_F(Sorting, NameColumnOrdersStoredBytes) {
    Take(Reply().Mac(1).Extension(0, 5, Text("Alpha")).Sealed());
    Take(Reply().Mac(2).Extension(0, 3, Utf16Name(u"\u0141")).Sealed());  // low byte 0x41
    Take(Reply().Mac(3).Extension(0, 3, Utf16Name(u"\u0240")).Sealed());  // low byte 0x40
    Take(Reply().Mac(4).Extension(0, 2, Text("AB")).Sealed());
    Take(Reply().Mac(5).Sealed());  // no extension: "N/A"
    SortDeviceTable(table, 0);
    EXPECT_EQ(Column(0), (std::vector<std::u16string>{u"\u0240", u"\u0141", u"AB", u"Alpha", u"N/A"}));
    SortDeviceTable(table, 0);
    EXPECT_EQ(Column(0), (std::vector<std::u16string>{u"N/A", u"Alpha", u"AB", u"\u0141", u"\u0240"}));
}

// The model key is its first 16 bytes only; a stray seventeenth byte must not decide.
TEST_F(Sorting, ModelColumnIgnoresTheSeventeenthByte) {
    Take(Reply().Mac(1).Model("MODEL-B").Sealed());
    Take(Reply().Mac(2).Model("MODEL-A").Sealed());
    SortDeviceTable(table, 1);
    EXPECT_EQ(Column(1), (std::vector<std::u16string>{u"MODEL-A", u"MODEL-B"}));
    DEVICE_INFO a = table.entries[0];
    DEVICE_INFO b = a;
    b.model_name[16] = 1;
    EXPECT_EQ(CompareSortKeys(a, b, 1), 0);
}

// Guards against sorting a key array apart from the entries: every field travels along.
TEST_F(Sorting, WholeEntriesMove) {
    Take(Reply().Mac(1).Ipv4(10, 0, 0, 3).Model("THREE").Status(0x02).Sealed());
    Take(Reply().Mac(2).Ipv4(10, 0, 0, 1).Model("ONE").Sealed());
    Take(Reply().Mac(3).Ipv4(10, 0, 0, 2).Model("TWO").Sealed());
    table.entries[0].state = STATE_SET_FAILED | STATE_SELECTED;
    SortDeviceTable(table, 3);
    EXPECT_EQ(Column(1), (std::vector<std::u16string>{u"ONE", u"TWO", u"THREE"}));
    EXPECT_EQ(Column(2),
              (std::vector<std::u16string>{u"00-1a-2b-3c-4d-02", u"00-1a-2b-3c-4d-03", u"00-1a-2b-3c-4d-01"}));
    EXPECT_EQ(table.entries[2].locked, 1);
    EXPECT_EQ(table.entries[2].state, STATE_SET_FAILED | STATE_SELECTED);
    EXPECT_EQ(table.entries[0].state, STATE_NORMAL);
}

// Entries past device_count (left from an earlier enumeration) must stay out of the sort.
TEST_F(Sorting, OnlyTheUsedEntriesAreSorted) {
    Take(Reply().Mac(1).Ipv4(10, 0, 0, 9).Sealed());
    Take(Reply().Mac(2).Ipv4(10, 0, 0, 1).Sealed());
    table.device_count = 1;  // entry 1 is stale
    SortDeviceTable(table, 3);
    EXPECT_EQ(table.entries[0].ipv4_address, (IPV4{10, 0, 0, 9}));
    EXPECT_EQ(table.entries[1].ipv4_address, (IPV4{10, 0, 0, 1}));
}

TEST_F(Sorting, EachClickInvertsOnlyItsOwnToggleEvenWithAnEmptyTable) {
    SortDeviceTable(table, 1);
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{1, 0, 1, 1}));
    SortDeviceTable(table, 0);
    SortDeviceTable(table, 1);
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{0, 1, 1, 1}));
    EXPECT_EQ(table.device_count, 0);
    EXPECT_EQ(table.selected_index, -1);
    // Not a column: nothing at all changes.
    SortDeviceTable(table, 4);
    SortDeviceTable(table, -1);
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{0, 1, 1, 1}));
}

// A device added later sets every column back to ascending, through the real intake.
TEST_F(Sorting, NewDeviceMakesTheNextClickAscendAgain) {
    Take(Reply().Mac(1).Ipv4(10, 0, 0, 2).Sealed());
    Take(Reply().Mac(2).Ipv4(10, 0, 0, 1).Sealed());
    SortDeviceTable(table, 3);  // ascending
    SortDeviceTable(table, 2);  // ascending, by MAC: 01 then 02
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{1, 1, 0, 0}));
    Take(Reply().Mac(3).Ipv4(10, 0, 0, 0).Sealed());
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{1, 1, 1, 1}));
    SortDeviceTable(table, 3);
    EXPECT_EQ(Column(3), (std::vector<std::u16string>{u"10.0.0.0", u"10.0.0.1", u"10.0.0.2"}));
}

// The colour rules in their order; a later rule must never win over an earlier one.
TEST(RowLooks, FirstMatchingRuleWins) {
    DEVICE_INFO e{};
    e.state = STATE_NORMAL;
    EXPECT_EQ(RowLookOf(e), RowLook::Plain);
    e.state = STATE_SET_FAILED;
    EXPECT_EQ(RowLookOf(e), RowLook::SetFailed);
    e.state = STATE_SET_OK;
    EXPECT_EQ(RowLookOf(e), RowLook::SetOk);
    e.state = STATE_SET_OK | STATE_SET_FAILED;  // ok is tested first
    EXPECT_EQ(RowLookOf(e), RowLook::SetOk);
    e.locked = 1;
    EXPECT_EQ(RowLookOf(e), RowLook::Locked);
    e.state = STATE_SET_FAILED | STATE_SELECTED;
    EXPECT_EQ(RowLookOf(e), RowLook::Selected);
}

TEST(RowLooks, StateInWordsNamesEveryStateTheRowHas) {
    DEVICE_INFO e{};
    e.state = STATE_NORMAL;
    EXPECT_EQ(RowStateText(e), u"");
    e.state = STATE_SET_OK;
    EXPECT_EQ(RowStateText(e), u"set accepted");
    e.state = STATE_SET_FAILED | STATE_SELECTED;
    e.locked = 1;
    EXPECT_EQ(RowStateText(e), u"selected, locked, set refused or not answered");
}

}  // namespace
}  // namespace telvane
