#include "tools/cli/cli_options.h"

#include <algorithm>
#include <cstdio>

#include "protocol/text.h"

namespace telvane::cli {

std::optional<std::string> PARSED_OPTIONS::Value(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

PARSED_OPTIONS ParseOptions(std::span<const std::string> args, const std::vector<OPTION_DEF>& known) {
    PARSED_OPTIONS out;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            out.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const auto option = std::find_if(known.begin(), known.end(), [&](const OPTION_DEF& s) { return s.name == name; });
        if (option == known.end()) {
            out.error = "unknown option \"" + name + "\"";
            return out;
        }
        if (!option->takes_value) {
            if (equals != std::string::npos) {
                out.error = name + " takes no value";
                return out;
            }
            out.flags.insert(name);
            continue;
        }
        if (equals != std::string::npos) {
            out.values[name] = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            out.values[name] = args[++i];
        } else {
            out.error = name + " needs a value";
            return out;
        }
    }
    return out;
}

ADAPTER_CHOICE ChooseAdapter(const std::vector<ADAPTER>& usable, const std::optional<std::string>& wanted) {
    ADAPTER_CHOICE choice;
    if (usable.empty()) {
        choice.exit_code = EXIT_NO_ADAPTER;
        choice.error = "Network adapter not found.";
        return choice;
    }
    if (!wanted) {
        choice.adapter = usable.front();
        choice.index = 0;
        return choice;
    }
    const std::string& text = *wanted;
    const bool all_digits = !text.empty() && text.size() <= 3 &&
                            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (all_digits) {
        const int index = std::stoi(text);
        if (index < static_cast<int>(usable.size())) {
            choice.adapter = usable[static_cast<std::size_t>(index)];
            choice.index = index;
            return choice;
        }
    } else if (!ParseIpv4(text)) {
        choice.exit_code = EXIT_USAGE;
        choice.error = "--adapter takes an adapter's IPv4 address or its number, not \"" + text + "\"";
        return choice;
    } else {
        for (std::size_t i = 0; i < usable.size(); ++i) {
            if (usable[i].ipv4_text == text) {
                choice.adapter = usable[i];
                choice.index = static_cast<int>(i);
                return choice;
            }
        }
    }
    choice.exit_code = EXIT_NO_ADAPTER;
    choice.error = "no adapter \"" + text + "\" (telvane-cli adapters lists them)";
    return choice;
}

int OpenSocketOrReport(CTelvaneSocket& socket, const ADAPTER& adapter, IDatagramSink* owner) {
    switch (OpenDiscoverySocket(socket, adapter.ipv4_text, owner)) {
        case OPEN_RESULT::OPENED:
            return EXIT_OK;
        case OPEN_RESULT::NO_ADAPTER:
            return Fail(EXIT_NO_ADAPTER, "Network adapter not found.");
        case OPEN_RESULT::SOCKET_FAILED:
            break;
    }
    return Fail(EXIT_FAILURE_RUNTIME, "Socket Initialization failure (adapter " + adapter.ipv4_text + ")");
}

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "telvane-cli: %s\n", message.c_str());
    return code;
}

}  // namespace telvane::cli
