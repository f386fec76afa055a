#include "net/win32_socket.h"

#include <winsock2.h>

#include <mswsock.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace telvane::win32 {

namespace {

// Room for many devices answering at once with their longest replies, as on Linux.
constexpr int RECEIVE_QUEUE_BYTES = 4 * 1024 * 1024;

SOCKET Native(std::uintptr_t s) {
    return static_cast<SOCKET>(s);
}

}  // namespace

bool StartWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

UdpSocket::~UdpSocket() {
    Close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : socket_(std::exchange(other.socket_, static_cast<std::uintptr_t>(INVALID_SOCKET))),
      receive_message_(std::exchange(other.receive_message_, nullptr)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        socket_ = std::exchange(other.socket_, static_cast<std::uintptr_t>(INVALID_SOCKET));
        receive_message_ = std::exchange(other.receive_message_, nullptr);
    }
    return *this;
}

bool UdpSocket::Open(const IPV4& local) {
    Close();
    if (!StartWinsock()) return false;
    const SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (s == INVALID_SOCKET) return false;

    // Without this, an ICMP port-unreachable for an earlier send makes the next read fail
    // with WSAECONNRESET: Windows' form of the error reports the Linux side drains.
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);

    const int queue = RECEIVE_QUEUE_BYTES;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&queue), sizeof queue);

    GUID id = WSAID_WSARECVMSG;
    LPFN_WSARECVMSG receive = nullptr;
    const DWORD on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    std::memcpy(&address.sin_addr, local.data(), local.size());
    if (WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &receive, sizeof receive, &returned, nullptr,
                 nullptr) != 0 ||
        receive == nullptr ||
        setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
        bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return false;
    }
    socket_ = static_cast<std::uintptr_t>(s);
    receive_message_ = reinterpret_cast<void*>(receive);
    return true;
}

void UdpSocket::Close() {
    if (!IsOpen()) return;
    closesocket(Native(socket_));
    socket_ = static_cast<std::uintptr_t>(INVALID_SOCKET);
    receive_message_ = nullptr;
}

bool UdpSocket::IsOpen() const {
    return Native(socket_) != INVALID_SOCKET;
}

bool UdpSocket::SetBroadcast(bool on) {
    if (!IsOpen()) return false;
    const BOOL value = on ? TRUE : FALSE;
    return setsockopt(Native(socket_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&value), sizeof value) ==
           0;
}

int UdpSocket::SendTo(std::span<const std::uint8_t> data, std::uint32_t address, std::uint16_t port) {
    if (!IsOpen() || data.size() > 0xFFFF) return -1;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(address);
    // Bound to the adapter's address, the datagram leaves through that adapter with it
    // as the source, broadcasts included.
    const int sent = sendto(Native(socket_), reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()),
                            0, reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    return sent == SOCKET_ERROR ? -1 : sent;
}

void ReadPacketInfo(std::span<const char> control, Arrival& arrival) {
    // Walked by hand: WSA_CMSG_NXTHDR stays on a header whose length is zero for ever,
    // and reads past the area on one longer than what is left.
    constexpr std::size_t HEADER = sizeof(WSACMSGHDR);
    const std::size_t data_offset = WSA_CMSGDATA_ALIGN(HEADER);
    std::size_t offset = 0;
    while (control.size() - offset >= HEADER) {
        WSACMSGHDR header{};
        std::memcpy(&header, control.data() + offset, HEADER);
        if (header.cmsg_len < HEADER || header.cmsg_len > control.size() - offset) return;
        if (header.cmsg_level == IPPROTO_IP && header.cmsg_type == IP_PKTINFO &&
            header.cmsg_len >= data_offset + sizeof(IN_PKTINFO)) {
            IN_PKTINFO info{};
            std::memcpy(&info, control.data() + offset + data_offset, sizeof info);
            arrival.destination_address = ntohl(info.ipi_addr.s_addr);
            arrival.arrived_on = info.ipi_ifindex;
        }
        const std::size_t step = WSA_CMSGHDR_ALIGN(header.cmsg_len);
        if (step > control.size() - offset) return;
        offset += step;
    }
}

ReadResult UdpSocket::Read(std::span<std::uint8_t> buffer, Arrival& arrival) {
    if (!IsOpen()) return ReadResult::kEmpty;
    sockaddr_in sender{};
    WSABUF payload{static_cast<ULONG>(buffer.size()), reinterpret_cast<char*>(buffer.data())};
    alignas(WSACMSGHDR) std::array<char, WSA_CMSG_SPACE(sizeof(IN_PKTINFO))> control{};
    WSAMSG message{};
    message.name = reinterpret_cast<sockaddr*>(&sender);
    message.namelen = sizeof sender;
    message.lpBuffers = &payload;
    message.dwBufferCount = 1;
    message.Control = WSABUF{static_cast<ULONG>(control.size()), control.data()};

    DWORD length = 0;
    const auto receive = reinterpret_cast<LPFN_WSARECVMSG>(receive_message_);
    bool too_long = false;
    if (receive(Native(socket_), &message, &length, nullptr, nullptr) != 0) {
        const int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) return ReadResult::kEmpty;
        // WSAECONNRESET and its kind: a report about an earlier send, taken off now.
        if (error == WSAECONNRESET || error == WSAENETRESET) return ReadResult::kSkipped;
        // The datagram did not fit: it is gone, only its first part was read.
        if (error != WSAEMSGSIZE) return ReadResult::kEmpty;
        too_long = true;
    }
    too_long = too_long || length >= buffer.size() || (message.dwFlags & MSG_TRUNC) != 0;

    arrival = Arrival{};
    arrival.length = too_long ? 0 : static_cast<int>(length);
    arrival.sender_address = ntohl(sender.sin_addr.s_addr);
    arrival.sender_port = ntohs(sender.sin_port);
    // After WSAEMSGSIZE the control area is not to be trusted, and a cut datagram is
    // dropped whole anyway.
    if (!too_long)
        ReadPacketInfo(std::span<const char>(control).first(std::min<std::size_t>(message.Control.len, control.size())),
                       arrival);
    return too_long ? ReadResult::kTooLong : ReadResult::kDatagram;
}

std::uint16_t UdpSocket::LocalPort() const {
    if (!IsOpen()) return 0;
    sockaddr_in local{};
    int size = sizeof local;
    if (getsockname(Native(socket_), reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
    return ntohs(local.sin_port);
}

int UdpSocket::Descriptor() const {
    return IsOpen() ? static_cast<int>(socket_) : -1;
}

}  // namespace telvane::win32
