#pragma once

// The command line's way of filling a SET_FORM: named options applied to the panel as
// the device's current settings fill it, from the arguments or from a CSV row. The
// checks stay CheckSetForm's; this only turns words into panel values. No Qt.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "procedures/set_form.h"

namespace telvane {

struct SET_OPTION_DEF {
    std::string_view name;  // without the leading "--"
    int min_values;
    int max_values;
    std::string_view values_help;  // e.g. "ADDRESS"
    std::string_view help;
};

struct SET_OPTION {
    std::string name;  // without the leading "--"
    std::vector<std::string> values;
};

std::span<const SET_OPTION_DEF> SetOptionDefs();
const SET_OPTION_DEF* FindSetOption(std::string_view name);

// Applies the options to the form. A value option implies its manual choice (--ip makes
// the address static, --dns4 makes IPv4 DNS manual, --ipv6/--prefix/--ipv6-gateway make
// IPv6 static, --dns6 makes IPv6 DNS manual). Returns an error text for a repeated option,
// options that contradict each other, or a value of the wrong form; the form is then
// unspecified. Values the checks judge (0.0.0.0, an IPv6 text) are left to CheckSetForm.
// Choices no option names are left as the form holds them.
[[nodiscard]] std::string ApplySetOptions(SET_FORM& form, std::span<const SET_OPTION> options);

// One device's row of a CSV batch.
struct SET_BATCH_ROW {
    std::size_t line = 0;
    std::string mac;                  // the cell as written
    std::vector<SET_OPTION> options;  // the non-empty cells
    std::string error;                // a cell of the wrong form; the row is not sent
    std::string expected_model;       // a snapshot's row: the model its device must report
};

struct SET_BATCH {
    std::vector<SET_BATCH_ROW> rows;
    std::string error;  // the file as a whole is unusable; nothing may be sent
    std::size_t error_line = 0;

    bool Ok() const { return error.empty(); }
};

// A batch refused whole, for the reason found on that line: no row may be sent.
SET_BATCH RefusedBatch(std::size_t line, std::string message);

// The checks every batch row passes, whatever file it came from: a MAC, at least one
// setting, each value of its option's form. The first failure becomes the row's error;
// a row that already has one keeps it.
void CheckBatchRow(SET_BATCH_ROW& row);

// Reads a batch: a header row naming the columns ("mac" and any option names, with or
// without "--", any case), then one row per device. An empty cell leaves the option out.
// A yes/no column ("dhcp", "dns4-auto", ...) takes yes/true/1/on or no/false/0/off, "no"
// choosing the other button of the pair. "dns4" and "dns6" cells hold one or two
// addresses separated by blanks or ';'. Malformed CSV, an unknown, repeated or missing
// "mac" column, a row with the wrong number of cells and a device named on two rows
// (however its MAC is spelt) fail the whole batch; a row without any setting fails on
// its own. A file that enumerate --csv wrote is read as a snapshot (ReadSnapshotBatch).
[[nodiscard]] SET_BATCH ReadSetBatch(std::string_view csv_text);

}  // namespace telvane
