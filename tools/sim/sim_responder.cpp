#include "tools/sim/sim_responder.h"

#include <QtCore/QTimer>
#include <QtCore/QVariant>
#include <QtNetwork/QNetworkDatagram>
#include <QtNetwork/QNetworkInterface>
#include <QtNetwork/QUdpSocket>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>

namespace telvane::sim {

namespace {

// The interface's first IPv4 entry: its address and subnet broadcast.
QNetworkAddressEntry Ipv4Entry(int interface_index) {
    const QNetworkInterface nic = QNetworkInterface::interfaceFromIndex(interface_index);
    for (const QNetworkAddressEntry& e : nic.addressEntries()) {
        if (e.ip().protocol() == QAbstractSocket::IPv4Protocol) return e;
    }
    return {};
}

std::string InterfaceName(int interface_index) {
    const QString name = QNetworkInterface::interfaceNameFromIndex(interface_index);
    return name.isEmpty() ? std::to_string(interface_index) : name.toStdString();
}

IPV4 ToIpv4(const QHostAddress& address) {
    const quint32 v = address.toIPv4Address();
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

}  // namespace

CSimResponder::CSimResponder(std::vector<SIM_DEVICE> devices, CSimLog& log)
    : devices_(std::move(devices)), log_(log), socket_(new QUdpSocket(this)) {}

CSimResponder::~CSimResponder() = default;

bool CSimResponder::Listen(std::uint16_t port) {
    if (!socket_->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::ShareAddress)) return false;
    // Bursts from many devices and many requesters at once.
    socket_->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(4 * 1024 * 1024));
    socket_->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, QVariant(4 * 1024 * 1024));
    connect(socket_, &QUdpSocket::readyRead, this, &CSimResponder::OnReadyRead);
    return true;
}

bool CSimResponder::EnableFlood(const FLOOD_CONFIG& config) {
    if (config.rate <= 0) return true;
    flood_ = std::make_unique<FLOOD_STATE>();
    flood_->config = config;
    flood_->generator = std::make_unique<CFloodGenerator>(config.seed, config.kinds);
    flood_->socket = new QUdpSocket(this);
    if (!flood_->socket->bind(QHostAddress::AnyIPv4, 0)) return false;
    flood_->socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, QVariant(4 * 1024 * 1024));
    flood_->timer = new QTimer(this);
    flood_->timer->setTimerType(Qt::PreciseTimer);
    flood_->timer->setInterval(2);
    connect(flood_->timer, &QTimer::timeout, this, &CSimResponder::FloodTick);
    return true;
}

void CSimResponder::FloodAt(const REQUEST_ORIGIN& origin) {
    if (!flood_ || flood_->ended) return;
    // Each new requester (a re-created socket has a new port) becomes the target.
    flood_->target = origin;
    if (flood_->started) return;
    flood_->started = true;
    flood_->clock.start();
    log_.Remark("flood started at " + std::to_string(flood_->config.rate) + "/s towards " +
                origin.source.toString().toStdString() + ":" + std::to_string(origin.source_port));
    flood_->timer->start();
}

void CSimResponder::FloodTick() {
    FLOOD_STATE& f = *flood_;
    const qint64 elapsed = f.clock.elapsed();
    if (elapsed >= static_cast<qint64>(f.config.duration_ms) || f.sent >= f.config.count) return EndFlood();
    // Catch up with the rate, but never more than a burst per tick, so the devices'
    // answers and the requests still get their turn.
    const std::int64_t due = std::min<std::int64_t>(f.config.count, elapsed * f.config.rate / 1000);
    const std::int64_t burst = std::min<std::int64_t>(due - f.sent, 2000);
    const QNetworkAddressEntry entry = Ipv4Entry(f.target.interface_index);
    const QHostAddress routes[] = {f.target.source, QHostAddress(QHostAddress::Broadcast), entry.broadcast()};
    for (std::int64_t i = 0; i < burst; ++i) {
        const FLOOD_DATAGRAM d = f.generator->Next();
        QNetworkDatagram datagram(
            QByteArray(reinterpret_cast<const char*>(d.bytes.data()), static_cast<qsizetype>(d.bytes.size())),
            routes[(f.sent + i) % 3], f.target.source_port);
        datagram.setInterfaceIndex(static_cast<uint>(f.target.interface_index));
        datagram.setSender(entry.ip());
        if (f.socket->writeDatagram(datagram) != static_cast<qint64>(d.bytes.size())) ++f.failed;
        ++f.per_kind[static_cast<std::size_t>(d.kind)];
    }
    f.sent += burst;
}

void CSimResponder::EndFlood() {
    FLOOD_STATE& f = *flood_;
    f.timer->stop();
    f.ended = true;
    std::string kinds;
    for (int k = 0; k < FLOOD_KIND_COUNT; ++k) {
        if (f.per_kind[static_cast<std::size_t>(k)] == 0) continue;
        kinds += std::string(" ") + FloodKindName(static_cast<FLOOD_KIND>(k)) + "=" +
                 std::to_string(f.per_kind[static_cast<std::size_t>(k)]);
    }
    log_.Remark("flood ended: sent=" + std::to_string(f.sent) + " failed=" + std::to_string(f.failed) +
                " ms=" + std::to_string(f.clock.elapsed()) + kinds);
}

void CSimResponder::OnReadyRead() {
    while (socket_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_->receiveDatagram(65536);
        const QByteArray bytes = datagram.data();
        const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                 static_cast<std::size_t>(bytes.size()));
        const REQUEST_ORIGIN origin{datagram.senderAddress(), static_cast<std::uint16_t>(datagram.senderPort()),
                                    static_cast<int>(datagram.interfaceIndex())};
        log_.Received(origin.source.toString().toStdString(), origin.source_port,
                      datagram.destinationAddress().toString().toStdString(), InterfaceName(origin.interface_index),
                      data);
        HandleRequest(origin, data);
    }
}

bool CSimResponder::DeviceListensOn(const SIM_DEVICE& device, int interface_index) const {
    if (device.interface.empty()) return true;
    if (InterfaceName(interface_index) == device.interface) return true;
    return Ipv4Entry(interface_index).ip().toString().toStdString() == device.interface;
}

void CSimResponder::HandleRequest(const REQUEST_ORIGIN& origin, std::span<const std::uint8_t> datagram) {
    const REQUEST_KIND kind = ClassifyRequest(datagram);
    // The well-formed devices answer first; the flood follows on the next tick.
    if (kind != REQUEST_KIND::NONE) FloodAt(origin);
    switch (kind) {
        case REQUEST_KIND::ENUMERATE: {
            std::vector<PENDING_ANSWER> burst;
            burst_ = &burst;
            for (const SIM_DEVICE& d : devices_) {
                if (DeviceListensOn(d, origin.interface_index)) {
                    Answer(origin, d.answer, d, BuildEnumerateReply(d), d.delay_ms);
                }
            }
            burst_ = nullptr;
            SendBurst(burst);
            break;
        }
        case REQUEST_KIND::SET: {
            const auto request = ReadSetRequest(datagram);
            for (SIM_DEVICE& d : devices_) {
                if (d.mac != request->mac || !DeviceListensOn(d, origin.interface_index)) continue;
                if (auto reply = AnswerSetRequest(d, *request)) {
                    Answer(origin, d.answer, d, std::move(*reply), d.delay_ms);
                }
            }
            break;
        }
        case REQUEST_KIND::NONE:
            break;
    }
}

void CSimResponder::Answer(const REQUEST_ORIGIN& origin, ANSWER_MODE mode, const SIM_DEVICE& device,
                           std::vector<std::uint8_t> datagram, std::uint32_t delay_ms) {
    if (mode == ANSWER_MODE::AUTO) {
        mode = InDeviceSubnet(device, ToIpv4(origin.source)) ? ANSWER_MODE::UNICAST : ANSWER_MODE::BROADCAST;
    }
    QHostAddress to = origin.source;
    if (mode == ANSWER_MODE::BROADCAST) to = QHostAddress::Broadcast;
    if (mode == ANSWER_MODE::SUBNET) to = Ipv4Entry(origin.interface_index).broadcast();
    const std::uint16_t port = origin.source_port;
    const int interface_index = origin.interface_index;
    if (delay_ms == 0 && burst_ != nullptr) {
        burst_->push_back({to, port, interface_index, std::move(datagram)});
        return;
    }
    if (delay_ms == 0) {
        SendNow(to, port, interface_index, datagram);
        return;
    }
    QTimer::singleShot(static_cast<int>(delay_ms), this,
                       [this, to, port, interface_index, datagram] { SendNow(to, port, interface_index, datagram); });
}

void CSimResponder::SendNow(const QHostAddress& to, std::uint16_t port, int interface_index,
                            std::span<const std::uint8_t> data) {
    QNetworkDatagram datagram(
        QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())), to, port);
    // Out of the interface the request came in on, from that interface's address.
    datagram.setInterfaceIndex(static_cast<uint>(interface_index));
    datagram.setSender(Ipv4Entry(interface_index).ip());
    const bool ok = socket_->writeDatagram(datagram) == static_cast<qint64>(data.size());
    log_.Sent(ok, to.toString().toStdString(), port, InterfaceName(interface_index), data);
}

void CSimResponder::SendBurst(std::vector<PENDING_ANSWER>& answers) {
    const int fd = static_cast<int>(socket_->socketDescriptor());
    // The system takes at most this many per call.
    constexpr std::size_t CHUNK = 1024;
    if (answers.empty()) return;
    QElapsedTimer clock;
    clock.start();
    std::vector<bool> sent(answers.size(), false);
    // Looking an interface up asks the system each time; a burst leaves by one or two.
    std::map<int, std::uint32_t> source_of;
    for (const PENDING_ANSWER& a : answers) {
        if (!source_of.contains(a.interface_index)) {
            source_of[a.interface_index] = htonl(Ipv4Entry(a.interface_index).ip().toIPv4Address());
        }
    }
    std::map<int, std::string> name_of;
    for (const auto& [index, source] : source_of) name_of[index] = InterfaceName(index);
    for (std::size_t first = 0; first < answers.size(); first += CHUNK) {
        const std::size_t n = std::min(CHUNK, answers.size() - first);
        std::vector<sockaddr_in> to(n);
        std::vector<iovec> payload(n);
        std::vector<std::array<char, CMSG_SPACE(sizeof(in_pktinfo))>> control(n);
        std::vector<mmsghdr> headers(n);
        for (std::size_t i = 0; i < n; ++i) {
            PENDING_ANSWER& a = answers[first + i];
            to[i].sin_family = AF_INET;
            to[i].sin_port = htons(a.port);
            to[i].sin_addr.s_addr = htonl(a.to.toIPv4Address());
            payload[i] = {a.data.data(), a.data.size()};
            control[i] = {};
            headers[i] = {};
            msghdr& m = headers[i].msg_hdr;
            m.msg_name = &to[i];
            m.msg_namelen = sizeof to[i];
            m.msg_iov = &payload[i];
            m.msg_iovlen = 1;
            // Out of the interface the request came in on, from that interface's address.
            m.msg_control = control[i].data();
            m.msg_controllen = control[i].size();
            cmsghdr* h = CMSG_FIRSTHDR(&m);
            h->cmsg_level = IPPROTO_IP;
            h->cmsg_type = IP_PKTINFO;
            h->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
            in_pktinfo info{};
            info.ipi_ifindex = a.interface_index;
            info.ipi_spec_dst.s_addr = source_of[a.interface_index];
            std::memcpy(CMSG_DATA(h), &info, sizeof info);
        }
        std::size_t done = 0;
        while (done < n) {
            const int r = sendmmsg(fd, headers.data() + done, static_cast<unsigned>(n - done), 0);
            if (r > 0) {
                for (int k = 0; k < r; ++k) sent[first + done + static_cast<std::size_t>(k)] = true;
                done += static_cast<std::size_t>(r);
                continue;
            }
            if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
                // The queue is full for a moment; a device would have sent later anyway.
                pollfd wait{fd, POLLOUT, 0};
                if (poll(&wait, 1, 100) > 0) continue;
            }
            ++done;  // this one failed; go on with the rest
        }
    }
    // Logged after the burst, so that writing the log does not spread it out.
    log_.Remark("burst of " + std::to_string(answers.size()) + " answers sent in " +
                std::to_string(clock.nsecsElapsed() / 1000) + " us");
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const PENDING_ANSWER& a = answers[i];
        log_.Sent(sent[i], a.to.toString().toStdString(), a.port, name_of[a.interface_index], a.data);
    }
}

}  // namespace telvane::sim
