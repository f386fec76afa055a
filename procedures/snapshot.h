#pragma once

// Reading back what enumerate writes: a device's fields (a CSV row of enumerate --csv, an
// object of enumerate --json, a journal's record of a device) become the set options that
// put a device back to those settings. Fields that describe the device rather than its
// settings are recognised and not applied; the model name is kept to check that the row
// reaches the same kind of device. No Qt.

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "procedures/csv.h"
#include "procedures/set_options.h"

namespace telvane {

// The settings among enumerate's fields: applied.
bool IsSnapshotSetting(std::string_view name);
// The fields that describe the device (names, model, locked, flags, same_subnet,
// address_conflict..., adapter): recognised, not applied.
bool IsSnapshotDescription(std::string_view name);

struct SNAPSHOT_ROW {
    std::vector<SET_OPTION> options;
    std::string model_name;  // the row's model, empty when it names none
    std::string error;       // a field of the wrong form; the row is not sent
};

// One device's fields by name, as text ("true"/"false" for the yes/no ones, empty for a
// field the row leaves out). Unknown names are the caller's to refuse.
SNAPSHOT_ROW SnapshotOptions(std::span<const std::pair<std::string, std::string>> fields);

// A header of enumerate --csv (or one naming any field only enumerate writes), rather than
// one of set's own option columns.
bool IsSnapshotHeader(std::span<const std::string> header);

// A batch from such a CSV document: each row's device by its mac column, its options from
// the settings, its model name kept in the row. An unknown or repeated column, or a
// column of set's own options mixed in, fails the whole batch.
[[nodiscard]] SET_BATCH ReadSnapshotBatch(const CSV_DOCUMENT& doc);

// Why the row's device may not take the row: its model differs from the one the row
// names. Empty when it may (or the row names no model, or no such device was heard).
std::string SnapshotModelMismatch(const DEVICE_TABLE& table, const SET_BATCH_ROW& row);

}  // namespace telvane
