#pragma once

// The acknowledged send of a set request: at most two attempts, each a send followed by
// a 500 ms wait for the device's set reply. The window and the command line share it;
// sending and waiting come in as functions so the rule itself needs no network. No Qt.

#include <cstdint>
#include <functional>
#include <span>

#include "inventory/device_info.h"

namespace telvane {

inline constexpr int SET_ATTEMPTS = 2;
inline constexpr std::uint32_t SET_REPLY_WAIT_MS = 500;

struct SET_EXCHANGE {
    std::uint8_t outcome = STATE_SET_FAILED;  // STATE_SET_OK or STATE_SET_FAILED
    int sends = 0;                            // requests sent, 1 or 2
    bool answered = false;                    // a set reply ended a wait
    std::int32_t set_result = 0;              // its result (-1: bad checksum); valid when answered
};

// Broadcasts the request; its own result is not looked at.
using SetSendFn = std::function<void(std::span<const std::uint8_t>)>;
// Waits for the event while keeping the thread's events running; returns WAIT_OBJECT_0
// (0) when it was signalled, or WAIT_TIMEOUT (258).
using SetWaitFn = std::function<std::uint32_t(const CReplyEvent&, std::uint32_t)>;

// Each attempt resets table.reply_event, sends and waits. A signalled wait ends the
// exchange: accepted when table.set_result is 0, otherwise failed, without a second
// attempt. Two time-outs: failed. Row states are left to the caller.
SET_EXCHANGE RunSetExchange(DEVICE_TABLE& table, std::span<const std::uint8_t> request, const SetSendFn& send,
                            const SetWaitFn& wait);

}  // namespace telvane
