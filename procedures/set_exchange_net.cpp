#include "procedures/set_exchange_net.h"

#include "net/discovery_socket.h"
#include "net/pumped_wait.h"

namespace telvane {

// RunSetExchange takes 0 from the wait as "signalled".
static_assert(WAIT_OBJECT_0 == 0);

SET_EXCHANGE ExchangeSetRequest(CTelvaneSocket& socket, DEVICE_TABLE& table, const SET_REQUEST& request) {
    const auto send = [&socket](std::span<const std::uint8_t> bytes) {
        socket.SendTo(bytes.data(), static_cast<int>(bytes.size()), BROADCAST_ADDRESS, DISCOVERY_PORT);
    };
    const auto wait = [](const CReplyEvent& event, std::uint32_t ms) { return WaitPumping([&event] { return event.IsSet(); }, ms);
    };
    return RunSetExchange(table, request.Bytes(), send, wait);
}

}  // namespace telvane
