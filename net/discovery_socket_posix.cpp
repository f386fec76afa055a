#include "net/discovery_socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "net/event_loop.h"
#include "protocol/text.h"
#include "protocol/wire.h"

namespace telvane {

namespace {

// Room for a few thousand devices answering three requests at once; the kernel counts
// its own bookkeeping per datagram too (a kilobyte or more), hence the margin. Where the
// process may not pass the system's ceiling, it gets the ceiling.
constexpr int RECEIVE_QUEUE_BYTES = 16 * 1024 * 1024;

// The index of the interface that holds `address` (network order) now, or 0.
unsigned InterfaceHolding(in_addr address) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return 0;
    unsigned index = 0;
    for (const ifaddrs* a = list; a != nullptr && index == 0; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_name == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        sockaddr_in in{};
        std::memcpy(&in, a->ifa_addr, sizeof in);
        if (in.sin_addr.s_addr == address.s_addr) index = if_nametoindex(a->ifa_name);
    }
    freeifaddrs(list);
    return index;
}

std::uint16_t PortOf(int fd) {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
    return ntohs(local.sin_port);
}

// A UDP socket on the wildcard address and a port of the system's choosing, reporting
// the interface each datagram arrived on; -1 on failure.
int OpenWildcard() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    sockaddr_in bind_address{};
    bind_address.sin_family = AF_INET;
    bind_address.sin_port = 0;
    bind_address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&bind_address), sizeof bind_address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Takes a pending error and every queued error report off the socket. Either keeps
// the socket readable without a datagram to read, so the notification would fire
// again and again.
void DrainErrors(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    std::array<std::uint8_t, 64> payload_area{};
    alignas(cmsghdr) std::array<char, 256> control{};
    for (;;) {
        iovec payload{payload_area.data(), payload_area.size()};
        msghdr message{};
        message.msg_iov = &payload;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        if (recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return;
    }
}

// One datagram as the batch read it.
struct RECEIVED {
    const std::uint8_t* data = nullptr;
    int length = 0;
    bool truncated = false;  // longer than the receive area: dropped whole
    in_addr sender{};
    std::uint16_t sender_port = 0;
    unsigned arrived_on = 0;
    std::uint32_t destination = 0;  // network order
    bool lost_known = false;        // the system reported its drop count
    std::uint32_t lost_total = 0;   // that count when the datagram was queued
};

// Room for one recvmmsg() call: a burst of replies is read with a system call per
// BATCH_SIZE datagrams rather than one each. Made once per socket.
class CReceiveBatch final {
public:
    static constexpr std::size_t BATCH_SIZE = 64;

    CReceiveBatch() : slots_(BATCH_SIZE), headers_(BATCH_SIZE) {}

    // Reads what is queued, up to BATCH_SIZE, without waiting; the count, or -1.
    int Receive(int fd) {
        for (std::size_t i = 0; i < BATCH_SIZE; ++i) {
            SLOT& s = slots_[i];
            s.payload = {s.buffer.data(), s.buffer.size()};
            mmsghdr& h = headers_[i];
            h = {};
            h.msg_hdr.msg_name = &s.sender;
            h.msg_hdr.msg_namelen = sizeof s.sender;
            h.msg_hdr.msg_iov = &s.payload;
            h.msg_hdr.msg_iovlen = 1;
            h.msg_hdr.msg_control = s.control.data();
            h.msg_hdr.msg_controllen = s.control.size();
        }
        // MSG_TRUNC makes each length the datagram's real one, so a cut one is recognised.
        return recvmmsg(fd, headers_.data(), static_cast<unsigned>(BATCH_SIZE), MSG_DONTWAIT | MSG_TRUNC, nullptr);
    }

    RECEIVED Take(std::size_t i) {
        SLOT& s = slots_[i];
        msghdr& m = headers_[i].msg_hdr;
        RECEIVED r;
        r.data = s.buffer.data();
        r.length = static_cast<int>(std::min<std::size_t>(headers_[i].msg_len, RECEIVE_BUFFER_SIZE));
        // One byte more than the limit shows a longer datagram even where the kernel
        // would not report the truncation.
        r.truncated = headers_[i].msg_len > RECEIVE_BUFFER_SIZE || (m.msg_flags & MSG_TRUNC) != 0;
        r.sender = s.sender.sin_addr;
        r.sender_port = ntohs(s.sender.sin_port);
        for (cmsghdr* h = CMSG_FIRSTHDR(&m); h != nullptr; h = CMSG_NXTHDR(&m, h)) {
            if (h->cmsg_level == IPPROTO_IP && h->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(h), sizeof info);
                r.arrived_on = static_cast<unsigned>(info.ipi_ifindex);
                r.destination = info.ipi_addr.s_addr;
            } else if (h->cmsg_level == SOL_SOCKET && h->cmsg_type == SO_RXQ_OVFL) {
                std::memcpy(&r.lost_total, CMSG_DATA(h), sizeof r.lost_total);
                r.lost_known = true;
            }
        }
        return r;
    }

private:
    struct SLOT {
        std::array<std::uint8_t, RECEIVE_BUFFER_SIZE + 1> buffer;
        sockaddr_in sender{};
        iovec payload{};
        alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo)) + CMSG_SPACE(sizeof(std::uint32_t))> control{};
    };
    std::vector<SLOT> slots_;
    std::vector<mmsghdr> headers_;
};

void EnlargeReceiveQueue(int fd) {
    const int bytes = RECEIVE_QUEUE_BYTES;
    // The forcing variant passes the system's ceiling where the process may; the plain
    // one is capped by it otherwise.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
}

}  // namespace

struct CTelvaneSocket::State {
    CReceiveBatch batch;
    std::size_t next = 0;  // datagrams of the batch handed on or dropped
    std::size_t read = 0;  // datagrams in the batch
    std::uint32_t lost_reported = 0;
    int fd = -1;
    unsigned interface_index = 0;
    in_addr local_address{};
    IEventLoop* loop = nullptr;  // the loop that watches fd, and its handle there
    int watch = 0;
    std::uint16_t last_port = 0;  // of the socket closed last
    std::string send_error;       // why the last send failed
};

CTelvaneSocket::CTelvaneSocket() : state_(std::make_unique<State>()) {}

CTelvaneSocket::~CTelvaneSocket() {
    Close();
}

bool CTelvaneSocket::Create(const std::string& local_address) {
    Close();
    const auto parsed = ParseIpv4(local_address);
    if (!parsed) return false;
    in_addr address{};
    std::memcpy(&address.s_addr, parsed->data(), parsed->size());
    const unsigned index = InterfaceHolding(address);
    if (index == 0) return false;

    // The wildcard address, so replies sent to 255.255.255.255 or to the subnet
    // broadcast reach us too; IP_PKTINFO tells on which interface each one arrived.
    int fd = OpenWildcard();
    if (fd < 0) return false;
    if (state_->last_port != 0 && PortOf(fd) == state_->last_port) {
        // The system handed back the port just closed: late replies to the previous
        // socket would be taken as new. Hold it while asking again, so the system must
        // choose another; with none free, the old one is better than none.
        const int other = OpenWildcard();
        if (other >= 0) {
            ::close(fd);
            fd = other;
        }
    }
    EnlargeReceiveQueue(fd);

    // The system's count of datagrams it dropped, its queue being full, comes with each one.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);

    state_->fd = fd;
    state_->next = state_->read = 0;
    state_->lost_reported = 0;
    state_->interface_index = index;
    state_->local_address = address;
    state_->loop = &CurrentEventLoop();
    state_->watch = state_->loop->Watch(fd, [this] { return OnReceive(); });
    return true;
}

void CTelvaneSocket::Close() {
    if (state_->loop != nullptr) {
        state_->loop->Unwatch(state_->watch);
        state_->loop = nullptr;
        state_->watch = 0;
    }
    if (state_->fd >= 0) {
        state_->last_port = PortOf(state_->fd);
        ::close(state_->fd);
    }
    state_->fd = -1;
    state_->next = state_->read = 0;
    state_->interface_index = 0;
}

bool CTelvaneSocket::IsOpen() const {
    return state_->fd >= 0;
}

bool CTelvaneSocket::SetBroadcast(bool on) {
    if (state_->fd < 0) return false;
    const int value = on ? 1 : 0;
    return setsockopt(state_->fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) == 0;
}

void CTelvaneSocket::SetOwner(IDatagramSink* owner) {
    owner_ = owner;
}

int CTelvaneSocket::SendTo(const std::uint8_t* data, int length, std::uint32_t address, std::uint16_t port) {
    if (state_->fd < 0 || data == nullptr || length < 0) {
        state_->send_error = state_->fd < 0 ? "the socket is not open" : "nothing to send";
        return -1;
    }
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(address);

    iovec payload{};
    payload.iov_base = const_cast<std::uint8_t*>(data);
    payload.iov_len = static_cast<std::size_t>(length);

    // Leave through the chosen adapter, with its address as the source, whatever the
    // routing table would pick for the destination.
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(state_->interface_index);
    info.ipi_spec_dst = state_->local_address;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);

    const ssize_t sent = sendmsg(state_->fd, &message, MSG_NOSIGNAL);
    state_->send_error = sent < 0 ? std::strerror(errno) : "";
    return sent < 0 ? -1 : static_cast<int>(sent);
}

const std::string& CTelvaneSocket::LastSendError() const {
    return state_->send_error;
}

int CTelvaneSocket::DrainQueued() {
    int count = 0;
    while (count < DRAIN_LIMIT && ReadOne()) ++count;
    return count;
}

bool CTelvaneSocket::ReadOne() {
    State& st = *state_;
    if (st.fd < 0) return false;
    if (st.next == st.read) {
        int n = st.batch.Receive(st.fd);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // An error report about an earlier send stands before the datagrams.
            DrainErrors(st.fd);
            n = st.batch.Receive(st.fd);
        }
        if (n <= 0) return false;
        st.next = 0;
        st.read = static_cast<std::size_t>(n);
    }
    // Hands on the next datagram the adapter filter lets through, if any is left.
    (void)OnReceive();
    return true;
}

std::uint16_t CTelvaneSocket::LocalPort() const {
    return state_->fd < 0 ? 0 : PortOf(state_->fd);
}

int CTelvaneSocket::Descriptor() const {
    return state_->fd;
}

bool CTelvaneSocket::OnReceive() {
    State& st = *state_;
    if (st.fd < 0) return false;
    if (st.next == st.read) {
        st.next = st.read = 0;
        const int n = st.batch.Receive(st.fd);
        if (n <= 0) {
            // Readable without a datagram: an ICMP report (pending or queued) is what is
            // left; taken off, readiness ends.
            DrainErrors(st.fd);
            return false;
        }
        st.read = static_cast<std::size_t>(n);
    }
    // One datagram handed on per notification; those the filter drops do not count.
    while (st.next < st.read) {
        const RECEIVED r = st.batch.Take(st.next++);
        // The system's count since the socket opened, wrapping at 2^32; it only grows.
        const std::uint32_t lost = r.lost_total - st.lost_reported;
        if (r.lost_known && lost != 0 && lost < 0x80000000u) {
            st.lost_reported = r.lost_total;
            if (owner_ != nullptr) owner_->OnLost(lost);
        }
        // The socket is bound to every address, so it is up to us to keep to the chosen adapter.
        if (!IsForChosenAdapter(r.arrived_on, r.destination, st.interface_index, st.local_address.s_addr)) continue;
        if (owner_ == nullptr) continue;
        if (r.truncated) {
            owner_->OnDropped(DROP_REASON::TOO_LONG);
            continue;
        }
        char sender_text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &r.sender, sender_text, sizeof sender_text);
        owner_->OnDatagram(r.data, r.length, sender_text, r.sender_port);
        // The owner may have closed the socket meanwhile.
        return state_->fd >= 0 && state_->next < state_->read;
    }
    return false;
}

}  // namespace telvane
