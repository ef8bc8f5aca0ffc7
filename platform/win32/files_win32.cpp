#include "platform/win32/files_win32.h"

#include <windows.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/win32/unique_handle.h"

namespace platform::win32 {
namespace {

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) noexcept : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (valid())
            CloseHandle(handle_);
    }
    bool valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const noexcept { return handle_; }

  private:
    HANDLE handle_;
};

// The system's own wording for an error code, without the trailing line break.
std::wstring systemReason(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const LocalText buffer(text);
    if (length == 0 || !buffer)
        return L"Error " + std::to_wstring(code) + L".";
    std::wstring reason(buffer.get(), length);
    while (!reason.empty() &&
           (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' ')) {
        reason.pop_back();
    }
    return reason;
}

[[noreturn]] void throwWriteError(const std::wstring& name, DWORD code) {
    throw WriteError(name, systemReason(code),
                     code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION);
}

}  // namespace

bool Win32FileSystem::createDirectory(const std::wstring& name) {
    return CreateDirectoryW(name.c_str(), nullptr) != 0;
}

bool Win32FileSystem::fileExists(const std::wstring& name) {
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return true;
    // A link: it counts only when its target opens. No data access, so even a target held open
    // without sharing opens for this.
    const FileHandle target(
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target.valid())
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(target.get(), &info) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::deleteFile(const std::wstring& name) {
    return DeleteFileW(name.c_str()) != 0;
}

void Win32FileSystem::writeFile(const std::wstring& name, std::span<const unsigned char> bytes) {
    const FileHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        throwWriteError(name, GetLastError());
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr)) {
            throwWriteError(name, GetLastError());
        }
        if (written == 0)
            throwWriteError(name, ERROR_WRITE_FAULT);
        bytes = bytes.subspan(written);
    }
}

std::optional<std::string> Win32FileSystem::readFile(const std::wstring& name,
                                                     std::size_t maxBytes) {
    // Others may go on writing it; we only read.
    const FileHandle file(CreateFileW(name.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return std::nullopt;
    std::string content;
    char buffer[64 * 1024];
    while (content.size() < maxBytes) {
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min(sizeof buffer, maxBytes - content.size()));
        if (!ReadFile(file.get(), buffer, want, &got, nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        content.append(buffer, got);
    }
    return content;
}

std::optional<std::chrono::system_clock::time_point> Win32FileSystem::lastWriteTime(
    const std::wstring& name) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    // FILETIME counts 100 ns from 1601; the system clock counts from 1970.
    constexpr long long epochDifference = 116444736000000000LL;
    const long long ticks = (static_cast<long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                            data.ftLastWriteTime.dwLowDateTime;
    using Ticks = std::chrono::duration<long long, std::ratio<1, 10000000>>;
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            Ticks(ticks - epochDifference)));
}

std::span<const unsigned char> ModuleResources::find(const std::wstring& name) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, name.c_str(), RT_RCDATA);
    if (info == nullptr) {
        throw Error(L"The program carries no resource \"" + name + L"\": " +
                    systemReason(GetLastError()));
    }
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, info);
    if (data == nullptr && size != 0) {
        throw Error(L"Cannot load resource \"" + name + L"\": " + systemReason(GetLastError()));
    }
    // Module resources stay mapped for the program's lifetime; nothing to free.
    return {static_cast<const unsigned char*>(data), size};
}

std::vector<std::wstring> Win32FileSystem::listFolders(const std::wstring& name) {
    struct Search {
        HANDLE handle;
        ~Search() {
            if (handle != INVALID_HANDLE_VALUE)
                FindClose(handle);
        }
    };
    std::vector<std::wstring> found;
    const std::wstring pattern = name + (name.empty() || name.back() == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW entry{};
    const Search search{FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                         FindExSearchLimitToDirectories, nullptr, 0)};
    if (search.handle == INVALID_HANDLE_VALUE)
        return found;
    do {
        const std::wstring child = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && child != L"." &&
            child != L"..")
            found.push_back(child);
    } while (FindNextFileW(search.handle, &entry));
    return found;
}

}  // namespace platform::win32
