#include "procedures/journal.h"

#include <cstdio>

#include "net/file_text.h"
#include "net/journal_file.h"
#include "procedures/csv.h"

namespace telvane {

namespace {

constexpr char MARK[] = "telvane-journal";

std::string Dump(const journal_json& value) {
    return value.dump(-1, ' ', false, journal_json::error_handler_t::replace);
}

std::string Text(const journal_json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A CSV cell holding the text exactly.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    return out + "\"";
}

std::string CellText(const journal_json& value) {
    if (value.is_null()) return {};
    if (value.is_string()) return value.get<std::string>();
    if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
    if (value.is_array()) {
        if (value.empty()) return "-";
        std::string out;
        for (const journal_json& item : value) out += (out.empty() ? "" : ";") + CellText(item);
        return out;
    }
    return Dump(value);
}

}  // namespace

std::string JournalPath() {
    if (std::string path = EnvironmentText("TELVANE_JOURNAL"); !path.empty()) return path;
    const std::string folder = UserStateDirectory();
    if (folder.empty()) return {};
#ifdef _WIN32
    return folder + "\\journal.jsonl";
#else
    return folder + "/journal.jsonl";
#endif
}

std::string NewJournalId(std::time_t now, std::uint32_t process, std::uint32_t sequence) {
    char text[64] = {};
    std::snprintf(text, sizeof text, "%lld-%u-%u", static_cast<long long>(now), process, sequence);
    return text;
}

std::string JournalSetLine(const JOURNAL_SET& set) {
    journal_json j;
    j["journal"] = MARK;
    j["kind"] = "set";
    j["id"] = set.id;
    j["time"] = set.time;
    j["command"] = set.command;
    if (!set.restores.empty()) j["restores"] = set.restores;
    j["mac"] = set.mac;
    j["adapter"] = set.adapter;
    j["before"] = set.before;
    j["request"] = set.request;
    return Dump(j) + "\n";
}

std::string JournalOutcomeLine(const JOURNAL_OUTCOME& outcome) {
    journal_json j;
    j["journal"] = MARK;
    j["kind"] = "outcome";
    j["id"] = outcome.id;
    j["time"] = outcome.time;
    j["mac"] = outcome.mac;
    j["outcome"] = outcome.outcome;
    j["sends"] = outcome.sends;
    j["result"] = outcome.result ? journal_json(*outcome.result) : journal_json(nullptr);
    return Dump(j) + "\n";
}

void ParseJournal(std::string_view text, const std::string& name, JOURNAL_READING& reading) {
    std::size_t line_number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        // A last line without its end is one a writer did not finish.
        const bool whole = end != std::string_view::npos;
        if (!whole) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_number;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        const auto skip = [&](const char* why) {
            reading.warnings.push_back(name + " line " + std::to_string(line_number) + " skipped: " + why);
        };
        const journal_json j = journal_json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object() || Text(j, "journal") != MARK) {
            skip(whole ? "not a journal entry" : "not a journal entry (cut short)");
            continue;
        }
        const std::string kind = Text(j, "kind");
        const std::string id = Text(j, "id");
        const std::string mac = Text(j, "mac");
        if (id.empty() || mac.empty()) {
            skip("no id or mac");
            continue;
        }
        if (kind == "set") {
            const auto before = j.find("before");
            const auto request = j.find("request");
            if (before == j.end() || !before->is_object() || request == j.end() || !request->is_object()) {
                skip("a set without the device's fields or the request");
                continue;
            }
            JOURNAL_ENTRY entry;
            entry.set =
                JOURNAL_SET{id,      Text(j, "time"), Text(j, "command"), Text(j, "restores"), mac, Text(j, "adapter"),
                            *before, *request};
            reading.entries.push_back(std::move(entry));
        } else if (kind == "outcome") {
            JOURNAL_OUTCOME o{id, Text(j, "time"), mac, Text(j, "outcome"), 0, std::nullopt};
            if (const auto sends = j.find("sends"); sends != j.end() && sends->is_number_integer())
                o.sends = sends->get<int>();
            if (const auto result = j.find("result"); result != j.end() && result->is_number_integer())
                o.result = result->get<std::int32_t>();
            // Its set is near the end: look from there.
            bool matched = false;
            for (auto it = reading.entries.rbegin(); it != reading.entries.rend() && !matched; ++it) {
                if (it->set.id != id) continue;
                it->outcome = std::move(o);
                matched = true;
            }
            if (!matched) skip("an outcome of no set in the journal");
        } else {
            skip("unknown kind");
        }
    }
}

JOURNAL_READING ReadJournal(const std::string& path, int rotated_files) {
    JOURNAL_READING reading;
    for (int n = rotated_files; n >= 0; --n) {
        const std::string name = n == 0 ? path : path + "." + std::to_string(n);
        if (const auto text = ReadFileText(name)) ParseJournal(*text, name, reading);
    }
    return reading;
}

std::vector<std::pair<std::string, std::string>> JsonFieldTexts(const journal_json& object) {
    std::vector<std::pair<std::string, std::string>> out;
    if (!object.is_object()) return out;
    for (auto it = object.begin(); it != object.end(); ++it) out.emplace_back(it.key(), CellText(it.value()));
    return out;
}

std::vector<std::string> ChangedFields(const journal_json& before, const journal_json& request_fields) {
    std::vector<std::string> out;
    if (!before.is_object() || !request_fields.is_object()) return out;
    const auto flag = [&](const char* key) {
        const auto it = request_fields.find(key);
        return it != request_fields.end() && it->is_boolean() && it->get<bool>();
    };
    // The values an automatic choice does not send.
    const auto carried = [&](const std::string& key) {
        if (key.starts_with("ipv4_")) return !flag("dhcp");
        if (key.starts_with("dns4_") && key != "dns4_auto") return !flag("dns4_auto");
        if (key.starts_with("dns6_") && key != "dns6_auto") return !flag("dns6_auto");
        if (key.starts_with("ipv6_") && key != "ipv6_dhcp") return !flag("ipv6_dhcp");
        return key != "type";
    };
    for (auto it = request_fields.begin(); it != request_fields.end(); ++it) {
        if (!carried(it.key())) continue;
        const auto was = before.find(it.key());
        if (was == before.end() || *was == it.value()) continue;
        out.push_back(it.key() + ": " + CellText(*was) + " -> " + CellText(it.value()));
    }
    return out;
}

SET_BATCH ReadJsonBatch(std::string_view text) {
    SET_BATCH batch;
    const journal_json doc = journal_json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_array()) {
        batch.error = "not a JSON array of devices (enumerate --json writes one)";
        batch.error_line = 1;
        return batch;
    }
    // The same rules as a CSV file: one column per key in order of first use, an empty
    // cell for a key an object leaves out.
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < doc.size(); ++i) {
        if (!doc[i].is_object()) {
            batch.error = "device " + std::to_string(i + 1) + " is not a JSON object";
            batch.error_line = i + 2;
            return batch;
        }
        for (auto it = doc[i].begin(); it != doc[i].end(); ++it)
            if (std::find(keys.begin(), keys.end(), it.key()) == keys.end()) keys.push_back(it.key());
    }
    if (keys.empty()) keys.push_back("mac");
    std::string csv;
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + string.
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (k) csv += ',';
        csv += Quoted(keys[k]);
    }
    csv += "\n";
    for (const journal_json& object : doc) {
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const auto it = object.find(keys[k]);
            if (k) csv += ',';
            csv += Quoted(it == object.end() ? std::string() : CellText(*it));
        }
        csv += "\n";
    }
    batch = ReadSetBatch(csv);
    return batch;
}

}  // namespace telvane
