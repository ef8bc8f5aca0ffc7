#include "platform/posix/files_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/error.h"
#include "platform/text.h"

namespace platform::posix {
namespace {

std::string hostPath(const std::wstring& name) {
    std::string path = toUtf8(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

class Descriptor {
  public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    int get() const noexcept { return fd_; }
    // Closes now, so that an error the close reports can still be told.
    int release() noexcept {
        const int result = close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

[[noreturn]] void throwWriteError(const std::wstring& name, int error) {
    throw WriteError(name, fromUtf8(std::system_category().message(error)),
                     error == ETXTBSY || error == EBUSY);
}

}  // namespace

bool PosixFileSystem::createDirectory(const std::wstring& name) {
    return mkdir(hostPath(name).c_str(), 0777) == 0;
}

bool PosixFileSystem::fileExists(const std::wstring& name) {
    // stat follows links, so a dangling one is absent; directories are not files.
    struct stat info {};
    return stat(hostPath(name).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool PosixFileSystem::deleteFile(const std::wstring& name) {
    return unlink(hostPath(name).c_str()) == 0;
}

void PosixFileSystem::writeFile(const std::wstring& name, std::span<const unsigned char> bytes) {
    Descriptor file(open(hostPath(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (file.get() < 0)
        throwWriteError(name, errno);
    while (!bytes.empty()) {
        const ssize_t written = write(file.get(), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throwWriteError(name, errno);
        }
        bytes = bytes.subspan(static_cast<size_t>(written));
    }
    if (file.release() != 0)
        throwWriteError(name, errno);
}

std::optional<std::string> PosixFileSystem::readFile(const std::wstring& name,
                                                     std::size_t maxBytes) {
    const Descriptor file(open(hostPath(name).c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return std::nullopt;
    std::string content;
    char buffer[64 * 1024];
    while (content.size() < maxBytes) {
        const ssize_t got =
            read(file.get(), buffer, std::min(sizeof buffer, maxBytes - content.size()));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<size_t>(got));
    }
    return content;
}

std::optional<std::chrono::system_clock::time_point> PosixFileSystem::lastWriteTime(
    const std::wstring& name) {
    struct stat info {};
    if (stat(hostPath(name).c_str(), &info) != 0)
        return std::nullopt;
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(info.st_mtim.tv_sec) +
            std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
}

std::vector<std::wstring> PosixFileSystem::listFolders(const std::wstring& name) {
    std::vector<std::wstring> found;
    const std::string path = hostPath(name);
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr)
        return found;
    while (const dirent* entry = readdir(directory)) {
        const std::string child = entry->d_name;
        struct stat info {};
        if (child != "." && child != ".." && stat((path + "/" + child).c_str(), &info) == 0 &&
            S_ISDIR(info.st_mode))
            found.push_back(fromUtf8(child));
    }
    closedir(directory);
    return found;
}

}  // namespace platform::posix
