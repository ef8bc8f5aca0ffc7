#pragma once
// Whether an installation succeeded, judged from the logs its commands wrote. The TV prints
// "cmd_ret:0" after a failed install too, so only the install log's own words count.
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

struct InstallLog {
    std::wstring name;                    // e.g. doLog\step6.txt
    std::optional<std::string> contents;  // nothing when the log is missing
};

struct InstallOutcome {
    bool succeeded = false;
    std::wstring reason;   // the first telling line of the logs, or empty
    std::wstring logFile;  // the log that line came from (the install log when there is none)
};

// logs: the seven logs in the order their commands ran.
InstallOutcome judgeInstallation(const std::vector<InstallLog>& logs);
// Reads the seven logs of the installation's commands and judges them.
InstallOutcome judgeInstallation(platform::FileSystem& files);

// A line in which the tool or the TV reports that something went wrong. "uninstall failed[132]"
// (there was nothing to uninstall) is not one.
bool isFailureLine(std::string_view line);
