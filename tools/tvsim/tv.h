#pragma once
// One simulated Samsung TV in developer mode: its state folder, and the answers its shell gives
// to the commands the installer sends.
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/tvsim/options.h"
#include "tools/tvsim/signature.h"

namespace tvsim {

struct InstalledApp {
    std::string appId;
    std::string name;
    std::string packageId;
    std::string author;  // fingerprint of the author certificate, on sets that check it
};

class Tv {
  public:
    explicit Tv(TvOptions options);

    const TvOptions& options() const { return options_; }
    // The options as they stand now: in standby until --standby-for has passed.
    TvOptions current() const;
    std::chrono::steady_clock::time_point started() const { return started_; }
    bool isOn() const;

    // Whether a connection from `peer` is let in: only its Host PC IP (as it stored it).
    bool accepts(const std::string& peer) const;

    // Runs a command line the retail check let through ("vd_appinstall a b; echo $?;") as the
    // TV's shell would, handing each output line (with its '\n') to `emit`. Returns the status
    // of the last command.
    int runShell(const std::string& line, const std::function<void(const std::string&)>& emit);

    // Why a push to `remote` is refused, or nothing when it may go ahead.
    std::optional<std::string> pushRefusal(const std::string& remote) const;
    // Where the TV path lives inside the state folder; empty for a path we do not map.
    std::filesystem::path hostPath(const std::string& tvPath) const;

    void log(const std::string& line);

    std::vector<InstalledApp> installedApps();

  private:
    void pause() const;
    int install(const std::vector<std::string>& args,
                const std::function<void(const std::string&)>& emit);
    int uninstall(const std::vector<std::string>& args,
                  const std::function<void(const std::string&)>& emit);
    // What the certificate checks go by: roots, clock, DUID and the pushed device profile.
    TrustSettings trustSettings() const;
    std::vector<InstalledApp> loadApps();
    void saveApps(const std::vector<InstalledApp>& apps);

    TvOptions options_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::mutex stateMutex_;  // apps.tsv and the installer
    std::mutex logMutex_;
};

}  // namespace tvsim
