// telvane-cli enumerate [--adapter IPV4|INDEX] [--json | --csv]
#include <cstdio>
#include <memory>

#include "tools/cli/cli_options.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

int RunEnumerate(std::span<const std::string> args) {
    const PARSED_OPTIONS options =
        ParseOptions(args, {{"--adapter", true}, {"--json", false}, {"--csv", false}});
    if (!options.error.empty()) return Fail(EXIT_USAGE, options.error);
    if (!options.positional.empty()) return Fail(EXIT_USAGE, "enumerate takes no arguments");
    if (options.Has("--json") && options.Has("--csv")) return Fail(EXIT_USAGE, "--json and --csv exclude each other");

    const ADAPTER_CHOICE choice = ChooseAdapter(UsableAdapters(QueryAdapters()), options.Value("--adapter"));
    if (!choice.adapter) return Fail(choice.exit_code, choice.error);

    // Every device that answered, in order of arrival; the window's cap is not ours.
    auto table = std::make_unique<DEVICE_TABLE>(UNLIMITED_DEVICES);
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    if (const int code = OpenSocketOrReport(socket, *choice.adapter, &intake); code != EXIT_OK) return code;
    EnumerateIntoTable(socket, *table);
    socket.Close();
    // What was heard besides, on standard error so the output stays what scripts parse.
    std::fprintf(stderr, "%s\n", IntakeSummary(table->device_count, table->ignored).c_str());

    const std::string out =
        options.Has("--json") ? TableJson(*table) : options.Has("--csv") ? TableCsv(*table) : TableText(*table);
    std::fputs(out.c_str(), stdout);
    return EXIT_OK;
}

}  // namespace telvane::cli
