#include "procedures/set_options.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "procedures/csv.h"
#include "procedures/snapshot.h"
#include "protocol/text.h"

namespace telvane {

namespace {

constexpr std::array<SET_OPTION_DEF, 16> SPECS = {{
    {"dhcp", 0, 0, "", "take the IPv4 configuration by DHCP"},
    {"static", 0, 0, "", "use a static IPv4 address (the current one unless --ip is given)"},
    {"ip", 1, 1, "ADDRESS", "static IPv4 address (implies --static)"},
    {"mask", 1, 1, "MASK", "IPv4 subnet mask (implies --static)"},
    {"gateway", 1, 1, "ADDRESS", "IPv4 default gateway, \"\" for none (implies --static)"},
    {"dns4-auto", 0, 0, "", "take IPv4 DNS servers automatically"},
    {"dns4-manual", 0, 0, "", "use the IPv4 DNS servers given (or the current ones)"},
    {"dns4", 1, 2, "PREFERRED [ALTERNATE]", "IPv4 DNS servers, \"-\" for none (implies --dns4-manual)"},
    {"ipv6-dhcp", 0, 0, "", "take the IPv6 configuration automatically"},
    {"ipv6-static", 0, 0, "", "use a static IPv6 address (the current one unless --ipv6 is given)"},
    {"ipv6", 1, 1, "ADDRESS", "static IPv6 address (implies --ipv6-static)"},
    {"prefix", 1, 1, "N", "IPv6 prefix length, 0 to 128 (implies --ipv6-static)"},
    {"ipv6-gateway", 1, 1, "ADDRESS", "IPv6 default gateway, \"\" for none (implies --ipv6-static)"},
    {"dns6-auto", 0, 0, "", "take IPv6 DNS servers automatically"},
    {"dns6-manual", 0, 0, "", "use the IPv6 DNS servers given (or the current ones)"},
    {"dns6", 1, 2, "PREFERRED [ALTERNATE]", "IPv6 DNS servers, \"-\" for none (implies --dns6-manual)"},
}};

// The two sides of each radio pair: an automatic flag and what contradicts it.
struct PAIR {
    std::string_view automatic;
    std::array<std::string_view, 4> manual;
};
constexpr std::array<PAIR, 4> PAIRS = {{
    {"dhcp", {"static", "ip", "mask", "gateway"}},
    {"dns4-auto", {"dns4-manual", "dns4", "", ""}},
    {"ipv6-dhcp", {"ipv6-static", "ipv6", "prefix", "ipv6-gateway"}},
    {"dns6-auto", {"dns6-manual", "dns6", "", ""}},
}};

// The other button of each pair, for a "no" in a yes/no CSV column.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> OPPOSITES = {{
    {"dhcp", "static"},
    {"static", "dhcp"},
    {"dns4-auto", "dns4-manual"},
    {"dns4-manual", "dns4-auto"},
    {"ipv6-dhcp", "ipv6-static"},
    {"ipv6-static", "ipv6-dhcp"},
    {"dns6-auto", "dns6-manual"},
    {"dns6-manual", "dns6-auto"},
}};

std::string Dashed(std::string_view name) {
    return "--" + std::string(name);
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

bool IsNone(std::string_view v) {
    return v.empty() || v == "-";
}

// An IPv4 box from a value: "" (or "-" where allowed) blanks it.
bool ToBox(std::string_view value, bool dash_is_blank, IPV4_BOX& box) {
    if (value.empty() || (dash_is_blank && value == "-")) {
        box = {};
        return true;
    }
    const auto address = ParseIpv4(value);
    if (!address) return false;
    box = IPV4_BOX::Of(*address);
    return true;
}

std::string ApplyOne(SET_FORM& f, const SET_OPTION& o) {
    const std::string_view n = o.name;
    const auto bad_value = [&](std::string_view value, std::string_view what) {
        return Dashed(n) + ": \"" + std::string(value) + "\" is not " + std::string(what);
    };
    const std::string_view v0 = o.values.empty() ? std::string_view{} : std::string_view(o.values[0]);
    const std::string_view v1 = o.values.size() < 2 ? std::string_view{} : std::string_view(o.values[1]);

    if (n == "dhcp") f.ipv4_dhcp = true;
    if (n == "static" || n == "ip" || n == "mask" || n == "gateway") f.ipv4_dhcp = false;
    if (n == "ip" && !ToBox(v0, false, f.ipv4_address)) return bad_value(v0, "an IPv4 address");
    if (n == "mask" && !ToBox(v0, false, f.ipv4_mask)) return bad_value(v0, "an IPv4 subnet mask");
    if (n == "gateway" && !ToBox(v0, true, f.ipv4_gateway)) return bad_value(v0, "an IPv4 address");

    if (n == "dns4-auto") f.dns4_auto = true;
    if (n == "dns4-manual" || n == "dns4") f.dns4_auto = false;
    if (n == "dns4") {
        if (!ToBox(v0, true, f.dns4_preferred)) return bad_value(v0, "an IPv4 address");
        if (!ToBox(v1, true, f.dns4_alternate)) return bad_value(v1, "an IPv4 address");
    }

    if (n == "ipv6-dhcp") f.ipv6_dhcp = true;
    if (n == "ipv6-static" || n == "ipv6" || n == "prefix" || n == "ipv6-gateway") f.ipv6_dhcp = false;
    if (n == "ipv6") f.ipv6_address = FromUtf8(v0);
    if (n == "ipv6-gateway") f.ipv6_gateway = IsNone(v0) ? std::u16string() : FromUtf8(v0);
    if (n == "prefix") {
        // The window's edit keeps its value within 0..128; here nothing would, so refuse.
        const auto value = ParseDialogInteger(FromUtf8(v0), false);
        if (v0.empty() || v0.front() == ' ' || !value || *value > 128) return bad_value(v0, "a number from 0 to 128");
        f.ipv6_prefix_length = FromUtf8(std::to_string(*value));
    }

    if (n == "dns6-auto") f.dns6_auto = true;
    if (n == "dns6-manual" || n == "dns6") f.dns6_auto = false;
    if (n == "dns6") {
        f.dns6_preferred = IsNone(v0) ? std::u16string() : FromUtf8(v0);
        f.dns6_alternate = IsNone(v1) ? std::u16string() : FromUtf8(v1);
    }
    return {};
}

std::optional<bool> YesNo(std::string_view cell) {
    const std::string v = Lower(cell);
    if (v == "yes" || v == "y" || v == "true" || v == "1" || v == "on") return true;
    if (v == "no" || v == "n" || v == "false" || v == "0" || v == "off") return false;
    return std::nullopt;
}

std::vector<std::string> SplitAddresses(std::string_view cell) {
    std::vector<std::string> out;
    std::string current;
    for (char c : cell) {
        if (c == ' ' || c == '\t' || c == ';') {
            if (!current.empty()) out.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) out.push_back(std::move(current));
    return out;
}

// A non-empty cell of a known column as an option; an error text when it cannot be one.
std::string CellToOption(const SET_OPTION_DEF& def, std::string_view cell, SET_OPTION& out) {
    out.name = std::string(def.name);
    out.values.clear();
    if (def.max_values == 0) {
        const auto yes = YesNo(cell);
        if (!yes) return "column " + std::string(def.name) + ": \"" + std::string(cell) + "\" is not yes or no";
        if (!*yes) {
            for (const auto& [name, opposite] : OPPOSITES)
                if (name == def.name) out.name = std::string(opposite);
        }
        return {};
    }
    if (def.max_values == 1) {
        out.values.emplace_back(cell);
        return {};
    }
    out.values = SplitAddresses(cell);
    if (out.values.empty() || out.values.size() > static_cast<std::size_t>(def.max_values))
        return "column " + std::string(def.name) + ": give one or two addresses";
    return {};
}

}  // namespace

std::span<const SET_OPTION_DEF> SetOptionDefs() {
    return SPECS;
}

const SET_OPTION_DEF* FindSetOption(std::string_view name) {
    for (const SET_OPTION_DEF& s : SPECS)
        if (s.name == name) return &s;
    return nullptr;
}

std::string ApplySetOptions(SET_FORM& form, std::span<const SET_OPTION> options) {
    for (std::size_t i = 0; i < options.size(); ++i) {
        const SET_OPTION_DEF* def = FindSetOption(options[i].name);
        if (def == nullptr) return "unknown option " + Dashed(options[i].name);
        const auto count = static_cast<int>(options[i].values.size());
        if (count < def->min_values || count > def->max_values)
            return Dashed(def->name) + " takes " +
                   (def->max_values == 0 ? std::string("no value") : std::string(def->values_help));
        for (std::size_t j = 0; j < i; ++j)
            if (options[j].name == options[i].name) return Dashed(def->name) + " is given twice";
    }
    const auto given = [&](std::string_view name) {
        return !name.empty() &&
               std::any_of(options.begin(), options.end(), [&](const SET_OPTION& o) { return o.name == name; });
    };
    for (const PAIR& pair : PAIRS) {
        if (!given(pair.automatic)) continue;
        for (std::string_view manual : pair.manual)
            if (given(manual)) return Dashed(pair.automatic) + " and " + Dashed(manual) + " contradict each other";
    }
    for (const SET_OPTION& o : options) {
        std::string error = ApplyOne(form, o);
        if (!error.empty()) return error;
    }
    return {};
}

namespace {

// Two exchanges with one device in a row cannot be told apart: a late answer to the first
// would pass for the second's. A device named on two rows, however its MAC is spelt (a
// snapshot of two adapters, one MAC at two addresses), fails the whole batch.
SET_BATCH RefuseRepeatedDevices(SET_BATCH batch) {
    std::map<MAC, std::size_t> named_on;
    for (const SET_BATCH_ROW& row : batch.rows) {
        const auto mac = ParseMac(row.mac);
        if (!mac) continue;
        const auto [first, added] = named_on.emplace(*mac, row.line);
        if (added) continue;
        SET_BATCH refused;
        refused.error = FormatMac(*mac) + " is also on line " + std::to_string(first->second) +
                        "; give each device one row";
        refused.error_line = row.line;
        return refused;
    }
    return batch;
}

SET_BATCH ReadRows(std::string_view csv_text) {
    SET_BATCH batch;
    const CSV_DOCUMENT doc = ParseCsv(csv_text);
    if (!doc.Ok()) return RefusedBatch(doc.error_line, doc.error);
    if (doc.records.empty()) return RefusedBatch(1, "no header row");

    // The header: which column is the MAC, and which option each other column is.
    const CSV_RECORD& header = doc.records.front();
    if (IsSnapshotHeader(header.fields)) return ReadSnapshotBatch(doc);
    std::optional<std::size_t> mac_column;
    std::vector<const SET_OPTION_DEF*> columns;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        std::string name = Lower(header.fields[i]);
        if (name.starts_with("--")) name.erase(0, 2);
        const SET_OPTION_DEF* def = nullptr;
        if (name == "mac") {
            if (mac_column) return RefusedBatch(header.line, "column mac is named twice");
            mac_column = i;
        } else {
            def = FindSetOption(name);
            if (def == nullptr) return RefusedBatch(header.line, "unknown column \"" + header.fields[i] + "\"");
            if (std::find(columns.begin(), columns.end(), def) != columns.end())
                return RefusedBatch(header.line, "column " + name + " is named twice");
        }
        columns.push_back(def);
    }
    if (!mac_column) return RefusedBatch(header.line, "no mac column");

    for (std::size_t r = 1; r < doc.records.size(); ++r) {
        const CSV_RECORD& record = doc.records[r];
        if (record.fields.size() != columns.size())
            return RefusedBatch(record.line, std::to_string(record.fields.size()) + " cells where the header names " +
                                                 std::to_string(columns.size()));
        SET_BATCH_ROW row;
        row.line = record.line;
        row.mac = record.fields[*mac_column];
        for (std::size_t c = 0; c < columns.size() && row.error.empty(); ++c) {
            if (columns[c] == nullptr || record.fields[c].empty()) continue;
            SET_OPTION option;
            row.error = CellToOption(*columns[c], record.fields[c], option);
            row.options.push_back(std::move(option));
        }
        CheckBatchRow(row);
        batch.rows.push_back(std::move(row));
    }
    return batch;
}

}  // namespace

SET_BATCH RefusedBatch(std::size_t line, std::string message) {
    SET_BATCH batch;
    batch.error = std::move(message);
    batch.error_line = line;
    return batch;
}

void CheckBatchRow(SET_BATCH_ROW& row) {
    if (row.error.empty() && row.mac.empty()) row.error = "no MAC address";
    if (row.error.empty() && !ParseMac(row.mac)) row.error = "\"" + row.mac + "\" is not a MAC address";
    if (row.error.empty() && row.options.empty()) row.error = "no setting given";
    if (row.error.empty()) {
        // Values of the wrong form show now, before any row is sent.
        SET_FORM scratch;
        row.error = ApplySetOptions(scratch, row.options);
    }
}

SET_BATCH ReadSetBatch(std::string_view csv_text) { return RefuseRepeatedDevices(ReadRows(csv_text)); }

}  // namespace telvane
