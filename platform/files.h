#pragma once
// File operations on names relative to the current directory. Names use the Windows
// separator '\'; the host build maps it to '/'.
#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // False when the directory could not be created (it exists already, or any other reason).
    virtual bool createDirectory(const std::wstring& name) = 0;
    // Follows links: a link counts only when its target exists.
    virtual bool fileExists(const std::wstring& name) = 0;
    // False when the file could not be deleted.
    virtual bool deleteFile(const std::wstring& name) = 0;
    // Creates or truncates the file and writes exactly these bytes. Throws platform::Error
    // naming the file and the system's reason.
    virtual void writeFile(const std::wstring& name, std::span<const unsigned char> bytes) = 0;
    // The file's first maxBytes bytes (all of a smaller one), or nothing when it cannot be read.
    virtual std::optional<std::string> readFile(const std::wstring& name, std::size_t maxBytes) = 0;
    std::optional<std::string> readFile(const std::wstring& name) {
        return readFile(name, SIZE_MAX);
    }
    // When the file was last written, or nothing when there is no such file.
    virtual std::optional<std::chrono::system_clock::time_point> lastWriteTime(
        const std::wstring& name) = 0;
    // The names of the folders directly inside this one, in no order; none when it cannot be
    // read. Not every file system can list (the default lists nothing).
    virtual std::vector<std::wstring> listFolders(const std::wstring& name) {
        (void)name;
        return {};
    }
};

// The raw-data resources the program carries inside itself.
class Resources {
  public:
    virtual ~Resources() = default;
    // The resource's bytes, read in place. Throws platform::Error when there is none of that name.
    virtual std::span<const unsigned char> find(const std::wstring& name) = 0;
};

}  // namespace platform
