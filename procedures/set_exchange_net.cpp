#include "procedures/set_exchange_net.h"

#include "net/discovery_socket.h"
#include "net/pumped_wait.h"

namespace telvane {

// RunSetExchange takes 0 from the wait as "signalled".
static_assert(WAIT_OBJECT_0 == 0);

SET_EXCHANGE ExchangeSetRequest(CTelvaneSocket& socket, DEVICE_TABLE& table, const SET_REQUEST& request,
                                SEND_FAILURES on_send_failure) {
    SET_EXCHANGE_IO io;
    // Taken in, not thrown away: the window lists a late enumerate reply whenever it comes.
    io.drain = [&socket] { socket.DrainQueued(); };
    io.send = [&socket](std::span<const std::uint8_t> bytes) -> std::optional<std::string> {
        if (socket.SendTo(bytes.data(), static_cast<int>(bytes.size()), BROADCAST_ADDRESS, DISCOVERY_PORT) < 0)
            return socket.LastSendError();
        return std::nullopt;
    };
    io.wait = [](const CReplyEvent& event, std::uint32_t ms) { return WaitPumping([&event] { return event.IsSet(); }, ms);
    };
    io.on_send_failure = on_send_failure;
    return RunSetExchange(table, request.Bytes(), io);
}

}  // namespace telvane
