// telvane-cli adapters
#include <cstdio>

#include "protocol/text.h"
#include "tools/cli/cli_app.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

void AddAdaptersCommand(CLI::App& app, COMMAND_LINE& line) {
    CLI::App* command = AddCommand(app, "adapters", "every adapter, numbered from 0 as the window lists them");
    command->callback([&line] { line.Choose(std::make_shared<const ADAPTERS_ARGS>(), RunAdapters, true); });
}

EXIT_CODE RunAdapters(const ADAPTERS_ARGS&) {
    const auto usable = UsableAdapters(QueryAdapters(), ALL_ADAPTERS);
    if (usable.empty())
        return ReportError(false, CLI_ERROR{"no-adapter", "Network adapter not found.", EXIT_CODE::NO_ADAPTER});
    for (std::size_t i = 0; i < usable.size(); ++i) {
        std::printf("%zu: %s\n", i, ToUtf8(AdapterEntryText(usable[i])).c_str());
    }
    return EXIT_CODE::OK;
}

}  // namespace telvane::cli
