#pragma once

// A strict reader of comma-separated text: quoted fields with doubled quotes, line breaks
// inside quotes, CRLF, LF or CR line ends, an optional UTF-8 byte order mark. Input comes
// from users' files, so every malformation is an error with its line, never a guess.
// No Qt.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace telvane {

struct CSV_RECORD {
    std::size_t line = 0;  // the line the record starts on, from 1
    std::vector<std::string> fields;
};

struct CSV_DOCUMENT {
    std::vector<CSV_RECORD> records;  // blank lines are skipped
    std::string error;                // empty when the text was read whole
    std::size_t error_line = 0;

    bool Ok() const { return error.empty(); }
};

// Unquoted fields lose the blanks (space, tab) around them; quoted fields keep their
// content exactly. A quote inside an unquoted field, text after a closing quote and an
// unterminated quote are errors.
[[nodiscard]] CSV_DOCUMENT ParseCsv(std::string_view text);

}  // namespace telvane
