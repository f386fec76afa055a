#pragma once

// Runs one piece of work per adapter, all at the same time, so that an enumeration on
// every adapter takes one enumeration's time however many adapters there are. Each
// piece runs on its own thread and must own everything it touches (its socket, its
// inventory); it stores its result at its own index.

#include <cstddef>
#include <functional>

namespace telvane {

// Calls work(0) .. work(count - 1) at once and returns when every call has returned.
void RunAtOnce(std::size_t count, const std::function<void(std::size_t)>& work);

}  // namespace telvane
