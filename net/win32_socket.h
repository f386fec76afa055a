#pragma once

// A Winsock UDP socket over IPv4 bound to one adapter's address, as the discovery socket
// uses it on Windows: broadcasts allowed, each arrival read with WSARecvMsg together with
// the interface it came in on and the address it was sent to (IP_PKTINFO).

#include <cstdint>
#include <span>
#include <string>

#include "protocol/wire.h"

namespace telvane::win32 {

// Starts Winsock (2.2) once for the process; false when it cannot be used.
[[nodiscard]] bool StartWinsock();

struct Arrival {
    int length = 0;
    std::uint32_t sender_address = 0;  // host order
    std::uint16_t sender_port = 0;
    std::uint32_t destination_address = 0;  // host order; 0 when the system did not say
    std::uint32_t arrived_on = 0;           // interface index; 0 when the system did not say
};

enum class ReadResult {
    kDatagram,  // one datagram in the buffer, described by the arrival
    kTooLong,   // one datagram longer than the buffer, dropped whole; the arrival holds only its sender
    kSkipped,   // an error report about an earlier send, taken off
    kEmpty,     // nothing more to read now
};

// Takes the destination address and the interface from a datagram's control messages
// (IP_PKTINFO); a header shorter than itself or longer than what is left ends the walk.
void ReadPacketInfo(std::span<const char> control, Arrival& arrival);

class UdpSocket final {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;

    // Opens the socket on `local` and a port of the system's choosing.
    [[nodiscard]] bool Open(const IPV4& local);
    void Close();
    bool IsOpen() const;
    [[nodiscard]] bool SetBroadcast(bool on);
    // Returns the bytes sent, or -1. address in host order.
    [[nodiscard]] int SendTo(std::span<const std::uint8_t> data, std::uint32_t address, std::uint16_t port);
    // Never blocks. The buffer should be one byte longer than the longest datagram taken,
    // so that a longer one is recognised whatever the system reports.
    [[nodiscard]] ReadResult Read(std::span<std::uint8_t> buffer, Arrival& arrival);
    std::uint16_t LocalPort() const;
    // The SOCKET; Windows keeps socket handles within 32 bits, so it fits the int that the
    // event loop takes.
    int Descriptor() const;

private:
    std::uintptr_t socket_ = ~std::uintptr_t{0};
    void* receive_message_ = nullptr;  // WSARecvMsg, looked up per socket as Winsock requires
};

}  // namespace telvane::win32
