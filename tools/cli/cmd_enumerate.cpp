// telvane-cli enumerate [--adapter IPV4|INDEX] [--json | --csv]
#include <cstdio>
#include <memory>

#include "protocol/text.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

int RunEnumerate(const ENUMERATE_ARGS& args) {
    const ADAPTER_CHOICE choice = ChooseAdapter(UsableAdapters(QueryAdapters(), ALL_ADAPTERS), args.adapter);
    if (!choice.adapter) return ReportError(args.json, *choice.error);

    // Every device that answered, in order of arrival; the window's cap is not ours.
    auto table = std::make_unique<DEVICE_TABLE>(UNLIMITED_DEVICES);
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    if (const auto error = OpenSocket(socket, *choice.adapter, &intake)) return ReportError(args.json, *error);
    EnumerateIntoTable(socket, *table);
    socket.Close();
    // What was heard besides, on standard error so the output stays what scripts parse.
    std::fprintf(stderr, "%s\n", IntakeSummary(table->device_count, table->ignored).c_str());

    const SEGMENT segment{ParseIpv4(choice.adapter->ipv4_text).value_or(IPV4{}), choice.adapter->ipv4_mask};
    const std::string out = args.json  ? TableJson(*table, segment)
                            : args.csv ? TableCsv(*table, segment)
                                       : TableText(*table);
    std::fputs(out.c_str(), stdout);
    return EXIT_OK;
}

}  // namespace telvane::cli
