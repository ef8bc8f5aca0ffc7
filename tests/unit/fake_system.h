#pragma once
// A whole platform for the window's logic, made of fakes the tests can steer and inspect.
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/memory/fake_addresses.h"
#include "platform/system.h"

// Records every command line; "running" one calls onRun, which may dispatch input as the real
// wait would (a language switch, a window close) before the child "ends".
class RecordingProcesses final : public platform::Processes {
  public:
    struct Child final : platform::ChildProcess {};

    std::vector<std::wstring> started;
    std::function<void(const std::wstring&)> onRun;
    bool failToStart = false;

    std::unique_ptr<platform::ChildProcess> start(const std::wstring& commandLine) override {
        if (failToStart)
            return nullptr;
        started.push_back(commandLine);
        return std::make_unique<Child>();
    }
    platform::WaitResult waitForChildOrInput(platform::ChildProcess&) override {
        if (onRun)
            onRun(started.back());
        return platform::WaitResult::childEnded;
    }
};

class FakeLoop final : public platform::MessageLoop {
  public:
    bool quit = false;
    void processMessages() override {}
    bool terminated() const override { return quit; }
};

class FakeFiles final : public platform::FileSystem {
  public:
    std::map<std::wstring, std::string> files;
    std::vector<std::wstring> directories;

    bool createDirectory(const std::wstring& name) override {
        directories.push_back(name);
        return true;
    }
    bool fileExists(const std::wstring& name) override { return files.count(name) > 0; }
    bool deleteFile(const std::wstring& name) override { return files.erase(name) > 0; }
    void writeFile(const std::wstring& name, std::span<const unsigned char> bytes) override {
        files[name] = std::string(bytes.begin(), bytes.end());
    }
    std::optional<std::string> readFile(const std::wstring& name) override {
        const auto it = files.find(name);
        if (it == files.end())
            return std::nullopt;
        return it->second;
    }
};

class FakeResources final : public platform::Resources {
  public:
    std::map<std::wstring, std::vector<unsigned char>> data;
    std::span<const unsigned char> find(const std::wstring& name) override {
        const auto it = data.find(name);
        if (it == data.end())
            throw platform::Error(L"No resource " + name);
        return it->second;
    }
};

struct FakeSystem {
    platform::memory::FakeAddresses addresses;
    RecordingProcesses processes;
    FakeLoop loop;
    FakeFiles files;
    FakeResources resources;
    platform::System system{addresses, processes, loop, files, resources};
};
