#pragma once

// Waits that keep the GUI thread's events running: datagrams are taken in and the
// window stays alive while a procedure waits. They block in the event loop until the
// next event or the deadline; they never spin.

#include <cstdint>
#include <functional>

#include "net/event.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace telvane {

// Windows' own headers define both as macros with these values.
#if !defined(_WIN32)
inline constexpr std::uint32_t WAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t WAIT_TIMEOUT = 258;
#endif

// Milliseconds, wrapping at 2^32 like the system tick counter.
std::uint32_t GetTickCount();

// Runs the thread's events for ms milliseconds; 0 returns at once, handling nothing.
void PumpMessages(std::uint32_t ms);

// Runs the thread's events until `event` is found signalled (WAIT_OBJECT_0), tested
// after each handled batch, or ms have passed (WAIT_TIMEOUT). 0 ms returns WAIT_TIMEOUT
// at once without testing the event. The event is not reset.
std::uint32_t WaitEventPumping(const CEvent& event, std::uint32_t ms);

// The same wait for a flag the caller keeps in a type of its own (the device table's
// reply event): `signalled` is tested where the event would be.
std::uint32_t WaitPumping(const std::function<bool()>& signalled, std::uint32_t ms);

// Greater than zero while inside one of the waits above; the dialog uses it to keep
// Escape and Enter from acting as dialog keys in the middle of a procedure.
int PumpDepth();

}  // namespace telvane
