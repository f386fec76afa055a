// telvane-cli adapters
#include <cstdio>

#include "protocol/text.h"
#include "tools/cli/cli_options.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

int RunAdapters(std::span<const std::string> args) {
    const PARSED_OPTIONS options = ParseOptions(args, {});
    if (!options.error.empty()) return Fail(EXIT_USAGE, options.error);
    if (!options.positional.empty()) return Fail(EXIT_USAGE, "adapters takes no arguments");
    const auto usable = UsableAdapters(QueryAdapters());
    if (usable.empty()) return Fail(EXIT_NO_ADAPTER, "Network adapter not found.");
    for (std::size_t i = 0; i < usable.size(); ++i) {
        std::printf("%zu: %s\n", i, ToUtf8(AdapterEntryText(usable[i])).c_str());
    }
    return EXIT_OK;
}

}  // namespace telvane::cli
