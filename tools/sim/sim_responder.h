#pragma once

// Plays the configured devices on one UDP socket: every request is logged, every
// device it concerns answers, by the route the device is set to use.

#include <QtCore/QObject>
#include <QtNetwork/QHostAddress>

#include <cstdint>
#include <span>
#include <vector>

#include "tools/sim/sim_device.h"
#include "tools/sim/sim_log.h"

class QUdpSocket;

namespace telvane::sim {

// Where a request came from; answers go back by this way.
struct REQUEST_ORIGIN {
    QHostAddress source;
    std::uint16_t source_port = 0;
    int interface_index = 0;
};

class CSimResponder final : public QObject {
public:
    CSimResponder(std::vector<SIM_DEVICE> devices, CSimLog& log);
    ~CSimResponder() override;
    Q_DISABLE_COPY_MOVE(CSimResponder)

    bool Listen(std::uint16_t port);

    // Sends one datagram to the origin by the given route, after delay_ms. Further
    // modes (a flood of hostile datagrams, say) build on this.
    void Answer(const REQUEST_ORIGIN& origin, ANSWER_MODE mode, const SIM_DEVICE& device,
                std::vector<std::uint8_t> datagram, std::uint32_t delay_ms);

private:
    void OnReadyRead();
    void HandleRequest(const REQUEST_ORIGIN& origin, std::span<const std::uint8_t> datagram);
    bool DeviceListensOn(const SIM_DEVICE& device, int interface_index) const;
    void SendNow(const QHostAddress& to, std::uint16_t port, int interface_index, std::span<const std::uint8_t> data);

    std::vector<SIM_DEVICE> devices_;
    CSimLog& log_;
    QUdpSocket* socket_ = nullptr;
};

}  // namespace telvane::sim
