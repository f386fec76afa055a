#include "tools/cli/set_journal.h"

#include <cstdio>
#include <ctime>

#include "net/journal_file.h"
#include "protocol/text.h"

namespace telvane::cli {

std::string JournalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return LocalTimeWithOffset(now, local);
}

std::optional<CLI_ERROR> CSetJournal::Open(const SET_ARGS& args) {
    if (!args.restores.empty()) {
        command_ = "restore";
        restores_ = args.restores;
    }
    if (args.no_journal || args.dry_run) return std::nullopt;
    path_ = JournalPath();
    const std::string why =
        path_.empty() ? std::string("no folder for it (set TELVANE_JOURNAL or HOME)") : CheckJournalWritable(path_);
    if (!why.empty())
        return CLI_ERROR{
            "journal", "the journal cannot be written, so nothing was sent: " + why + " (--no-journal sets without it)",
            EXIT_CODE::LOCAL};
    on_ = true;
    return std::nullopt;
}

std::string CSetJournal::BeforeSend(const DEVICE_INFO& device, const ordered_json& request) {
    pending_id_.clear();
    if (!on_) return {};
    JOURNAL_SET set;
    set.id = NewJournalId(std::time(nullptr), CurrentProcessId(), ++sequence_);
    set.time = JournalTimeNow();
    set.command = command_;
    set.restores = restores_;
    set.mac = FormatMac(device.mac);
    set.adapter = adapter_;
    set.before = ordered_json(device);
    set.request = request;
    const std::string why = AppendJournalLine(path_, JournalSetLine(set), JOURNAL_ROTATION_POLICY);
    if (!why.empty()) {
        failed_ = true;
        return "the journal cannot be written: " + why + " (--no-journal sets without it)";
    }
    pending_id_ = set.id;
    return {};
}

void CSetJournal::AfterOutcome(const std::string& mac, const std::string& outcome, int sends,
                               std::optional<std::int32_t> result) {
    if (!on_ || pending_id_.empty()) return;
    const JOURNAL_OUTCOME o{pending_id_, JournalTimeNow(), mac, outcome, sends, result};
    pending_id_.clear();
    const std::string why = AppendJournalLine(path_, JournalOutcomeLine(o), JOURNAL_ROTATION_POLICY);
    if (!why.empty()) std::fprintf(stderr, "telvane-cli: warning: the outcome was not journalled: %s\n", why.c_str());
}

}  // namespace telvane::cli
