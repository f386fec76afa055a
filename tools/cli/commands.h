#pragma once

// The commands of telvane-cli, one file each. A command gets its read arguments and
// returns the exit code.

#include "tools/cli/cli_options.h"

namespace telvane::cli {

int RunAdapters();
int RunEnumerate(const ENUMERATE_ARGS& args);
int RunSet(const SET_ARGS& args);
int RunDoctor(const DOCTOR_ARGS& args);
int RunHistory(const HISTORY_ARGS& args);
int RunRestore(const RESTORE_ARGS& args);

}  // namespace telvane::cli
