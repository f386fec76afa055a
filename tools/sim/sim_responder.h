#pragma once

// Plays the configured devices on one UDP socket: every request is logged, every
// device it concerns answers, by the route the device is set to use.

#include <QtCore/QElapsedTimer>
#include <QtCore/QObject>
#include <QtNetwork/QHostAddress>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "tools/sim/sim_device.h"
#include "tools/sim/sim_flood.h"
#include "tools/sim/sim_log.h"

class QTimer;
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
    // Floods the requesters with hostile datagrams, from a socket of its own so that the
    // devices' answers keep their own send queue. Call before Listen.
    bool EnableFlood(const FLOOD_CONFIG& config);

    // Sends one datagram to the origin by the given route, after delay_ms. Further
    // modes (a flood of hostile datagrams, say) build on this.
    void Answer(const REQUEST_ORIGIN& origin, ANSWER_MODE mode, const SIM_DEVICE& device,
                std::vector<std::uint8_t> datagram, std::uint32_t delay_ms);

private:
    void OnReadyRead();
    void HandleRequest(const REQUEST_ORIGIN& origin, std::span<const std::uint8_t> datagram);
    bool DeviceListensOn(const SIM_DEVICE& device, int interface_index) const;
    void SendNow(const QHostAddress& to, std::uint16_t port, int interface_index, std::span<const std::uint8_t> data);
    // The answers due at once, as one burst: sendmmsg() hands them all to the system in a
    // few calls, so thousands of devices answer within milliseconds, as they would.
    struct PENDING_ANSWER {
        QHostAddress to;
        std::uint16_t port = 0;
        int interface_index = 0;
        std::vector<std::uint8_t> data;
    };
    void SendBurst(std::vector<PENDING_ANSWER>& answers);
    std::vector<PENDING_ANSWER>* burst_ = nullptr;  // collects while a request is handled
    void FloodAt(const REQUEST_ORIGIN& origin);
    void FloodTick();
    void EndFlood();

    std::vector<SIM_DEVICE> devices_;
    CSimLog& log_;
    QUdpSocket* socket_ = nullptr;

    struct FLOOD_STATE {
        FLOOD_CONFIG config;
        std::unique_ptr<CFloodGenerator> generator;
        QUdpSocket* socket = nullptr;
        QTimer* timer = nullptr;
        QElapsedTimer clock;
        REQUEST_ORIGIN target;
        bool started = false;
        bool ended = false;
        std::int64_t sent = 0;
        std::int64_t failed = 0;
        std::vector<std::int64_t> per_kind = std::vector<std::int64_t>(FLOOD_KIND_COUNT, 0);
    };
    std::unique_ptr<FLOOD_STATE> flood_;
};

}  // namespace telvane::sim
