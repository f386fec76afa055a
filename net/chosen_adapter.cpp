// The rule that keeps the discovery socket to the chosen adapter, the same on every system.
#include "net/discovery_socket.h"

namespace telvane {

bool IsForChosenAdapter(unsigned arrived_on, std::uint32_t destination, unsigned chosen_interface,
                        std::uint32_t chosen_address) {
    // With two adapters on one subnet, Linux answers ARP for either address on both links,
    // so a reply to the chosen address may come in on the other adapter. Broadcasts carry
    // no address of ours and count only where they arrived.
    return arrived_on == chosen_interface || destination == chosen_address;
}

}  // namespace telvane
