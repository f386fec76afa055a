#include "tools/sim/sim_log.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTime>

namespace telvane::sim {

namespace {

QElapsedTimer& Clock() {
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock;
}

std::string Stamp() {
    char text[64];
    const double ms = static_cast<double>(Clock().nsecsElapsed()) / 1e6;
    std::snprintf(text, sizeof text, "t=%.3f at=%s", ms,
                  QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toStdString().c_str());
    return text;
}

}  // namespace

std::string Hex(std::span<const std::uint8_t> data) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 2);
    for (const std::uint8_t b : data) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0F]);
    }
    return out;
}

bool CSimLog::Open(const std::string& path) {
    Clock();
    if (path.empty()) return true;
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) {
        file_ = stdout;
        return false;
    }
    return true;
}

CSimLog::~CSimLog() {
    if (file_ != stdout) std::fclose(file_);
}

void CSimLog::Received(const std::string& from, std::uint16_t port, const std::string& to,
                       const std::string& interface, std::span<const std::uint8_t> data) {
    Line("RX " + Stamp() + " from=" + from + ":" + std::to_string(port) + " to=" + to + " if=" + interface +
         " len=" + std::to_string(data.size()) + " data=" + Hex(data));
}

void CSimLog::Sent(bool ok, const std::string& to, std::uint16_t port, const std::string& interface,
                   std::span<const std::uint8_t> data) {
    Line(std::string(ok ? "TX " : "TX-FAILED ") + Stamp() + " to=" + to + ":" + std::to_string(port) +
         " if=" + interface + " len=" + std::to_string(data.size()) + " data=" + Hex(data));
}

void CSimLog::Remark(const std::string& text) { Line("# " + text); }

void CSimLog::Line(const std::string& text) {
    std::fputs(text.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

}  // namespace telvane::sim
