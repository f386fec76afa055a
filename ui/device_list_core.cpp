#include "ui/device_list_core.h"

#include <algorithm>
#include <cassert>

#include "inventory/row_text.h"
#include "protocol/text.h"

namespace telvane {

const DEVICE_INFO* ListedEntry(const DEVICE_TABLE& table, int row) {
    if (row < 0 || row >= std::min(table.device_count, DEVICE_TABLE_CAPACITY)) return nullptr;
    return &table.entries[static_cast<std::size_t>(row)];
}

std::u16string RowTooltipText(const DEVICE_TABLE& table, int row, const CDeviceListCore::RowHintsFn& hints) {
    const DEVICE_INFO* e = ListedEntry(table, row);
    if (e == nullptr) return {};
    std::u16string text = RowStateText(*e);
    if (hints) {
        const std::u16string hint = hints(row).text;
        if (!hint.empty()) text += (text.empty() ? u"" : u"\n") + hint;
    }
    return text;
}

void CDeviceListCore::RefillDeviceList() {
    DeleteAllItems();
    const int count = std::clamp(table_.device_count, 0, DEVICE_TABLE_CAPACITY);
    for (int i = 0; i < count; ++i) AddDeviceRow(i, table_.entries[static_cast<std::size_t>(i)]);
}

std::int32_t CDeviceListCore::SortDeviceList(DEVICE_TABLE& table, int column, const SelectDeviceFn& select_device) {
    assert(&table == &table_);
    SortDeviceTable(table, column);
    RefillDeviceList();
    Invalidate(false);
    if (select_device) select_device(0);
    return 0;
}

void CDeviceListCore::SetRowHints(RowHintsFn hints) {
    row_hints_ = std::move(hints);
}

void CDeviceListCore::SetTeller(TellFn tell) {
    tell_ = std::move(tell);
}

void CDeviceListCore::SetEnumeratedAdapter(std::u16string_view adapter_address) {
    enumerated_adapter_ = adapter_address;
    UpdateNotes();
}

void CDeviceListCore::SetHeaderClickHandler(std::function<void(int column)> handler) {
    on_header_click_ = std::move(handler);
}

void CDeviceListCore::SetItemChangedHandler(std::function<void(int row, bool selected)> handler) {
    on_item_changed_ = std::move(handler);
}

void CDeviceListCore::SetClickHandler(std::function<void(int row)> handler) {
    on_click_ = std::move(handler);
}

CDeviceListCore::ROW_MENU_TEXTS CDeviceListCore::RowMenuTexts(int row, const DEVICE_INFO& entry) const {
    return {RowCopyText(entry), MacText(entry), FromUtf8(FormatIpv4(entry.ipv4_address)), DeviceWebUrl(entry),
            row_hints_ ? row_hints_(row).unreachable : std::u16string()};
}

const DEVICE_INFO* CDeviceListCore::EntryAt(int row) const {
    return ListedEntry(table_, row);
}

std::u16string CDeviceListCore::EmptyListText() const {
    return enumerated_adapter_.empty() ? std::u16string() : EmptyListNote(enumerated_adapter_);
}

std::u16string CDeviceListCore::FullListText() const {
    return enumerated_adapter_.empty() ? std::u16string() : FullListNote(table_);
}

}  // namespace telvane
