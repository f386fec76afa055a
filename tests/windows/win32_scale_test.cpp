// The main window at the system's DPI (run at 96, 120, 144 and 192 by scale_test.sh): every
// text measured with the control's own font against the control, no control running into
// another, and a picture of the window (TELVANE_SCALE_PICTURE, a BMP file).

#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
// clang-format on

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "inventory/device_list.h"
#include "ui/win32/device_list_view_win32.h"
#include "ui/win32/dialog_win32.h"
#include "resources/main_dialog.h"

namespace telvane {
namespace {

std::wstring Caption(const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
    std::wstring out;
    for (const wchar_t c : wide)
        if (c != L'&') out += c;
    while (!out.empty() && out.back() == L' ') out.pop_back();  // a trailing blank is spacing
    return out;
}

void Pump() {
    MSG msg{};
    for (int i = 0; i < 50; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

void SavePicture(HWND window, const char* path) {
    RECT r{};
    GetWindowRect(window, &r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(h);
    if (FILE* out = std::fopen(path, "wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        std::fwrite(bits, stride, static_cast<std::size_t>(h), out);
        std::fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// Guards against a caption the scaled font no longer fits, and controls running into each
// other at this scale: only the frames, drawn around controls, may be crossed.
TEST(Win32Scale, TextsFitAndControlsStayApart) {
    const DLG_TEMPLATE& t = MainDialogTemplate();
    CDialog dialog(t);
    dialog.Create();
    ShowWindow(dialog.Hwnd(), SW_SHOW);
    Pump();
    HDC dc = GetDC(dialog.Hwnd());
    std::printf("system DPI %d\n", GetDeviceCaps(dc, LOGPIXELSY));
    if (const char* expected = std::getenv("TELVANE_EXPECT_DPI")) {
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), std::atoi(expected));
    }
    // The children in template order, frames with IDC_STATIC included.
    std::vector<HWND> controls;
    for (HWND w = GetWindow(dialog.Hwnd(), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
        controls.push_back(w);
    ASSERT_EQ(controls.size(), t.items.size());
    const int check_box = GetSystemMetrics(SM_CXMENUCHECK);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const DLG_ITEM_TEMPLATE& item = t.items[i];
        const std::wstring text = Caption(item.text);
        if (text.empty()) continue;
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(controls[i], WM_GETFONT, 0, 0)));
        SIZE need{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &need);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        RECT r{};
        GetClientRect(controls[i], &r);
        // Labels do not wrap: what matters is the ink, without the last glyph's blank side.
        ABC last{};
        if (item.kind == CONTROL_KIND::LABEL && GetCharABCWidthsW(dc, text.back(), text.back(), &last) && last.abcC > 0)
            need.cx -= last.abcC;
        int room = r.right;
        if (item.kind == CONTROL_KIND::RADIO_BUTTON) room -= check_box + metrics.tmAveCharWidth / 2;
        if (item.kind == CONTROL_KIND::PUSH_BUTTON || item.kind == CONTROL_KIND::DEFAULT_PUSH_BUTTON)
            room -= 4 * GetSystemMetrics(SM_CXEDGE);
        if (item.kind == CONTROL_KIND::GROUP_FRAME) room -= 2 * metrics.tmAveCharWidth;
        EXPECT_LE(need.cx, room) << item.id << " is cut off";
        if (item.kind != CONTROL_KIND::GROUP_FRAME) {
            EXPECT_LE(need.cy, r.bottom) << item.id << " is cut off";
        }
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (t.items[i].kind == CONTROL_KIND::GROUP_FRAME) continue;
        RECT a{};
        GetWindowRect(controls[i], &a);  // a drop-down list's window is its closed box
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            if (t.items[j].kind == CONTROL_KIND::GROUP_FRAME) continue;
            RECT b{};
            GetWindowRect(controls[j], &b);
            RECT both{};
            EXPECT_FALSE(IntersectRect(&both, &a, &b)) << t.items[i].id << " overlaps " << t.items[j].id;
        }
    }
    ReleaseDC(dialog.Hwnd(), dc);
    if (const char* picture = std::getenv("TELVANE_SCALE_PICTURE")) SavePicture(dialog.Hwnd(), picture);
}

}  // namespace
}  // namespace telvane

namespace telvane {
namespace {

// Guards against list columns that keep their widths when the window moves to a monitor of
// another scale (per-monitor DPI): each column keeps its share of the list, a width the user
// dragged included. Wine sends no WM_DPICHANGED of its own, so the test sends it.
TEST(Win32Scale, ColumnsFollowAChangeOfScale) {
    const DLG_TEMPLATE& t = MainDialogTemplate();
    CDialog dialog(t);
    dialog.Create();
    DEVICE_TABLE table{};
    CDeviceListView view(dialog, 1127, table);
    view.InsertListColumns(DEVICE_LIST_COLUMN_COUNT, DEVICE_LIST_COLUMNS);
    const HWND list = view.List();
    const auto width = [list](int column) {
        return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    };
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(90, 0));  // as dragged by the user
    HDC dc = GetDC(dialog.Hwnd());
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(dialog.Hwnd(), dc);
    std::array<int, DEVICE_LIST_COLUMN_COUNT> before{};
    for (int i = 0; i < DEVICE_LIST_COLUMN_COUNT; ++i) before[static_cast<std::size_t>(i)] = width(i);
    SendMessageW(dialog.Hwnd(), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), 0);
    Pump();
    for (int i = 0; i < DEVICE_LIST_COLUMN_COUNT; ++i)
        EXPECT_EQ(width(i), 2 * before[static_cast<std::size_t>(i)]) << i;
    // And back: the same widths again.
    SendMessageW(dialog.Hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0);
    Pump();
    for (int i = 0; i < DEVICE_LIST_COLUMN_COUNT; ++i) EXPECT_EQ(width(i), before[static_cast<std::size_t>(i)]) << i;
}

}  // namespace
}  // namespace telvane
