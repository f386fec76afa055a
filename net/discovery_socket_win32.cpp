// The discovery socket on Windows: a Winsock socket bound to the chosen adapter's address,
// watched by the thread's event loop (an event per socket, see win32_loop.h).
#include "net/discovery_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>
#include <cstring>
#include <span>
#include <string>
#include <utility>

#include "net/event_loop.h"
#include "net/win32_adapters.h"
#include "net/win32_socket.h"
#include "protocol/text.h"
#include "protocol/wire.h"

namespace telvane {

struct CTelvaneSocket::State {
    win32::UdpSocket socket;
    std::uint32_t interface_index = 0;
    IPV4 local_address{};
    IEventLoop* loop = nullptr;  // the loop that watches the socket, and its handle there
    int watch = 0;
    std::uint16_t last_port = 0;  // of the socket closed last
    std::string send_error;       // why the last send failed
};

namespace {

// The system's text for a Winsock error, without its line end.
std::string ErrorText(int code) {
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string out(text, n);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    if (out.empty()) out = "Windows Sockets error " + std::to_string(code);
    return out;
}

}  // namespace

CTelvaneSocket::CTelvaneSocket() : state_(std::make_unique<State>()) {}

CTelvaneSocket::~CTelvaneSocket() {
    Close();
}

bool CTelvaneSocket::Create(const std::string& local_address) {
    Close();
    const auto parsed = ParseIpv4(local_address);
    if (!parsed) return false;
    const auto index = win32::InterfaceHolding(*parsed);
    if (!index) return false;

    // Bound to the adapter's address: on Windows that is what makes broadcasts leave
    // through it, and what lets broadcasts arriving on it in.
    if (!state_->socket.Open(*parsed)) return false;
    if (state_->last_port != 0 && state_->socket.LocalPort() == state_->last_port) {
        // The system handed back the port just closed: late replies to the previous
        // socket would be taken as new. Hold it while asking again, so the system must
        // choose another; with none free, the old one is better than none.
        win32::UdpSocket other;
        if (other.Open(*parsed)) std::swap(state_->socket, other);
    }
    state_->interface_index = *index;
    state_->local_address = *parsed;
    state_->loop = &CurrentEventLoop();
    state_->watch = state_->loop->Watch(state_->socket.Descriptor(), [this] { return OnReceive(); });
    if (state_->watch == 0) {
        Close();
        return false;
    }
    return true;
}

void CTelvaneSocket::Close() {
    if (state_->loop != nullptr) {
        state_->loop->Unwatch(state_->watch);
        state_->loop = nullptr;
        state_->watch = 0;
    }
    if (state_->socket.IsOpen()) {
        state_->last_port = state_->socket.LocalPort();
        state_->socket.Close();
    }
    state_->interface_index = 0;
}

bool CTelvaneSocket::IsOpen() const {
    return state_->socket.IsOpen();
}

bool CTelvaneSocket::SetBroadcast(bool on) {
    return state_->socket.SetBroadcast(on);
}

void CTelvaneSocket::SetOwner(IDatagramSink* owner) {
    owner_ = owner;
}

int CTelvaneSocket::SendTo(const std::uint8_t* data, int length, std::uint32_t address, std::uint16_t port) {
    if (!state_->socket.IsOpen() || data == nullptr || length < 0) {
        state_->send_error = state_->socket.IsOpen() ? "nothing to send" : "the socket is not open";
        return -1;
    }
    const int sent = state_->socket.SendTo(std::span(data, static_cast<std::size_t>(length)), address, port);
    state_->send_error = sent < 0 ? ErrorText(WSAGetLastError()) : "";
    return sent;
}

const std::string& CTelvaneSocket::LastSendError() const {
    return state_->send_error;
}

int CTelvaneSocket::DrainQueued() {
    int count = 0;
    while (count < DRAIN_LIMIT && ReadOne()) ++count;
    return count;
}

std::uint16_t CTelvaneSocket::LocalPort() const {
    return state_->socket.LocalPort();
}

int CTelvaneSocket::Descriptor() const {
    return state_->socket.Descriptor();
}

bool CTelvaneSocket::OnReceive() {
    // The event is signalled again while more wait.
    (void)ReadOne();
    return false;
}

bool CTelvaneSocket::ReadOne() {
    // Fresh for every notification; one byte more than the limit shows a longer datagram.
    std::array<std::uint8_t, RECEIVE_BUFFER_SIZE + 1> buffer;
    std::uint32_t chosen = 0;
    std::memcpy(&chosen, state_->local_address.data(), sizeof chosen);
    // One datagram handed on per call; those the rule drops do not count.
    for (;;) {
        win32::Arrival arrival;
        const win32::ReadResult result = state_->socket.Read(buffer, arrival);
        if (result == win32::ReadResult::kEmpty) return false;
        if (result == win32::ReadResult::kSkipped) continue;
        // A cut datagram comes without where it arrived (its control messages are not
        // read): it is counted whatever adapter it came in on.
        if (result == win32::ReadResult::kTooLong) {
            if (owner_ != nullptr) owner_->OnDropped(DROP_REASON::TOO_LONG);
            continue;
        }
        if (!IsForChosenAdapter(arrival.arrived_on, htonl(arrival.destination_address), state_->interface_index,
                                chosen)) {
            continue;
        }
        if (owner_ == nullptr) continue;
        const std::uint32_t s = arrival.sender_address;
        const IPV4 sender = {static_cast<std::uint8_t>(s >> 24), static_cast<std::uint8_t>(s >> 16),
                             static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s)};
        owner_->OnDatagram(buffer.data(), arrival.length, FormatIpv4(sender), arrival.sender_port);
        return true;
    }
}

}  // namespace telvane
