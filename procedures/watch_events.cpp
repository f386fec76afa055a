#include "procedures/watch_events.h"

#include <algorithm>
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

}  // namespace telvane
