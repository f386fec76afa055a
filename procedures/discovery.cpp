#include "procedures/discovery.h"

#include <span>

#include "net/pumped_wait.h"
#include "net/system_checks.h"
#include "protocol/messages.h"

namespace telvane {

OPEN_RESULT OpenDiscoverySocket(CTelvaneSocket& socket, const std::optional<std::string>& local_address,
                                IDatagramSink* owner) {
    if (!local_address) return OPEN_RESULT::NO_ADAPTER;
    socket.Close();
    if (!socket.Create(*local_address)) return OPEN_RESULT::SOCKET_FAILED;
    socket.SetOwner(owner);
    // Without it the sends fail and say so; the socket is still worth keeping for them.
    (void)socket.SetBroadcast(true);
    return OPEN_RESULT::OPENED;
}

std::optional<SEND_FAILURE> BroadcastEnumerateRequests(CTelvaneSocket& socket) {
    const auto request = BuildEnumerateRequest();
    std::optional<SEND_FAILURE> failure;
    for (int i = 0; i < ENUMERATE_SEND_COUNT; ++i) {
        if (socket.SendTo(request.data(), static_cast<int>(request.size()), BROADCAST_ADDRESS, DISCOVERY_PORT) < 0 &&
            !failure) {
            failure = SEND_FAILURE{socket.LastSendError()};
        }
        PumpMessages(ENUMERATE_WAIT_MS);
    }
    return failure;
}

std::optional<SEND_FAILURE> EnumerateIntoTable(CTelvaneSocket& socket, DEVICE_TABLE& table) {
    // Late answers to an earlier request must not pass for answers to these.
    socket.DrainQueued();
    table.BeginEnumeration();
    return BroadcastEnumerateRequests(socket);
}

void CTableIntake::OnDropped(DROP_REASON reason) {
    table_.ignored.Add(reason);
}

void CTableIntake::OnLost(std::uint64_t count) {
    table_.ignored.lost_in_system += count;
}

void CTableIntake::OnDatagram(const std::uint8_t* data, int length, const std::string& /*sender_address*/,
                              std::uint16_t /*sender_port*/) {
    ++datagram_count_;
    if (data == nullptr || length < 0) return;
    telvane::OnDatagram(table_, std::span(data, static_cast<std::size_t>(length)), SupportsFullFunction(),
                        add_device_row_);
}

}  // namespace telvane
