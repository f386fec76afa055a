#include <gtest/gtest.h>

#include "procedures/journal.h"

namespace telvane {
namespace {

JOURNAL_SET Set(const std::string& id, const std::string& mac) {
    JOURNAL_SET s;
    s.id = id;
    s.time = "2026-12-10T11:19:31+0100";
    s.command = "set";
    s.mac = mac;
    s.adapter = "192.0.2.1";
    s.before = journal_json{{"mac", mac}, {"ipv4_address", "192.0.2.20"}, {"dhcp", false}};
    s.request = journal_json{{"hex", "ffff"}, {"fields", {{"ipv4_address", "192.0.2.40"}}}};
    return s;
}

// Guards against one damaged line (a foreign program's, a crash's half line, an edit by
// hand) costing the history around it, or crashing the reader.
TEST(Journal, DamagedAndForeignLinesAreSkippedWithAWarning) {
    std::string text = JournalSetLine(Set("1-1-1", "00-1a-2b-3c-4d-5e"));
    text += "not json at all\n";
    text += "{\"journal\": \"someone-else\", \"kind\": \"set\"}\n";
    text += "[1, 2]\n";
    text += "\n";
    text += JournalOutcomeLine(JOURNAL_OUTCOME{"1-1-1", "t", "00-1a-2b-3c-4d-5e", "accepted", 1, 0});
    text += JournalOutcomeLine(JOURNAL_OUTCOME{"9-9-9", "t", "00-1a-2b-3c-4d-5e", "accepted", 1, 0});
    text += "{\"journal\": \"telvane-journal\", \"kind\": \"set\", \"id\": \"2-1-1\", \"mac\": \"x\"}\n";
    text += JournalSetLine(Set("3-1-1", "00-1a-2b-3c-4d-5f"));
    text += "{\"journal\": \"telvane-journal\", \"ki";  // a writer stopped mid-line
    JOURNAL_READING reading;
    ParseJournal(text, "j", reading);
    ASSERT_EQ(reading.entries.size(), 2u);
    EXPECT_EQ(reading.entries[0].set.id, "1-1-1");
    ASSERT_TRUE(reading.entries[0].outcome);
    EXPECT_EQ(reading.entries[0].outcome->outcome, "accepted");
    EXPECT_EQ(reading.entries[0].outcome->result, 0);
    EXPECT_EQ(reading.entries[0].set.before["ipv4_address"], "192.0.2.20");
    EXPECT_FALSE(reading.entries[1].outcome);
    ASSERT_EQ(reading.warnings.size(), 6u);
    EXPECT_EQ(reading.warnings[0], "j line 2 skipped: not a journal entry");
    EXPECT_EQ(reading.warnings[3], "j line 7 skipped: an outcome of no set in the journal");
    EXPECT_EQ(reading.warnings[5], "j line 10 skipped: not a journal entry (cut short)");
}

// Guards against history claiming a change that was never sent: values an automatic
// choice does not carry are zero in the request.
TEST(Journal, ChangedFieldsLeaveOutWhatAnAutomaticChoiceDoesNotCarry) {
    const journal_json before = {
        {"ipv4_address", "192.0.2.20"}, {"dhcp", false}, {"dns4_auto", true}, {"dns4_preferred", "192.0.2.53"}};
    const journal_json to_dhcp = {{"type", "extended"},
                                  {"ipv4_address", "0.0.0.0"},
                                  {"dhcp", true},
                                  {"dns4_auto", true},
                                  {"dns4_preferred", "0.0.0.0"}};
    EXPECT_EQ(ChangedFields(before, to_dhcp), (std::vector<std::string>{"dhcp: false -> true"}));
    const journal_json to_static = {
        {"ipv4_address", "192.0.2.40"}, {"dhcp", false}, {"dns4_auto", false}, {"dns4_preferred", "192.0.2.53"}};
    EXPECT_EQ(ChangedFields(before, to_static),
              (std::vector<std::string>{"ipv4_address: 192.0.2.20 -> 192.0.2.40", "dns4_auto: true -> false"}));
}

// Guards against enumerate --json's document not going back in, and against the JSON
// form reading rows differently from the CSV one.
TEST(Journal, JsonBatchReadsEnumeratesDocumentAndSetsOwnKeys) {
    const SET_BATCH snapshot = ReadJsonBatch(
        "[\n"
        "  {\"device_name\": \"A, \\\"b\\\"\", \"model_name\": \"TV-300\", \"mac\": \"00-1a-2b-3c-4d-5e\", "
        "\"ipv4_address\": \"192.0.2.40\", \"ipv4_mask\": \"255.255.255.0\", \"ipv4_gateway\": \"192.0.2.1\", "
        "\"dhcp\": false, \"has_extension\": false, \"same_subnet\": null, \"address_conflict\": "
        "[\"00-1a-2b-3c-4d-5f\"]},\n"
        "  {\"mac\": \"00-1a-2b-3c-4d-5f\", \"dhcp\": true}\n"
        "]\n");
    ASSERT_TRUE(snapshot.Ok()) << snapshot.error;
    ASSERT_EQ(snapshot.rows.size(), 2u);
    EXPECT_EQ(snapshot.rows[0].line, 2u);
    EXPECT_EQ(snapshot.rows[0].options.size(), 4u);
    EXPECT_EQ(snapshot.rows[0].expected_model, "TV-300");
    EXPECT_EQ(snapshot.rows[1].options.size(), 1u);
    EXPECT_EQ(snapshot.rows[1].error, "");

    const SET_BATCH own = ReadJsonBatch(R"([{"mac": "00-1a-2b-3c-4d-5e", "ip": "192.0.2.40", "dns4": []},
                                           {"mac": "00-1a-2b-3c-4d-5f", "dns4": ["192.0.2.53", "192.0.2.54"]}])");
    ASSERT_TRUE(own.Ok()) << own.error;
    EXPECT_EQ(own.rows[0].options[1].values, (std::vector<std::string>{"-"}));
    EXPECT_EQ(own.rows[1].options[0].values, (std::vector<std::string>{"192.0.2.53", "192.0.2.54"}));

    EXPECT_FALSE(ReadJsonBatch("{\"mac\": \"00-1a-2b-3c-4d-5e\"}").Ok());
    EXPECT_FALSE(ReadJsonBatch("[{\"mac\": \"00-1a-2b-3c-4d-5e\"}, 3]").Ok());
    EXPECT_FALSE(ReadJsonBatch("[{\"mac\": \"00-1a-2b-3c-4d-5e\", \"colour\": \"red\"}]").Ok());
}

}  // namespace
}  // namespace telvane
