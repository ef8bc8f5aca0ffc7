#include "tools/tvsim/tv.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "tools/tvsim/package.h"

namespace tvsim {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOldStaging = "/opt/usr/apps/tmp";
constexpr const char* kNewStaging = "/home/owner/share/tmp/sdk_tools/tmp";

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        if (word.size() >= 2 && (word.front() == '"' || word.front() == '\'') &&
            word.back() == word.front()) {
            word = word.substr(1, word.size() - 2);
        }
        words.push_back(word);
    }
    return words;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string jsonEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

int TvOptions::tizenMajor() const {
    return std::atoi(tizen.c_str());
}

std::string TvOptions::stagingDir() const {
    return tizenMajor() < 3 ? kOldStaging : kNewStaging;
}

std::string TvOptions::installPath() const {
    return tizenMajor() < 3 ? "/opt/usr/apps" : "/opt/usr/home/owner/apps_rw";
}

std::optional<std::string> finishOptions(TvOptions& options) {
    const int major = options.tizenMajor();
    if (major < 2 || major > 9 ||
        options.tizen.find_first_not_of("0123456789.") != std::string::npos) {
        return "unsupported Tizen version '" + options.tizen + "' (2.4 ... 9.0)";
    }
    if (options.state.empty()) {
        return std::string("a state folder is required (--state DIR)");
    }
    if (options.model.empty()) {
        options.model = major < 3 ? "UE40KU6000" : "UE55MU7000";
    }
    if (options.name.empty()) {
        options.name = "[TV] Samsung " + options.model;
    }
    return std::nullopt;
}

Tv::Tv(TvOptions options) : options_(std::move(options)) {
    fs::create_directories(options_.state / "fs" / options_.stagingDir().substr(1));
}

bool Tv::accepts(const std::string& peer) const {
    return options_.developerMode && peer == options_.hostIp;
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
    const std::string refused = "You cannot push files to this path.";
    if (hostPath(remote).empty() || remote.back() == '/') {
        return refused;
    }
    // Tizen 2.4 sets take packages in /opt/usr/apps/tmp; later ones only under sdk_tools and
    // refuse the old place.
    const std::string allowed = options_.tizenMajor() < 3 ? std::string(kOldStaging) + "/"
                                                          : "/home/owner/share/tmp/sdk_tools/";
    if (!startsWith(remote, allowed)) {
        return refused;
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
            out << app.appId << '\t' << app.name << '\t' << app.packageId << '\n';
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
    if (!file.empty() && fs::is_regular_file(file)) {
        package = inspectPackage(file);
    } else {
        package.reason = "no such file";
    }
    say(prefix + "installing[5]");
    if (package.verdict == PackageInfo::Verdict::kBroken) {
        log("install refused: " + package.reason);
        say(prefix + "install failed[118,-4] Load archive info fail");
        spent();
        return 0;
    }
    if (package.verdict == PackageInfo::Verdict::kBadSignature || options_.certificateRequired()) {
        log("install refused: " +
            (package.reason.empty() ? "certificate demanded" : package.reason));
        say(prefix +
            "install failed[118, -12], reason: Check certificate error : :Invalid certificate "
            "chain "
            "with certificate in signature.:<-3>");
        spent();
        return 0;
    }
    for (int percent : {25, 50, 75, 100}) {
        say(prefix + "installing[" + std::to_string(percent) + "]");
    }
    {
        std::lock_guard lock(stateMutex_);
        std::vector<InstalledApp> apps = loadApps();
        std::erase_if(apps, [&](const InstalledApp& app) { return app.appId == package.appId; });
        apps.push_back({package.appId, package.name, package.packageId});
        saveApps(apps);
    }
    log("installed: " + package.appId);
    say(prefix + "install completed");
    spent();
    return 0;
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

std::string Tv::deviceJson() const {
    const std::string devMode = options_.developerMode ? "1" : "0";
    const std::string devIp = options_.developerMode ? options_.hostIp : "0.0.0.0";
    const std::string id = "uuid:0f3c5a2e-bench-" + options_.address;
    const std::string uri =
        "http://" + options_.address + ":" + std::to_string(options_.httpPort) + "/api/v2/";
    return "{\"device\":{\"FrameTVSupport\":\"false\",\"GamePadSupport\":\"true\","
           "\"OS\":\"Tizen\",\"PowerState\":\"on\",\"TokenAuthSupport\":\"true\","
           "\"VoiceSupport\":\"true\",\"developerIP\":\"" +
           jsonEscape(devIp) + "\",\"developerMode\":\"" + devMode +
           "\",\"firmwareVersion\":\"Unknown\",\"id\":\"" + jsonEscape(id) + "\",\"ip\":\"" +
           jsonEscape(options_.address) + "\",\"model\":\"bench_tizen_" +
           jsonEscape(options_.tizen) + "\",\"modelName\":\"" + jsonEscape(options_.model) +
           "\",\"name\":\"" + jsonEscape(options_.name) +
           "\",\"networkType\":\"wired\",\"resolution\":\"3840x2160\",\"type\":\"Samsung "
           "SmartTV\"},\"id\":\"" +
           jsonEscape(id) + "\",\"name\":\"" + jsonEscape(options_.name) +
           "\",\"remote\":\"1.0\",\"type\":\"Samsung SmartTV\",\"uri\":\"" + jsonEscape(uri) +
           "\",\"version\":\"2.0.25\"}";
}

}  // namespace tvsim
