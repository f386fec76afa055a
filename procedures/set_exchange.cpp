#include "procedures/set_exchange.h"

namespace telvane {

namespace {
constexpr std::uint32_t SIGNALLED = 0;  // the pumped wait's WAIT_OBJECT_0
}  // namespace

SET_EXCHANGE RunSetExchange(DEVICE_TABLE& table, std::span<const std::uint8_t> request, const SetSendFn& send,
                            const SetWaitFn& wait) {
    SET_EXCHANGE out;
    for (int attempt = 0; attempt < SET_ATTEMPTS; ++attempt) {
        table.reply_event.Reset();
        send(request);
        ++out.sends;
        if (wait(table.reply_event, SET_REPLY_WAIT_MS) == SIGNALLED) {
            // Read at once: the wait returns before any later datagram is handled.
            out.answered = true;
            out.set_result = table.set_result;
            out.outcome = table.set_result == 0 ? STATE_SET_OK : STATE_SET_FAILED;
            break;
        }
    }
    return out;
}

}  // namespace telvane
