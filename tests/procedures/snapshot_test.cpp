#include <gtest/gtest.h>

#include "procedures/snapshot.h"

namespace telvane {
namespace {

using FIELDS = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> Names(const std::vector<SET_OPTION>& options) {
    std::vector<std::string> out;
    for (const SET_OPTION& o : options) out.push_back(o.name);
    return out;
}

// Guards against a snapshot row applying what describes the device, or values that an
// automatic choice does not carry (they would turn DHCP off again).
TEST(Snapshot, SettingsBecomeOptionsDescriptionsDoNot) {
    const SNAPSHOT_ROW dhcp = SnapshotOptions(FIELDS{{"device_name", "Hall"},
                                                     {"model_name", "TV-300"},
                                                     {"locked", "false"},
                                                     {"dhcp", "true"},
                                                     {"ipv4_address", "192.0.2.20"},
                                                     {"has_extension", "false"},
                                                     {"same_subnet", "true"}});
    EXPECT_EQ(Names(dhcp.options), (std::vector<std::string>{"dhcp"}));
    EXPECT_EQ(dhcp.model_name, "TV-300");

    const SNAPSHOT_ROW full = SnapshotOptions(FIELDS{{"dhcp", "false"},
                                                     {"ipv4_address", "192.0.2.20"},
                                                     {"ipv4_mask", "255.255.255.0"},
                                                     {"ipv4_gateway", "0.0.0.0"},
                                                     {"has_extension", "true"},
                                                     {"dns4_auto", "false"},
                                                     {"dns4_preferred", "192.0.2.53"},
                                                     {"dns4_alternate", "0.0.0.0"},
                                                     {"ipv6", "true"},
                                                     {"ipv6_dhcp", "false"},
                                                     {"ipv6_address", "2001:db8::20"},
                                                     {"ipv6_prefix_length", "64"},
                                                     {"ipv6_gateway", "::"},
                                                     {"dns6_auto", "true"}});
    ASSERT_TRUE(full.error.empty()) << full.error;
    EXPECT_EQ(Names(full.options),
              (std::vector<std::string>{"static", "ip", "mask", "gateway", "dns4-manual", "dns4", "ipv6-static", "ipv6",
                                        "prefix", "ipv6-gateway", "dns6-auto"}));
    EXPECT_EQ(full.options[5].values, (std::vector<std::string>{"192.0.2.53", "0.0.0.0"}));
    SET_FORM form;
    EXPECT_EQ(ApplySetOptions(form, full.options), "");

    // A device without IPv6 reports zeros it would not take.
    const SNAPSHOT_ROW no_ipv6 = SnapshotOptions(FIELDS{
        {"dhcp", "true"}, {"ipv6", "false"}, {"ipv6_dhcp", "false"}, {"ipv6_address", "::"}, {"dns6_auto", "false"}});
    EXPECT_EQ(Names(no_ipv6.options), (std::vector<std::string>{"dhcp"}));
    EXPECT_NE(SnapshotOptions(FIELDS{{"dhcp", "maybe"}}).error, "");
}

// Guards against an export being refused as input, and against its columns being mixed
// with set's own (two meanings for "ipv6").
TEST(Snapshot, EnumerateHeaderIsReadAsASnapshot) {
    const SET_BATCH batch = ReadSetBatch(
        "device_name,model_name,mac,ipv4_address,ipv4_mask,ipv4_gateway,dhcp,locked,has_extension,same_subnet,"
        "address_conflict,address_conflict_count,adapter\n"
        "Cam,TV-300,00-1a-2b-3c-4d-5e,192.0.2.40,255.255.255.0,192.0.2.1,false,false,false,true,,0,192.0.2.1\n"
        "Meter,TV-300,00-1a-2b-3c-4d-5f,192.0.2.41,255.255.255.0,192.0.2.1,true,false,false,,,0,192.0.2.1\n"
        "Nothing,TV-300,00-1a-2b-3c-4d-60,,,,,false,false,,,0,192.0.2.1\n");
    ASSERT_TRUE(batch.Ok()) << batch.error;
    ASSERT_EQ(batch.rows.size(), 3u);
    EXPECT_EQ(batch.rows[0].line, 2u);
    EXPECT_EQ(Names(batch.rows[0].options), (std::vector<std::string>{"static", "ip", "mask", "gateway"}));
    EXPECT_EQ(batch.rows[0].expected_model, "TV-300");
    EXPECT_EQ(Names(batch.rows[1].options), (std::vector<std::string>{"dhcp"}));
    EXPECT_EQ(batch.rows[2].error, "no setting given");

    // The columns set has always read keep their meaning.
    const SET_BATCH own = ReadSetBatch("mac,ip,dhcp\n00-1a-2b-3c-4d-5e,192.0.2.40,no\n");
    ASSERT_TRUE(own.Ok()) << own.error;
    EXPECT_EQ(Names(own.rows[0].options), (std::vector<std::string>{"ip", "static"}));

    const SET_BATCH mixed = ReadSetBatch("mac,ipv4_address,ip\n00-1a-2b-3c-4d-5e,192.0.2.40,192.0.2.41\n");
    EXPECT_FALSE(mixed.Ok());
    EXPECT_NE(mixed.error.find("column ip"), std::string::npos) << mixed.error;
    EXPECT_FALSE(ReadSetBatch("mac,ipv4_address,colour\n").Ok());

    // A snapshot of two adapters lists a device heard on both: two exchanges with it in a
    // row could take one's late answer for the other's.
    const SET_BATCH twice = ReadSetBatch(
        "mac,ipv4_address,ipv4_mask,adapter\n00-1a-2b-3c-4d-5e,192.0.2.40,255.255.255.0,192.0.2.1\n"
        "00:1A:2B:3C:4D:5E,198.51.100.40,255.255.255.0,198.51.100.1\n");
    EXPECT_FALSE(twice.Ok());
    EXPECT_EQ(twice.error_line, 3u);
}

// Guards against a row reaching another kind of device that answers with the same MAC
// (a replaced unit), while a row for a device not heard is left to set's own message.
TEST(Snapshot, RowOfAnotherModelIsNamed) {
    DEVICE_TABLE table;
    DEVICE_INFO& d = table.entries[0];
    d.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    const std::string model = "TV-400";
    std::copy(model.begin(), model.end(), d.model_name.begin());
    table.device_count = 1;
    SET_BATCH_ROW row;
    row.mac = "00-1a-2b-3c-4d-5e";
    row.expected_model = "TV-300";
    EXPECT_EQ(SnapshotModelMismatch(table, row),
              "device 00-1a-2b-3c-4d-5e reports model \"TV-400\", the row was taken from model \"TV-300\"");
    row.expected_model = "TV-400";
    EXPECT_EQ(SnapshotModelMismatch(table, row), "");
    // A model that reads as a formula, as a spreadsheet-safe export writes it.
    const std::string formula = "=TV";
    std::copy(formula.begin(), formula.end(), d.model_name.begin());
    d.model_name[3] = 0;
    row.expected_model = "'=TV";
    EXPECT_EQ(SnapshotModelMismatch(table, row), "");
    row.mac = "00-1a-2b-3c-4d-5f";
    row.expected_model = "TV-300";
    EXPECT_EQ(SnapshotModelMismatch(table, row), "");
}

}  // namespace
}  // namespace telvane
