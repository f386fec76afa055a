#pragma once

// What set and restore write to the journal around each request: the device's fields and
// the request before it leaves (on disk before the datagram), the outcome after.

#include <cstdint>
#include <optional>
#include <string>

#include "inventory/device_info.h"
#include "net/journal_file.h"
#include "procedures/journal.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

// How many rotated files the journal keeps besides the one written.
inline constexpr JOURNAL_ROTATION JOURNAL_ROTATION_POLICY{8u * 1024u * 1024u, 3};

// "2026-12-10T11:19:31+0100", now.
std::string JournalTimeNow();

class CSetJournal final {
public:
    // Off with --no-journal or a dry run (nothing is sent). Otherwise the journal must be
    // writable: the failure that stops the run before anything is sent (exit 4).
    std::optional<CLI_ERROR> Open(const SET_ARGS& args);
    void SetAdapter(std::string adapter) { adapter_ = std::move(adapter); }

    // Before a request leaves: the entry is on disk, or the reason it is not (and the
    // request must not leave).
    std::string BeforeSend(const DEVICE_INFO& device, const ordered_json& request);
    // After its outcome (accepted, refused, no-answer): a failure here is only warned about,
    // since the request has gone.
    void AfterOutcome(const std::string& mac, const std::string& outcome, int sends,
                      std::optional<std::int32_t> result);

    // A request was held back because its entry could not be written.
    bool Failed() const { return failed_; }

private:
    bool on_ = false;
    bool failed_ = false;
    std::string path_;
    std::string adapter_;
    std::string command_ = "set";
    std::string restores_;
    std::string pending_id_;
    std::uint32_t sequence_ = 0;
};

}  // namespace telvane::cli
