// Any datagram, any length up to the receive buffer, into an empty, partly filled or
// full table, with and without the reply extension.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "inventory/reply_intake.h"
#include "inventory/row_text.h"

namespace {

telvane::DEVICE_TABLE& Table() {
    static telvane::DEVICE_TABLE table;
    return table;
}

void Fill(telvane::DEVICE_TABLE& table, int count) {
    table.device_count = count;
    for (int i = 0; i < count; ++i) {
        auto& e = table.entries[static_cast<std::size_t>(i)];
        e.mac = {0x02, 0, 0, 0, 0, static_cast<std::uint8_t>(i)};
        e.ipv4_address = {10, 0, 0, static_cast<std::uint8_t>(i)};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t control = data[0];
    ++data;
    --size;
    if (size > telvane::RECEIVE_BUFFER_SIZE) size = telvane::RECEIVE_BUFFER_SIZE;

    telvane::DEVICE_TABLE& table = Table();
    const int fills[] = {0, 1, 57, 99, telvane::DEVICE_TABLE_CAPACITY};
    Fill(table, fills[control % 5]);
    table.selected_index = (control & 0x08) ? 0 : -1;
    const bool full_function = (control & 0x10) != 0;

    // An exact-size copy so AddressSanitizer sees any read past the received length.
    std::vector<std::uint8_t> datagram(data, data + size);
    int rows = 0;
    const int before = table.device_count;
    telvane::OnDatagram(table, datagram, full_function, [&](std::int32_t index, const telvane::DEVICE_INFO& e) {
        if (index != table.device_count) std::abort();
        // Every text a row shows must be producible from whatever was taken in.
        (void)telvane::DeviceNameText(e);
        (void)telvane::ModelNameText(e);
        (void)telvane::IpAddressText(e);
        if (e.device_name[255] != 0) std::abort();
        ++rows;
    });
    if (table.device_count != before + rows || table.device_count > telvane::DEVICE_TABLE_CAPACITY) std::abort();
    if (table.set_result < -1 || table.set_result > 255) std::abort();
    return 0;
}
