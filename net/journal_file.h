#pragma once

// The command line's journal on disk: where the user's state lives, and appending one
// line so that it is on disk before the caller goes on, with two programs appending at
// once never interleaving or losing a line. POSIX and Win32 sources behind this header.

#include <cstdint>
#include <string>
#include <string_view>

namespace telvane {

// The folder for this program's state, in UTF-8: $XDG_STATE_HOME/telvane, else
// ~/.local/state/telvane; on Windows %LOCALAPPDATA%\Telvane. Empty when the system names
// no such place (no home folder).
std::string UserStateDirectory();

// How the journal is kept from growing without bound: when the file has reached
// rotate_bytes before an append, it becomes PATH.1 (PATH.1 becomes PATH.2, ...; the
// oldest beyond keep_files is dropped) and the line starts a new file.
struct JOURNAL_ROTATION {
    std::uint64_t rotate_bytes = 8u * 1024u * 1024u;
    int keep_files = 3;
};

// Appends `line` (ending in '\n') to the file at path (UTF-8), creating the file and its
// folder as needed. Under an exclusive lock on the file (flock, LockFileEx) it rotates if
// due, writes the line with one write to a file opened for appending and syncs it to the
// disk. Returns empty on success, else why it failed (nothing is then promised on disk).
[[nodiscard]] std::string AppendJournalLine(const std::string& path, std::string_view line,
                                            const JOURNAL_ROTATION& rotation);

// Whether a line could be appended: creates the folder and opens the file for appending,
// writing nothing. Empty on success, else why not.
[[nodiscard]] std::string CheckJournalWritable(const std::string& path);

// An environment variable's value in UTF-8 (Windows keeps it in UTF-16); empty when unset.
std::string EnvironmentText(const char* name);

// A number that tells this process from others running now.
std::uint32_t CurrentProcessId();

}  // namespace telvane
