#pragma once

// The journal of what each set replaced: before a set request leaves, a line with what
// the device reported, what is about to be sent, the adapter and the time; after the
// outcome, a line with the outcome. JSON lines, one file, rotated by the platform layer.
// Reading it back skips any line that is not one of ours, with a warning. No Qt.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "procedures/set_options.h"

namespace telvane {

using journal_json = nlohmann::ordered_json;

// The journal's file: TELVANE_JOURNAL when set, else journal.jsonl in the user's state
// folder; empty when neither can be named.
std::string JournalPath();

// A set about to be sent.
struct JOURNAL_SET {
    std::string id;
    std::string time;      // local time with its offset from UTC
    std::string command;   // "set" or "restore"
    std::string restores;  // restore: the entry it undoes
    std::string mac;
    std::string adapter;
    journal_json before;   // the device's fields as enumerate writes them
    journal_json request;  // {"hex": ..., "fields": {...}}
};

// Its outcome: accepted, refused, no-answer.
struct JOURNAL_OUTCOME {
    std::string id;
    std::string time;
    std::string mac;
    std::string outcome;
    int sends = 0;
    std::optional<std::int32_t> result;
};

std::string JournalSetLine(const JOURNAL_SET& set);
std::string JournalOutcomeLine(const JOURNAL_OUTCOME& outcome);

// An id that no other entry has: the time, the process and a count within it.
std::string NewJournalId(std::time_t now, std::uint32_t process, std::uint32_t sequence);

struct JOURNAL_ENTRY {
    JOURNAL_SET set;
    std::optional<JOURNAL_OUTCOME> outcome;  // none when the program stopped before it
};

struct JOURNAL_READING {
    std::vector<JOURNAL_ENTRY> entries;  // oldest first
    std::vector<std::string> warnings;   // one per line skipped
};

// The entries of the journal's text; name is what the warnings call it.
void ParseJournal(std::string_view text, const std::string& name, JOURNAL_READING& reading);
// The journal at path with its rotated files, oldest first. A missing file is no entry.
[[nodiscard]] JOURNAL_READING ReadJournal(const std::string& path, int rotated_files);

// An object's members as text, as a CSV cell holds them: true/false, numbers in decimal,
// null as empty, a list as its items joined by ";" ("-" for an empty list). Snapshot
// fields become options through SnapshotOptions.
std::vector<std::pair<std::string, std::string>> JsonFieldTexts(const journal_json& object);

// The fields a set changes, as "name: before -> after", from what the device reported
// and the request's fields (enumerate's names). Values an automatic choice does not
// carry are left out.
std::vector<std::string> ChangedFields(const journal_json& before, const journal_json& request_fields);

// Reads enumerate --json's document (or any array of objects keyed by enumerate's fields
// or by set's options) as a batch, as ReadSetBatch reads the same in CSV. A row's line is
// its object's place in the array, from 2, as enumerate writes one object a line.
[[nodiscard]] SET_BATCH ReadJsonBatch(std::string_view text);

}  // namespace telvane
