#include "tools/tvsim/tv.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "tools/tvsim/package.h"
#include "tools/tvsim/shell_line.h"

namespace tvsim {

namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Where Tizen Studio's "Permit to install applications" puts a certificate profile's devices.
const std::string kDeviceProfile = "/home/developer/device-profile.xml";

// A 2025 set's reason when the widget asks for a partner privilege (here the one that signing
// in needs) and the certificate is public-level.
constexpr const char* kPrivilegeDetails =
    " : :Check config.xml| - Current certificate signature level = public||"
    "[MISMATCHED_PRIVILEGE_LEVEL]| - http://developer.samsung.com/privilege/sso.partner"
    "   >> Use at least partner signatured certificate.|:";

}  // namespace

Tv::Tv(TvOptions options) : options_(std::move(options)) {
    fs::create_directories(options_.state / "fs" / options_.stagingDir().substr(1));
    if (options_.installedByOtherAuthor) {
        std::vector<InstalledApp> apps = loadApps();
        if (std::none_of(apps.begin(), apps.end(),
                         [](const InstalledApp& app) { return app.appId == kOtherAuthorsAppId; })) {
            apps.push_back({kOtherAuthorsAppId, "Quorvex", "R4vT7mWq2Z", kOtherAuthorsFingerprint});
            saveApps(apps);
        }
    }
}

bool Tv::isOn() const {
    const auto on = options_.onAfter();
    return on && std::chrono::steady_clock::now() >= started_ + std::chrono::seconds(*on);
}

TvOptions Tv::current() const {
    TvOptions now = options_;
    now.standby = !isOn();
    return now;
}

bool Tv::accepts(const std::string& peer) const {
    return peer == options_.storedHostIp();
}

void Tv::pause() const {
    if (options_.slowMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.slowMs));
    }
}

void Tv::log(const std::string& line) {
    std::lock_guard lock(logMutex_);
    std::ofstream(options_.state / "commands.log", std::ios::app) << line << '\n';
}

fs::path Tv::hostPath(const std::string& tvPath) const {
    if (tvPath.empty() || tvPath[0] != '/' || tvPath.find('\\') != std::string::npos) {
        return {};
    }
    for (const auto& part : fs::path(tvPath)) {
        if (part == "..") {
            return {};
        }
    }
    return options_.state / "fs" / tvPath.substr(1);
}

std::optional<std::string> Tv::pushRefusal(const std::string& remote) const {
    // The TV writes only below its own generation's staging area; the other generation's
    // directory does not exist for it, nor does anything else.
    const std::string allowed =
        options_.tizenMajor() < 3 ? options_.stagingDir() + "/" : options_.sdkToolPath() + "/";
    if (remote == kDeviceProfile) {
        return std::nullopt;
    }
    if (hostPath(remote).empty() || remote.back() == '/' || !startsWith(remote, allowed)) {
        return std::string("Permission denied");
    }
    return std::nullopt;
}

std::vector<InstalledApp> Tv::loadApps() {
    std::vector<InstalledApp> apps;
    std::ifstream in(options_.state / "apps.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        InstalledApp app;
        if (std::getline(fields, app.appId, '\t') && std::getline(fields, app.name, '\t')) {
            std::getline(fields, app.packageId, '\t');
            std::getline(fields, app.author, '\t');
            apps.push_back(app);
        }
    }
    return apps;
}

void Tv::saveApps(const std::vector<InstalledApp>& apps) {
    const fs::path file = options_.state / "apps.tsv";
    const fs::path temp = options_.state / "apps.tsv.new";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const auto& app : apps) {
            out << app.appId << '\t' << app.name << '\t' << app.packageId
                << (app.author.empty() ? "" : "\t" + app.author) << '\n';
        }
    }
    fs::rename(temp, file);  // tests read the file at any time: never a half-written one
}

std::vector<InstalledApp> Tv::installedApps() {
    std::lock_guard lock(stateMutex_);
    return loadApps();
}

int Tv::runShell(const std::string& line, const std::function<void(const std::string&)>& emit) {
    log("shell: " + line);
    auto say = [&](const std::string& text) {
        pause();
        emit(text + "\n");
    };
    int status = 0;
    std::istringstream commands(line);
    std::string command;
    while (std::getline(commands, command, ';')) {
        const std::vector<std::string> words = splitWords(command);
        if (words.empty()) {
            continue;
        }
        const std::string& name = words[0];
        const std::vector<std::string> args(words.begin() + 1, words.end());
        if (name == "echo") {
            std::string text;
            for (std::size_t i = 0; i < args.size(); ++i) {
                std::string word = args[i];
                for (auto at = word.find("$?"); at != std::string::npos; at = word.find("$?")) {
                    word.replace(at, 2, std::to_string(status));
                }
                text += (i ? " " : "") + word;
            }
            say(text);
            status = 0;
        } else if (name == "getduid") {
            say(options_.duid);
            status = 0;
        } else if (name == "getappinstallpath") {
            say(options_.installPath());
            status = 0;
        } else if (name == "vd_appinstall") {
            status = install(args, say);
        } else if (name == "vd_appuninstall") {
            status = uninstall(args, say);
        } else if (name == "applist") {
            std::vector<InstalledApp> apps = installedApps();
            say("Application List for user 5001");
            say("User's Application ");
            say(" Name \t AppID ");
            say("=================================================");
            for (const auto& app : apps) {
                say("'" + app.name + "'\t '" + app.appId + "'");
            }
            say("=================================================");
            status = 0;
        } else if (name == "mkdir" || name == "rmfile") {
            const fs::path target = args.size() == 1 ? hostPath(args[0]) : fs::path();
            std::error_code ec;
            if (target.empty()) {
                say(name + ": invalid path");
                status = 1;
            } else if (name == "mkdir") {
                fs::create_directories(target, ec);
                status = ec ? 1 : 0;
            } else {
                status = fs::is_regular_file(target) && fs::remove(target, ec) ? 0 : 1;
            }
        } else {
            say("sh: " + name + ": command not found");
            status = 127;
        }
    }
    return status;
}

// vd_… commands end with status 0 whatever happened, as real TVs do; only the text tells.
int Tv::install(const std::vector<std::string>& args,
                const std::function<void(const std::string&)>& say) {
    const auto started = std::chrono::steady_clock::now();
    const std::string id = args.empty() ? std::string() : args[0];
    const std::string prefix = "app_id[" + id + "] ";
    auto spent = [&] {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
        say("spend time for wascmd is [" + std::to_string(ms) + "]ms");
    };
    say(prefix + "install start");
    const fs::path file = args.size() == 2 ? hostPath(args[1]) : fs::path();
    if (options_.fullStorage) {
        say(prefix + "download failed[116]");
        spent();
        return 0;
    }
    PackageInfo package;
    if (file.empty() || !fs::is_regular_file(file)) {
        package.reason = "no such file";
    } else if (options_.checksSignatures()) {
        package = inspectSignedPackage(file, trustSettings());
    } else {
        package = inspectPackage(file);
    }
    say(prefix + "installing[5]");
    if (package.verdict == PackageInfo::Verdict::kBroken) {
        log("install refused: " + package.reason);
        say(prefix + "install failed[118,-4] Load archive info fail");
        spent();
        return 0;
    }
    if (package.verdict == PackageInfo::Verdict::kBadSignature ||
        (options_.certificateRequired() && !options_.checksSignatures())) {
        const int code =
            package.verdict == PackageInfo::Verdict::kBadSignature ? package.certificateError : -3;
        log("install refused (" + std::to_string(code) + "): " +
            (options_.checksSignatures() || !options_.certificateRequired()
                 ? package.reason
                 : "certificate demanded, no root trusted"));
        say(prefix + "install failed[118, -12], reason: Check certificate error : :" +
            certificateErrorText(code));
        spent();
        return 0;
    }
    if (options_.privilegeMismatch) {
        // The signature is good but public-level; the widget asks for a partner privilege.
        log("install refused (-14): the widget needs a partner-level certificate");
        // From 2025 sets name the privilege and the level needed; older ones say no more.
        say(prefix + "install failed[118, -14], reason: Signature error" +
            (options_.year >= 2025 ? kPrivilegeDetails : ""));
        spent();
        return 0;
    }
    if (options_.checksSignatures()) {
        std::vector<InstalledApp> apps = installedApps();
        const auto installed = std::find_if(apps.begin(), apps.end(), [&](const InstalledApp& app) {
            return app.appId == package.appId || app.packageId == package.packageId;
        });
        if (installed != apps.end() && installed->author != package.authorFingerprint) {
            log("install refused (-11): " + installed->appId + " is installed by author " +
                installed->author + ", the package is signed by " + package.authorFingerprint);
            say(prefix + "install failed[118, -11], reason: Author certificate not match :");
            spent();
            return 0;
        }
    }
    for (int percent : {25, 50, 75, 100}) {
        say(prefix + "installing[" + std::to_string(percent) + "]");
    }
    {
        std::lock_guard lock(stateMutex_);
        std::vector<InstalledApp> apps = loadApps();
        std::erase_if(apps, [&](const InstalledApp& app) { return app.appId == package.appId; });
        apps.push_back({package.appId, package.name, package.packageId, package.authorFingerprint});
        saveApps(apps);
    }
    log("installed: " + package.appId);
    say(prefix + "install completed");
    spent();
    return 0;
}

TrustSettings Tv::trustSettings() const {
    TrustSettings trust{options_.trustedRoots, options_.now(), options_.duid, {}};
    std::ifstream in(hostPath(kDeviceProfile), std::ios::binary);
    std::string profile(256 * 1024, '\0');
    in.read(profile.data(), static_cast<std::streamsize>(profile.size()));
    profile.resize(static_cast<std::size_t>(in.gcount()));
    trust.profileDevices = testDevicesOf(profile);
    return trust;
}

int Tv::uninstall(const std::vector<std::string>& args,
                  const std::function<void(const std::string&)>& say) {
    const auto started = std::chrono::steady_clock::now();
    const std::string id = args.empty() ? std::string() : args[0];
    const std::string prefix = "app_id[" + id + "] ";
    bool found = false;
    {
        std::lock_guard lock(stateMutex_);
        std::vector<InstalledApp> apps = loadApps();
        found = std::erase_if(apps, [&](const InstalledApp& app) { return app.appId == id; }) > 0;
        if (found) {
            saveApps(apps);
        }
    }
    if (found) {
        say(prefix + "uninstall start");
        for (int percent : {30, 60, 100}) {
            say(prefix + "uninstalling[" + std::to_string(percent) + "]");
        }
        say(prefix + "uninstall completed");
    } else {
        say(prefix + "uninstall failed[132]");
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    say("spend time for wascmd is [" + std::to_string(ms) + "]ms");
    return 0;
}

}  // namespace tvsim
