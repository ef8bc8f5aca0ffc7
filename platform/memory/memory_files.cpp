#include "platform/memory/memory_files.h"

#include "platform/error.h"

namespace platform::memory {

bool MemoryFileSystem::createDirectory(const std::wstring& name) {
    log.push_back(L"mkdir " + name);
    if (files.contains(name))
        return false;
    return directories.insert(name).second;
}

bool MemoryFileSystem::fileExists(const std::wstring& name) {
    log.push_back(L"exists " + name);
    return files.contains(name);
}

bool MemoryFileSystem::deleteFile(const std::wstring& name) {
    log.push_back(L"delete " + name);
    if (onDelete)
        onDelete(name);
    if (failingDeletes.contains(name))
        return false;
    writeTimes.erase(name);
    return files.erase(name) == 1;
}

void MemoryFileSystem::writeFile(const std::wstring& name, std::span<const unsigned char> bytes) {
    log.push_back(L"write " + name);
    if (const auto failing = failingWrites.find(name); failing != failingWrites.end())
        throw WriteError(name, failing->second, heldFiles.contains(name));
    if (directories.contains(name))
        throw WriteError(name, L"Access is denied.", false);
    files[name].assign(bytes.begin(), bytes.end());
    if (clock != nullptr)
        writeTimes[name] = clock->wallTime();
}

std::optional<std::string> MemoryFileSystem::readFile(const std::wstring& name,
                                                      std::size_t maxBytes) {
    log.push_back(L"read " + name);
    if (onRead)
        onRead(name);
    const auto file = files.find(name);
    if (file == files.end())
        return std::nullopt;
    return file->second.substr(0, maxBytes);
}

std::optional<std::chrono::system_clock::time_point> MemoryFileSystem::lastWriteTime(
    const std::wstring& name) {
    if (!files.contains(name))
        return std::nullopt;
    if (const auto time = writeTimes.find(name); time != writeTimes.end())
        return time->second;
    return clock != nullptr ? clock->wallTime() : std::chrono::system_clock::time_point{};
}

std::vector<std::wstring> MemoryFileSystem::listFolders(const std::wstring& name) {
    const std::wstring prefix = name.empty() || name.back() == L'\\' ? name : name + L'\\';
    std::vector<std::wstring> found;
    for (const auto& directory : directories) {
        if (directory.size() > prefix.size() && directory.starts_with(prefix) &&
            directory.find(L'\\', prefix.size()) == std::wstring::npos)
            found.push_back(directory.substr(prefix.size()));
    }
    return found;
}

std::span<const unsigned char> MemoryResources::find(const std::wstring& name) {
    const auto resource = resources.find(name);
    if (resource == resources.end())
        throw Error(L"The program carries no resource \"" + name + L"\".");
    return resource->second;
}

void MemoryResources::add(const std::wstring& name, std::string bytes) {
    resources[name].assign(bytes.begin(), bytes.end());
}

}  // namespace platform::memory
