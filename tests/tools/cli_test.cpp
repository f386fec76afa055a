#include <gtest/gtest.h>

#include "tools/cli/cli_options.h"
#include "tools/cli/cli_output.h"

namespace telvane::cli {
namespace {

ADAPTER Adapter(std::uint8_t last, std::string ip) { return ADAPTER{{0x02, 0, 0, 0, 0, last}, std::move(ip)}; }

// Guards against scripts getting a different adapter than the window would use.
TEST(ChooseAdapter, ByIndexByAddressAndDefault) {
    const std::vector<ADAPTER> usable = {Adapter(1, "192.0.2.1"), Adapter(2, "198.51.100.1")};
    EXPECT_EQ(ChooseAdapter(usable, std::nullopt).adapter->ipv4_text, "192.0.2.1");
    EXPECT_EQ(ChooseAdapter(usable, "1").adapter->ipv4_text, "198.51.100.1");
    const auto by_address = ChooseAdapter(usable, "198.51.100.1");
    EXPECT_EQ(by_address.index, 1);
    EXPECT_EQ(ChooseAdapter(usable, "2").exit_code, EXIT_NO_ADAPTER);
    EXPECT_EQ(ChooseAdapter(usable, "203.0.113.1").exit_code, EXIT_NO_ADAPTER);
    EXPECT_EQ(ChooseAdapter(usable, "eth0").exit_code, EXIT_USAGE);
    const auto none = ChooseAdapter({}, std::nullopt);
    EXPECT_FALSE(none.adapter);
    EXPECT_EQ(none.exit_code, EXIT_NO_ADAPTER);
    EXPECT_EQ(none.error, "Network adapter not found.");
}

TEST(ParseOptions, ValuesFlagsAndMistakes) {
    const std::vector<OPTION_DEF> known = {{"--adapter", true}, {"--json", false}};
    const std::vector<std::string> args = {"--adapter", "1", "--json", "rest"};
    const auto parsed = ParseOptions(args, known);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.Value("--adapter"), "1");
    EXPECT_TRUE(parsed.Has("--json"));
    EXPECT_EQ(parsed.positional, std::vector<std::string>{"rest"});
    EXPECT_EQ(ParseOptions(std::vector<std::string>{"--adapter=0"}, known).Value("--adapter"), "0");
    EXPECT_NE(ParseOptions(std::vector<std::string>{"--adapter"}, known).error, "");
    EXPECT_NE(ParseOptions(std::vector<std::string>{"--jsn"}, known).error, "");
    EXPECT_NE(ParseOptions(std::vector<std::string>{"--json=1"}, known).error, "");
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
    EXPECT_EQ(full[2].text, "00-1a-2b-3c-4d-5e");
    EXPECT_EQ(full[12].name, "ipv6");
    EXPECT_EQ(full[12].text, "true");
    EXPECT_EQ(full[13].name, "ipv6_dhcp");
    EXPECT_EQ(full[13].text, "true");
    EXPECT_EQ(full[14].text, "false");  // dns6_auto
    EXPECT_EQ(full[15].text, "2001::1");
    EXPECT_EQ(full[16].kind, FIELD::KIND::NUMBER);
}

TEST(CliOutput, JsonAndCsvQuoting) {
    EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField("Say \"hi\", world"), "\"Say \"\"hi\"\", world\"");

    auto table = std::make_unique<DEVICE_TABLE>();
    EXPECT_EQ(TableJson(*table), "[]\n");
    table->entries[0] = Entry(false);
    table->device_count = 1;
    EXPECT_EQ(TableJson(*table),
              "[\n  {\"device_name\": \"Say \\\"hi\\\", world\", \"model_name\": \"\", \"mac\": \"00-1a-2b-3c-4d-5e\", "
              "\"ipv4_address\": \"192.0.2.20\", \"ipv4_mask\": \"255.255.255.0\", \"ipv4_gateway\": \"0.0.0.0\", "
              "\"dhcp\": false, \"locked\": false, \"has_extension\": false}\n]\n");
    const std::string csv = TableCsv(*table);
    EXPECT_EQ(csv.substr(csv.find('\n') + 1),
              "\"Say \"\"hi\"\", world\",,00-1a-2b-3c-4d-5e,192.0.2.20,255.255.255.0,0.0.0.0,false,false,false"
              ",,,,,,,,,,,\n");
}

}  // namespace
}  // namespace telvane::cli

namespace telvane::cli {
namespace {

// Guards against a socket failure passing as success (a script would see no devices).
TEST(OpenSocketOrReport, SocketFailureGivesItsExitCode) {
    CTelvaneSocket socket;
    EXPECT_EQ(OpenSocketOrReport(socket, ADAPTER{{0x02, 0, 0, 0, 0, 1}, "203.0.113.254"}, nullptr),
              EXIT_FAILURE_RUNTIME);
    EXPECT_FALSE(socket.IsOpen());
}

}  // namespace
}  // namespace telvane::cli
