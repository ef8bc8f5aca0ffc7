#pragma once
// Files and carried resources in plain maps, for fast tests of what the program writes and
// removes. Names are compared as given (no case folding, no separators mapped).
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"

namespace platform::memory {

class MemoryFileSystem final : public FileSystem {
  public:
    bool createDirectory(const std::wstring& name) override;
    bool fileExists(const std::wstring& name) override;
    bool deleteFile(const std::wstring& name) override;
    void writeFile(const std::wstring& name, std::span<const unsigned char> bytes) override;
    using FileSystem::readFile;
    std::optional<std::string> readFile(const std::wstring& name, std::size_t maxBytes) override;
    std::optional<std::chrono::system_clock::time_point> lastWriteTime(
        const std::wstring& name) override;
    // The entries of `directories` one level below the name (separator '\\').
    std::vector<std::wstring> listFolders(const std::wstring& name) override;

    std::map<std::wstring, std::string> files;
    // Last-write times of the files that have one; any other file was written "now" (the clock's
    // wall time, or the epoch without a clock). writeFile records the clock's time here.
    std::map<std::wstring, std::chrono::system_clock::time_point> writeTimes;
    Clock* clock = nullptr;
    std::set<std::wstring> directories;
    // Every call in order, as "<operation> <name>", e.g. "write iu.exe".
    std::vector<std::wstring> log;

    // A write to a name here raises with this reason, as the system's would, and changes nothing;
    // for a name in heldFiles too, the error says the file is in use.
    std::map<std::wstring, std::wstring> failingWrites;
    std::set<std::wstring> heldFiles;
    // A delete of a name here reports failure and keeps the file (a file held open elsewhere).
    std::set<std::wstring> failingDeletes;
    // Run at the start of every delete and every read; may throw to stand for a platform that
    // does (or for memory running out).
    std::function<void(const std::wstring&)> onDelete;
    std::function<void(const std::wstring&)> onRead;
};

class MemoryResources final : public Resources {
  public:
    std::span<const unsigned char> find(const std::wstring& name) override;

    void add(const std::wstring& name, std::string bytes);
    std::map<std::wstring, std::vector<unsigned char>> resources;
};

}  // namespace platform::memory
