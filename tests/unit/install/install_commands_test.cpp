#include "src/install/install_commands.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::wstring> allLines(const std::wstring& address, const std::wstring& staging) {
    std::vector<std::wstring> lines;
    for (const auto& command : installCommands) {
        lines.push_back(installCommandLine(command.step,
                                           {address, commandsApplicationId, widgetFile, staging}));
    }
    return lines;
}

TEST(InstallCommands, LinesForSeriesJK) {
    const std::vector<std::wstring> expected = {
        LR"(cmd.exe /c "iu.exe kill-server")",
        LR"(cmd.exe /c "iu.exe connect 192.168.1.5:26101 > doLog\step1.txt 2>&1")",
        LR"(cmd.exe /c "iu.exe devices > doLog\step2.txt 2>&1")",
        LR"(cmd.exe /c "iu.exe shell 0 getappinstallpath > doLog\step3.txt 2>&1")",
        LR"(cmd.exe /c "iu.exe shell 0 vd_appuninstall kR4vT7mWq2Z.Quorvex; echo cmd_ret:$?; > doLog\step4.txt 2>&1")",
        LR"(cmd.exe /c "iu.exe shell 0 mkdir /opt/usr/apps/tmp")",
        LR"(cmd.exe /c "iu.exe push Quorvex.wgt /opt/usr/apps/tmp/Quorvex.wgt > doLog\step5.txt 2>&1")",
        LR"(cmd.exe /c "iu.exe shell 0 vd_appinstall kR4vT7mWq2Z.Quorvex /opt/usr/apps/tmp/Quorvex.wgt; echo cmd_ret:$?; > doLog\step6.txt 2>&1")",
        LR"(cmd.exe /c "iu.exe shell 0 rmfile /opt/usr/apps/tmp/Quorvex.wgt")",
        LR"(cmd.exe /c "iu.exe shell 0 applist > doLog\step7.txt 2>&1")",
        LR"(cmd.exe /c "iu.exe kill-server")",
    };
    EXPECT_EQ(allLines(L"192.168.1.5", stagingDirs[0]), expected);
}

TEST(InstallCommands, LinesForSeriesMNQRT) {
    const auto lines = allLines(L"10.0.0.7", stagingDirs[1]);
    EXPECT_EQ(lines[1], LR"(cmd.exe /c "iu.exe connect 10.0.0.7:26101 > doLog\step1.txt 2>&1")");
    EXPECT_EQ(lines[5],
              LR"(cmd.exe /c "iu.exe shell 0 mkdir /home/owner/share/tmp/sdk_tools/tmp")");
    EXPECT_EQ(
        lines[6],
        LR"(cmd.exe /c "iu.exe push Quorvex.wgt /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt > doLog\step5.txt 2>&1")");
    EXPECT_EQ(
        lines[7],
        LR"(cmd.exe /c "iu.exe shell 0 vd_appinstall kR4vT7mWq2Z.Quorvex /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt; echo cmd_ret:$?; > doLog\step6.txt 2>&1")");
    EXPECT_EQ(
        lines[8],
        LR"(cmd.exe /c "iu.exe shell 0 rmfile /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt")");
}

TEST(InstallCommands, BothKillServersAreOneLineAndAnUnknownStepIsRefused) {
    // The first kill-server and the last are the same line; no other two commands are.
    EXPECT_EQ(installCommandLine(InstallStep::killServer, {}),
              installCommandLine(InstallStep::killServerAtEnd, {}));
    EXPECT_THROW(installCommandLine(static_cast<InstallStep>(11), {}), std::out_of_range);
}

}  // namespace
