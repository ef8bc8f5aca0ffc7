#include "src/install/install_outcome.h"

#include <algorithm>
#include <cctype>

#include "src/common/text_search.h"
#include "src/install/install_commands.h"
#include "src/install/log_text.h"

namespace {

// "app_id[X] install completed" or "installing[100]", and not the uninstall's own words.
bool reportsInstalled(std::string_view line) {
    const std::string l = lowered(line);
    if (contains(l, "installing[100]"))
        return true;
    const auto at = l.find("install completed");
    return at != std::string::npos && (at < 2 || l.compare(at - 2, 2, "un") != 0);
}

std::wstring shown(std::string_view line) {
    constexpr size_t longest = 300;  // a message box is no place for a whole dump
    std::wstring text = logLineText(line);
    if (text.size() > longest)
        text = text.substr(0, longest) + L"…";
    return text;
}

}  // namespace

bool isFailureLine(std::string_view line) {
    const std::string l = lowered(line);
    if (contains(l, "uninstall failed[132]"))
        return false;
    // "expired": older firmware's "installing[34] CERTIFICATE_EXPIRED" has no other marker.
    // "recognize": cmd.exe could not find iu.exe ("is not recognized as", Wine's "Can't
    // recognize").
    static constexpr std::string_view markers[] = {
        "fail",   "error",     "unable", "cannot",    "refused",
        "denied", "not found", "closed", "recognize", "expired",
    };
    if (std::any_of(std::begin(markers), std::end(markers),
                    [&](std::string_view m) { return contains(l, m); })) {
        return true;
    }
    // cmd.exe's own words on Russian Windows, without the capital letters.
    static constexpr std::wstring_view russian[] = {
        L"не является внутренней или внешней командой",
        L"тказано в доступе",
    };
    const std::wstring text = logLineText(line);
    return std::any_of(std::begin(russian), std::end(russian),
                       [&](std::wstring_view m) { return text.find(m) != std::wstring::npos; });
}

InstallOutcome judgeInstallation(const std::vector<InstallLog>& logs) {
    InstallOutcome outcome;
    bool installed = false;
    bool installFailed = false;
    for (const auto& log : logs) {
        if (!log.contents)
            continue;
        const bool isInstallLog = log.name == installLogFile;
        forEachLine(*log.contents, [&](std::string_view line) {
            if (isFailureLine(line)) {
                if (outcome.reason.empty()) {
                    outcome.reason = shown(line);
                    outcome.logFile = log.name;
                }
                if (isInstallLog)
                    installFailed = true;
            } else if (isInstallLog && reportsInstalled(line)) {
                installed = true;
            }
            return true;
        });
    }
    outcome.succeeded = installed && !installFailed;
    if (outcome.succeeded) {
        outcome.reason.clear();
        outcome.logFile.clear();
        return outcome;
    }
    if (outcome.logFile.empty())
        outcome.logFile = installLogFile;
    const auto installLog = std::find_if(
        logs.begin(), logs.end(), [](const InstallLog& l) { return l.name == installLogFile; });
    if (installLog == logs.end() || !installLog->contents) {
        outcome.installLog = InstallLogProblem::missing;
    } else if (installLog->contents->find_first_not_of(" \t\r\n\v\f") == std::string::npos) {
        outcome.installLog = InstallLogProblem::empty;
    } else if (outcome.reason.empty()) {
        outcome.installLog = InstallLogProblem::unrecognised;
    }
    return outcome;
}

InstallOutcome judgeInstallation(platform::FileSystem& files, const RunRecord& run) {
    // FAT keeps write times to two seconds.
    constexpr auto timeResolution = std::chrono::seconds(2);
    // A log is a few kilobytes; a runaway one is judged by its beginning.
    constexpr std::size_t longestLog = 4 * 1024 * 1024;
    std::vector<InstallLog> logs;
    for (const auto& command : installCommands) {
        if (command.logFile == nullptr)
            continue;
        InstallLog log{command.logFile, std::nullopt};
        const auto written = files.lastWriteTime(log.name);
        if (!run.unremovedLogs.contains(log.name) && written &&
            *written >= run.started - timeResolution) {
            log.contents = files.readFile(log.name, longestLog);
        }
        logs.push_back(std::move(log));
    }
    return judgeInstallation(logs);
}
