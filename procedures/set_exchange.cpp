#include "procedures/set_exchange.h"

namespace telvane {

namespace {
constexpr std::uint32_t SIGNALLED = 0;  // the pumped wait's WAIT_OBJECT_0
}  // namespace

SET_EXCHANGE RunSetExchange(DEVICE_TABLE& table, std::span<const std::uint8_t> request, const SET_EXCHANGE_IO& io) {
    SET_EXCHANGE out;
    for (int attempt = 0; attempt < SET_ATTEMPTS; ++attempt) {
        if (io.drain) io.drain();
        table.reply_event.Reset();
        if (const auto error = io.send(request)) {
            if (out.send_error.empty()) out.send_error = error->empty() ? "the request could not be sent" : *error;
            if (io.on_send_failure == SEND_FAILURES::END_EXCHANGE) break;
        } else {
            ++out.sends;
        }
        if (io.wait(table.reply_event, SET_REPLY_WAIT_MS) == SIGNALLED) {
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
