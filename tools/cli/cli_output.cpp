#include "tools/cli/cli_output.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <utility>
#include <variant>

#include "inventory/row_text.h"
#include "procedures/address_checks.h"
#include "protocol/text.h"

namespace telvane::cli {

namespace {

FIELD Text(const char* name, std::string value) {
    return {name, std::move(value)};
}
FIELD Bool(const char* name, bool value) {
    return {name, value};
}
FIELD Number(const char* name, int value) {
    return {name, value};
}

template <class... F>
struct OVERLOADED : F... {
    using F::operator()...;
};
// Clang 14 does not deduce an aggregate's template arguments by itself.
template <class... F>
OVERLOADED(F...) -> OVERLOADED<F...>;

std::string Ipv6(const IPV6& address) {
    return ToUtf8(Ipv6Text(address));
}

// Display width in code points; enough for aligning names in a terminal.
std::size_t Width(const std::string& utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// One line per address that several MACs answered with on one adapter, at the first of its
// devices in list order, whose own MAC and named others are the group's first MACs.
std::string SharedAddressLines(const std::vector<LISTED_DEVICE>& devices, bool with_adapter) {
    std::string out;
    std::set<std::pair<std::string, IPV4>> named;
    for (const LISTED_DEVICE& d : devices) {
        if (d.address_conflict_count == 0 || !named.emplace(d.adapter, d.entry.ipv4_address).second) continue;
        const std::size_t total = d.address_conflict_count + 1;
        std::string line = FormatIpv4(d.entry.ipv4_address) + " is used by " + std::to_string(total) + " devices";
        if (with_adapter) line += " on " + d.adapter;
        line += ": " + FormatMac(d.entry.mac);
        for (const MAC& mac : d.address_conflict) line += ", " + FormatMac(mac);
        const std::size_t named_count = d.address_conflict.size() + 1;
        if (named_count < total) line += " and " + std::to_string(total - named_count) + " more";
        out += line + ".\n";
    }
    return out.empty() ? out : "\n" + out;
}

}  // namespace

std::string FIELD::Text() const {
    return std::visit(OVERLOADED{[](const std::string& text) { return text; },
                                 [](bool flag) { return std::string(flag ? "true" : "false"); },
                                 [](int number) { return std::to_string(number); }},
                      value);
}

void to_json(ordered_json& j, const FIELD& field) {
    std::visit([&j](const auto& v) { j = v; }, field.value);
}

std::vector<FIELD> EntryFields(const DEVICE_INFO& e) {
    std::vector<FIELD> f = {
        Text("device_name", ToUtf8(DeviceNameText(e))),
        Text("model_name", ToUtf8(ModelNameText(e))),
        Text("mac", ToUtf8(MacText(e))),
        Text("ipv4_address", FormatIpv4(e.ipv4_address)),
        Text("ipv4_mask", FormatIpv4(e.ipv4_mask)),
        Text("ipv4_gateway", FormatIpv4(e.ipv4_gateway)),
        Bool("dhcp", e.dhcp != 0),
        Bool("locked", e.locked != 0),
        Bool("has_extension", e.has_extension != 0),
    };
    if (e.has_extension == 0) return f;
    const std::vector<FIELD> extension = {
        Bool("dns4_auto", (e.ext_flags & EXT_DNS4_AUTO) != 0),
        Text("dns4_preferred", FormatIpv4(e.dns4_preferred)),
        Text("dns4_alternate", FormatIpv4(e.dns4_alternate)),
        Bool("ipv6", (e.ext_flags & EXT_IPV6) != 0),
        Bool("ipv6_dhcp", (e.ext_flags & EXT_DHCP6) != 0),
        Bool("dns6_auto", (e.ext_flags & EXT_DNS6_AUTO) != 0),
        Text("ipv6_address", Ipv6(e.ipv6_address)),
        Number("ipv6_prefix_length", e.ipv6_prefix_length),
        Text("ipv6_gateway", Ipv6(e.ipv6_gateway)),
        Text("dns6_preferred", Ipv6(e.dns6_preferred)),
        Text("dns6_alternate", Ipv6(e.dns6_alternate)),
    };
    f.insert(f.end(), extension.begin(), extension.end());
    return f;
}

const std::vector<std::string>& AllFieldNames() {
    static const std::vector<std::string> names = [] {
        DEVICE_INFO e{};
        e.has_extension = 1;
        std::vector<std::string> out;
        for (const FIELD& f : EntryFields(e)) out.push_back(f.name);
        return out;
    }();
    return names;
}

std::string CompactJson(const ordered_json& value) {
    const auto scalar = [](const ordered_json& v) {
        return v.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
    };
    if (value.is_object()) {
        std::string out = "{";
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (it != value.begin()) out += ", ";
            out += scalar(ordered_json(it.key())) + ": " + CompactJson(it.value());
        }
        return out + "}";
    }
    if (value.is_array()) {
        std::string out = "[";
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (i) out += ", ";
            out += CompactJson(value[i]);
        }
        return out + "]";
    }
    return scalar(value);
}

namespace {

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long year_of_era = year - era * 400;
    const long long day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

}  // namespace

std::string LocalTimeWithOffset(std::time_t now, const std::tm& local) {
    const long long local_seconds = DaysFromCivil(local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday) * 86400 +
                                    local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    const long long offset_minutes = (local_seconds - static_cast<long long>(now)) / 60;
    const int magnitude = static_cast<int>(offset_minutes < 0 ? -offset_minutes : offset_minutes);
    char text[128] = {};
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, offset_minutes < 0 ? '-' : '+',
                  magnitude / 60, magnitude % 60);
    return text;
}

std::string JsonString(const std::string& utf8) {
    return CompactJson(ordered_json(utf8));
}

std::string CsvField(const std::string& utf8) {
    // A spreadsheet runs a cell that starts with one of these as a formula (tab and CR
    // because some skip them first): a leading quote makes the cell text again.
    const bool formula = !utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos;
    // Control characters are escaped as in the text table, so that printing the file
    // cannot drive the terminal; no raw line break is left to quote.
    std::string text;
    // Appended piece by piece: GCC 12 at -O3 sees a false overlap in "literal" + string.
    if (formula) text += '\'';
    text += ToUtf8(VisibleText(FromUtf8(utf8)));
    if (!formula && text.find_first_of(",\"") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    return out + "\"";
}

std::vector<LISTED_DEVICE> ListDevices(const DEVICE_TABLE& table, const SEGMENT& segment, const std::string& adapter) {
    const auto count = static_cast<std::size_t>(table.device_count);
    const std::span<const DEVICE_INFO> entries(table.entries.data(), count);
    std::vector<LISTED_DEVICE> out;
    out.reserve(count);
    std::vector<ADDRESS_CONFLICT> conflicts = AddressConflictsOfEach(entries);
    for (std::size_t i = 0; i < count; ++i) {
        LISTED_DEVICE d;
        d.entry = entries[i];
        if (segment.mask != IPV4{}) d.same_subnet = InSubnet(d.entry.ipv4_address, segment.address, segment.mask);
        d.address_conflict = std::move(conflicts[i].others);
        d.address_conflict_count = conflicts[i].count;
        d.adapter = adapter;
        out.push_back(std::move(d));
    }
    return out;
}

void to_json(ordered_json& j, const LISTED_DEVICE& device) {
    j = device.entry;
    j["same_subnet"] = device.same_subnet ? ordered_json(*device.same_subnet) : ordered_json(nullptr);
    j["address_conflict"] = ordered_json::array();
    for (const MAC& mac : device.address_conflict) j["address_conflict"].push_back(FormatMac(mac));
    j["address_conflict_count"] = device.address_conflict_count;
}

ordered_json ListedJson(const LISTED_DEVICE& device, bool with_adapter) {
    ordered_json object = device;
    if (with_adapter) object["adapter"] = device.adapter;
    return object;
}

std::string ListingJson(const std::vector<LISTED_DEVICE>& devices, bool with_adapter) {
    if (devices.empty()) return "[]\n";
    std::string out = "[\n";
    for (std::size_t i = 0; i < devices.size(); ++i) {
        out += "  " + CompactJson(ListedJson(devices[i], with_adapter));
        out += i + 1 < devices.size() ? ",\n" : "\n";
    }
    return out + "]\n";
}

std::string ListingCsv(const std::vector<LISTED_DEVICE>& devices, bool with_adapter) {
    std::string out;
    const auto& names = AllFieldNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out += ",";
        out += names[i];
    }
    out += ",same_subnet,address_conflict,address_conflict_count";
    out += with_adapter ? ",adapter\n" : "\n";
    for (const LISTED_DEVICE& d : devices) {
        const auto fields = EntryFields(d.entry);
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i) out += ",";
            if (i < fields.size()) out += CsvField(fields[i].Text());
        }
        out += ",";
        if (d.same_subnet) out += *d.same_subnet ? "true" : "false";
        out += ",";
        // Appended piece by piece: GCC 12 at -O3 sees a false overlap in "literal" + string.
        for (std::size_t i = 0; i < d.address_conflict.size(); ++i) {
            if (i) out += " ";
            out += FormatMac(d.address_conflict[i]);
        }
        out += ",";
        out += std::to_string(d.address_conflict_count);
        if (with_adapter) {
            out += ",";
            out += d.adapter;
        }
        out += "\n";
    }
    return out;
}

std::string ListingText(const std::vector<LISTED_DEVICE>& devices, bool with_adapter) {
    const std::size_t columns = with_adapter ? 5 : 4;
    std::vector<std::array<std::string, 5>> rows = {
        {"Device Name", "Model Name", "MAC Address", "IP Address", "Adapter"}};
    for (const LISTED_DEVICE& d : devices) {
        const DEVICE_INFO& e = d.entry;
        rows.push_back({ToUtf8(VisibleText(DeviceNameText(e))), ToUtf8(VisibleText(ModelNameText(e))),
                        ToUtf8(MacText(e)), ToUtf8(IpAddressText(e)), d.adapter});
    }
    std::array<std::size_t, 5> widths{};
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < columns; ++c) widths[c] = std::max(widths[c], Width(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < columns; ++c) {
            out += row[c];
            if (c + 1 < columns) out += std::string(widths[c] - Width(row[c]) + 2, ' ');
        }
        out += "\n";
    }
    out += SharedAddressLines(devices, with_adapter);
    return out;
}

std::string TableJson(const DEVICE_TABLE& table, const SEGMENT& segment) {
    return ListingJson(ListDevices(table, segment, ""), false);
}

std::string TableCsv(const DEVICE_TABLE& table, const SEGMENT& segment) {
    return ListingCsv(ListDevices(table, segment, ""), false);
}

std::string TableText(const DEVICE_TABLE& table) {
    return ListingText(ListDevices(table, SEGMENT{}, ""), false);
}

}  // namespace telvane::cli

namespace telvane {

void to_json(nlohmann::ordered_json& j, const DEVICE_INFO& entry) {
    j = nlohmann::ordered_json::object();
    for (const cli::FIELD& f : cli::EntryFields(entry)) j[f.name] = f;
}

}  // namespace telvane
