#include "net/journal_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace telvane {

namespace {

std::string Why(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::string MakeParent(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) return {};
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (error) return "cannot create " + parent.string() + ": " + error.message();
    return {};
}

// Closes the descriptor, and with it the lock, however the append ends.
struct FD final {
    int fd = -1;
    FD() = default;
    FD(const FD&) = delete;
    FD& operator=(const FD&) = delete;
    ~FD() {
        if (fd >= 0) ::close(fd);
    }
};

int OpenForAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}

void Rotate(const std::string& path, int keep_files) {
    if (keep_files < 1) {
        ::unlink(path.c_str());
        return;
    }
    ::unlink((path + "." + std::to_string(keep_files)).c_str());
    for (int n = keep_files - 1; n >= 1; --n)
        ::rename((path + "." + std::to_string(n)).c_str(), (path + "." + std::to_string(n + 1)).c_str());
    ::rename(path.c_str(), (path + ".1").c_str());
}

}  // namespace

std::string UserStateDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // The base directory rules ignore a relative path.
    if (state != nullptr && state[0] == '/') return std::string(state) + "/telvane";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return {};
    return std::string(home) + "/.local/state/telvane";
}

std::string CheckJournalWritable(const std::string& path) {
    if (std::string error = MakeParent(path); !error.empty()) return error;
    FD file;
    file.fd = OpenForAppend(path);
    if (file.fd < 0) return Why("cannot open " + path, errno);
    return {};
}

std::string AppendJournalLine(const std::string& path, std::string_view line, const JOURNAL_ROTATION& rotation) {
    if (std::string error = MakeParent(path); !error.empty()) return error;
    // Another writer may rotate the file between our open and our lock: then the name
    // leads to a new file, and the line belongs there.
    for (int attempt = 0; attempt < 8; ++attempt) {
        FD file;
        file.fd = OpenForAppend(path);
        if (file.fd < 0) return Why("cannot open " + path, errno);
        while (::flock(file.fd, LOCK_EX) != 0) {
            if (errno != EINTR) return Why("cannot lock " + path, errno);
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(file.fd, &held) != 0) return Why("cannot read " + path, errno);
        if (::stat(path.c_str(), &named) != 0 || named.st_ino != held.st_ino || named.st_dev != held.st_dev) continue;
        // Character devices and pipes have no size to rotate at.
        if (S_ISREG(held.st_mode) && static_cast<std::uint64_t>(held.st_size) >= rotation.rotate_bytes &&
            held.st_size > 0) {
            Rotate(path, rotation.keep_files);
            continue;
        }
        // One write on a descriptor opened for appending: the line lands whole at the end.
        const ssize_t written = ::write(file.fd, line.data(), line.size());
        if (written < 0) return Why("cannot write " + path, errno);
        if (static_cast<std::size_t>(written) != line.size()) return "cannot write " + path + ": short write";
        if (::fsync(file.fd) != 0 && errno != EINVAL && errno != EROFS) return Why("cannot sync " + path, errno);
        return {};
    }
    return "cannot append to " + path + ": it is being rotated again and again";
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::uint32_t CurrentProcessId() {
    return static_cast<std::uint32_t>(::getpid());
}

}  // namespace telvane
