#include "src/install/install_commands.h"

#include <stdexcept>

namespace {

std::wstring innerCommand(InstallStep step, const InstallNames& n) {
    const std::wstring remotePackage = n.stagingDir + L"/" + n.widgetFile;
    switch (step) {
        case InstallStep::killServer:
        case InstallStep::killServerAtEnd:
            return L"iu.exe kill-server";
        case InstallStep::connect:
            return L"iu.exe connect " + n.address + L":26101";
        case InstallStep::listDevices:
            return L"iu.exe devices";
        case InstallStep::askInstallPath:
            return L"iu.exe shell 0 getappinstallpath";
        case InstallStep::uninstallOld:
            return L"iu.exe shell 0 vd_appuninstall " + n.applicationId + L"; echo cmd_ret:$?;";
        case InstallStep::makeStagingDir:
            return L"iu.exe shell 0 mkdir " + n.stagingDir;
        case InstallStep::push:
            return L"iu.exe push " + n.widgetFile + L" " + remotePackage;
        case InstallStep::install:
            return L"iu.exe shell 0 vd_appinstall " + n.applicationId + L" " + remotePackage +
                   L"; echo cmd_ret:$?;";
        case InstallStep::removePushed:
            return L"iu.exe shell 0 rmfile " + remotePackage;
        case InstallStep::listApps:
            return L"iu.exe shell 0 applist";
    }
    throw std::out_of_range("installCommandLine: no such step");
}

}  // namespace

std::wstring installCommandLine(InstallStep step, const InstallNames& names) {
    std::wstring inner = innerCommand(step, names);
    for (const auto& command : installCommands) {
        if (command.step == step && command.logFile != nullptr) {
            inner += L" > ";
            inner += command.logFile;
            inner += L" 2>&1";
        }
    }
    return L"cmd.exe /c \"" + inner + L"\"";
}
