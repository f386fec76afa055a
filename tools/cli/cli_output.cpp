#include "tools/cli/cli_output.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "inventory/row_text.h"
#include "protocol/text.h"

namespace telvane::cli {

namespace {

FIELD Text(const char* name, std::string value) {
    return {name, std::move(value), FIELD::KIND::TEXT};
}
FIELD Bool(const char* name, bool value) {
    return {name, value ? "true" : "false", FIELD::KIND::BOOL};
}
FIELD Number(const char* name, int value) {
    return {name, std::to_string(value), FIELD::KIND::NUMBER};
}

std::string Ipv6(const IPV6& address) {
    return ToUtf8(Ipv6Text(address));
}

// Display width in code points; enough for aligning names in a terminal.
std::size_t Width(const std::string& utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

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
        for (std::size_t i = 0; i < value.size(); ++i) out += (i ? ", " : "") + CompactJson(value[i]);
        return out + "]";
    }
    return scalar(value);
}

ordered_json EntryJson(const DEVICE_INFO& entry) {
    ordered_json object = ordered_json::object();
    for (const FIELD& f : EntryFields(entry)) {
        switch (f.kind) {
            case FIELD::KIND::TEXT:
                object[f.name] = f.text;
                break;
            case FIELD::KIND::BOOL:
                object[f.name] = f.text == "true";
                break;
            case FIELD::KIND::NUMBER:
                object[f.name] = std::stoi(f.text);
                break;
        }
    }
    return object;
}

std::string JsonString(const std::string& utf8) {
    return CompactJson(ordered_json(utf8));
}

std::string CsvField(const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    return out + "\"";
}

std::string TableJson(const DEVICE_TABLE& table) {
    if (table.device_count == 0) return "[]\n";
    std::string out = "[\n";
    for (std::int32_t i = 0; i < table.device_count; ++i) {
        out += "  " + CompactJson(EntryJson(table.entries[static_cast<std::size_t>(i)]));
        out += i + 1 < table.device_count ? ",\n" : "\n";
    }
    return out + "]\n";
}

std::string TableCsv(const DEVICE_TABLE& table) {
    std::string out;
    const auto& names = AllFieldNames();
    for (std::size_t i = 0; i < names.size(); ++i) out += (i ? "," : "") + names[i];
    out += "\n";
    for (std::int32_t row = 0; row < table.device_count; ++row) {
        const auto fields = EntryFields(table.entries[static_cast<std::size_t>(row)]);
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i) out += ",";
            if (i < fields.size()) out += CsvField(fields[i].text);
        }
        out += "\n";
    }
    return out;
}

std::string TableText(const DEVICE_TABLE& table) {
    std::vector<std::array<std::string, 4>> rows = {{"Device Name", "Model Name", "MAC Address", "IP Address"}};
    for (std::int32_t i = 0; i < table.device_count; ++i) {
        const DEVICE_INFO& e = table.entries[static_cast<std::size_t>(i)];
        rows.push_back({ToUtf8(VisibleText(DeviceNameText(e))), ToUtf8(VisibleText(ModelNameText(e))),
                        ToUtf8(MacText(e)), ToUtf8(IpAddressText(e))});
    }
    std::array<std::size_t, 4> widths{};
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < 4; ++c) widths[c] = std::max(widths[c], Width(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < 4; ++c) {
            out += row[c];
            if (c + 1 < 4) out += std::string(widths[c] - Width(row[c]) + 2, ' ');
        }
        out += "\n";
    }
    return out;
}

}  // namespace telvane::cli
