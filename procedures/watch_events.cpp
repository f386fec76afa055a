#include "procedures/watch_events.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

namespace telvane {

namespace {

using KEY = std::pair<MAC, std::string>;

KEY KeyOf(const WATCHED_DEVICE& d) {
    return {d.info.mac, d.adapter};
}

// Names of the fields whose values differ, in the order of the newer device's fields;
// a field only one side has counts as changed.
std::vector<std::string> ChangedFields(const std::vector<std::pair<std::string, std::string>>& before,
                                       const std::vector<std::pair<std::string, std::string>>& after) {
    std::vector<std::string> out;
    const std::map<std::string, std::string> old_values(before.begin(), before.end());
    std::set<std::string> seen;
    for (const auto& [name, value] : after) {
        seen.insert(name);
        const auto it = old_values.find(name);
        if (it == old_values.end() || it->second != value) out.push_back(name);
    }
    for (const auto& [name, value] : before) {
        if (!seen.contains(name)) out.push_back(name);
    }
    return out;
}

}  // namespace

const char* WatchEventName(WATCH_EVENT_KIND kind) {
    switch (kind) {
        case WATCH_EVENT_KIND::APPEARED:
            return "appeared";
        case WATCH_EVENT_KIND::CHANGED:
            return "changed";
        case WATCH_EVENT_KIND::GONE:
            return "gone";
    }
    return "appeared";
}

std::vector<WATCH_EVENT> CWatchTracker::Update(const std::vector<WATCHED_DEVICE>& devices) {
    std::vector<WATCH_EVENT> events;
    std::map<KEY, std::size_t> index;
    for (std::size_t i = 0; i < known_.size(); ++i) index.emplace(KeyOf(known_[i].device), i);
    std::vector<bool> heard(known_.size(), false);
    std::set<KEY> taken;

    for (const WATCHED_DEVICE& device : devices) {
        const KEY key = KeyOf(device);
        if (!taken.insert(key).second) continue;
        const auto it = index.find(key);
        if (it == index.end()) {
            known_.push_back(KNOWN{device, 0});
            heard.push_back(true);
            events.push_back(WATCH_EVENT{WATCH_EVENT_KIND::APPEARED, device, {}});
            continue;
        }
        KNOWN& entry = known_[it->second];
        heard[it->second] = true;
        entry.missed = 0;
        auto fields = ChangedFields(fields_(entry.device.info), fields_(device.info));
        entry.device = device;
        if (!fields.empty()) events.push_back(WATCH_EVENT{WATCH_EVENT_KIND::CHANGED, device, std::move(fields)});
    }

    std::vector<KNOWN> kept;
    kept.reserve(known_.size());
    for (std::size_t i = 0; i < known_.size(); ++i) {
        if (!heard[i] && ++known_[i].missed >= WATCH_MISSES_BEFORE_GONE) {
            events.push_back(WATCH_EVENT{WATCH_EVENT_KIND::GONE, known_[i].device, {}});
            continue;
        }
        kept.push_back(std::move(known_[i]));
    }
    known_ = std::move(kept);
    return events;
}

bool RunWatch(const std::function<std::optional<std::vector<WATCHED_DEVICE>>()>& enumerate, CWatchTracker& tracker,
              const CStopSignal& stop, int interval_ms, const std::function<void(const WATCH_EVENT&)>& emit) {
    while (stop.Raised() == 0) {
        const auto started = std::chrono::steady_clock::now();
        const auto devices = enumerate();
        if (!devices) return false;
        // A stop during the enumeration ends the watch without half-true events (gone
        // only because the wait was cut short).
        if (stop.Raised() != 0) break;
        for (const WATCH_EVENT& event : tracker.Update(*devices)) emit(event);
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        if (spent < interval_ms && stop.WaitFor(static_cast<int>(interval_ms - spent))) break;
    }
    return true;
}

}  // namespace telvane
