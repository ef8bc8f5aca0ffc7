#pragma once
#include "platform/files.h"

namespace platform::posix {

// Files on the host. Names keep the program's '\' separators and are mapped to '/' here.
class PosixFileSystem final : public FileSystem {
  public:
    bool createDirectory(const std::wstring& name) override;
    bool fileExists(const std::wstring& name) override;
    bool deleteFile(const std::wstring& name) override;
    void writeFile(const std::wstring& name, std::span<const unsigned char> bytes) override;
    using FileSystem::readFile;
    std::optional<std::string> readFile(const std::wstring& name, std::size_t maxBytes) override;
    std::optional<std::chrono::system_clock::time_point> lastWriteTime(
        const std::wstring& name) override;
    std::vector<std::wstring> listFolders(const std::wstring& name) override;
};

}  // namespace platform::posix
