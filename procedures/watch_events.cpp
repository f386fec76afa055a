#include "procedures/watch_events.h"

#include <algorithm>
#include <chrono>
#include <compare>
#include <map>
#include <set>

namespace telvane {

namespace {

// The device table's key (MAC and IPv4 address), and the adapter. Ordered rather than
// hashed: the bytes are whatever the senders chose, and none can crowd one bucket.
struct KEY {
    MAC mac{};
    IPV4 address{};
    std::string adapter;
    auto operator<=>(const KEY&) const = default;
};

// The MAC and adapter alone: what stays when a device's address changes.
struct DEVICE_ID {
    MAC mac{};
    std::string adapter;
    auto operator<=>(const DEVICE_ID&) const = default;
};

KEY KeyOf(const WATCHED_DEVICE& d) {
    return {d.info.mac, d.info.ipv4_address, d.adapter};
}

DEVICE_ID IdOf(const WATCHED_DEVICE& d) {
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

    // First the devices heard under a known key, and those that are new, each key once.
    std::set<KEY> taken;
    std::vector<std::optional<std::size_t>> match(devices.size());  // known index, or new
    std::vector<bool> skip(devices.size(), false);
    std::map<DEVICE_ID, std::size_t> new_keys;  // new addresses per MAC
    for (std::size_t d = 0; d < devices.size(); ++d) {
        const KEY key = KeyOf(devices[d]);
        if (!taken.insert(key).second) {
            skip[d] = true;
            continue;
        }
        const auto it = index.find(key);
        if (it != index.end()) {
            match[d] = it->second;
            heard[it->second] = true;
        } else {
            ++new_keys[IdOf(devices[d])];
        }
    }
    // A MAC at one new address and no longer at its one old address has moved: that is a
    // change of its address, whichever order the replies came in.
    std::map<DEVICE_ID, std::optional<std::size_t>> unheard;  // nullopt: several
    for (std::size_t i = 0; i < known_.size(); ++i) {
        if (heard[i]) continue;
        const DEVICE_ID id = IdOf(known_[i].device);
        if (!new_keys.contains(id)) continue;
        const auto [it, first] = unheard.try_emplace(id, i);
        if (!first) it->second.reset();
    }

    for (std::size_t d = 0; d < devices.size(); ++d) {
        if (skip[d]) continue;
        const WATCHED_DEVICE& device = devices[d];
        if (!match[d]) {
            const DEVICE_ID id = IdOf(device);
            const auto moved = unheard.find(id);
            if (moved != unheard.end() && moved->second && new_keys[id] == 1) {
                match[d] = *moved->second;
                heard[*moved->second] = true;
            }
        }
        if (!match[d]) {
            known_.push_back(KNOWN{device, 0});
            heard.push_back(true);
            events.push_back(WATCH_EVENT{WATCH_EVENT_KIND::APPEARED, device, {}});
            continue;
        }
        KNOWN& entry = known_[*match[d]];
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

void RunWatch(const std::function<std::optional<std::vector<WATCHED_DEVICE>>()>& enumerate, CWatchTracker& tracker,
              const CStopSignal& stop, int interval_ms, const std::function<void(const WATCH_EVENT&)>& emit,
              const std::function<void(bool lost)>& outage) {
    bool lost = false;
    while (stop.Raised() == 0) {
        const auto started = std::chrono::steady_clock::now();
        const auto devices = enumerate();
        // A stop during the enumeration ends the watch without half-true events (gone
        // only because the wait was cut short).
        if (stop.Raised() != 0) break;
        if (devices.has_value() == lost) {
            lost = !lost;
            outage(lost);
        }
        if (devices) {
            for (const WATCH_EVENT& event : tracker.Update(*devices)) emit(event);
        }
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        if (spent < interval_ms && stop.WaitFor(static_cast<int>(interval_ms - spent))) break;
    }
}

}  // namespace telvane
