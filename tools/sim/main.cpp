// telvane-sim: plays devices that answer the discovery protocol on UDP port 18768.
#include <QtCore/QCoreApplication>
#include <QtCore/QFile>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "protocol/wire.h"
#include "tools/sim/sim_config.h"
#include "tools/sim/sim_log.h"
#include "tools/sim/sim_responder.h"

namespace {

using namespace telvane::sim;

constexpr char VERSION[] = "telvane-sim " TELVANE_VERSION;

void PrintHelp() {
    std::printf(
        "Usage: telvane-sim [--config FILE] [--many N] [--log FILE] [--port PORT] [--flood RATE ...]\n"
        "\n"
        "Plays devices that answer the discovery protocol on UDP port 18768 (all IPv4\n"
        "addresses). Every datagram received is logged, one line each, flushed at once:\n"
        "  RX t=<ms since start> at=<time> from=<ip>:<port> to=<ip> if=<interface> len=<n> data=<hex>\n"
        "and every answer as a TX line. A line \"# listening ...\" tells that it is ready.\n"
        "\n"
        "Options:\n"
        "  --config FILE  devices from a JSON file (schema below)\n"
        "  --many N       N generated devices in 10.77.0.0/16 (added after the file's)\n"
        "  --log FILE     log to FILE instead of standard output\n"
        "  --port PORT    listen on PORT instead of 18768\n"
        "  --flood RATE   a hostile peer besides the devices: from the first request on,\n"
        "                 RATE random and malformed datagrams per second (1 to 200000) to\n"
        "                 the latest requester's port, by unicast, limited and subnet\n"
        "                 broadcast in turn; the devices keep answering. It ends by itself:\n"
        "  --flood-seconds S   after S seconds (default 10, at most 600)\n"
        "  --flood-count N     or N datagrams (default RATE x S)\n"
        "  --flood-kinds LIST  \"all\" (default) or some of: random, bad_marker,\n"
        "                 bad_checksum, truncated, oversized, name_byte, reserved_status,\n"
        "                 set_reply_mac, set_reply_bad_sum, valid_random, request_echo\n"
        "  --flood-seed N      seed of the random contents (default 1)\n"
        "  --help         this text\n"
        "  --version      the version\n"
        "\n"
        "Configuration:\n%s\n",
        CONFIG_SCHEMA);
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "telvane-sim: %s (see telvane-sim --help)\n", message.c_str());
    return 2;
}

bool ReadCount(const std::string& text, long low, long high, long& out) {
    char* end = nullptr;
    out = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string config_path;
    std::string log_path;
    long many = 0;
    long port = telvane::DISCOVERY_PORT;
    long flood_rate = 0;
    long flood_seconds = 10;
    long flood_count = 0;
    long flood_seed = 1;
    FLOOD_CONFIG flood;
    flood.kinds = *ParseFloodKinds("all");
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        }
        if (arg == "--version") {
            std::printf("%s\n", VERSION);
            return 0;
        }
        const bool takes_value =
            arg == "--config" || arg == "--log" || arg == "--many" || arg == "--port" || arg.rfind("--flood", 0) == 0;
        if (takes_value && !has_value) {
            return Usage(arg + " needs a value");
        }
        if (arg == "--config") {
            config_path = argv[++i];
        } else if (arg == "--log") {
            log_path = argv[++i];
        } else if (arg == "--many") {
            if (!ReadCount(argv[++i], 0, 65000, many)) return Usage("--many takes a number from 0 to 65000");
        } else if (arg == "--port") {
            if (!ReadCount(argv[++i], 1, 65535, port)) return Usage("--port takes a number from 1 to 65535");
        } else if (arg == "--flood") {
            if (!ReadCount(argv[++i], 1, 200000, flood_rate)) return Usage("--flood takes a number from 1 to 200000");
        } else if (arg == "--flood-seconds") {
            if (!ReadCount(argv[++i], 1, 600, flood_seconds)) return Usage("--flood-seconds takes 1 to 600");
        } else if (arg == "--flood-count") {
            if (!ReadCount(argv[++i], 1, 100000000, flood_count)) return Usage("--flood-count takes 1 to 100000000");
        } else if (arg == "--flood-seed") {
            if (!ReadCount(argv[++i], 0, 2147483647, flood_seed)) return Usage("--flood-seed takes a number");
        } else if (arg == "--flood-kinds") {
            const auto kinds = ParseFloodKinds(argv[++i]);
            if (!kinds) return Usage("--flood-kinds takes \"all\" or known kinds separated by commas");
            flood.kinds = *kinds;
        } else {
            return Usage("unknown argument \"" + arg + "\"");
        }
    }

    std::vector<SIM_DEVICE> devices;
    if (!config_path.empty()) {
        QFile file(QString::fromStdString(config_path));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "telvane-sim: cannot read %s\n", config_path.c_str());
            return 1;
        }
        CONFIG_RESULT config = ParseConfig(file.readAll());
        if (!config.error.empty()) {
            std::fprintf(stderr, "telvane-sim: %s: %s\n", config_path.c_str(), config.error.c_str());
            return 1;
        }
        devices = std::move(config.devices);
    }
    for (SIM_DEVICE& d : GenerateDevices(static_cast<int>(many))) devices.push_back(std::move(d));

    CSimLog log;
    if (!log.Open(log_path)) {
        std::fprintf(stderr, "telvane-sim: cannot write %s\n", log_path.c_str());
        return 1;
    }
    const std::size_t count = devices.size();
    CSimResponder responder(std::move(devices), log);
    flood.rate = static_cast<int>(flood_rate);
    flood.duration_ms = static_cast<std::uint32_t>(flood_seconds * 1000);
    flood.count = flood_count > 0 ? flood_count : flood_rate * flood_seconds;
    flood.seed = static_cast<std::uint64_t>(flood_seed);
    if (!responder.EnableFlood(flood)) {
        std::fprintf(stderr, "telvane-sim: cannot open the flood's socket\n");
        return 1;
    }
    if (!responder.Listen(static_cast<std::uint16_t>(port))) {
        std::fprintf(stderr, "telvane-sim: cannot listen on UDP port %ld\n", port);
        return 1;
    }
    log.Remark("listening on UDP port " + std::to_string(port) + " with " + std::to_string(count) + " devices");
    return QCoreApplication::exec();
}
