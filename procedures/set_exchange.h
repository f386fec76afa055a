#pragma once

// The acknowledged send of a set request: at most two attempts, each a send followed by
// a 500 ms wait for the device's set reply. The window and the command line share it;
// sending and waiting come in as functions so the rule itself needs no network. No Qt.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "inventory/device_info.h"

namespace telvane {

inline constexpr int SET_ATTEMPTS = 2;
inline constexpr std::uint32_t SET_REPLY_WAIT_MS = 500;

struct SET_EXCHANGE {
    std::uint8_t outcome = STATE_SET_FAILED;  // STATE_SET_OK or STATE_SET_FAILED
    int sends = 0;                            // requests that went out, 0 to 2
    bool answered = false;                    // a set reply ended a wait
    std::int32_t set_result = 0;              // its result (-1: bad checksum); valid when answered
    std::string send_error;                   // the system's reason when a request could not be sent
};

// Hands what is already queued to the intake, so that it is taken before the event is reset.
using SetDrainFn = std::function<void()>;
// Broadcasts the request; the system's reason when it could not be sent.
using SetSendFn = std::function<std::optional<std::string>(std::span<const std::uint8_t>)>;
// Waits for the event while keeping the thread's events running; returns WAIT_OBJECT_0
// (0) when it was signalled, or WAIT_TIMEOUT (258).
using SetWaitFn = std::function<std::uint32_t(const CReplyEvent&, std::uint32_t)>;

// What to do when a request cannot be sent: the window carries on as if it had gone
// (it sees no reply); the command line stops, it is a local failure.
enum class SEND_FAILURES { WAIT_ANYWAY, END_EXCHANGE };

struct SET_EXCHANGE_IO {
    SetDrainFn drain;  // may be empty
    SetSendFn send;
    SetWaitFn wait;
    SEND_FAILURES on_send_failure = SEND_FAILURES::WAIT_ANYWAY;
};

// Each attempt drains, resets table.reply_event, sends and waits: only a reply taken
// after the reset ends a wait, so one already queued (a late answer to an earlier
// request) cannot. A signalled wait ends the exchange: accepted when table.set_result is
// 0, otherwise failed, without a second attempt. Two time-outs: failed. Row states are
// left to the caller.
[[nodiscard]] SET_EXCHANGE RunSetExchange(DEVICE_TABLE& table, std::span<const std::uint8_t> request,
                                          const SET_EXCHANGE_IO& io);

}  // namespace telvane
