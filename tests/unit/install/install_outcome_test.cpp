// The outcome of an installation judged from transcripts shaped like those real TVs and the
// bridge tool produce.
#include "src/install/install_outcome.h"

#include <gtest/gtest.h>

#include "platform/memory/fake_clock.h"
#include "platform/memory/memory_files.h"
#include "src/install/install_commands.h"

namespace {

constexpr const char* connected =
    "connecting to 192.168.1.5:26101 ...\nconnected to 192.168.1.5:26101\n";
constexpr const char* devices =
    "List of devices attached \n192.168.1.5:26101    \tdevice    \tUE55MU6100\n";
constexpr const char* installPath = "/opt/usr/home/owner/apps_rw\n";
constexpr const char* nothingToUninstall =
    "app_id[kR4vT7mWq2Z.Quorvex] uninstall start\napp_id[kR4vT7mWq2Z.Quorvex] uninstall "
    "failed[132]\n"
    "spend time for wascmd is [31]ms\ncmd_ret:0\n";
constexpr const char* pushed =
    "pushed Quorvex.wgt 100% 17942\n1 file(s) pushed. 0 file(s) skipped.\n"
    "Quorvex.wgt 1842 KB/s (17942 bytes in 0.009s)\n";
constexpr const char* installedWithProgress =
    "app_id[R4vT7mWq2Z.Quorvex] install start\r\napp_id[R4vT7mWq2Z.Quorvex] installing[25]\r\n"
    "app_id[R4vT7mWq2Z.Quorvex] installing[100]\r\napp_id[R4vT7mWq2Z.Quorvex] install completed\r\n"
    "spend time for wascmd is [1843]ms\r\ncmd_ret:0\r\n";
constexpr const char* installedPlain =
    "app_id[R4vT7mWq2Z.Quorvex] install start\napp_id[R4vT7mWq2Z.Quorvex] install completed\n"
    "spend time for wascmd is [2110]ms\ncmd_ret:0\n";
constexpr const char* certificateRefused =
    "app_id[R4vT7mWq2Z.Quorvex] install start\napp_id[R4vT7mWq2Z.Quorvex] installing[5]\n"
    "app_id[R4vT7mWq2Z.Quorvex] install failed[118, -12], reason: Check certificate error : "
    ":Invalid certificate chain with certificate in signature.:<-3>\n"
    "spend time for wascmd is [412]ms\ncmd_ret:0\n";
constexpr const char* appList =
    "Application List for user 5001\nUser's Application \n Name \t AppID \n"
    "=================================================\n'Quorvex'\t 'R4vT7mWq2Z.Quorvex'\n"
    "=================================================\n";

std::vector<InstallLog> logs(const char* s1, const char* s2, const char* s3, const char* s4,
                             const char* s5, const char* s6, const char* s7) {
    std::vector<InstallLog> result;
    const char* texts[] = {s1, s2, s3, s4, s5, s6, s7};
    for (int i = 0; i < 7; ++i) {
        std::optional<std::string> contents;
        if (texts[i] != nullptr)
            contents = texts[i];
        result.push_back({L"doLog\\step" + std::to_wstring(i + 1) + L".txt", contents});
    }
    return result;
}

TEST(InstallOutcome, SuccessWithAndWithoutProgressLines) {
    for (const char* install : {installedWithProgress, installedPlain}) {
        const auto outcome = judgeInstallation(
            logs(connected, devices, installPath, nothingToUninstall, pushed, install, appList));
        EXPECT_TRUE(outcome.succeeded) << install;
        EXPECT_TRUE(outcome.reason.empty());
    }
}

TEST(InstallOutcome, CertificateRefusalIsAFailureDespiteCmdRetZero) {
    const auto outcome = judgeInstallation(logs(connected, devices, installPath, nothingToUninstall,
                                                pushed, certificateRefused, appList));
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(
        outcome.reason,
        L"app_id[R4vT7mWq2Z.Quorvex] install failed[118, -12], reason: Check certificate error : "
        L":Invalid certificate chain with certificate in signature.:<-3>");
    EXPECT_EQ(outcome.logFile, L"doLog\\step6.txt");

    // Older firmware names an expired certificate in a progress line, before its bare
    // "install failed[PKGMGR_ERROR]": that line is the reason.
    const auto expired = judgeInstallation(
        logs(connected, devices, installPath, nothingToUninstall, pushed,
             "app_id[X] install start\napp_id[X] installing[34] CERTIFICATE_EXPIRED\n"
             "app_id[X] install failed[PKGMGR_ERROR]\ncmd_ret:0\n",
             appList));
    EXPECT_EQ(expired.reason, L"app_id[X] installing[34] CERTIFICATE_EXPIRED");
}

// The TV's refusals that end with cmd_ret:0 like a success: no room, and a privilege the
// profile's level does not allow (2025 sets' words, and older sets').
TEST(InstallOutcome, NoRoomAndPrivilegeRefusalsAreTheTellingLine) {
    const struct {
        const char* log;
        const wchar_t* telling;
    } cases[] = {
        {"app_id[R4vT7mWq2Z.Quorvex] install start\napp_id[R4vT7mWq2Z.Quorvex] download "
         "failed[116]\nspend time for wascmd is [96]ms\ncmd_ret:0\n",
         L"app_id[R4vT7mWq2Z.Quorvex] download failed[116]"},
        {"app_id[R4vT7mWq2Z.Quorvex] install start\napp_id[R4vT7mWq2Z.Quorvex] installing[5]\n"
         "app_id[R4vT7mWq2Z.Quorvex] install failed[118, -14], reason: Signature error : :Check "
         "config.xml| - Current certificate signature level = "
         "public||[MISMATCHED_PRIVILEGE_LEVEL]| "
         "- http://tizen.org/privilege/x   >> Use at least partner signatured certificate.|:\n"
         "spend time for wascmd is [388]ms\ncmd_ret:0\n",
         L"app_id[R4vT7mWq2Z.Quorvex] install failed[118, -14], reason: Signature error : :Check "
         L"config.xml| - Current certificate signature level = "
         L"public||[MISMATCHED_PRIVILEGE_LEVEL]| "
         L"- http://tizen.org/privilege/x   >> Use at least partner signatured certificate.|:"},
        {"app_id[X] install start\napp_id[X] install failed[118, -14], reason: Signature error\n"
         "cmd_ret:0\n",
         L"app_id[X] install failed[118, -14], reason: Signature error"},
    };
    for (const auto& c : cases) {
        const auto outcome = judgeInstallation(
            logs(connected, devices, installPath, nothingToUninstall, pushed, c.log, appList));
        EXPECT_FALSE(outcome.succeeded) << c.log;
        EXPECT_EQ(outcome.reason, c.telling);
        EXPECT_EQ(outcome.logFile, L"doLog\\step6.txt");
        EXPECT_EQ(outcome.installLog, InstallLogProblem::none) << "not an unrecognised log";
    }
}

TEST(InstallOutcome, UnreachableTvNamesTheFailedConnect) {
    const char* notFound = "error: target not found\n";
    const auto outcome = judgeInstallation(logs("failed to connect to 192.168.1.5:26101\n",
                                                "List of devices attached \n", notFound, notFound,
                                                notFound, notFound, notFound));
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.reason, L"failed to connect to 192.168.1.5:26101");
    EXPECT_EQ(outcome.logFile, L"doLog\\step1.txt");
}

TEST(InstallOutcome, RefusedPushIsTheReasonEvenWhenTheInstallLogComplainsLater) {
    const auto outcome = judgeInstallation(logs(
        connected, devices, installPath, nothingToUninstall,
        "sdb sync: FAIL: You cannot push files to this path.\n",
        "app_id[R4vT7mWq2Z.Quorvex] install start\ninstall failed[118,-4] Load archive info fail\n"
        "spend time for wascmd is [20]ms\ncmd_ret:0\n",
        appList));
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.reason, L"sdb sync: FAIL: You cannot push files to this path.");
    EXPECT_EQ(outcome.logFile, L"doLog\\step5.txt");
}

TEST(InstallOutcome, NothingToUninstallIsNoFailure) {
    EXPECT_FALSE(isFailureLine("app_id[kR4vT7mWq2Z.Quorvex] uninstall failed[132]"));
    EXPECT_TRUE(isFailureLine("app_id[kR4vT7mWq2Z.Quorvex] uninstall failed[1]"));
    EXPECT_TRUE(isFailureLine("error: failed to connect to remote target '192.168.1.5'"));
    EXPECT_TRUE(isFailureLine("app_id[R4vT7mWq2Z.Quorvex] download failed[116]"));
    EXPECT_FALSE(isFailureLine("cmd_ret:0"));
    EXPECT_FALSE(isFailureLine("app_id[R4vT7mWq2Z.Quorvex] install completed"));
}

TEST(InstallOutcome, OnlyTheInstallLogCanReportSuccess) {
    // An uninstall that completed is not an install; neither is a completed line in another log.
    const auto uninstalled = judgeInstallation(
        logs(connected, devices, installPath,
             "app_id[kR4vT7mWq2Z.Quorvex] uninstall start\napp_id[kR4vT7mWq2Z.Quorvex] uninstall "
             "completed\ncmd_ret:0\n",
             pushed, "app_id[kR4vT7mWq2Z.Quorvex] uninstall completed\ncmd_ret:0\n", appList));
    EXPECT_FALSE(uninstalled.succeeded);
    EXPECT_EQ(uninstalled.logFile, L"doLog\\step6.txt");

    const auto elsewhere = judgeInstallation(
        logs(connected, devices, installPath, installedPlain, pushed, "cmd_ret:0\n", appList));
    EXPECT_FALSE(elsewhere.succeeded);
}

TEST(InstallOutcome, EmptyAndMissingLogsAreFailuresPointingAtTheInstallLog) {
    const auto empty = judgeInstallation(logs("", "", "", "", "", "\r\n", ""));
    EXPECT_FALSE(empty.succeeded);
    EXPECT_TRUE(empty.reason.empty());
    EXPECT_EQ(empty.logFile, L"doLog\\step6.txt");
    EXPECT_EQ(empty.installLog, InstallLogProblem::empty);

    const auto missing =
        judgeInstallation(logs(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(missing.succeeded);
    EXPECT_EQ(missing.logFile, L"doLog\\step6.txt");
    EXPECT_EQ(missing.installLog, InstallLogProblem::missing);

    // Text, but nothing this program knows: the reason sends the user to read the log.
    const auto unknown =
        judgeInstallation(logs("", "", "", "", "", "\xCE\xF8\xE8\xE1\xEA\xE0\n", ""));
    EXPECT_EQ(unknown.installLog, InstallLogProblem::unrecognised);
    EXPECT_EQ(unknown.logFile, L"doLog\\step6.txt");
    // A telling line elsewhere is reason enough; the install log's own state is still told.
    const auto refused = judgeInstallation(
        logs("error: failed to connect to remote target '1.2.3.4'\n", "", "", "", "", nullptr, ""));
    EXPECT_EQ(refused.logFile, L"doLog\\step1.txt");
    EXPECT_EQ(refused.installLog, InstallLogProblem::missing);

    // A completed install whose log also holds a failure line is not trusted.
    const auto mixed =
        judgeInstallation(logs(connected, devices, installPath, nothingToUninstall, pushed,
                               "app_id[X] install completed\nerror: closed\n", appList));
    EXPECT_FALSE(mixed.succeeded);
    EXPECT_EQ(mixed.reason, L"error: closed");
}

TEST(InstallOutcome, OnlyLogsWrittenByThisRunAreJudged) {
    platform::memory::FakeClock clock;
    platform::memory::MemoryFileSystem files;
    files.clock = &clock;
    const RunRecord run{clock.wallTime(), {}};
    const auto completedAt = [&](std::chrono::system_clock::duration offset) {
        files.files[installLogFile] = installedPlain;
        files.writeTimes[installLogFile] = run.started + offset;
        return judgeInstallation(files, run);
    };
    EXPECT_TRUE(completedAt(std::chrono::seconds(5)).succeeded);
    // Within the two seconds a FAT volume may round a write time down.
    EXPECT_TRUE(completedAt(-std::chrono::seconds(1)).succeeded);
    const auto old = completedAt(-std::chrono::hours(20));
    EXPECT_FALSE(old.succeeded);
    EXPECT_EQ(old.installLog, InstallLogProblem::missing);

    // Fresh, but the run could not remove it first: it may be the old one, kept open.
    files.writeTimes[installLogFile] = run.started + std::chrono::seconds(5);
    const auto kept = judgeInstallation(files, {run.started, {installLogFile}});
    EXPECT_FALSE(kept.succeeded);
    EXPECT_EQ(kept.installLog, InstallLogProblem::missing);
}

TEST(InstallOutcome, LongOrUndecodableLinesAreShownSafely) {
    const std::string longLine = "error: " + std::string(2000, 'x') + "\n";
    const auto outcome = judgeInstallation(logs(longLine.c_str(), "", "", "", "", "", ""));
    EXPECT_LE(outcome.reason.size(), 301u);
    const auto bytes =
        judgeInstallation(logs("error: \xff\xfe bad bytes\n", "", "", "", "", "", ""));
    EXPECT_EQ(bytes.reason, L"error: \uFFFD\uFFFD bad bytes");
}

TEST(InstallOutcome, WhatStoppedTheToolItselfIsTheReason) {
    // cmd.exe writes its own words in the console's code page: 866 on a Russian system.
    const struct {
        const char* step1;
        std::wstring reason;
    } cases[] = {
        {"* Server is not running. Start it now on port 26099 *\n"
         "fail to create sdb server process: 123\nerror: failed to start server\n",
         L"fail to create sdb server process: 123"},
        {"Can't recognize 'iu.exe connect 192.168.1.5:26101' as an internal or external command, "
         "or batch script.\r\n",
         L"Can't recognize 'iu.exe connect 192.168.1.5:26101' as an internal or external command, "
         L"or batch script."},
        {"'iu.exe' is not recognized as an internal or external command,\r\n"
         "operable program or batch file.\r\n",
         L"'iu.exe' is not recognized as an internal or external command,"},
        {"\"iu.exe\" \xAD\xA5 \xEF\xA2\xAB\xEF\xA5\xE2\xE1\xEF \xA2\xAD\xE3\xE2\xE0\xA5\xAD\xAD\xA5"
         "\xA9 \xA8\xAB\xA8 \xA2\xAD\xA5\xE8\xAD\xA5\xA9 \xAA\xAE\xAC\xA0\xAD\xA4\xAE\xA9,\r\n",
         L"\"iu.exe\" не является внутренней или внешней командой,"},
        {"\x8E\xE2\xAA\xA0\xA7\xA0\xAD\xAE \xA2 \xA4\xAE\xE1\xE2\xE3\xAF\xA5.\r\n",
         L"Отказано в доступе."},
    };
    for (const auto& c : cases) {
        const auto outcome =
            judgeInstallation(logs(c.step1, c.step1, c.step1, c.step1, c.step1, c.step1, c.step1));
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.reason, c.reason) << c.step1;
        EXPECT_EQ(outcome.logFile, L"doLog\\step1.txt");
    }
}

}  // namespace
