#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "net/file_text.h"
#include "net/journal_file.h"

namespace telvane {
namespace {

class JournalFile : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/telvane-journal-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/state/journal.jsonl";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::vector<std::string> Lines(const std::string& file) const {
        std::ifstream in(file);
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    std::string dir;
    std::string path;
};

// Guards against two programs appending at once (two shells, Ansible's forks) mixing
// their lines or losing some, across rotations too.
TEST_F(JournalFile, ConcurrentWritersNeverInterleaveOrLoseLines) {
    constexpr int WRITERS = 4;
    constexpr int LINES = 150;
    // Small files, so that writers also meet each other's rotations; enough kept for all.
    const JOURNAL_ROTATION rotation{64u * 1024u, 200};
    std::vector<pid_t> children;
    for (int w = 0; w < WRITERS; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < LINES; ++i) {
                const std::string line = "{\"w\": " + std::to_string(w) + ", \"i\": " + std::to_string(i) +
                                         ", \"pad\": \"" +
                                         std::string(static_cast<std::size_t>(200 + (i * 37) % 3000), 'x') + "\"}\n";
                if (!AppendJournalLine(path, line, rotation).empty()) _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::map<int, int> next;  // each writer's lines arrive whole and in its order
    std::vector<std::string> lines;
    for (int n = 200; n >= 0; --n) {
        const auto part = Lines(n == 0 ? path : path + "." + std::to_string(n));
        lines.insert(lines.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(std::filesystem::exists(path + ".5"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(WRITERS * LINES));
    for (const std::string& line : lines) {
        int w = -1;
        int i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "{\"w\": %d, \"i\": %d,", &w, &i), 2) << line.substr(0, 60);
        ASSERT_EQ(line.back(), '}');
        EXPECT_EQ(i, next[w]++);
    }
}

// Guards against a journal that grows without bound, and against rotation losing the
// line that triggered it.
TEST_F(JournalFile, RotatesAtTheSizeKeepingTheLastFiles) {
    const JOURNAL_ROTATION rotation{100, 2};
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(AppendJournalLine(path, "line " + std::to_string(i) + " " + std::string(40, '.') + "\n", rotation),
                  "");
    EXPECT_EQ(Lines(path).size(), 2u);
    EXPECT_EQ(Lines(path + ".1").size(), 3u);
    EXPECT_EQ(Lines(path + ".2").size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(path + ".3"));
    EXPECT_EQ(Lines(path).back().rfind("line 19 ", 0), 0u);
    EXPECT_EQ(Lines(path + ".1").front().rfind("line 15 ", 0), 0u);
}

// Guards against a set going out with its journal unwritten: every failure is reported.
TEST_F(JournalFile, FailuresAreReportedNotSwallowed) {
    const std::string under_a_file = "/dev/null/journal.jsonl";
    EXPECT_NE(CheckJournalWritable(under_a_file), "");
    EXPECT_NE(AppendJournalLine(under_a_file, "x\n", {}), "");
    EXPECT_NE(AppendJournalLine("/dev/full", "x\n", {}).find("No space left"), std::string::npos);
    EXPECT_EQ(CheckJournalWritable(path), "");
    EXPECT_TRUE(std::filesystem::exists(path));
}

// Guards against the journal landing somewhere the user does not look.
// Guards against a reader that stops at a NUL, turns CR LF into LF, or hands back an
// empty text for a folder or a missing file as if it were an empty file.
TEST_F(JournalFile, ReadsAFileExactlyAndRefusesWhatIsNoFile) {
    const std::string file = dir + "/batch.csv";
    const std::string bytes("mac,ip\r\n\0\xff\xfe", 11);
    std::ofstream(file, std::ios::binary) << bytes;
    EXPECT_EQ(ReadFileText(file), bytes);
    std::ofstream(dir + "/empty.csv", std::ios::binary).close();
    EXPECT_EQ(ReadFileText(dir + "/empty.csv"), std::string());
    EXPECT_EQ(ReadFileText(dir), std::nullopt);
    EXPECT_EQ(ReadFileText(dir + "/missing.csv"), std::nullopt);
}

TEST(JournalFolder, FollowsTheStateHomeElseTheHomeFolder) {
    const char* old_state = std::getenv("XDG_STATE_HOME");
    const std::string saved = old_state ? old_state : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_STATE_HOME", "/srv/state", 1);
    EXPECT_EQ(UserStateDirectory(), "/srv/state/telvane");
    setenv("XDG_STATE_HOME", "relative", 1);
    setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(UserStateDirectory(), "/home/tech/.local/state/telvane");
    setenv("HOME", home.c_str(), 1);
    if (old_state)
        setenv("XDG_STATE_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
}

}  // namespace
}  // namespace telvane
