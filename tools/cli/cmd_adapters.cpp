// telvane-cli adapters
#include <cstdio>

#include "protocol/text.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

int RunAdapters() {
    const auto usable = UsableAdapters(QueryAdapters(), ALL_ADAPTERS);
    if (usable.empty())
        return ReportError(false, CLI_ERROR{"no-adapter", "Network adapter not found.", EXIT_NO_ADAPTER});
    for (std::size_t i = 0; i < usable.size(); ++i) {
        std::printf("%zu: %s\n", i, ToUtf8(AdapterEntryText(usable[i])).c_str());
    }
    return EXIT_OK;
}

}  // namespace telvane::cli
