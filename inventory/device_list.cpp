#include "inventory/device_list.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "protocol/text.h"

namespace telvane {

namespace {

std::span<const std::uint8_t> SortKey(const DEVICE_INFO& e, int column) {
    switch (column) {
        case 0:
            return e.device_name;  // the whole area, bytes after the text included
        case 1:
            return std::span(e.model_name).first(16);
        case 2:
            return e.mac;
        default:
            return e.ipv4_address;
    }
}

}  // namespace

RowLook RowLookOf(const DEVICE_INFO& e) {
    if ((e.state & STATE_SELECTED) != 0) return RowLook::Selected;
    if (e.locked != 0) return RowLook::Locked;
    if ((e.state & STATE_SET_OK) != 0) return RowLook::SetOk;
    if ((e.state & STATE_SET_FAILED) != 0) return RowLook::SetFailed;
    return RowLook::Plain;
}

std::u16string RowStateText(const DEVICE_INFO& e) {
    std::u16string out;
    const auto add = [&out](std::u16string_view word) {
        if (!out.empty()) out += u", ";
        out += word;
    };
    if ((e.state & STATE_SELECTED) != 0) add(u"selected");
    if (e.locked != 0) add(u"locked");
    if ((e.state & STATE_SET_OK) != 0) add(u"set accepted");
    if ((e.state & STATE_SET_FAILED) != 0) add(u"set refused or not answered");
    return out;
}

int CompareSortKeys(const DEVICE_INFO& a, const DEVICE_INFO& b, int column) {
    const auto ka = SortKey(a, column);
    const auto kb = SortKey(b, column);
    // memcmp compares as unsigned char, which is the order wanted.
    return std::memcmp(ka.data(), kb.data(), ka.size());
}

void SortDeviceTable(DEVICE_TABLE& table, int column) {
    if (column < 0 || column >= DEVICE_LIST_COLUMN_COUNT) return;
    auto& toggle = table.sort_toggles[static_cast<std::size_t>(column)];
    const bool ascending = toggle != 0;
    const auto count = std::clamp(table.device_count, 0, static_cast<std::int32_t>(table.entries.size()));
    std::sort(table.entries.begin(), table.entries.begin() + count, [&](const DEVICE_INFO& a, const DEVICE_INFO& b) {
        const int c = CompareSortKeys(a, b, column);
        return ascending ? c < 0 : c > 0;
    });
    toggle = ascending ? 0 : 1;
}

std::u16string EmptyListNote(std::u16string_view adapter_address) {
    if (adapter_address.empty()) return {};
    return u"No device answered on " + std::u16string(adapter_address) +
           u".\nCheck the cable and the network adapter chosen, and that the firewall accepts UDP from source "
           u"port 18768.\nRun telvane-cli doctor to check this computer's side.";
}

std::u16string FullListNote(const DEVICE_TABLE& table) {
    if (table.device_count < DEVICE_TABLE_CAPACITY || table.ignored.Of(DROP_REASON::TABLE_FULL) == 0) return {};
    return FromUtf8(std::to_string(DEVICE_TABLE_CAPACITY)) + u" devices shown; more answered.";
}

}  // namespace telvane
