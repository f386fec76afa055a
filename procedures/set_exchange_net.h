#pragma once

// The set exchange over the discovery socket, with the pumped wait.

#include "procedures/set_exchange.h"
#include "procedures/set_form.h"

namespace telvane {

class CTelvaneSocket;

// Broadcasts the request to 255.255.255.255:18768 through `socket` and waits with
// WaitEventPumping, so datagrams reach the intake (and table.reply_event) meanwhile.
// Before each send what is queued on the socket goes to the intake first.
[[nodiscard]] SET_EXCHANGE ExchangeSetRequest(CTelvaneSocket& socket, DEVICE_TABLE& table, const SET_REQUEST& request,
                                              SEND_FAILURES on_send_failure);

}  // namespace telvane
