#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <variant>

#include "tools/cli/cli_options.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {
namespace {

ADAPTER Adapter(std::uint8_t last, std::string ip) {
    return ADAPTER{{0x02, 0, 0, 0, 0, last}, std::move(ip)};
}

// Guards against scripts getting a different adapter than the window would use.
TEST(ChooseAdapter, ByIndexByAddressAndDefault) {
    const std::vector<ADAPTER> usable = {Adapter(1, "192.0.2.1"), Adapter(2, "198.51.100.1")};
    EXPECT_EQ(ChooseAdapter(usable, std::nullopt).adapter->ipv4_text, "192.0.2.1");
    EXPECT_EQ(ChooseAdapter(usable, "1").adapter->ipv4_text, "198.51.100.1");
    const auto by_address = ChooseAdapter(usable, "198.51.100.1");
    EXPECT_EQ(by_address.index, 1);
    EXPECT_EQ(ChooseAdapter(usable, "2").error->exit, EXIT_CODE::NO_ADAPTER);
    EXPECT_EQ(ChooseAdapter(usable, "203.0.113.1").error->code, "no-adapter");
    EXPECT_EQ(ChooseAdapter(usable, "eth0").error->exit, EXIT_CODE::USAGE);
    const auto none = ChooseAdapter({}, std::nullopt);
    EXPECT_FALSE(none.adapter);
    EXPECT_EQ(none.error->exit, EXIT_CODE::NO_ADAPTER);
    EXPECT_EQ(none.error->message, "Network adapter not found.");
}

COMMAND_LINE Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

TEST(ParseCommandLine, ValuesFlagsAndMistakes) {
    const auto parsed = Parse({"enumerate", "--adapter", "1", "--json"});
    EXPECT_FALSE(parsed.error);
    const auto* enumerate = parsed.Args<ENUMERATE_ARGS>();
    ASSERT_TRUE(enumerate);
    EXPECT_TRUE(parsed.run);
    EXPECT_EQ(enumerate->adapter, "1");
    EXPECT_TRUE(enumerate->json);
    EXPECT_EQ(Parse({"enumerate", "--adapter=0"}).Args<ENUMERATE_ARGS>()->adapter, "0");
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"enumerate", "--adapter"},
                                                  {"enumerate", "--jsn"},
                                                  {"enumerate", "--json=0"},
                                                  {"enumerate", "rest"},
                                                  {"enumerate", "--json", "--csv"},
                                                  {"frobnicate"},
                                                  {}}) {
        const auto line = Parse(wrong);
        ASSERT_TRUE(line.error) << ::testing::PrintToString(wrong);
        EXPECT_EQ(line.error->code, "usage");
        EXPECT_EQ(line.error->exit, EXIT_CODE::USAGE);
    }
    // A line that cannot be read still answers in JSON when JSON was asked for.
    EXPECT_TRUE(Parse({"enumerate", "--json", "--bogus"}).json);
    // Help and the version are printed, nothing is run.
    for (const std::vector<std::string>& asked :
         {std::vector<std::string>{"--help"}, {"set", "--help"}, {"help", "set"}, {"help"}, {"--version"}}) {
        const auto line = Parse(asked);
        EXPECT_FALSE(line.error || line.run) << ::testing::PrintToString(asked);
        EXPECT_FALSE(line.text.empty()) << ::testing::PrintToString(asked);
    }
    EXPECT_TRUE(Parse({"--version"}).text.starts_with("telvane-cli ")) << Parse({"--version"}).text;
    EXPECT_EQ(Parse({"--version", "--help"}).text, Parse({"--help"}).text);
    EXPECT_EQ(Parse({"-h", "--version"}).text, Parse({"--help"}).text);
    // "--" before the command ends no option of the program: the command still runs.
    const auto after_end = Parse({"--", "enumerate", "--csv"});
    ASSERT_TRUE(after_end.Args<ENUMERATE_ARGS>());
    EXPECT_TRUE(after_end.Args<ENUMERATE_ARGS>()->csv);
    EXPECT_TRUE(Parse({"--"}).error);
}

// Guards against settings losing values, their order, or mixing with the batch file.
TEST(ParseCommandLine, SetSettings) {
    const auto line = Parse({"set", "--mac", "00-1a-2b-3c-4d-5e", "--dns4", "-", "192.0.2.54", "--gateway", "", "--ip",
                             "192.0.2.40", "--dhcp", "--json"});
    ASSERT_FALSE(line.error) << line.error->message;
    const SET_ARGS* set = line.Args<SET_ARGS>();
    ASSERT_TRUE(set);
    EXPECT_EQ(set->mac, "00-1a-2b-3c-4d-5e");
    EXPECT_TRUE(set->json);
    ASSERT_EQ(set->options.size(), 4u);
    EXPECT_EQ(set->options[0].name, "dhcp");
    EXPECT_TRUE(set->options[0].values.empty());
    EXPECT_EQ(set->options[1].name, "ip");
    EXPECT_EQ(set->options[2].name, "gateway");
    EXPECT_EQ(set->options[2].values, std::vector<std::string>{""});
    EXPECT_EQ(set->options[3].name, "dns4");
    EXPECT_EQ(set->options[3].values, (std::vector<std::string>{"-", "192.0.2.54"}));

    EXPECT_TRUE(Parse({"set", "--dhcp"}).error);
    EXPECT_TRUE(Parse({"set", "--mac", "x", "--ensure"}).error) << "a set needs a setting";
    EXPECT_TRUE(Parse({"set", "--mac", "x", "--ip", "192.0.2.1", "--ip", "192.0.2.2"}).error);
    EXPECT_TRUE(Parse({"set", "--mac", "x", "--dns4", "192.0.2.1", "192.0.2.2", "192.0.2.3"}).error);
    EXPECT_TRUE(Parse({"set", "--from-csv", "f.csv", "--mac", "x"}).error);
    EXPECT_TRUE(Parse({"set", "--from-csv", "f.csv", "--dhcp"}).error);
    EXPECT_TRUE(Parse({"set", "--mac", "x", "--dhcp=0"}).error);
    const auto checked = Parse({"set", "--mac", "x", "--dhcp", "--ensure", "--dry-run", "--force"});
    ASSERT_TRUE(checked.Args<SET_ARGS>());
    EXPECT_TRUE(checked.Args<SET_ARGS>()->ensure && checked.Args<SET_ARGS>()->dry_run &&
                checked.Args<SET_ARGS>()->force);
    // Nothing is accepted in a dry run, so there would be nothing to confirm.
    EXPECT_TRUE(Parse({"set", "--mac", "x", "--dry-run", "--wait-reenumerate"}).error);
}

// Guards against a command that runs without being named, as set once did.
TEST(ParseCommandLine, NothingRunsUnlessNamed) {
    for (const std::vector<std::string>& line :
         {std::vector<std::string>{}, {"--json"}, {"--adapter", "0"}, {"00-1a-2b-3c-4d-5e"}}) {
        const auto parsed = Parse(line);
        EXPECT_FALSE(parsed.run) << ::testing::PrintToString(line);
        ASSERT_TRUE(parsed.error) << ::testing::PrintToString(line);
        EXPECT_EQ(parsed.error->exit, EXIT_CODE::USAGE);
    }
    const auto empty = Parse({});
    EXPECT_EQ(empty.error->message, "no command given (see telvane-cli --help)");
    EXPECT_NE(empty.text.find("Usage: telvane-cli COMMAND"), std::string::npos) << "the help goes with it";
    // Only the journal's commands run without the sockets layer.
    EXPECT_FALSE(Parse({"history"}).sockets);
    EXPECT_TRUE(Parse({"adapters"}).sockets);
    EXPECT_TRUE(Parse({"doctor"}).Args<DOCTOR_ARGS>());
    EXPECT_EQ(Parse({"restore", "--mac", "x", "--entry", "7", "--json"}).Args<RESTORE_ARGS>()->set.json, true);
}

// Guards against an option without help, or help that names options a command lacks:
// every option of every command says what it is for, and --help shows it.
TEST(CommandLineHelp, EveryOptionIsDescribedInItsCommandsHelp) {
    COMMAND_LINE line;
    const auto app = MakeApp(line);
    const auto commands = app->get_subcommands({});
    ASSERT_EQ(commands.size(), 7u);
    for (const CLI::App* command : commands) {
        const std::string name = command->get_name();
        EXPECT_FALSE(command->get_description().empty()) << name;
        const COMMAND_LINE asked = Parse({name, "--help"});
        ASSERT_FALSE(asked.error) << name << ": " << asked.error->message;
        EXPECT_TRUE(asked.text.starts_with("Usage: telvane-cli " + name + " ")) << asked.text;
        EXPECT_EQ(Parse({"help", name}).text, asked.text);
        for (const CLI::Option* option : command->get_options()) {
            EXPECT_FALSE(option->get_description().empty()) << name << " " << option->get_name();
            const std::string shown = option->get_name(false, true) + (option->get_option_text().empty() ? "" : " ");
            EXPECT_NE(asked.text.find("  " + shown), std::string::npos) << name << " " << shown;
        }
        // The exit codes close every help, from the one enum.
        for (const EXIT_CODE_HELP& code : ExitCodeHelp())
            EXPECT_NE(asked.text.find("\n  " + std::to_string(ExitStatus(code.code)) + "  "), std::string::npos)
                << name;
        // Lines fit a terminal.
        for (std::size_t at = 0, end = 0; at < asked.text.size(); at = end + 1) {
            end = asked.text.find('\n', at);
            EXPECT_LE(end - at, 80u) << name << ": " << asked.text.substr(at, end - at);
        }
    }
    EXPECT_NE(Parse({"set", "--help"}).text.find("  --dns4 PREFERRED [ALTERNATE]  IPv4 DNS servers"),
              std::string::npos);
    ASSERT_EQ(ExitCodeHelp().size(), 6u);
    EXPECT_EQ(ExitCodeHelp().back().code, EXIT_CODE::DOCTOR);
}

// Guards against the refusals moving into the commands' callbacks changing what a script
// reads: each keeps its message, word for word, as usage (exit 2).
TEST(ParseCommandLine, RefusalsKeepTheirMessages) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"set", "--dhcp"}, "give --mac MAC, --from-csv FILE or --from-json FILE"},
        {{"set", "--mac", "x"}, "give at least one setting"},
        {{"set", "--from-csv", "f", "--dhcp"}, "--from-csv takes the settings from the file; give no settings with it"},
        {{"set", "--from-json", "f", "--ip", "1"},
         "--from-json takes the settings from the file; give no settings with it"},
        {{"set", "--mac", "--json", "--ip", "1"}, "--mac needs a value, not the option --json"},
        {{"enumerate", "--watch", "--interval", "nan"}, "--interval: Value nan is not a finite number of seconds"},
        {{"enumerate", "--json", "--csv"}, "--json excludes --csv"},
        {{"enumerate", "--interval", "5"}, "--interval requires --watch"},
        {{"set", "--mac", "x", "--ip", "1", "--ip", "2"}, "--ip: At Most 1 required but received 2"},
        {{"restore"}, "--mac is required"},
        {{"enumerate", "--json=0"}, "json was given a disallowed flag override"},
    };
    for (const auto& [args, message] : cases) {
        const auto line = Parse(args);
        ASSERT_TRUE(line.error) << message;
        EXPECT_EQ(line.error->message, message + " (see telvane-cli --help)");
        EXPECT_EQ(line.error->code, "usage");
        EXPECT_EQ(line.error->exit, EXIT_CODE::USAGE);
        EXPECT_FALSE(line.run) << message;
    }
}

// The numbers scripts test for, whatever the names.
TEST(ExitCode, KeepsItsNumbers) {
    EXPECT_EQ(ExitStatus(EXIT_CODE::OK), 0);
    EXPECT_EQ(ExitStatus(EXIT_CODE::DEVICE), 1);
    EXPECT_EQ(ExitStatus(EXIT_CODE::USAGE), 2);
    EXPECT_EQ(ExitStatus(EXIT_CODE::NO_ADAPTER), 3);
    EXPECT_EQ(ExitStatus(EXIT_CODE::LOCAL), 4);
    EXPECT_EQ(ExitStatus(EXIT_CODE::DOCTOR), 5);
    // An error's JSON and its exit status are the same number, on standard output with --json.
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const EXIT_CODE exit = ReportError(true, CLI_ERROR{"socket", "Socket Initialization failure", EXIT_CODE::LOCAL});
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(exit, EXIT_CODE::LOCAL);
    EXPECT_EQ(out,
              "{\"error\": {\"code\": \"socket\", \"message\": \"Socket Initialization failure\", \"exit\": 4}}\n");
    EXPECT_EQ(err, "telvane-cli: Socket Initialization failure\n");
}

// Guards against a NaN interval passing the range check (every comparison with it is
// false) and turning into an arbitrary wait between watch rounds.
TEST(ParseCommandLine, IntervalMustBeAFiniteNumberInRange) {
    for (const char* wrong : {"nan", "NaN", "-nan", "inf", "-inf", "-1", "0.4", "1e300", "86401", "5s"})
        EXPECT_TRUE(Parse({"enumerate", "--watch", "--interval", wrong}).error) << wrong;
    const auto line = Parse({"enumerate", "--watch", "--interval", "0.5"});
    ASSERT_FALSE(line.error) << line.error->message;
    EXPECT_EQ(line.Args<ENUMERATE_ARGS>()->interval_seconds, 0.5);
}

// Guards against an option that lacks its value swallowing the next option: "--dns4 --json"
// failed later as a bad address and answered in text although JSON was asked for.
TEST(ParseCommandLine, AnOptionIsNeverTakenAsAValue) {
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"set", "--mac", "x", "--dns4", "--json"},
                                                  {"set", "--mac", "--json", "--ip", "192.0.2.1"},
                                                  {"set", "--mac", "x", "--ip", "--force", "--json"},
                                                  {"enumerate", "--adapter", "--json"}}) {
        const auto line = Parse(wrong);
        ASSERT_TRUE(line.error) << ::testing::PrintToString(wrong);
        EXPECT_EQ(line.error->code, "usage");
        EXPECT_TRUE(line.json) << ::testing::PrintToString(wrong);
        EXPECT_NE(line.error->message.find("needs a value"), std::string::npos) << line.error->message;
    }
    // A value that merely starts with a dash is still a value.
    EXPECT_FALSE(Parse({"set", "--mac", "x", "--dns4", "-", "192.0.2.54"}).error);
}

DEVICE_INFO Entry(bool extension) {
    DEVICE_INFO e{};
    e.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    e.ipv4_address = {192, 0, 2, 20};
    e.ipv4_mask = {255, 255, 255, 0};
    e.has_extension = extension ? 1 : 0;
    e.ext_flags = EXT_IPV6 | EXT_DHCP6;
    e.ipv6_address[0] = 0x20;
    e.ipv6_address[1] = 0x01;
    e.ipv6_address[15] = 1;
    e.ipv6_prefix_length = 64;
    const char name[] = "Say \"hi\", world";
    std::copy(std::begin(name), std::end(name), e.device_name.begin());
    return e;
}

// Guards against field names or texts differing from what scripts are promised.
TEST(CliOutput, FieldNamesAndTexts) {
    std::vector<std::string> base;
    for (const auto& f : EntryFields(Entry(false))) base.push_back(f.name);
    EXPECT_EQ(base, (std::vector<std::string>{"device_name", "model_name", "mac", "ipv4_address", "ipv4_mask",
                                              "ipv4_gateway", "dhcp", "locked", "has_extension"}));
    const auto full = EntryFields(Entry(true));
    ASSERT_EQ(full.size(), 20u);
    EXPECT_EQ(full.size(), AllFieldNames().size());
    EXPECT_EQ(full[2].Text(), "00-1a-2b-3c-4d-5e");
    EXPECT_EQ(full[12].name, "ipv6");
    EXPECT_EQ(full[12].Text(), "true");
    EXPECT_EQ(full[13].name, "ipv6_dhcp");
    EXPECT_EQ(full[13].Text(), "true");
    EXPECT_EQ(full[14].Text(), "false");  // dns6_auto
    EXPECT_EQ(full[15].Text(), "2001::1");
    EXPECT_TRUE(std::holds_alternative<int>(full[16].value));
    EXPECT_EQ(full[16].Text(), "64");
}

// Guards against JSON and CSV drifting apart: each JSON value is its field's own value and
// type, and reads back as the CSV's text.
TEST(CliOutput, EntryJsonCarriesEachFieldsValue) {
    for (const bool extension : {false, true}) {
        const DEVICE_INFO entry = Entry(extension);
        const ordered_json json = entry;
        const auto fields = EntryFields(entry);
        ASSERT_EQ(json.size(), fields.size());
        std::size_t i = 0;
        for (auto it = json.begin(); it != json.end(); ++it, ++i) {
            EXPECT_EQ(it.key(), fields[i].name);
            EXPECT_EQ(*it, ordered_json(fields[i]));
            const auto reread = ordered_json::parse(CompactJson(json))[fields[i].name];
            EXPECT_EQ(reread.is_string() ? reread.get<std::string>() : reread.dump(), fields[i].Text()) << it.key();
        }
    }
    const ordered_json error = CLI_ERROR{"no-adapter", "Network adapter not found.", EXIT_CODE::NO_ADAPTER};
    EXPECT_EQ(CompactJson(error),
              "{\"code\": \"no-adapter\", \"message\": \"Network adapter not found.\", \"exit\": 3}");
}

TEST(CliOutput, JsonAndCsvQuoting) {
    EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField("Say \"hi\", world"), "\"Say \"\"hi\"\", world\"");
    // Guards against a device's name running as a formula in a spreadsheet, or its control
    // characters reaching the terminal that prints the file.
    EXPECT_EQ(CsvField("=HYPERLINK(\"http://evil.example/\",\"Lobby\")"),
              "\"'=HYPERLINK(\"\"http://evil.example/\"\",\"\"Lobby\"\")\"");
    for (const char* cell : {"+1", "-1", "@SUM(A1)", "\t=1", "\r=1"})
        EXPECT_EQ(CsvField(cell).substr(0, 2), "\"'") << cell;
    EXPECT_EQ(CsvField("\x1b]0;owned\x07\x1b[2J\nnext"), "\\x1b]0;owned\\x07\\x1b[2J\\x0anext");
    EXPECT_EQ(CsvField("a=b-c"), "a=b-c");

    auto table = std::make_unique<DEVICE_TABLE>();
    const SEGMENT segment{{192, 0, 2, 1}, {255, 255, 255, 0}};
    EXPECT_EQ(TableJson(*table, segment), "[]\n");
    table->entries[0] = Entry(false);
    table->device_count = 1;
    EXPECT_EQ(TableJson(*table, segment),
              "[\n  {\"device_name\": \"Say \\\"hi\\\", world\", \"model_name\": \"\", \"mac\": \"00-1a-2b-3c-4d-5e\", "
              "\"ipv4_address\": \"192.0.2.20\", \"ipv4_mask\": \"255.255.255.0\", \"ipv4_gateway\": \"0.0.0.0\", "
              "\"dhcp\": false, \"locked\": false, \"has_extension\": false, \"same_subnet\": true, "
              "\"address_conflict\": [], \"address_conflict_count\": 0}\n]\n");
    const std::string csv = TableCsv(*table, segment);
    EXPECT_EQ(csv.substr(csv.find('\n') + 1),
              "\"Say \"\"hi\"\", world\",,00-1a-2b-3c-4d-5e,192.0.2.20,255.255.255.0,0.0.0.0,false,false,false"
              ",,,,,,,,,,,,true,,0\n");
}

// Guards against the hints naming the wrong devices: another subnet, a shared address.
TEST(CliOutput, SubnetAndAddressConflictHints) {
    auto table = std::make_unique<DEVICE_TABLE>();
    table->entries[0] = Entry(false);
    table->entries[1] = Entry(true);
    table->entries[1].mac[5] = 0x5f;
    table->entries[2] = Entry(false);
    table->entries[2].mac[5] = 0x60;
    table->entries[2].ipv4_address = {198, 51, 100, 7};
    table->device_count = 3;
    const std::string json = TableJson(*table, SEGMENT{{192, 0, 2, 1}, {255, 255, 255, 0}});
    EXPECT_NE(
        json.find(
            "\"same_subnet\": true, \"address_conflict\": [\"00-1a-2b-3c-4d-5f\"], \"address_conflict_count\": 1}"),
        std::string::npos)
        << json;
    EXPECT_NE(
        json.find(
            "\"same_subnet\": true, \"address_conflict\": [\"00-1a-2b-3c-4d-5e\"], \"address_conflict_count\": 1}"),
        std::string::npos)
        << json;
    EXPECT_NE(json.find("\"same_subnet\": false, \"address_conflict\": [], \"address_conflict_count\": 0}"),
              std::string::npos)
        << json;
    const std::string csv = TableCsv(*table, SEGMENT{{192, 0, 2, 1}, {}});
    EXPECT_NE(csv.find(",same_subnet,address_conflict,address_conflict_count\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",,00-1a-2b-3c-4d-5f,1\n"), std::string::npos) << "an unknown mask leaves the subnet open";
}

// Guards against a flood of forged replies at one address making every member repeat the
// whole group: the output must grow linearly, naming a few others and how many in all.
TEST(CliOutput, SharedAddressGroupIsNamedOnceCapped) {
    constexpr int kShared = 300;
    auto table = std::make_unique<DEVICE_TABLE>(UNLIMITED_DEVICES);
    table->entries.resize(kShared);
    for (int i = 0; i < kShared; ++i) {
        table->entries[static_cast<std::size_t>(i)] = Entry(false);
        table->entries[static_cast<std::size_t>(i)].mac[4] = static_cast<std::uint8_t>(i >> 8);
        table->entries[static_cast<std::size_t>(i)].mac[5] = static_cast<std::uint8_t>(i);
    }
    table->device_count = kShared;
    const auto devices = ListDevices(*table, SEGMENT{{192, 0, 2, 1}, {255, 255, 255, 0}}, "");
    const std::string json = ListingJson(devices, false);
    const std::string csv = ListingCsv(devices, false);
    EXPECT_LT(json.size(), kShared * 700u);
    EXPECT_LT(csv.size(), kShared * 400u);
    const auto last = nlohmann::json::parse(json).back();
    EXPECT_EQ(last["address_conflict"].size(), 8u);
    EXPECT_EQ(last["address_conflict"][0], "00-1a-2b-3c-00-00");
    EXPECT_EQ(last["address_conflict_count"], kShared - 1);
    EXPECT_TRUE(csv.ends_with(" 00-1a-2b-3c-00-07,299\n")) << csv.substr(csv.size() - 300);
    const std::string text = ListingText(devices, false);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kShared + 3);
    EXPECT_TRUE(
        text.ends_with("\n\n192.0.2.20 is used by 300 devices: 00-1a-2b-3c-00-00, 00-1a-2b-3c-00-01, "
                       "00-1a-2b-3c-00-02, 00-1a-2b-3c-00-03, 00-1a-2b-3c-00-04, 00-1a-2b-3c-00-05, "
                       "00-1a-2b-3c-00-06, 00-1a-2b-3c-00-07, 00-1a-2b-3c-00-08 and 291 more.\n"))
        << text.substr(text.size() - 400);
}

// Guards against losing where a device was heard when every adapter is enumerated at once:
// the adapter comes last, in JSON, CSV and the text table.
TEST(CliOutput, ListingNamesTheAdapterLast) {
    auto table = std::make_unique<DEVICE_TABLE>();
    table->entries[0] = Entry(false);
    table->device_count = 1;
    const auto devices = ListDevices(*table, SEGMENT{{192, 0, 2, 1}, {255, 255, 255, 0}}, "192.0.2.1");
    const auto json = ListedJson(devices[0], true);
    EXPECT_EQ(json["adapter"], "192.0.2.1");
    EXPECT_EQ(std::prev(json.end()).key(), "adapter");
    EXPECT_FALSE(ListedJson(devices[0], false).contains("adapter"));
    const std::string csv = ListingCsv(devices, true);
    EXPECT_TRUE(csv.substr(0, csv.find('\n'))
                    .ends_with(",dns6_alternate,same_subnet,address_conflict,address_conflict_count,adapter"));
    EXPECT_TRUE(csv.ends_with(",true,,0,192.0.2.1\n")) << csv;
    const std::string text = ListingText(devices, true);
    EXPECT_TRUE(text.substr(0, text.find('\n')).ends_with("IP Address  Adapter")) << text;
    EXPECT_TRUE(text.ends_with("192.0.2.20  192.0.2.1\n")) << text;
}

// Guards against a device's name writing to the terminal or splitting its row.
TEST(CliOutput, TextTableShowsControlCharacters) {
    auto table = std::make_unique<DEVICE_TABLE>();
    table->entries[0] = Entry(false);
    const char name[] =
        "a\x1b[31mb\nc\x7f\xc2\x85\xe2\x80\xae"
        "d";
    table->entries[0].device_name = {};
    std::copy(std::begin(name), std::end(name), table->entries[0].device_name.begin());
    table->device_count = 1;
    const std::string text = TableText(*table);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_NE(text.find("a\\x1b[31mb\\x0ac\\x7f\\x85\\u202ed"), std::string::npos) << text;
    EXPECT_NE(TableJson(*table, SEGMENT{}).find("a\\u001b[31mb\\nc\x7f"), std::string::npos);
}

}  // namespace
}  // namespace telvane::cli

namespace telvane::cli {
namespace {

// Guards against a socket failure passing as success (a script would see no devices).
TEST(OpenSocket, SocketFailureGivesItsExitCode) {
    CTelvaneSocket socket;
    const auto error = OpenSocket(socket, ADAPTER{{0x02, 0, 0, 0, 0, 1}, "203.0.113.254"}, nullptr);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->exit, EXIT_CODE::LOCAL);
    EXPECT_EQ(error->code, "socket");
    EXPECT_FALSE(socket.IsOpen());
}

// The watch's JSON time: the same on every system, the offset signed and in minutes too.
TEST(LocalTimeWithOffset, GivesTheOffsetFromTheLocalTimeItself) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 10;
    local.tm_hour = 12;
    local.tm_min = 19;
    local.tm_sec = 31;
    const std::time_t utc_11_19_31 = 1796901571;  // 2026-12-10T11:19:31Z
    EXPECT_EQ(LocalTimeWithOffset(utc_11_19_31, local), "2026-12-10T12:19:31+0100");
    local.tm_mday = 9;
    local.tm_hour = 23;
    local.tm_min = 49;
    EXPECT_EQ(LocalTimeWithOffset(utc_11_19_31, local), "2026-12-09T23:49:31-1130");
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    EXPECT_EQ(LocalTimeWithOffset(now, utc).substr(19), "+0000");
}

}  // namespace
}  // namespace telvane::cli
