#include "net/network_state.h"
#include "net/testing.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

extern char** environ;

namespace telvane {

namespace {

// IFF_LOWER_UP of <linux/if.h>, which cannot be included beside <net/if.h>.
constexpr unsigned LOWER_UP_FLAG = 1u << 16;

std::string& ProcSysRoot() {
    static std::string root;
    return root;
}

std::string ProcSysPath(const std::string& relative) {
    return (ProcSysRoot().empty() ? std::string("/proc/sys") : ProcSysRoot()) + "/" + relative;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

int PrefixLength(const sockaddr* mask) {
    if (mask == nullptr || mask->sa_family != AF_INET) return 0;
    sockaddr_in in{};
    std::memcpy(&in, mask, sizeof in);
    return std::popcount(ntohl(in.sin_addr.s_addr));
}

}  // namespace

std::vector<INTERFACE_STATE> QueryInterfaceStates() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::map<unsigned, INTERFACE_STATE> by_index;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_name == nullptr) continue;
        const unsigned index = if_nametoindex(a->ifa_name);
        if (index == 0) continue;
        INTERFACE_STATE& state = by_index[index];
        state.name = a->ifa_name;
        state.index = index;
        state.up = (a->ifa_flags & IFF_UP) != 0;
        state.carrier = (a->ifa_flags & LOWER_UP_FLAG) != 0;
        state.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        if (a->ifa_addr == nullptr) continue;
        if (a->ifa_addr->sa_family == AF_PACKET) {
            sockaddr_ll link{};
            std::memcpy(&link, a->ifa_addr, sizeof link);
            if (link.sll_halen >= state.hardware_address.size()) {
                std::copy_n(link.sll_addr, state.hardware_address.size(), state.hardware_address.begin());
            }
        } else if (a->ifa_addr->sa_family == AF_INET) {
            sockaddr_in in{};
            std::memcpy(&in, a->ifa_addr, sizeof in);
            IPV4_INTERFACE_ADDRESS address;
            std::memcpy(address.address.data(), &in.sin_addr.s_addr, address.address.size());
            address.prefix_length = PrefixLength(a->ifa_netmask);
            state.ipv4.push_back(address);
        }
    }
    freeifaddrs(list);
    std::vector<INTERFACE_STATE> out;
    out.reserve(by_index.size());
    for (auto& [index, state] : by_index) out.push_back(std::move(state));
    return out;
}

std::optional<int> ReadIpv4ConfSetting(const std::string& interface_name, const std::string& key) {
    // A name with a slash or a dot-only name would read outside the interface's folder.
    if (interface_name.empty() || interface_name.find('/') != std::string::npos || interface_name == "." ||
        interface_name == ".." || key.find('/') != std::string::npos) {
        return std::nullopt;
    }
    const auto text = ReadSmallFile(ProcSysPath("net/ipv4/conf/" + interface_name + "/" + key));
    if (!text) return std::nullopt;
    std::istringstream in(*text);
    int value = 0;
    if (!(in >> value)) return std::nullopt;
    return value;
}

HOST_SYSTEM ThisHostSystem() {
    return HOST_SYSTEM::LINUX;
}

std::pair<std::uint16_t, std::uint16_t> ReadLocalPortRange() {
    constexpr std::pair<std::uint16_t, std::uint16_t> system_default{32768, 60999};
    const auto text = ReadSmallFile(ProcSysPath("net/ipv4/ip_local_port_range"));
    if (!text) return system_default;
    std::istringstream in(*text);
    long low = 0;
    long high = 0;
    if (!(in >> low >> high) || low < 1 || high > 65535 || low > high) return system_default;
    return {static_cast<std::uint16_t>(low), static_cast<std::uint16_t>(high)};
}

void SetProcSysRootForTesting(const std::string& root) {
    ProcSysRoot() = root;
}

std::string FirstExecutable(const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        if (access(path.c_str(), X_OK) == 0) return path;
    return paths.empty() ? std::string() : paths.front();
}

PROGRAM_RESULT RunProgram(const std::vector<std::string>& argv, int timeout_ms) {
    PROGRAM_RESULT result;
    if (argv.empty()) return result;
    std::array<int, 2> out_pipe{-1, -1};
    std::array<int, 2> err_pipe{-1, -1};
    if (pipe2(out_pipe.data(), O_CLOEXEC) != 0) return result;
    if (pipe2(err_pipe.data(), O_CLOEXEC) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (spawned != 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::array<pollfd, 2> fds{{{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&result.output, &result.errors};
    int open_count = 2;
    while (open_count > 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            break;
        }
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(left.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) close(p.fd);
    }
    if (result.timed_out) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.started = true;
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    return result;
}

}  // namespace telvane
