#pragma once
#include "platform/files.h"

namespace platform::win32 {

class Win32FileSystem final : public FileSystem {
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

// RT_RCDATA resources of the running program's own module, read in place.
class ModuleResources final : public Resources {
  public:
    std::span<const unsigned char> find(const std::wstring& name) override;
};

}  // namespace platform::win32
