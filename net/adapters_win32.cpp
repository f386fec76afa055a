// QueryAdapters() on Windows: GetAdaptersAddresses, in its order.
#include "net/adapters_system.h"
#include "net/win32_adapters.h"

namespace telvane {

std::vector<ADAPTER> QuerySystemAdapters() {
    std::vector<ADAPTER> out;
    for (const win32::SystemAdapter& a : win32::QuerySystemAdapters()) out.push_back(a.adapter);
    return out;
}

}  // namespace telvane
