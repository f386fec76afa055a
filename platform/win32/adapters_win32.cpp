// QueryAdapters() on Windows: GetAdaptersAddresses, in its order.
#include "platform/adapters_system.h"
#include "platform/win32/win32_adapters.h"

namespace telvane {

std::vector<ADAPTER> QuerySystemAdapters() {
    std::vector<ADAPTER> out;
    for (const win32::SystemAdapter& a : win32::QuerySystemAdapters()) out.push_back(a.adapter);
    return out;
}

}  // namespace telvane
