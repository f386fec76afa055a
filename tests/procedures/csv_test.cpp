#include <gtest/gtest.h>

#include "procedures/csv.h"

namespace telvane {
namespace {

using Fields = std::vector<std::string>;

std::vector<Fields> Records(const CSV_DOCUMENT& doc) {
    std::vector<Fields> out;
    for (const CSV_RECORD& r : doc.records) out.push_back(r.fields);
    return out;
}

// Guards against line ends of one convention leaking into the last field.
TEST(Csv, AcceptsLfCrlfAndCrLineEnds) {
    for (const char* text : {"a,b\n1,2\n", "a,b\r\n1,2\r\n", "a,b\r1,2", "a,b\n1,2"}) {
        const CSV_DOCUMENT doc = ParseCsv(text);
        ASSERT_TRUE(doc.Ok()) << doc.error;
        EXPECT_EQ(Records(doc), (std::vector<Fields>{{"a", "b"}, {"1", "2"}})) << text;
    }
}

TEST(Csv, QuotedFieldsKeepCommasQuotesAndLineBreaks) {
    const CSV_DOCUMENT doc = ParseCsv("x,y\r\n\"a,b\",\"say \"\"hi\"\"\"\n\"two\r\nlines\",\"\"\n");
    ASSERT_TRUE(doc.Ok()) << doc.error;
    EXPECT_EQ(Records(doc), (std::vector<Fields>{{"x", "y"}, {"a,b", "say \"hi\""}, {"two\nlines", ""}}));
    EXPECT_EQ(doc.records[2].line, 3u);
}

// Guards against empty cells being dropped (they mean "option not given", not "shift left").
TEST(Csv, EmptyCellsKeepTheirPlace) {
    const CSV_DOCUMENT doc = ParseCsv("a,,c\n,,\n");
    ASSERT_TRUE(doc.Ok());
    EXPECT_EQ(Records(doc), (std::vector<Fields>{{"a", "", "c"}, {"", "", ""}}));
}

TEST(Csv, TrimsBlanksAroundUnquotedFieldsOnlyAndSkipsBlankLines) {
    const CSV_DOCUMENT doc = ParseCsv("\xEF\xBB\xBF mac , ip\n\n  \"  x \" , y \n\n");
    ASSERT_TRUE(doc.Ok()) << doc.error;
    EXPECT_EQ(Records(doc), (std::vector<Fields>{{"mac", "ip"}, {"  x ", "y"}}));
    EXPECT_EQ(doc.records[1].line, 3u);
}

// Guards against malformed input being half-read: each is an error with its line, and no
// records are handed out.
TEST(Csv, MalformationsAreErrorsWithTheirLine) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"a,b\n1,\"open\n2,3\n", 2},  // unterminated, reported where it opened
        {"a,b\n1,x\"y\n", 2},         // quote inside an unquoted field
        {"a\n\"q\"z\n", 2},           // text after a closing quote
    };
    for (const auto& [text, line] : cases) {
        const CSV_DOCUMENT doc = ParseCsv(text);
        EXPECT_FALSE(doc.Ok()) << text;
        EXPECT_EQ(doc.error_line, line) << text;
        EXPECT_TRUE(doc.records.empty());
    }
}

TEST(Csv, EmptyTextHasNoRecords) {
    EXPECT_TRUE(ParseCsv("").Ok());
    EXPECT_TRUE(ParseCsv("").records.empty());
    EXPECT_TRUE(ParseCsv("\r\n\n").records.empty());
}

// Guards against reading past the end on a text that ends inside a construct.
TEST(Csv, TruncatedInputsNeverCrash) {
    const std::string text = "mac,\"ip\"\r\n\"00-1a\"\"\",\"1.2\r\n3\"\r\n";
    for (std::size_t n = 0; n <= text.size(); ++n) {
        const CSV_DOCUMENT doc = ParseCsv(std::string_view(text).substr(0, n));
        if (!doc.Ok()) {
            EXPECT_TRUE(doc.records.empty());
        }
    }
    const CSV_DOCUMENT whole = ParseCsv(text);
    ASSERT_TRUE(whole.Ok());
    EXPECT_EQ(Records(whole), (std::vector<Fields>{{"mac", "ip"}, {"00-1a\"", "1.2\n3"}}));
}

}  // namespace
}  // namespace telvane
