#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "inventory/reply_intake.h"
#include "procedures/set_exchange.h"

namespace telvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t SIGNALLED = 0;
constexpr std::uint32_t TIMED_OUT = 258;

const MAC kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MAC kOtherMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F};

// Written into a buffer of its final size: growing a vector from a four-byte list makes
// GCC 12 at -O3 warn about a copy out of bounds that cannot happen.
Bytes SetReply(const MAC& mac, std::uint8_t result, bool good_checksum = true) {
    Bytes b(12);
    b[0] = 0xFF;
    b[1] = 0xFF;
    b[2] = 0xC9;
    b[3] = 0xD0;
    std::copy(mac.begin(), mac.end(), b.begin() + 4);
    b[10] = result;
    b[11] = static_cast<std::uint8_t>(Checksum(std::span(b).first(11)) + (good_checksum ? 0 : 1));
    return b;
}

// A segment without sockets: what each send provokes is scripted as the datagrams that
// arrive during the wait after it; they go through the real intake, as the pumped wait
// would hand them on. The wait answers like WaitEventPumping.
class FakeSegment {
public:
    explicit FakeSegment(DEVICE_TABLE& table) : table_(table) {}

    std::deque<std::vector<Bytes>> answers;  // one entry per send; missing = silence
    std::vector<Bytes> sent;
    std::vector<bool> event_set_at_send;
    std::vector<std::uint32_t> wait_ms;
    std::optional<std::string> send_error;  // every send fails with it

    SetSendFn Send() {
        return [this](std::span<const std::uint8_t> bytes) -> std::optional<std::string> {
            sent.emplace_back(bytes.begin(), bytes.end());
            event_set_at_send.push_back(table_.reply_event.IsSet());
            return send_error;
        };
    }
    SetWaitFn Wait() {
        return [this](const CReplyEvent& event, std::uint32_t ms) {
            wait_ms.push_back(ms);
            if (!answers.empty()) {
                for (const Bytes& d : answers.front()) {
                    OnDatagram(table_, d, true, [](std::int32_t, const DEVICE_INFO&) {});
                    if (event.IsSet()) break;  // tested after each datagram
                }
                answers.pop_front();
            }
            return event.IsSet() ? SIGNALLED : TIMED_OUT;
        };
    }

private:
    DEVICE_TABLE& table_;
};

class SetExchange : public testing::Test {
protected:
    SetExchange() {
        table.entries[0].mac = kMac;
        table.entries[0].state = STATE_NORMAL;
        table.device_count = 1;
        table.selected_index = 0;
    }
    SET_EXCHANGE Run() { return RunSetExchange(table, request, {nullptr, segment.Send(), segment.Wait()}); }

    DEVICE_TABLE table;
    FakeSegment segment{table};
    const Bytes request = {0xFF, 0xFF, 0x49, 0x50, 1, 2, 3};
};

// Guards against a second send after an acceptance, and against the request being altered.
TEST_F(SetExchange, AcceptanceEndsAfterOneSend) {
    segment.answers = {{SetReply(kMac, 0)}};
    const SET_EXCHANGE r = Run();
    EXPECT_EQ(r.outcome, STATE_SET_OK);
    EXPECT_EQ(r.sends, 1);
    EXPECT_TRUE(r.answered);
    ASSERT_EQ(segment.sent.size(), 1u);
    EXPECT_EQ(segment.sent[0], request);
    EXPECT_EQ(segment.wait_ms, (std::vector<std::uint32_t>{500}));
}

// Guards against a refusal being retried (or taken as an acceptance).
TEST_F(SetExchange, RefusalFailsAtOnceWithoutSecondSend) {
    segment.answers = {{SetReply(kMac, 5)}, {SetReply(kMac, 0)}};
    const SET_EXCHANGE r = Run();
    EXPECT_EQ(r.outcome, STATE_SET_FAILED);
    EXPECT_EQ(r.sends, 1);
    EXPECT_EQ(r.set_result, 5);
}

TEST_F(SetExchange, WrongChecksumReplyFailsAtOnce) {
    segment.answers = {{SetReply(kOtherMac, 0, false)}, {SetReply(kMac, 0)}};
    const SET_EXCHANGE r = Run();
    EXPECT_EQ(r.outcome, STATE_SET_FAILED);
    EXPECT_EQ(r.sends, 1);
    EXPECT_EQ(r.set_result, -1);
}

// Guards against giving up after one silent wait.
TEST_F(SetExchange, SilenceThenAnswerSucceedsOnSecondSend) {
    segment.answers = {{}, {SetReply(kMac, 0)}};
    const SET_EXCHANGE r = Run();
    EXPECT_EQ(r.outcome, STATE_SET_OK);
    EXPECT_EQ(r.sends, 2);
    EXPECT_EQ(segment.sent[1], request);
}

// Guards against more than two attempts, and against a reply from another device ending
// the wait.
TEST_F(SetExchange, OtherDevicesReplyIsIgnoredAndTwoSilencesFail) {
    segment.answers = {{SetReply(kOtherMac, 0)}, {SetReply(kOtherMac, 0)}, {SetReply(kMac, 0)}};
    const SET_EXCHANGE r = Run();
    EXPECT_EQ(r.outcome, STATE_SET_FAILED);
    EXPECT_EQ(r.sends, 2);
    EXPECT_FALSE(r.answered);
    EXPECT_EQ(segment.wait_ms, (std::vector<std::uint32_t>{500, 500}));
}

// Guards against a stale signal from an earlier reply being taken as this one's answer:
// the event must be reset before every send.
TEST_F(SetExchange, EventIsResetBeforeEachSend) {
    table.reply_event.Set();
    table.set_result = 0;
    const SET_EXCHANGE r = Run();
    EXPECT_EQ(r.outcome, STATE_SET_FAILED);
    EXPECT_EQ(r.sends, 2);
    EXPECT_EQ(segment.event_set_at_send, (std::vector<bool>{false, false}));
}

// Guards against the exchange touching row states: that belongs to its caller.
TEST_F(SetExchange, LeavesRowStateAlone) {
    table.entries[0].state = STATE_NORMAL | STATE_SELECTED;
    segment.answers = {{SetReply(kMac, 0)}};
    Run();
    EXPECT_EQ(table.entries[0].state, STATE_NORMAL | STATE_SELECTED);
}

// Guards against a request that never left being reported as the device's silence: the
// command line ends at once with the reason; the window waits as if it had gone.
TEST_F(SetExchange, FailedSendEndsTheExchangeOrIsWaitedFor) {
    segment.send_error = "Network is unreachable";
    SET_EXCHANGE_IO io{nullptr, segment.Send(), segment.Wait(), SEND_FAILURES::END_EXCHANGE};
    EXPECT_EQ(RunSetExchange(table, request, io).send_error, "Network is unreachable");
    EXPECT_EQ(segment.sent.size(), 1u);
    EXPECT_TRUE(segment.wait_ms.empty());
    io.on_send_failure = SEND_FAILURES::WAIT_ANYWAY;
    EXPECT_EQ(RunSetExchange(table, request, io).sends, 0);
    EXPECT_EQ(segment.wait_ms, (std::vector<std::uint32_t>{500, 500}));
}

}  // namespace
}  // namespace telvane
