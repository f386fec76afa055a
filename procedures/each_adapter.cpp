#include "procedures/each_adapter.h"

#include <thread>
#include <vector>

namespace telvane {

void RunAtOnce(std::size_t count, const std::function<void(std::size_t)>& work) {
    if (count == 1) {
        work(0);
        return;
    }
    std::vector<std::jthread> threads;
    threads.reserve(count);
    for (std::size_t i = 0; i < count; ++i) threads.emplace_back([&work, i] { work(i); });
    // Leaving the scope joins every thread.
}

}  // namespace telvane
