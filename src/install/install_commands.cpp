#include "src/install/install_commands.h"

#include <stdexcept>

std::wstring installCommandLine(int index, const InstallNames& n) {
    const std::wstring remotePackage = n.stagingDir + L"/" + n.widgetFile;
    std::wstring inner;
    switch (index) {
        case 0:
            inner = L"iu.exe kill-server";
            break;
        case 1:
            inner = L"iu.exe connect " + n.address + L":26101";
            break;
        case 2:
            inner = L"iu.exe devices";
            break;
        case 3:
            inner = L"iu.exe shell 0 getappinstallpath";
            break;
        case 4:
            inner = L"iu.exe shell 0 vd_appuninstall " + n.applicationId + L"; echo cmd_ret:$?;";
            break;
        case 5:
            inner = L"iu.exe shell 0 mkdir " + n.stagingDir;
            break;
        case 6:
            inner = L"iu.exe push " + n.widgetFile + L" " + remotePackage;
            break;
        case 7:
            inner = L"iu.exe shell 0 vd_appinstall " + n.applicationId + L" " + remotePackage +
                    L"; echo cmd_ret:$?;";
            break;
        case 8:
            inner = L"iu.exe shell 0 rmfile " + remotePackage;
            break;
        case 9:
            inner = L"iu.exe shell 0 applist";
            break;
        case 10:
            inner = L"iu.exe kill-server";
            break;
        default:
            throw std::out_of_range("installCommandLine: no such command");
    }
    if (const wchar_t* log = installCommands[static_cast<size_t>(index)].logFile) {
        inner += L" > ";
        inner += log;
        inner += L" 2>&1";
    }
    return L"cmd.exe /c \"" + inner + L"\"";
}
