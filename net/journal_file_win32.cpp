#include "net/journal_file.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "net/wide_text.h"

namespace telvane {

namespace {

std::string Why(const std::string& what, DWORD error) {
    return what + ": " + std::system_category().message(static_cast<int>(error));
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(win32::WideFromUtf8(utf8));
}

std::string MakeParent(const std::string& path) {
    const std::filesystem::path parent = PathOf(path).parent_path();
    if (parent.empty()) return {};
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (error) return "cannot create " + win32::ToUtf8(parent.c_str()) + ": " + error.message();
    return {};
}

// Closes the handle, and with it the lock, however the append ends.
struct HANDLE_OWNER final {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE_OWNER() = default;
    HANDLE_OWNER(const HANDLE_OWNER&) = delete;
    HANDLE_OWNER& operator=(const HANDLE_OWNER&) = delete;
    ~HANDLE_OWNER() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

// Every writer shares delete, so that a rotation can rename the file another has open.
HANDLE OpenForAppend(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool SameFile(HANDLE held, const std::wstring& path) {
    HANDLE_OWNER named;
    named.handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named.handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    if (!GetFileInformationByHandle(held, &a) || !GetFileInformationByHandle(named.handle, &b)) return false;
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

void Rotate(const std::wstring& path, int keep_files) {
    if (keep_files < 1) {
        DeleteFileW(path.c_str());
        return;
    }
    DeleteFileW((path + L"." + std::to_wstring(keep_files)).c_str());
    for (int n = keep_files - 1; n >= 1; --n)
        MoveFileExW((path + L"." + std::to_wstring(n)).c_str(), (path + L"." + std::to_wstring(n + 1)).c_str(),
                    MOVEFILE_REPLACE_EXISTING);
    MoveFileExW(path.c_str(), (path + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

std::string UserStateDirectory() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || local[0] == L'\0') return {};
    return win32::ToUtf8(local) + "\\Telvane";
}

std::string CheckJournalWritable(const std::string& path) {
    if (std::string error = MakeParent(path); !error.empty()) return error;
    HANDLE_OWNER file;
    file.handle = OpenForAppend(win32::WideFromUtf8(path), FILE_APPEND_DATA);
    if (file.handle == INVALID_HANDLE_VALUE) return Why("cannot open " + path, GetLastError());
    return {};
}

std::string AppendJournalLine(const std::string& path, std::string_view line, const JOURNAL_ROTATION& rotation) {
    if (std::string error = MakeParent(path); !error.empty()) return error;
    const std::wstring wide = win32::WideFromUtf8(path);
    for (int attempt = 0; attempt < 8; ++attempt) {
        HANDLE_OWNER file;
        // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end.
        file.handle = OpenForAppend(wide, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
        if (file.handle == INVALID_HANDLE_VALUE) return Why("cannot open " + path, GetLastError());
        OVERLAPPED whole{};
        if (!LockFileEx(file.handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
            return Why("cannot lock " + path, GetLastError());
        // Another writer rotated the file between our open and our lock.
        if (!SameFile(file.handle, wide)) continue;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file.handle, &size) && size.QuadPart > 0 &&
            static_cast<std::uint64_t>(size.QuadPart) >= rotation.rotate_bytes) {
            // Every writer shares delete, so the file is renamed under our own lock; a
            // reader that does not share it makes the rename fail, and the line goes on
            // the end of the file as it is.
            Rotate(wide, rotation.keep_files);
            if (!SameFile(file.handle, wide)) continue;
        }
        DWORD written = 0;
        if (!WriteFile(file.handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
            return Why("cannot write " + path, GetLastError());
        if (written != line.size()) return "cannot write " + path + ": short write";
        if (!FlushFileBuffers(file.handle)) return Why("cannot sync " + path, GetLastError());
        UnlockFileEx(file.handle, 0, MAXDWORD, MAXDWORD, &whole);
        return {};
    }
    return "cannot append to " + path + ": it is being rotated again and again";
}

std::string EnvironmentText(const char* name) {
    const wchar_t* value = _wgetenv(win32::WideFromUtf8(name).c_str());
    return value != nullptr ? win32::ToUtf8(value) : std::string();
}

std::uint32_t CurrentProcessId() {
    return static_cast<std::uint32_t>(GetCurrentProcessId());
}

}  // namespace telvane
