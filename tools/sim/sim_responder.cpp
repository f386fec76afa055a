#include "tools/sim/sim_responder.h"

#include <QtCore/QTimer>
#include <QtCore/QVariant>
#include <QtNetwork/QNetworkDatagram>
#include <QtNetwork/QNetworkInterface>
#include <QtNetwork/QUdpSocket>

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
    switch (ClassifyRequest(datagram)) {
        case REQUEST_KIND::ENUMERATE:
            for (const SIM_DEVICE& d : devices_) {
                if (DeviceListensOn(d, origin.interface_index)) {
                    Answer(origin, d.answer, d, BuildEnumerateReply(d), d.delay_ms);
                }
            }
            break;
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
    if (delay_ms == 0) {
        SendNow(to, port, interface_index, datagram);
        return;
    }
    QTimer::singleShot(static_cast<int>(delay_ms), this, [this, to, port, interface_index, datagram] {
        SendNow(to, port, interface_index, datagram);
    });
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

}  // namespace telvane::sim
