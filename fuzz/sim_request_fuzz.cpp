// The simulator's side of the wire: any datagram to its port must be classified
// without a read past its end, and a device that accepts a set request must go on
// answering with replies the program's intake takes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "inventory/reply_intake.h"
#include "tools/sim/sim_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy so AddressSanitizer sees any read past the received length.
    const std::vector<std::uint8_t> datagram(data, data + size);
    using namespace telvane::sim;
    const REQUEST_KIND kind = ClassifyRequest(datagram);
    const auto request = ReadSetRequest(datagram);
    if (kind == REQUEST_KIND::SET && !request) std::abort();
    if (!request) return 0;

    SIM_DEVICE device;
    device.mac = request->mac;
    device.ipv4_address = {192, 0, 2, 20};
    device.ipv4_mask = {255, 255, 255, 0};
    device.model_name = "FUZZ";
    device.device_name = "fuzz";
    device.form = request->extended ? REPLY_FORM::EXTENDED : REPLY_FORM::BASE;
    const auto answer = AnswerSetRequest(device, *request);
    if (!answer || answer->size() != telvane::SET_REPLY_SIZE) std::abort();

    // The accepted settings make a reply the program takes, whatever they were.
    auto table = std::make_unique<telvane::DEVICE_TABLE>();
    telvane::OnDatagram(*table, BuildEnumerateReply(device), true, nullptr);
    if (table->device_count != 1 || table->entries[0].mac != request->mac) std::abort();
    return 0;
}
