// telvane-cli enumerate [--adapter IPV4|INDEX] [--json | --csv]
#include <cstdio>
#include <memory>

#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

int RunEnumerate(const ENUMERATE_ARGS& args) {
    const ADAPTER_CHOICE choice = ChooseAdapter(UsableAdapters(QueryAdapters()), args.adapter);
    if (!choice.adapter) return ReportError(args.json, *choice.error);

    // The table is large and fixed; keep it off the stack.
    auto table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    if (const auto error = OpenSocket(socket, *choice.adapter, &intake)) return ReportError(args.json, *error);
    EnumerateIntoTable(socket, *table);
    socket.Close();

    const std::string out = args.json ? TableJson(*table) : args.csv ? TableCsv(*table) : TableText(*table);
    std::fputs(out.c_str(), stdout);
    return EXIT_OK;
}

}  // namespace telvane::cli
