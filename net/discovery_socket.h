#pragma once

// The discovery socket: one UDP socket over IPv4 on the chosen adapter, allowed to
// broadcast, whose arrivals are handed on one datagram per notification, on the thread
// that waits (the window's GUI thread, or the command line's one thread). No Qt: its
// descriptor is watched by the thread's event loop (net/event_loop.h).

#include <cstdint>
#include <memory>
#include <string>

#include "protocol/wire.h"

namespace telvane {

// Receives what the socket reads. The sender's address and port are passed along;
// the intake does not use them.
class IDatagramSink {
public:
    virtual ~IDatagramSink() = default;
    virtual void OnDatagram(const std::uint8_t* data, int length, const std::string& sender_address,
                            std::uint16_t sender_port) = 0;
    // A datagram the socket read but dropped itself (one too long for the receive area).
    virtual void OnDropped(DROP_REASON /*reason*/) {}
    // Datagrams the system dropped since the last report, its receive queue being full.
    virtual void OnLost(std::uint64_t /*count*/) {}
};

// Whether a datagram belongs to the socket of the chosen adapter: it arrived on that
// adapter, or it is addressed to that adapter's own address whatever link it came in on.
// Addresses in network order, as IP_PKTINFO reports them.
bool IsForChosenAdapter(unsigned arrived_on, std::uint32_t destination, unsigned chosen_interface,
                        std::uint32_t chosen_address);

class CTelvaneSocket final {
public:
    CTelvaneSocket();
    ~CTelvaneSocket();
    CTelvaneSocket(const CTelvaneSocket&) = delete;
    CTelvaneSocket& operator=(const CTelvaneSocket&) = delete;

    // Opens a UDP socket for the adapter that holds `local_address` (dotted IPv4) now,
    // on a port of the system's choosing, and has the thread's event loop watch it for
    // arrivals. Fails when the
    // text is not an IPv4 address, no adapter holds it, or a step of opening fails.
    [[nodiscard]] bool Create(const std::string& local_address);
    void Close();
    bool IsOpen() const;
    // SO_BROADCAST; returns false when it could not be switched on.
    [[nodiscard]] bool SetBroadcast(bool on);
    void SetOwner(IDatagramSink* owner);

    // Sends one datagram to address (host order) and port, leaving through the chosen
    // adapter with its address as the source. Returns the bytes sent, or -1, with the
    // system's reason in LastSendError(). A caller that ignores a failure says so.
    [[nodiscard]] int SendTo(const std::uint8_t* data, int length, std::uint32_t address, std::uint16_t port);
    // The system's text for why the last SendTo failed ("Network is unreachable"); empty
    // after one that went out.
    const std::string& LastSendError() const;

    // Hands every datagram queued on the socket now to the owner at once, without
    // waiting, so that whatever is handed on afterwards arrived after this call. The
    // protocol has no request id: this is how an answer is told from a late one. Stops
    // after DRAIN_LIMIT datagrams, so that a flood cannot hold the caller. Returns how
    // many were read.
    static constexpr int DRAIN_LIMIT = 100000;
    int DrainQueued();

    std::uint16_t LocalPort() const;
    // The system's descriptor, -1 while closed; for tests that set options on it.
    int Descriptor() const;

private:
    // One datagram per notification: read it (at most RECEIVE_BUFFER_SIZE bytes; a longer
    // one is dropped whole) and hand it to the owner. True while it still holds datagrams
    // it has read and not yet handed on.
    bool OnReceive();
    // Hands on one datagram if one is queued; false when nothing was left to read.
    bool ReadOne();

    struct State;
    std::unique_ptr<State> state_;
    IDatagramSink* owner_ = nullptr;
};

}  // namespace telvane
