#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "net/journal_file.h"

// After the project's headers: its macros clash with names there.
#include <windows.h>

namespace telvane {
namespace {

// A folder whose name the ANSI code page cannot hold: paths travel as UTF-8.
class Win32JournalFile : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        dir = std::filesystem::path(temp) /
              (L"telvane-\u0416\u0443\u0440\u043d\u0430\u043b-" + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::remove_all(dir);
        const std::u8string utf8 = (dir / L"state" / L"journal.jsonl").u8string();
        path.assign(utf8.begin(), utf8.end());
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::vector<std::string> Lines(const std::string& suffix) const {
        std::ifstream in(dir / L"state" / (L"journal.jsonl" + std::wstring(suffix.begin(), suffix.end())));
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    std::filesystem::path dir;
    std::string path;
};

// Guards against LockFileEx and the rename under the lock losing or mixing lines when
// writers on other handles meet a rotation.
TEST_F(Win32JournalFile, WritersOnTheirOwnHandlesNeverLoseLinesAcrossRotations) {
    constexpr int WRITERS = 3;
    constexpr int LINES = 100;
    const JOURNAL_ROTATION rotation{8u * 1024u, 200};
    std::vector<std::thread> writers;
    std::vector<std::string> errors(WRITERS);
    for (int w = 0; w < WRITERS; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < LINES && errors[static_cast<std::size_t>(w)].empty(); ++i)
                errors[static_cast<std::size_t>(w)] = AppendJournalLine(
                    path, std::to_string(w) + " " + std::to_string(i) + " " + std::string(300, 'x') + "\n", rotation);
        });
    }
    for (std::thread& t : writers) t.join();
    for (const std::string& e : errors) EXPECT_EQ(e, "");
    std::map<int, int> next;
    std::size_t total = 0;
    for (int n = 200; n >= 0; --n) {
        for (const std::string& line : Lines(n == 0 ? std::string() : std::string(".").append(std::to_string(n)))) {
            int w = -1;
            int i = -1;
            ASSERT_EQ(std::sscanf(line.c_str(), "%d %d", &w, &i), 2) << line;
            EXPECT_EQ(line.size(), std::to_string(w).size() + std::to_string(i).size() + 302) << line;
            EXPECT_EQ(i, next[w]++);
            ++total;
        }
    }
    EXPECT_EQ(total, static_cast<std::size_t>(WRITERS * LINES));
    EXPECT_FALSE(Lines(".3").empty()) << "rotated";
}

// Guards against the journal landing outside the user's local application data.
TEST(Win32JournalFolder, IsInLocalAppData) {
    _wputenv(L"LOCALAPPDATA=C:\\Users\\tech\\AppData\\Local");
    EXPECT_EQ(UserStateDirectory(), "C:\\Users\\tech\\AppData\\Local\\Telvane");
}

}  // namespace
}  // namespace telvane
