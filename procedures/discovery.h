#pragma once

// What the window and the command line share of opening the discovery socket and of
// the enumeration: the window adds its control steps around these, the command line
// its messages.

#include <cstdint>
#include <optional>
#include <string>

#include "inventory/device_info.h"
#include "inventory/reply_intake.h"
#include "net/discovery_socket.h"

namespace telvane {

inline constexpr int ENUMERATE_SEND_COUNT = 3;
inline constexpr std::uint32_t ENUMERATE_WAIT_MS = 150;

enum class OPEN_RESULT {
    OPENED,
    NO_ADAPTER,     // nothing was touched
    SOCKET_FAILED,  // the old socket is closed, no new one is open
};

// The socket steps of CreateDiscoverySocket: without an adapter (nullopt) nothing
// happens; otherwise the open socket is closed, a new one is made on local_address,
// given its owner and allowed to broadcast (a failure of that last step is not
// looked at). Showing a failure is the caller's.
[[nodiscard]] OPEN_RESULT OpenDiscoverySocket(CTelvaneSocket& socket, const std::optional<std::string>& local_address,
                                              IDatagramSink* owner);

// A request that could not be sent, with the system's reason.
struct SEND_FAILURE {
    std::string reason;
};

// The broadcasts of an enumeration: MSG_ENUMERATE to 255.255.255.255:DISCOVERY_PORT, three times,
// each followed by a pumped wait of 150 ms in which replies are taken in. A failed send
// does not change the timing; the first failure is returned (the window ignores it).
[[nodiscard]] std::optional<SEND_FAILURE> BroadcastEnumerateRequests(CTelvaneSocket& socket);

// The whole enumeration for a caller without a window: what is already queued on the
// socket is taken in first and forgotten with the rest of the table (counts too), so
// that the table holds only what answered these requests.
[[nodiscard]] std::optional<SEND_FAILURE> EnumerateIntoTable(CTelvaneSocket& socket, DEVICE_TABLE& table);

// Takes every datagram the socket reads into a device table, as the window does
// (extensions taken when SupportsFullFunction holds), and reports each new entry.
class CTableIntake final : public IDatagramSink {
public:
    explicit CTableIntake(DEVICE_TABLE& table, AddDeviceRowFn add_device_row = nullptr)
        : table_(table), add_device_row_(std::move(add_device_row)) {}
    void OnDatagram(const std::uint8_t* data, int length, const std::string& sender_address,
                    std::uint16_t sender_port) override;
    void OnDropped(DROP_REASON reason) override;
    void OnLost(std::uint64_t count) override;
    // Every datagram handed over, taken or not.
    int DatagramCount() const { return datagram_count_; }

private:
    DEVICE_TABLE& table_;
    AddDeviceRowFn add_device_row_;
    int datagram_count_ = 0;
};

}  // namespace telvane
