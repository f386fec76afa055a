#pragma once

// What the start-up asks of the system.

namespace telvane {

// The sockets layer can be used (a UDP socket over IPv4 can be made).
[[nodiscard]] bool StartSockets();
// The system can carry the full function: the reply extension and IPv6. True here.
bool SupportsFullFunction();
// IPv6 really works here: an IPv6 socket can be made and an adapter has an IPv6 address.
bool Ipv6Available();

}  // namespace telvane
