#pragma once

// One line per event, flushed at once: tests read the log while the simulator runs.
//   RX t=<ms since start> at=<hh:mm:ss.zzz> from=<ip>:<port> to=<ip> if=<name> len=<n> data=<hex>
//   TX t=... to=<ip>:<port> if=<name> len=<n> data=<hex>     (TX-FAILED when the send failed)
//   # <remark>

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace telvane::sim {

class CSimLog final {
public:
    // An empty path logs to standard output.
    bool Open(const std::string& path);
    ~CSimLog();

    void Received(const std::string& from, std::uint16_t port, const std::string& to, const std::string& interface,
                  std::span<const std::uint8_t> data);
    void Sent(bool ok, const std::string& to, std::uint16_t port, const std::string& interface,
              std::span<const std::uint8_t> data);
    void Remark(const std::string& text);

private:
    void Line(const std::string& text);
    std::FILE* file_ = stdout;
};

std::string Hex(std::span<const std::uint8_t> data);

}  // namespace telvane::sim
