#pragma once
// One simulated Samsung TV in developer mode: its options, its state folder, and the answers its
// shell gives to the commands the installer sends.
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tvsim {

struct TvOptions {
    std::string address;  // 127.x.y.z
    unsigned short port = 26101;
    unsigned short httpPort = 8001;
    std::filesystem::path state;
    std::string tizen = "3.0";
    std::string model;  // default depends on the Tizen version
    std::string name;   // default "[TV] Samsung <model>"
    std::string hostIp = "127.0.0.1";
    bool developerMode = true;
    bool demandCertificate = false;  // always on from Tizen 7
    long long dropAfterBytes = -1;   // reset the connection after this many pushed bytes
    int slowMs = 0;                  // pause before each line of an answer
    bool fullStorage = false;

    int tizenMajor() const;
    bool certificateRequired() const { return demandCertificate || tizenMajor() >= 7; }
    std::string stagingDir() const;
    std::string installPath() const;
};

// Fills in defaults; returns an error text when an option is out of range.
std::optional<std::string> finishOptions(TvOptions& options);

struct InstalledApp {
    std::string appId;
    std::string name;
    std::string packageId;
};

class Tv {
  public:
    explicit Tv(TvOptions options);

    const TvOptions& options() const { return options_; }

    // Whether a connection from `peer` is let in; otherwise the TV resets it.
    bool accepts(const std::string& peer) const;

    // Runs a command line as the TV's shell would ("a; b; echo $?;"), handing each output line
    // (with its '\n') to `emit`. Returns the status of the last command.
    int runShell(const std::string& line, const std::function<void(const std::string&)>& emit);

    // Why a push to `remote` is refused, or nothing when it may go ahead.
    std::optional<std::string> pushRefusal(const std::string& remote) const;
    // Where the TV path lives inside the state folder; empty for a path we do not map.
    std::filesystem::path hostPath(const std::string& tvPath) const;

    std::string deviceJson() const;
    void log(const std::string& line);

    std::vector<InstalledApp> installedApps();

  private:
    void pause() const;
    int install(const std::vector<std::string>& args,
                const std::function<void(const std::string&)>& emit);
    int uninstall(const std::vector<std::string>& args,
                  const std::function<void(const std::string&)>& emit);
    std::vector<InstalledApp> loadApps();
    void saveApps(const std::vector<InstalledApp>& apps);

    TvOptions options_;
    std::mutex stateMutex_;  // apps.tsv and the installer
    std::mutex logMutex_;
};

}  // namespace tvsim
