#pragma once

// The toolkit-free half of the device list: its column definitions, the heading-click sort
// of the table, what a row's state means for its look, and the notes the list shows in its
// own area. The half on the list widget is ui/device_list_view.h.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "inventory/device_info.h"

namespace telvane {

struct LIST_COLUMN {
    std::u16string_view heading;
    std::int32_t width;  // pixels for the 8-point dialog font the layout was drawn for
};

inline constexpr int DEVICE_LIST_COLUMN_COUNT = 4;
inline constexpr std::array<LIST_COLUMN, DEVICE_LIST_COLUMN_COUNT> DEVICE_LIST_COLUMNS{{
    {u"Device Name", 140},
    {u"Model Name", 75},
    {u"MAC Address", 100},
    {u"IP Address", 245},
}};

// Row background colours as 0x00BBGGRR values.
using COLORREF = std::uint32_t;
inline constexpr COLORREF ROW_COLOUR_LOCKED = 0xD0D0D0;      // light grey
inline constexpr COLORREF ROW_COLOUR_SET_OK = 0x00FF00;      // green
inline constexpr COLORREF ROW_COLOUR_SET_FAILED = 0x0000FF;  // red

// How a row is drawn, first match wins in this order.
enum class RowLook {
    Selected,   // highlight text on highlight background
    Locked,     // ROW_COLOUR_LOCKED background
    SetOk,      // ROW_COLOUR_SET_OK background
    SetFailed,  // ROW_COLOUR_SET_FAILED background
    Plain,      // the list's own colours
};
RowLook RowLookOf(const DEVICE_INFO& e);

// Every state the row's colour stands for, in words, for those who cannot tell the
// colours apart: "selected, locked, set accepted". Empty for a plain row.
std::u16string RowStateText(const DEVICE_INFO& e);

// What the list says when its rows cannot. After an enumeration on adapter_address that
// found nothing: that no device answered there and what to check (empty for an empty
// address). When the table is full and more devices answered: that more did (else empty).
std::u16string EmptyListNote(std::u16string_view adapter_address);
std::u16string FullListNote(const DEVICE_TABLE& table);

// Byte-wise unsigned comparison of the column's sort keys (<0, 0, >0): the whole
// 256-byte name area, the model name's first 16 bytes, the MAC, the IPv4 address.
int CompareSortKeys(const DEVICE_INFO& a, const DEVICE_INFO& b, int column);

// The table half of a heading click: sorts the first device_count entries in place
// (whole entries move; equal keys end in any order), ascending while sort_toggles[column]
// is not zero, then inverts that toggle. An empty table still inverts it. A column
// outside 0..3 changes nothing.
void SortDeviceTable(DEVICE_TABLE& table, int column);

}  // namespace telvane
