#pragma once

// What the device list of every window does, whatever toolkit draws it: rows rebuilt from
// the device table, the heading's sort, the words of a row's tooltip, the texts of its
// menu, and the notes of an empty and of an overfull list. A toolkit's CDeviceListView
// draws the rows and the notes and turns the system's notifications into handler calls.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "inventory/device_list.h"

namespace telvane {

class CDeviceListCore {
public:
    using SelectDeviceFn = std::function<void(std::int32_t)>;
    // What the window knows about a row beyond its entry: sentences for its tooltip and
    // accessible description, and why its web page cannot be reached from here (empty
    // when it can).
    struct ROW_HINTS {
        std::u16string text;
        std::u16string unreachable;
    };
    using RowHintsFn = std::function<ROW_HINTS(int row)>;
    using TellFn = std::function<void(const std::u16string&)>;

    // table belongs to the window and outlives the list's rows.
    explicit CDeviceListCore(const DEVICE_TABLE& table) : table_(table) {}
    virtual ~CDeviceListCore() = default;
    CDeviceListCore(const CDeviceListCore&) = delete;
    CDeviceListCore& operator=(const CDeviceListCore&) = delete;

    // Inserts entry's row at index (appended when index is past the end) and returns the
    // position it got, or -1 for a negative index.
    virtual int AddDeviceRow(std::int32_t index, const DEVICE_INFO& entry) = 0;
    virtual void DeleteAllItems() = 0;
    // Repaints the whole list, erasing its background first when erase is true.
    virtual void Invalidate(bool erase) = 0;
    // Shows or hides the notes after the rows or the table's drop count changed.
    virtual void UpdateNotes() = 0;

    // Every row anew from the table; callers invalidate.
    void RefillDeviceList();
    // The list half of a heading click: sorts table (the one this list shows) by column,
    // rebuilds the list, invalidates it without erasing, then select_device(0) when given.
    // Returns 0, the notification's result.
    std::int32_t SortDeviceList(DEVICE_TABLE& table, int column, const SelectDeviceFn& select_device);

    // The hints of rows; none unless given.
    void SetRowHints(RowHintsFn hints);
    // How "Open Web Page" says why it does not open a page it cannot reach.
    void SetTeller(TellFn tell);
    // After an enumeration on adapter_address the list says so when nobody answered, and
    // when more devices answered than the table holds. An empty address hides both (an
    // enumeration is under way).
    void SetEnumeratedAdapter(std::u16string_view adapter_address);
    // The note shown now, or an empty text.
    virtual std::u16string EmptyNoteText() const = 0;
    virtual std::u16string FullNoteText() const = 0;

    // The window's handlers of the list's notifications: a heading clicked (column 0..3),
    // a row's selected state changed in the control, a left click (the row, or -1 below
    // the rows).
    void SetHeaderClickHandler(std::function<void(int column)> handler);
    void SetItemChangedHandler(std::function<void(int row, bool selected)> handler);
    void SetClickHandler(std::function<void(int row)> handler);

protected:
    // What a row's menu copies and opens, taken as it opens.
    struct ROW_MENU_TEXTS {
        std::u16string row;
        std::u16string mac;
        std::u16string ipv4;
        std::string url;
        std::u16string unreachable;
    };
    ROW_MENU_TEXTS RowMenuTexts(int row, const DEVICE_INFO& entry) const;
    // The entry row shows, or nullptr.
    const DEVICE_INFO* EntryAt(int row) const;
    // The note of an empty list and of a full table that turned devices away, for the
    // adapter enumerated last; empty when there is nothing to say.
    std::u16string EmptyListText() const;
    std::u16string FullListText() const;

    const DEVICE_TABLE& table_;
    RowHintsFn row_hints_;
    TellFn tell_;
    std::u16string enumerated_adapter_;
    std::function<void(int)> on_header_click_;
    std::function<void(int, bool)> on_item_changed_;
    std::function<void(int)> on_click_;
};

// The entry row shows in a list of table, or nullptr.
const DEVICE_INFO* ListedEntry(const DEVICE_TABLE& table, int row);
// A row's tooltip: its state in words, then the window's hint; empty for none.
std::u16string RowTooltipText(const DEVICE_TABLE& table, int row, const CDeviceListCore::RowHintsFn& hints);

}  // namespace telvane
