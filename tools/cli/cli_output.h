#pragma once

// The forms in which telvane-cli writes the devices: a text table, JSON and CSV.
// Every text is the window's own (row texts of the device list).

#include <nlohmann/json.hpp>

#include <ctime>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "inventory/device_info.h"
#include "net/adapters.h"

namespace telvane::cli {

// Keys stay in the order they are added: the documented order.
using ordered_json = nlohmann::ordered_json;

// One line: {"key": value, "key": [a, b]}, the layout the man page shows. Text that is not
// valid UTF-8 is written with U+FFFD.
std::string CompactJson(const ordered_json& value);

// One field of an entry: its name and value, which JSON, CSV and the watch's comparison
// all take from here.
struct FIELD {
    std::string name;
    std::variant<std::string, bool, int> value;  // text is UTF-8

    // As CSV and text write it: text as it is, true or false, a number in decimal.
    std::string Text() const;
};
// The value, as a JSON string, boolean or number.
void to_json(ordered_json& j, const FIELD& field);

// One entry's fields, in output order; the extension's fields only when the entry has it.
std::vector<FIELD> EntryFields(const DEVICE_INFO& entry);
// Every field name an entry can have, in output order (the CSV header).
const std::vector<std::string>& AllFieldNames();

// "2026-12-10T11:19:31+0100": local, the broken-down local time of `now`, with its offset
// from UTC worked out here, since strftime's %z gives the zone's name on Windows.
std::string LocalTimeWithOffset(std::time_t now, const std::tm& local);

std::string JsonString(const std::string& utf8);
std::string CsvField(const std::string& utf8);

// The segment the devices were heard on: the adapter's address and mask (all zero when
// unknown).
struct SEGMENT {
    IPV4 address{};
    IPV4 mask{};
};

// A device as enumerate lists it: its entry and what the listing says about it.
struct LISTED_DEVICE {
    DEVICE_INFO entry{};
    std::optional<bool> same_subnet;  // its IPv4 address is in the adapter's subnet; unknown without a mask
    // Other devices heard on that adapter with its IPv4 address: the first few
    // (ADDRESS_CONFLICT_SHOWN) and how many in all.
    std::vector<MAC> address_conflict;
    std::size_t address_conflict_count = 0;
    std::string adapter;  // that adapter's IPv4 text
};

// The devices of one table, heard on the adapter with segment, in table order.
std::vector<LISTED_DEVICE> ListDevices(const DEVICE_TABLE& table, const SEGMENT& segment, const std::string& adapter);

// The entry's fields, then "same_subnet" (null when unknown), "address_conflict" and
// "address_conflict_count".
void to_json(ordered_json& j, const LISTED_DEVICE& device);
// The same, then with_adapter "adapter".
ordered_json ListedJson(const LISTED_DEVICE& device, bool with_adapter);
// A JSON array, one object a line.
std::string ListingJson(const std::vector<LISTED_DEVICE>& devices, bool with_adapter);
// The header names every field, same_subnet, address_conflict (MACs separated by blanks)
// and address_conflict_count, and with_adapter adapter, in that order.
std::string ListingCsv(const std::vector<LISTED_DEVICE>& devices, bool with_adapter);
// Columns Device Name, Model Name, MAC Address, IP Address (and Adapter), aligned;
// control characters in the names are shown as escapes, so that every device keeps one line.
// After the table, one line per address that several MACs answered with, naming the
// first of them and how many in all.
std::string ListingText(const std::vector<LISTED_DEVICE>& devices, bool with_adapter);

// The same for one adapter's table.
std::string TableJson(const DEVICE_TABLE& table, const SEGMENT& segment);
std::string TableCsv(const DEVICE_TABLE& table, const SEGMENT& segment);
std::string TableText(const DEVICE_TABLE& table);

}  // namespace telvane::cli

namespace telvane {

// An entry as enumerate --json writes it: {"device_name": ..., ...}, the fields of
// EntryFields in their order.
void to_json(nlohmann::ordered_json& j, const DEVICE_INFO& entry);

}  // namespace telvane
