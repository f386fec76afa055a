#pragma once

// The forms in which telvane-cli writes the device table: a text table, JSON and CSV.
// Every text is the window's own (row texts of the device list).

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "inventory/device_info.h"

namespace telvane::cli {

// Keys stay in the order they are added: the documented order.
using ordered_json = nlohmann::ordered_json;

// One line: {"key": value, "key": [a, b]}, the layout the man page shows. Text that is not
// valid UTF-8 is written with U+FFFD.
std::string CompactJson(const ordered_json& value);

// One entry's fields, in output order, as name and JSON-ready value; the extension's
// fields only when the entry has it.
struct FIELD {
    std::string name;
    std::string text;  // the value as text (UTF-8)
    enum class KIND { TEXT, BOOL, NUMBER } kind = KIND::TEXT;
};
std::vector<FIELD> EntryFields(const DEVICE_INFO& entry);
ordered_json EntryJson(const DEVICE_INFO& entry);
// Every field name an entry can have, in output order (the CSV header).
const std::vector<std::string>& AllFieldNames();

std::string JsonString(const std::string& utf8);
std::string CsvField(const std::string& utf8);

std::string TableJson(const DEVICE_TABLE& table);
std::string TableCsv(const DEVICE_TABLE& table);
// Columns Device Name, Model Name, MAC Address, IP Address, aligned; control characters
// in the names are shown as escapes, so that every device keeps one line.
std::string TableText(const DEVICE_TABLE& table);

}  // namespace telvane::cli
