#include <gtest/gtest.h>

#include <winsock2.h>

#include <windows.h>

#include <thread>
#include <vector>

#include "net/win32_loop.h"
#include "net/win32_socket.h"

namespace telvane::win32 {
namespace {

constexpr IPV4 kLoopback = {127, 0, 0, 1};
constexpr std::uint32_t kLoopbackHost = 0x7F000001;

// Processor time of the whole process in ms, user and kernel.
double CpuMs() {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

TEST(Win32Loop, WaitsItsTimeWithoutSpinning) {
    EventLoop loop;
    UdpSocket socket;
    ASSERT_TRUE(socket.Open(kLoopback));
    ASSERT_NE(loop.Watch(socket.Descriptor(), [] { return false; }), 0);
    const double cpu0 = CpuMs();
    const ULONGLONG t0 = GetTickCount64();
    loop.HandleOneBatch(300);
    const ULONGLONG waited = GetTickCount64() - t0;
    EXPECT_GE(waited, 290u);
    EXPECT_LT(waited, 1000u);
    EXPECT_LT(CpuMs() - cpu0, 60.0) << "the wait used the processor";
}

TEST(Win32Loop, WakesForADatagramAndReadsItWithItsArrival) {
    EventLoop loop;
    UdpSocket receiver, sender;
    ASSERT_TRUE(receiver.Open(kLoopback));
    ASSERT_TRUE(sender.Open(kLoopback));
    std::vector<std::uint8_t> got;
    Arrival arrival;
    loop.Watch(receiver.Descriptor(), [&] {
        std::array<std::uint8_t, RECEIVE_BUFFER_SIZE + 1> buffer{};
        if (receiver.Read(buffer, arrival) == ReadResult::kDatagram)
            got.assign(buffer.begin(), buffer.begin() + arrival.length);
        return false;
    });
    const std::array<std::uint8_t, 5> datagram = {0xFF, 0xFF, 0x45, 0x4E, 0x93};
    ASSERT_EQ(sender.SendTo(datagram, kLoopbackHost, receiver.LocalPort()), 5);
    const ULONGLONG t0 = GetTickCount64();
    for (int i = 0; i < 10 && got.empty(); ++i) loop.HandleOneBatch(1000);
    EXPECT_LT(GetTickCount64() - t0, 900u);
    EXPECT_EQ(got, std::vector<std::uint8_t>(datagram.begin(), datagram.end()));
    EXPECT_EQ(arrival.sender_port, sender.LocalPort());
    EXPECT_EQ(arrival.sender_address, kLoopbackHost);
    EXPECT_EQ(arrival.destination_address, kLoopbackHost);
    EXPECT_NE(arrival.arrived_on, 0u);
}

TEST(Win32Loop, DropsATooLongDatagramAndTakesTheNext) {
    UdpSocket receiver, sender;
    ASSERT_TRUE(receiver.Open(kLoopback));
    ASSERT_TRUE(sender.Open(kLoopback));
    EventLoop loop;
    std::vector<int> lengths;
    int dropped = 0;
    loop.Watch(receiver.Descriptor(), [&] {
        std::array<std::uint8_t, RECEIVE_BUFFER_SIZE + 1> buffer{};
        Arrival arrival;
        const ReadResult r = receiver.Read(buffer, arrival);
        if (r == ReadResult::kDatagram) lengths.push_back(arrival.length);
        if (r == ReadResult::kTooLong) ++dropped;
        return false;
    });
    const std::vector<std::uint8_t> too_long(RECEIVE_BUFFER_SIZE + 1, 0xAB);
    const std::vector<std::uint8_t> longest(RECEIVE_BUFFER_SIZE, 0xCD);
    ASSERT_GT(sender.SendTo(too_long, kLoopbackHost, receiver.LocalPort()), 0);
    ASSERT_GT(sender.SendTo(longest, kLoopbackHost, receiver.LocalPort()), 0);
    for (int i = 0; i < 10 && lengths.empty(); ++i) loop.HandleOneBatch(500);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(lengths, std::vector<int>{static_cast<int>(RECEIVE_BUFFER_SIZE)});
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) {
        ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

// The window's messages are handled while a procedure waits, and one ends the batch early.
TEST(Win32Loop, DispatchesWindowMessagesWhileWaiting) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = CountingProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"TelvaneLoopTest";
    RegisterClassW(&cls);
    HWND window =
        CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    int handled = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handled));

    std::thread poster([window] {
        Sleep(100);
        PostMessageW(window, WM_APP, 0, 0);
    });
    EventLoop loop;
    const ULONGLONG t0 = GetTickCount64();
    for (int i = 0; i < 20 && handled == 0; ++i) loop.HandleOneBatch(2000);
    const ULONGLONG waited = GetTickCount64() - t0;
    poster.join();
    EXPECT_EQ(handled, 1);
    EXPECT_LT(waited, 1000u) << "waited " << waited;
    EXPECT_GE(loop.MessagesDispatched(), 1u);
    DestroyWindow(window);
}

TEST(Win32Loop, TheFilterTakesMessagesBeforeTheirWindow) {
    EventLoop loop;
    int filtered = 0;
    loop.SetMessageFilter([&](void* m) {
        if (static_cast<MSG*>(m)->message != WM_APP + 1) return false;
        ++filtered;
        return true;
    });
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 1, 0, 0);
    loop.HandleOneBatch(500);
    EXPECT_EQ(filtered, 1);
}

TEST(Win32Loop, UnwatchInsideTheHandlerStopsIt) {
    UdpSocket receiver, sender;
    ASSERT_TRUE(receiver.Open(kLoopback));
    ASSERT_TRUE(sender.Open(kLoopback));
    EventLoop loop;
    int calls = 0;
    int handle = 0;
    handle = loop.Watch(receiver.Descriptor(), [&] {
        ++calls;
        loop.Unwatch(handle);
        return true;  // would be called again without waiting, were it still watched
    });
    const std::array<std::uint8_t, 1> byte = {1};
    ASSERT_EQ(sender.SendTo(byte, kLoopbackHost, receiver.LocalPort()), 1);
    for (int i = 0; i < 5; ++i) loop.HandleOneBatch(100);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace telvane::win32
