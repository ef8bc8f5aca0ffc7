#pragma once
// Whether an installation succeeded, judged from the logs its commands wrote. The TV prints
// "cmd_ret:0" after a failed install too, so only the install log's own words count.
#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

struct InstallLog {
    std::wstring name;  // e.g. doLog\step6.txt
    // Nothing when the log is missing or was not written by this run.
    std::optional<std::string> contents;
};

// What is wrong with the install log itself, when it gives nothing to go on.
enum class InstallLogProblem {
    none,
    missing,       // not written by this run (it could not be created, or kept an old run's text)
    empty,         // written, but holds no text
    unrecognised,  // holds text, but no line that tells success or failure
};

struct InstallOutcome {
    bool succeeded = false;
    std::wstring reason;   // the first telling line of the logs, or empty
    std::wstring logFile;  // the log that line came from (the install log when there is none)
    InstallLogProblem installLog = InstallLogProblem::none;
};

// logs: the seven logs in the order their commands ran.
InstallOutcome judgeInstallation(const std::vector<InstallLog>& logs);

// What tells the logs of this run from those of an earlier one.
struct RunRecord {
    std::chrono::system_clock::time_point started;  // before the first log was removed
    std::set<std::wstring> unremovedLogs;  // logs that were still there after their removal
};
// Reads the seven logs of the installation's commands and judges those this run wrote: a log
// that could not be removed before the run, or that was last written before it started, counts
// as missing.
InstallOutcome judgeInstallation(platform::FileSystem& files, const RunRecord& run);

// A line in which the tool or the TV reports that something went wrong. "uninstall failed[132]"
// (there was nothing to uninstall) is not one.
bool isFailureLine(std::string_view line);
