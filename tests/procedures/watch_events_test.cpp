#include "procedures/watch_events.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>

namespace telvane {
namespace {

// The tracker only compares what the describer gives; two fields are enough to see
// which one changed.
std::vector<std::pair<std::string, std::string>> Fields(const DEVICE_INFO& e) {
    return {{"ipv4_address", std::to_string(e.ipv4_address[3])}, {"dhcp", e.dhcp ? "true" : "false"}};
}

WATCHED_DEVICE Device(std::uint8_t mac_last, std::uint8_t address_last, const std::string& adapter = "") {
    WATCHED_DEVICE d;
    d.info.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, mac_last};
    d.info.ipv4_address = {192, 0, 2, address_last};
    d.adapter = adapter;
    return d;
}

std::vector<std::string> Kinds(const std::vector<WATCH_EVENT>& events) {
    std::vector<std::string> out;
    for (const auto& e : events)
        out.push_back(std::string(WatchEventName(e.kind)) + " " + std::to_string(e.device.info.mac[5]));
    return out;
}

TEST(WatchTracker, FirstEnumerationReportsEveryDeviceInArrivalOrder) {
    CWatchTracker tracker(Fields);
    EXPECT_EQ(Kinds(tracker.Update({Device(7, 7), Device(3, 3)})),
              (std::vector<std::string>{"appeared 7", "appeared 3"}));
    EXPECT_TRUE(tracker.Update({Device(3, 3), Device(7, 7)}).empty());
}

TEST(WatchTracker, ChangedNamesTheFieldsThatDiffer) {
    CWatchTracker tracker(Fields);
    tracker.Update({Device(1, 10)});
    auto changed = Device(1, 20);
    changed.info.dhcp = 1;
    const auto events = tracker.Update({changed});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, WATCH_EVENT_KIND::CHANGED);
    EXPECT_EQ(events[0].fields, (std::vector<std::string>{"ipv4_address", "dhcp"}));
    EXPECT_EQ(events[0].device.info.ipv4_address[3], 20);
}

// Guards against reporting a device gone after one lost enumeration: a single missed
// reply is common on a busy segment.
TEST(WatchTracker, GoneOnlyAfterTwoMissedEnumerationsInARow) {
    CWatchTracker tracker(Fields);
    tracker.Update({Device(1, 10), Device(2, 11)});
    EXPECT_TRUE(tracker.Update({Device(2, 11)}).empty());
    EXPECT_TRUE(tracker.Update({Device(1, 10), Device(2, 11)}).empty());  // heard again: the count starts over
    EXPECT_TRUE(tracker.Update({Device(2, 11)}).empty());
    const auto events = tracker.Update({Device(2, 11)});
    EXPECT_EQ(Kinds(events), (std::vector<std::string>{"gone 1"}));
    EXPECT_EQ(events[0].device.info.ipv4_address[3], 10);
    EXPECT_EQ(tracker.KnownCount(), 1u);
    EXPECT_EQ(Kinds(tracker.Update({Device(1, 10), Device(2, 11)})), (std::vector<std::string>{"appeared 1"}));
}

TEST(WatchTracker, OneDeviceOnTwoAdaptersIsTwoEntries) {
    CWatchTracker tracker(Fields);
    EXPECT_EQ(tracker.Update({Device(1, 10, "192.0.2.1"), Device(1, 10, "198.51.100.1")}).size(), 2u);
    tracker.Update({Device(1, 10, "192.0.2.1")});
    const auto events = tracker.Update({Device(1, 10, "192.0.2.1")});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, WATCH_EVENT_KIND::GONE);
    EXPECT_EQ(events[0].device.adapter, "198.51.100.1");
}

TEST(WatchTracker, ADeviceListedTwiceCountsAsFirstListed) {
    CWatchTracker tracker(Fields);
    tracker.Update({Device(1, 10)});
    auto again = Device(1, 10);
    again.info.dhcp = 1;
    EXPECT_TRUE(tracker.Update({Device(1, 10), again}).empty());
}

// Guards against one MAC at two addresses (as the device table keeps it: two entries)
// reporting a change whenever its two replies arrive in the other order, and against
// an event that carries one address while the caller shows the other.
TEST(WatchTracker, OneMacAtTwoAddressesIsTwoDevicesWhateverTheOrder) {
    CWatchTracker tracker(Fields);
    auto first = Device(1, 30);
    first.document = "at 30";
    auto second = Device(1, 31);
    second.document = "at 31";
    const auto events = tracker.Update({first, second});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].device.info.ipv4_address[3], 31);
    EXPECT_EQ(events[1].device.document, "at 31");
    EXPECT_TRUE(tracker.Update({second, first}).empty());
    EXPECT_EQ(tracker.KnownCount(), 2u);
    // Heard at one of them only: the other goes, nothing changes.
    tracker.Update({second});
    EXPECT_EQ(Kinds(tracker.Update({second})), (std::vector<std::string>{"gone 1"}));
    // A MAC heard at one new address instead of its one old address has changed address.
    const auto moved = tracker.Update({Device(1, 40)});
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].kind, WATCH_EVENT_KIND::CHANGED);
    EXPECT_EQ(moved[0].fields, (std::vector<std::string>{"ipv4_address"}));
    EXPECT_EQ(tracker.KnownCount(), 1u);
}

TEST(RunWatch, EnumeratesAtTheIntervalUntilStopped) {
    CStopSignal stop;
    CWatchTracker tracker(Fields);
    const std::vector<std::vector<WATCHED_DEVICE>> rounds = {{Device(1, 10)}, {Device(1, 10), Device(2, 11)}, {}};
    std::size_t calls = 0;
    std::vector<std::string> seen;
    const auto start = std::chrono::steady_clock::now();
    RunWatch(
        [&]() -> std::optional<std::vector<WATCHED_DEVICE>> {
            const auto& devices = rounds[std::min(calls, rounds.size() - 1)];
            ++calls;
            return devices;
        },
        tracker, stop, 20,
        [&](const WATCH_EVENT& e) {
            seen.push_back(std::string(WatchEventName(e.kind)) + " " + std::to_string(e.device.info.mac[5]));
            if (seen.size() == 4) raise(SIGINT);
        },
        [](bool) { ADD_FAILURE() << "no outage"; });
    // Rounds 1 and 2 bring the devices, rounds 3 and 4 miss them: both gone after the fourth.
    EXPECT_EQ(seen, (std::vector<std::string>{"appeared 1", "appeared 2", "gone 1", "gone 2"}));
    EXPECT_EQ(calls, 4u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

// Guards against reporting every device gone because a stop cut an enumeration short.
TEST(RunWatch, StopDuringAnEnumerationReportsNothingOfIt) {
    CStopSignal stop;
    CWatchTracker tracker(Fields);
    std::size_t calls = 0;
    int events = 0;
    RunWatch(
        [&]() -> std::optional<std::vector<WATCHED_DEVICE>> {
            if (++calls == 2) raise(SIGTERM);
            return std::vector<WATCHED_DEVICE>{Device(static_cast<std::uint8_t>(calls), 10)};
        },
        tracker, stop, 10, [&](const WATCH_EVENT&) { ++events; }, [](bool) {});
    EXPECT_EQ(calls, 2u);
    EXPECT_EQ(events, 1);
}

// Guards against a watch that ends, or reports every device gone, when the adapter loses
// its address for a few enumerations.
TEST(RunWatch, FailedEnumerationsAreAnOutageThatKeepsTheDevices) {
    CStopSignal stop;
    CWatchTracker tracker(Fields);
    std::size_t calls = 0;
    std::vector<std::string> seen;
    RunWatch(
        [&]() -> std::optional<std::vector<WATCHED_DEVICE>> {
            if (++calls == 7) raise(SIGTERM);
            if (calls >= 2 && calls <= 4) return std::nullopt;
            return std::vector<WATCHED_DEVICE>{Device(1, 10)};
        },
        tracker, stop, 5, [&](const WATCH_EVENT& e) { seen.push_back(WatchEventName(e.kind)); },
        [&](bool lost) { seen.push_back(lost ? "lost" : "back"); });
    EXPECT_EQ(calls, 7u);
    EXPECT_EQ(seen, (std::vector<std::string>{"appeared", "lost", "back"}));
}

}  // namespace
}  // namespace telvane
