#include "net/adapters.h"

#include "net/adapters_system.h"
#include "net/testing.h"
#include "protocol/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace telvane {

namespace {

std::function<std::vector<ADAPTER>()>& AdapterSource() {
    static std::function<std::vector<ADAPTER>()> source;
    return source;
}

}  // namespace

std::vector<ADAPTER> QueryAdapters() {
    if (const auto& source = AdapterSource()) return source();
    return QuerySystemAdapters();
}

void SetAdapterSourceForTesting(std::function<std::vector<ADAPTER>()> source) {
    AdapterSource() = std::move(source);
}

std::vector<ADAPTER> UsableAdapters(const std::vector<ADAPTER>& all, std::size_t limit) {
    std::vector<ADAPTER> out;
    for (const ADAPTER& a : all) {
        if (out.size() == limit) break;
        if (a.ipv4_text.empty() || a.ipv4_text == "0.0.0.0") continue;
        if (std::all_of(a.hardware_address.begin(), a.hardware_address.end(), [](std::uint8_t b) { return b == 0; }))
            continue;
        out.push_back(a);
    }
    return out;
}

std::u16string AdapterEntryText(const ADAPTER& adapter) {
    const MAC& m = adapter.hardware_address;
    char text[256] = {};
    std::snprintf(text, sizeof text, "MAC: %02x-%02x-%02x-%02x-%02x-%02x,   IP: %s", m[0], m[1], m[2], m[3], m[4], m[5],
                  adapter.ipv4_text.c_str());
    return DecodeAnsi(std::span(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)));
}

}  // namespace telvane
