#pragma once

// What changed between successive enumerations, for `enumerate --watch`: a device
// appeared, changed (naming the fields), or is gone after missing two enumerations in a
// row. Devices are told apart as the device table tells its entries apart, by MAC and
// IPv4 address, and by the adapter they were heard on when several adapters are watched;
// a MAC heard at one new address in place of its one old address is a change of address.
// No Qt.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "inventory/device_info.h"
#include "net/stop_signal.h"

namespace telvane {

struct WATCHED_DEVICE {
    DEVICE_INFO info{};
    std::string adapter;   // the adapter's IPv4 text; empty when one adapter is watched
    std::string document;  // the caller's own rendering of the device as heard, carried along
};

enum class WATCH_EVENT_KIND { APPEARED, CHANGED, GONE };
// "appeared", "changed", "gone"
const char* WatchEventName(WATCH_EVENT_KIND kind);

struct WATCH_EVENT {
    WATCH_EVENT_KIND kind = WATCH_EVENT_KIND::APPEARED;
    WATCHED_DEVICE device;            // as heard now; for GONE as last heard
    std::vector<std::string> fields;  // CHANGED only: the names of the fields that differ
};

// A device's fields as (name, value text) pairs, in the order to report them. The
// names are those the output uses for the device, so a change names its keys.
using DEVICE_FIELDS_FN = std::function<std::vector<std::pair<std::string, std::string>>(const DEVICE_INFO&)>;

inline constexpr int WATCH_MISSES_BEFORE_GONE = 2;

class CWatchTracker final {
public:
    explicit CWatchTracker(DEVICE_FIELDS_FN fields) : fields_(std::move(fields)) {}

    // Takes one enumeration's devices (arrival order) and gives the events it makes:
    // changed and appeared in arrival order, then gone in the order first heard. The
    // first enumeration reports every device as appeared. A device listed twice under
    // one key counts once, as first listed. The events do not depend on the order of the
    // devices within an enumeration, beyond the order they are reported in.
    std::vector<WATCH_EVENT> Update(const std::vector<WATCHED_DEVICE>& devices);

    // Devices currently known (heard in one of the last two enumerations).
    std::size_t KnownCount() const { return known_.size(); }

private:
    struct KNOWN {
        WATCHED_DEVICE device;
        int missed = 0;
    };

    DEVICE_FIELDS_FN fields_;
    std::vector<KNOWN> known_;  // in the order first heard
};

// Enumerates every interval_ms (start to start) until a stop is asked for, handing
// each event to emit as soon as its enumeration is done. The first enumeration starts
// at once. An enumeration that fails (nothing: the adapter lost its address, its link is
// down) is no news about the devices: the tracker keeps them as they were, outage is
// told once with true, and the watch tries again at the interval until an enumeration
// works, when outage is told false. Only a stop ends it.
void RunWatch(const std::function<std::optional<std::vector<WATCHED_DEVICE>>()>& enumerate, CWatchTracker& tracker,
              const CStopSignal& stop, int interval_ms, const std::function<void(const WATCH_EVENT&)>& emit,
              const std::function<void(bool lost)>& outage);

}  // namespace telvane
