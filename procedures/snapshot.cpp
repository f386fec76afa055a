#include "procedures/snapshot.h"

#include <algorithm>
#include <array>
#include <optional>

#include "inventory/row_text.h"
#include "procedures/set_plan.h"
#include "protocol/text.h"

namespace telvane {

namespace {

constexpr std::array<std::string_view, 14> SETTINGS = {
    "dhcp",           "ipv4_address",  "ipv4_mask", "ipv4_gateway", "dns4_auto",          "dns4_preferred",
    "dns4_alternate", "ipv6_dhcp",     "dns6_auto", "ipv6_address", "ipv6_prefix_length", "ipv6_gateway",
    "dns6_preferred", "dns6_alternate"};

constexpr std::array<std::string_view, 8> DESCRIPTIONS = {"device_name",   "model_name", "mac",         "locked",
                                                          "has_extension", "ipv6",       "same_subnet", "adapter"};

std::optional<bool> Truth(std::string_view text) {
    if (text == "true" || text == "yes" || text == "1") return true;
    if (text == "false" || text == "no" || text == "0") return false;
    return std::nullopt;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

}  // namespace

bool IsSnapshotSetting(std::string_view name) {
    return std::find(SETTINGS.begin(), SETTINGS.end(), name) != SETTINGS.end();
}

bool IsSnapshotDescription(std::string_view name) {
    // address_conflict and any column that counts or names the conflicts.
    return std::find(DESCRIPTIONS.begin(), DESCRIPTIONS.end(), name) != DESCRIPTIONS.end() ||
           name.starts_with("address_conflict");
}

SNAPSHOT_ROW SnapshotOptions(std::span<const std::pair<std::string, std::string>> fields) {
    SNAPSHOT_ROW row;
    const auto value = [&](std::string_view name) -> std::string {
        for (const auto& [key, text] : fields)
            if (key == name) return text;
        return {};
    };
    const auto truth = [&](std::string_view name) -> std::optional<bool> {
        const std::string text = value(name);
        if (text.empty()) return std::nullopt;
        const auto yes = Truth(Lower(text));
        if (!yes && row.error.empty())
            row.error = "field " + std::string(name) + ": \"" + text + "\" is not true or false";
        return yes;
    };
    const auto add = [&](const char* option, std::vector<std::string> values = {}) {
        row.options.push_back(SET_OPTION{option, std::move(values)});
    };
    const auto add_value = [&](const char* option, std::string_view name) {
        if (std::string text = value(name); !text.empty()) add(option, {std::move(text)});
    };
    // Two servers as enumerate writes them: each field its own address.
    const auto add_servers = [&](const char* option, std::string_view preferred, std::string_view alternate) {
        std::string first = value(preferred);
        std::string second = value(alternate);
        if (first.empty() && second.empty()) return;
        add(option, {first.empty() ? "-" : first, second.empty() ? "-" : second});
    };
    row.model_name = value("model_name");

    if (const auto dhcp = truth("dhcp"); dhcp && *dhcp) {
        add("dhcp");
    } else if (dhcp) {
        add("static");
        add_value("ip", "ipv4_address");
        add_value("mask", "ipv4_mask");
        add_value("gateway", "ipv4_gateway");
    }
    // A device without the extension reports none of these; enumerate leaves them empty.
    const auto extension = truth("has_extension");
    if (extension.value_or(true)) {
        if (const auto dns4_auto = truth("dns4_auto"); dns4_auto && *dns4_auto) {
            add("dns4-auto");
        } else if (dns4_auto) {
            add("dns4-manual");
            add_servers("dns4", "dns4_preferred", "dns4_alternate");
        }
        // Without IPv6 the device takes none of its settings, whatever zeros it reported.
        if (truth("ipv6").value_or(true)) {
            if (const auto ipv6_dhcp = truth("ipv6_dhcp"); ipv6_dhcp && *ipv6_dhcp) {
                add("ipv6-dhcp");
            } else if (ipv6_dhcp) {
                add("ipv6-static");
                add_value("ipv6", "ipv6_address");
                add_value("prefix", "ipv6_prefix_length");
                add_value("ipv6-gateway", "ipv6_gateway");
            }
            if (const auto dns6_auto = truth("dns6_auto"); dns6_auto && *dns6_auto) {
                add("dns6-auto");
            } else if (dns6_auto) {
                add("dns6-manual");
                add_servers("dns6", "dns6_preferred", "dns6_alternate");
            }
        }
    }
    if (!row.error.empty()) row.options.clear();
    return row;
}

bool IsSnapshotHeader(std::span<const std::string> header) {
    return std::any_of(header.begin(), header.end(), [](const std::string& cell) {
        const std::string name = Lower(cell);
        return name != "mac" && name != "dhcp" && FindSetOption(name) == nullptr &&
               (IsSnapshotSetting(name) || IsSnapshotDescription(name));
    });
}

SET_BATCH ReadSnapshotBatch(const CSV_DOCUMENT& doc) {
    SET_BATCH batch;
    if (doc.records.empty()) return RefusedBatch(1, "no header row");
    const CSV_RECORD& header = doc.records.front();
    std::vector<std::string> names;
    for (const std::string& cell : header.fields) {
        const std::string name = Lower(cell);
        if (std::find(names.begin(), names.end(), name) != names.end())
            return RefusedBatch(header.line, "column " + name + " is named twice");
        if (!IsSnapshotSetting(name) && !IsSnapshotDescription(name)) {
            if (FindSetOption(name.starts_with("--") ? name.substr(2) : name) != nullptr)
                return RefusedBatch(header.line, "column " + cell +
                                                     ": a file with enumerate's columns takes the settings from them "
                                                     "(ipv4_address, ipv4_mask, ...), not from set's options");
            return RefusedBatch(header.line, "unknown column \"" + cell + "\"");
        }
        names.push_back(name);
    }
    const auto mac_column = std::find(names.begin(), names.end(), "mac");
    if (mac_column == names.end()) return RefusedBatch(header.line, "no mac column");

    for (std::size_t r = 1; r < doc.records.size(); ++r) {
        const CSV_RECORD& record = doc.records[r];
        if (record.fields.size() != names.size())
            return RefusedBatch(record.line, std::to_string(record.fields.size()) + " cells where the header names " +
                                                 std::to_string(names.size()));
        std::vector<std::pair<std::string, std::string>> fields;
        for (std::size_t c = 0; c < names.size(); ++c) fields.emplace_back(names[c], record.fields[c]);
        SNAPSHOT_ROW snapshot = SnapshotOptions(fields);
        SET_BATCH_ROW row;
        row.line = record.line;
        row.mac = record.fields[static_cast<std::size_t>(mac_column - names.begin())];
        row.options = std::move(snapshot.options);
        row.expected_model = std::move(snapshot.model_name);
        row.error = std::move(snapshot.error);
        CheckBatchRow(row);
        batch.rows.push_back(std::move(row));
    }
    return batch;
}

std::string SnapshotModelMismatch(const DEVICE_TABLE& table, const SET_BATCH_ROW& row) {
    if (row.expected_model.empty()) return {};
    const auto mac = ParseMac(row.mac);
    if (!mac) return {};
    const std::int32_t index = FindDevice(table, *mac);
    if (index < 0) return {};
    const std::string model = ToUtf8(ModelNameText(table.entries[static_cast<std::size_t>(index)]));
    if (model == row.expected_model) return {};
    // A spreadsheet-safe export puts a quote before a cell that would read as a formula.
    const bool formula = !model.empty() && std::string_view("=+-@\t\r").find(model.front()) != std::string_view::npos;
    if (formula && row.expected_model == "'" + model) return {};
    return "device " + FormatMac(*mac) + " reports model \"" + model + "\", the row was taken from model \"" +
           row.expected_model + "\"";
}

}  // namespace telvane
