#include "tools/cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "net/network_state.h"
#include "protocol/text.h"
#include "tools/cli/cli_app.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

namespace {

constexpr EXIT_CODE_HELP EXIT_CODES[] = {
    {EXIT_CODE::OK, "done; set: accepted, unchanged with --ensure, or checked with --dry-run"},
    {EXIT_CODE::DEVICE,
     "the device refused, did not answer, or was not confirmed by --wait-reenumerate; with --from-csv: a row "
     "failed"},
    {EXIT_CODE::USAGE,
     "bad input: usage, an invalid value or file, an unknown MAC, a locked device, a setting the device does not "
     "take, an address that would break something without --force"},
    {EXIT_CODE::NO_ADAPTER, "no usable adapter, or not the one asked for"},
    {EXIT_CODE::LOCAL,
     "the local socket could not be opened, bound or used, a request not sent, the adapter is down, or the output "
     "not written; set, restore: the journal could not be written (nothing was sent)"},
    {EXIT_CODE::DOCTOR, "doctor: a check warned or failed"},
};

// Help is read in a terminal of 80 columns.
constexpr std::size_t HELP_WIDTH = 80;
constexpr std::size_t HELP_COLUMN = 32;

// The text broken into lines of at most width, at blanks; its own line breaks are kept.
std::string Wrap(const std::string& text, std::size_t width) {
    std::string out;
    std::size_t line = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \n", start), text.size());
        const std::string word = text.substr(start, end - start);
        if (line > 0 && line + 1 + word.size() > width) {
            out += '\n';
            line = 0;
        } else if (line > 0) {
            out += ' ';
            ++line;
        }
        out += word;
        line += word.size();
        if (end < text.size() && text[end] == '\n') {
            out += '\n';
            line = 0;
        }
        start = end + 1;
    }
    return out;
}

// Every line of the wrapped text after the first indented by indent blanks.
std::string Hang(const std::string& text, std::size_t width, std::size_t indent) {
    std::string out = Wrap(text, width);
    for (std::size_t at = out.find('\n'); at != std::string::npos; at = out.find('\n', at + 1))
        out.insert(at + 1, indent, ' ');
    return out;
}

// The end of every help: what the exit codes mean.
std::string ExitCodesText() {
    std::string text = "Exit codes, the same for every command:\n";
    for (const EXIT_CODE_HELP& help : EXIT_CODES) {
        text += "  " + std::to_string(ExitStatus(help.code)) + "  " + Hang(help.text, HELP_WIDTH - 5, 5) + "\n";
    }
    return text +
           "With --json every run prints one JSON document, failures included:\n"
           "  {\"error\": {\"code\": CODE, \"message\": TEXT, \"exit\": N}}\n";
}

// CLI11's help, laid out as the man page is: the usage, what the command does, its
// options with what each is for, then the notes of its footer.
class CHelpFormatter final : public CLI::Formatter {
public:
    CHelpFormatter() { column_width(HELP_COLUMN); }

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        std::string out = make_usage(app, name);
        if (!app->get_description().empty()) out += "\n" + Wrap(app->get_description(), HELP_WIDTH) + "\n";
        out += make_positionals(app) + make_groups(app, mode) + make_subcommands(app, mode);
        const std::string footer = app->get_footer();
        if (!footer.empty()) out += "\n" + Wrap(footer, HELP_WIDTH) + "\n";
        out += "\n" + ExitCodesText();
        // One blank line between sections, however CLI11 joins its groups.
        for (std::size_t at = out.find("\n\n\n"); at != std::string::npos; at = out.find("\n\n\n")) out.erase(at, 1);
        return out;
    }
    std::string make_usage(const CLI::App* app, std::string name) const override {
        if (app->get_parent() == nullptr) return "Usage: " + name + " COMMAND [OPTIONS]\n";
        std::string out = "Usage: " + name;
        for (const CLI::Option* positional : app->get_options([](const CLI::Option* o) { return o->get_positional(); }))
            out += " [" + positional->get_name() + "]";
        return out + " [OPTIONS]\n";
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        return Entry(sub->get_name(), sub->get_description());
    }
    std::string make_option(const CLI::Option* opt, bool is_positional) const override {
        return Entry(make_option_name(opt, is_positional) + make_option_opts(opt), opt->get_description());
    }
    // What the option takes, as named where it is registered; how options combine is
    // said in their descriptions.
    std::string make_option_opts(const CLI::Option* opt) const override {
        return opt->get_option_text().empty() ? std::string() : " " + opt->get_option_text();
    }

private:
    static std::string Entry(const std::string& name, const std::string& description) {
        std::string left = "  " + name;
        if (left.size() + 2 > HELP_COLUMN)
            left += "\n" + std::string(HELP_COLUMN, ' ');
        else
            left.resize(HELP_COLUMN, ' ');
        return left + Hang(description, HELP_WIDTH - HELP_COLUMN, HELP_COLUMN) + "\n";
    }
};

CLI_ERROR UsageError(const std::string& message) {
    return CLI_ERROR{"usage", message + " (see telvane-cli --help)", EXIT_CODE::USAGE};
}

// The help of the command named, else of the program; printed as asked, not as parsed.
std::string HelpOf(const CLI::App& app, const std::string& command) {
    const CLI::App* shown = &app;
    std::string name = app.get_name();
    for (const CLI::App* sub : app.get_subcommands({})) {
        if (sub->get_name() != command) continue;
        shown = sub;
        name += " " + command;
    }
    return shown->get_formatter()->make_help(shown, name, CLI::AppFormatMode::Normal);
}

}  // namespace

std::span<const EXIT_CODE_HELP> ExitCodeHelp() {
    return EXIT_CODES;
}

void to_json(ordered_json& j, const CLI_ERROR& error) {
    j = ordered_json::object();
    j["code"] = error.code;
    j["message"] = error.message;
    j["exit"] = ExitStatus(error.exit);
}

EXIT_CODE ReportError(bool json, const CLI_ERROR& error) {
    if (json) {
        ordered_json doc;
        doc["error"] = error;
        std::fputs((CompactJson(doc) + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
    std::fprintf(stderr, "telvane-cli: %s\n", error.message.c_str());
    return error.exit;
}

CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& description) {
    CLI::App* command = app.add_subcommand(name, description)->group("Commands");
    // A command's help flag is made before the app's option defaults reach it.
    command->get_help_ptr()->disable_flag_override();
    return command;
}

CLI::Option* Flag(CLI::App* command, const std::string& name, bool& value, const std::string& description) {
    return command->add_flag(name, value, description);
}

CLI::Option* AdapterOption(CLI::App* command, std::optional<std::string>& adapter) {
    return command->add_option("--adapter", adapter, "the adapter's IPv4 address or its number (default 0)")
        ->option_text("IPV4|INDEX");
}

void RefuseLine(const std::string& message) {
    throw CLI::ValidationError(message);
}

void RefuseOptionsAsValues(const CLI::App& command) {
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& value : option->results()) {
            if (value.rfind("--", 0) == 0) RefuseLine(option->get_name() + " needs a value, not the option " + value);
        }
    }
}

std::unique_ptr<CLI::App> MakeApp(COMMAND_LINE& line) {
    auto app = std::make_unique<CLI::App>(
        "Finds the devices on an adapter's network, shows and changes their settings, and checks why devices may "
        "not be found.",
        "telvane-cli");
    app->formatter(std::make_shared<CHelpFormatter>());
    app->option_defaults()->disable_flag_override();
    app->set_help_flag("--help,-h", "this text")->disable_flag_override();
    app->set_version_flag("--version", std::string("telvane-cli ") + TELVANE_VERSION, "the version")
        ->disable_flag_override();
    app->require_subcommand(0, 1);
    app->allow_windows_style_options(false);

    AddAdaptersCommand(*app, line);
    AddEnumerateCommand(*app, line);
    AddSetCommand(*app, line);
    AddHistoryCommand(*app, line);
    AddRestoreCommand(*app, line);
    AddDoctorCommand(*app, line);

    // "help set" reads as a user means it.
    CLI::App* help = AddCommand(*app, "help", "a command's options: help COMMAND");
    auto topic = std::make_shared<std::string>();
    help->add_option("COMMAND", *topic, "the command whose options to show");
    help->callback([&line, help, topic] { line.text = HelpOf(*help->get_parent(), *topic); });
    app->footer("telvane-cli COMMAND --help (or telvane-cli help COMMAND) shows a command's options.");
    return app;
}

namespace {

// Reads the line; parsed tells whether CLI11 took a command in it.
COMMAND_LINE ReadLine(std::span<const std::string> args, bool& parsed) {
    COMMAND_LINE line;
    // A line that cannot be read still answers in the form asked for.
    const auto options_end = std::find(args.begin(), args.end(), "--");
    line.json = std::find(args.begin(), options_end, "--json") != options_end;
    const std::unique_ptr<CLI::App> app = MakeApp(line);
    if (args.empty()) {
        line.text = app->help();
        line.error = UsageError("no command given");
        return line;
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        line.text = app->help();
        return line;
    } catch (const CLI::CallForVersion& version) {
        // Help wins, whichever was asked first.
        line.text = app->get_help_ptr()->count() > 0 ? app->help() : std::string(version.what()) + "\n";
        return line;
    } catch (const CLI::ParseError& error) {
        line.run = nullptr;
        line.args.reset();
        line.error = UsageError(error.what());
        return line;
    }
    const auto commands = app->get_subcommands({});
    parsed = std::any_of(commands.begin(), commands.end(), [](const CLI::App* c) { return c->parsed(); });
    if (!line.run && line.text.empty()) line.error = UsageError("no command given");
    return line;
}

}  // namespace

COMMAND_LINE ParseCommandLine(std::span<const std::string> args) {
    bool parsed = false;
    COMMAND_LINE line = ReadLine(args, parsed);
    // "-- enumerate" has always run enumerate: CLI11 takes a command after "--" but runs
    // no callback for it, so the line is read again as if "--" were not there.
    if (parsed && line.error && args.front() == "--") {
        const bool json = line.json;
        line = ReadLine(args.subspan(1), parsed);
        line.json = json;
    }
    return line;
}

ADAPTER_CHOICE ChooseAdapter(const std::vector<ADAPTER>& usable, const std::optional<std::string>& wanted) {
    ADAPTER_CHOICE choice;
    if (usable.empty()) {
        choice.error = CLI_ERROR{"no-adapter", "Network adapter not found.", EXIT_CODE::NO_ADAPTER};
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
        choice.error = CLI_ERROR{
            "usage", "--adapter takes an adapter's IPv4 address or its number, not \"" + text + "\"", EXIT_CODE::USAGE};
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
    choice.error =
        CLI_ERROR{"no-adapter", "no adapter \"" + text + "\" (telvane-cli adapters lists them)", EXIT_CODE::NO_ADAPTER};
    return choice;
}

std::optional<CLI_ERROR> OpenSocket(CTelvaneSocket& socket, const ADAPTER& adapter, IDatagramSink* owner) {
    switch (OpenDiscoverySocket(socket, adapter.ipv4_text, owner)) {
        case OPEN_RESULT::OPENED:
            return std::nullopt;
        case OPEN_RESULT::NO_ADAPTER:
            return CLI_ERROR{"no-adapter", "Network adapter not found.", EXIT_CODE::NO_ADAPTER};
        case OPEN_RESULT::SOCKET_FAILED:
            break;
    }
    return CLI_ERROR{"socket", "Socket Initialization failure (adapter " + adapter.ipv4_text + ")", EXIT_CODE::LOCAL};
}

std::optional<CLI_ERROR> AdapterDownError(const ADAPTER& adapter) {
    const auto address = ParseIpv4(adapter.ipv4_text);
    if (!address) return std::nullopt;
    for (const INTERFACE_STATE& i : QueryInterfaceStates()) {
        const bool holds = std::any_of(i.ipv4.begin(), i.ipv4.end(),
                                       [&](const IPV4_INTERFACE_ADDRESS& a) { return a.address == *address; });
        if (!holds || (i.up && i.carrier)) continue;
        return CLI_ERROR{"adapter-down",
                         "adapter " + adapter.ipv4_text + " (" + i.name + ") is " + (i.up ? "without a link" : "down"),
                         EXIT_CODE::LOCAL};
    }
    return std::nullopt;
}

std::optional<CLI_ERROR> DropAdaptersDown(std::vector<ADAPTER>& adapters) {
    std::optional<CLI_ERROR> first;
    std::vector<ADAPTER> up;
    for (ADAPTER& adapter : adapters) {
        if (auto down = AdapterDownError(adapter)) {
            if (adapters.size() > 1) std::fprintf(stderr, "telvane-cli: %s; left out\n", down->message.c_str());
            if (!first) first = std::move(down);
        } else {
            up.push_back(std::move(adapter));
        }
    }
    adapters = std::move(up);
    if (adapters.empty() && first) return first;
    return std::nullopt;
}

CLI_ERROR SendError(const ADAPTER& adapter, const std::string& reason) {
    if (auto down = AdapterDownError(adapter)) {
        down->message += " (cannot send: " + reason + ")";
        return *down;
    }
    return CLI_ERROR{"send", "cannot send on adapter " + adapter.ipv4_text + ": " + reason, EXIT_CODE::LOCAL};
}

}  // namespace telvane::cli
