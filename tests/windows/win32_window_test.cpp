// The main window on Windows' own controls against the simulator (tests/windows/window_test.sh
// starts it with scripts/demo-devices.json): a set made through the window, driven from a
// thread timer inside the window's modal loop as a user would drive it.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/telvane_dlg.h"
#include "inventory/device_info.h"
#include "ui/message_box.h"
#include "protocol/text.h"
#include "resources/resource.h"
#include "ui/testing.h"

namespace telvane {
namespace {

// The device of the demo set that takes any setting (a basic reply, no extension).
constexpr char TARGET_MAC[] = "00-1a-2b-3c-4d-01";
// The demo devices that answer on the first link.
constexpr int FIRST_LINK_DEVICES = 7;
// The start-up enumeration under a fresh wine prefix, a set, its twelve seconds and the
// enumeration after it come well within this.
constexpr DWORD GIVE_UP_MS = 45000;

struct DRIVE {
    CTelvaneDlg* dialog = nullptr;
    int stage = 0;
    int target = -1;
    DWORD started = 0;
    bool saw_busy = false;
    bool saw_set_ok_while_busy = false;
    int pokes = 0;
    bool ended_early = false;
    int rows_after = 0;
    std::string failure;
};
DRIVE drive;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

void Finish(const std::string& failure) {
    drive.failure = failure;
    drive.stage = 99;
    drive.dialog->EndDialog(IDCANCEL);
}

// What a user might do while a procedure runs: Escape, Enter, the close box, and clicks on
// Enumerate and Exit, which are disabled then. All of it must be ignored.
void Poke(CTelvaneDlg& dialog) {
    const HWND focus = GetFocus();
    const HWND keys = focus != nullptr ? focus : dialog.Hwnd();
    PostMessageW(keys, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(keys, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(dialog.Hwnd(), WM_CLOSE, 0, 0);
    PostMessageW(dialog.GetDlgItem(IDC_ENUMERATE), BM_CLICK, 0, 0);
    PostMessageW(dialog.GetDlgItem(IDC_EXIT), BM_CLICK, 0, 0);
    ++drive.pokes;
}

// One step each tick; the pumped waits of the procedures dispatch the ticks too.
void CALLBACK Step(HWND, UINT, UINT_PTR, DWORD) {
    CTelvaneDlg& dialog = *drive.dialog;
    if (drive.stage == 99 || dialog.Hwnd() == nullptr) return;
    if (GetTickCount() - drive.started > GIVE_UP_MS) return Finish("gave up at stage " + std::to_string(drive.stage));
    const HWND list = dialog.GetDlgItem(IDC_DEVICE_LIST);
    switch (drive.stage) {
        case 0:  // the start-up enumeration has listed the devices and the window shows
            if (dialog.busy != 0 || !IsWindowVisible(dialog.Hwnd()) || ListView_GetItemCount(list) < FIRST_LINK_DEVICES)
                return;
            for (int i = 0; i < dialog.table.device_count; ++i)
                if (Lower(FormatMac(dialog.table.entries[static_cast<std::size_t>(i)].mac)) == TARGET_MAC)
                    drive.target = i;
            if (drive.target < 0) return Finish("the device is not listed");
            // As a click on its row does: row i is entry i.
            ListView_SetItemState(list, drive.target, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            drive.stage = 1;
            return;
        case 1:  // the panel shows the device's settings: send them back
            if (dialog.table.selected_index != drive.target) return Finish("the row click did not select the device");
            PostMessageW(dialog.GetDlgItem(IDC_SET_IP), BM_CLICK, 0, 0);
            drive.stage = 2;
            return;
        case 2: {  // acknowledged: the row is set-ok during the progress
            const std::uint8_t state = dialog.table.entries[static_cast<std::size_t>(drive.target)].state;
            if (dialog.busy != 0) drive.saw_busy = true;
            const auto progress = SendMessageW(dialog.GetDlgItem(IDC_PROGRESS), PBM_GETPOS, 0, 0);
            if (dialog.busy != 0 && state == STATE_SET_OK && progress > 0) {
                if (!drive.saw_set_ok_while_busy) Poke(dialog);  // during the twelve seconds
                drive.saw_set_ok_while_busy = true;
            }
            // During the enumeration after them.
            if (dialog.busy != 0 && drive.saw_set_ok_while_busy && progress == 0 && drive.pokes == 1) Poke(dialog);
            // Over: after the progress and the enumeration, or at once when the set failed.
            if (dialog.busy == 0 && (drive.saw_busy || state == STATE_SET_FAILED)) {
                drive.rows_after = ListView_GetItemCount(list);
                drive.ended_early = dialog.IsEnded();
                drive.stage = 99;
                dialog.EndDialog(IDCANCEL);
            }
            return;
        }
        default:
            return;
    }
}

struct LOG_LINE {
    std::string kind;  // RX or TX
    long t = 0;        // ms since the simulator started
    std::string text;
};

std::vector<LOG_LINE> ReadSimLog() {
    std::vector<LOG_LINE> lines;
    const char* path = std::getenv("TELVANE_SIM_LOG");
    if (path == nullptr) return lines;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        const auto t = text.find(" t=");
        if (text.rfind("RX ", 0) != 0 && text.rfind("TX ", 0) != 0) continue;
        if (t == std::string::npos) continue;
        lines.push_back({text.substr(0, 2), std::strtol(text.c_str() + t + 3, nullptr, 10), text});
    }
    return lines;
}

TEST(Win32Window, SetThroughTheWindowIsAcknowledgedAndReenumerated) {
    ASSERT_NE(std::getenv("TELVANE_SIM_LOG"), nullptr) << "run through tests/windows/window_test.sh";
    std::vector<std::u16string> messages;
    SetMessageBoxHookForTesting([&](const std::u16string& text) { messages.push_back(text); });
    SetQuestionAnswerForTesting(true);
    {
        CTelvaneDlg dialog;
        drive.dialog = &dialog;
        drive.started = GetTickCount();
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, Step);
        dialog.DoModal();
        KillTimer(nullptr, timer);
    }
    SetMessageBoxHookForTesting({});
    ASSERT_EQ(drive.failure, "");
    EXPECT_TRUE(messages.empty()) << "first message: " << ToUtf8(messages.front());
    EXPECT_TRUE(drive.saw_set_ok_while_busy);
    EXPECT_EQ(drive.pokes, 2);
    EXPECT_FALSE(drive.ended_early) << "the window closed while busy";
    EXPECT_GE(drive.rows_after, FIRST_LINK_DEVICES);

    // In the simulator's log: the set request (24 bytes for a basic device), its reply, and
    // the three requests of the enumeration after the twelve seconds.
    const auto log = ReadSimLog();
    const auto set = std::find_if(log.begin(), log.end(), [](const LOG_LINE& line) {
        return line.kind == "RX" && line.text.find(" len=24 ") != std::string::npos;
    });
    ASSERT_NE(set, log.end()) << "no set request";
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const LOG_LINE& line) {
                                return line.kind == "RX" && line.text.find(" len=5 ") != std::string::npos;
                            }),
              6)
        << "enumerations other than at the start and after the set";
    const auto reply = std::find_if(set, log.end(), [](const LOG_LINE& line) { return line.kind == "TX"; });
    ASSERT_NE(reply, log.end()) << "the set was not answered";
    const auto enumerations = std::count_if(reply, log.end(), [&](const LOG_LINE& line) {
        return line.kind == "RX" && line.text.find(" len=5 ") != std::string::npos && line.t - reply->t >= 11500;
    });
    EXPECT_EQ(enumerations, 3);
}

}  // namespace
}  // namespace telvane

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES |
                                                                    ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return RUN_ALL_TESTS();
}
