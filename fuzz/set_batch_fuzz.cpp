// Any text as a CSV batch of set rows, and any row's options applied to a device's panel
// and checked: nothing may read out of bounds, and a batch is either refused whole or
// handed out whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "procedures/csv.h"
#include "procedures/set_plan.h"
#include "protocol/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy so AddressSanitizer sees any read past the end.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const telvane::CSV_DOCUMENT doc = telvane::ParseCsv(text);
    if (!doc.Ok() && !doc.records.empty()) std::abort();

    const telvane::SET_BATCH batch = telvane::ReadSetBatch(text);
    if (!batch.Ok() && !batch.rows.empty()) std::abort();
    if (batch.Ok() && !doc.Ok()) std::abort();

    telvane::DEVICE_TABLE table;
    telvane::DEVICE_INFO& e = table.entries[0];
    e.has_extension = 1;
    e.ext_flags = telvane::EXT_IPV6;
    e.ipv4_mask = {255, 255, 255, 0};
    table.device_count = 1;
    for (const telvane::SET_BATCH_ROW& row : batch.rows) {
        if (!row.error.empty()) continue;
        const auto mac = telvane::ParseMac(row.mac);
        if (!mac) std::abort();  // a row without error has a usable MAC
        e.mac = *mac;
        const telvane::SET_PLAN plan = telvane::PlanDeviceSet(table, *mac, row.options);
        if (plan.kind == telvane::SetPlanKind::Ready && plan.request.size != telvane::SET_EXTENDED_SIZE) std::abort();
    }
    return 0;
}
