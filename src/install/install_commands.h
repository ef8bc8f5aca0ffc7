#pragma once
// The eleven command lines of an installation and the progress they are worth.
#include <array>
#include <string>

inline constexpr int installCommandCount = 11;
inline constexpr int installStartPosition = 2;

struct InstallCommand {
    int progressStep;          // added to the progress bar once the command has ended
    bool namesStagingDir;      // built with the staging directory the series selects at that moment
    const wchar_t* logFile;    // where its output goes, or nullptr
    bool stopsServer = false;  // kill-server: answered by this computer alone, at once
};

inline constexpr std::array<InstallCommand, installCommandCount> installCommands = {{
    {4, false, nullptr, true},
    {12, false, L"doLog\\step1.txt"},
    {4, false, L"doLog\\step2.txt"},
    {5, false, L"doLog\\step3.txt"},
    {12, false, L"doLog\\step4.txt"},
    {9, true, nullptr},
    {12, true, L"doLog\\step5.txt"},
    {12, true, L"doLog\\step6.txt"},
    {9, true, nullptr},
    {9, false, L"doLog\\step7.txt"},
    {10, false, nullptr, true},
}};

// The log the installation's success is read from (the TV's install command).
inline constexpr const wchar_t* installLogFile = L"doLog\\step6.txt";

struct InstallNames {
    std::wstring address;  // a validated TV address: digits and full stops only
    std::wstring applicationId;
    std::wstring widgetFile;  // "Quorvex.wgt"
    std::wstring stagingDir;  // on the TV
};

// The full command line of command `index` (0 to 10), e.g. cmd.exe /c "iu.exe kill-server".
// Logged commands send both standard output and standard error to their log file, since the
// bridge tool reports its errors and its push results on standard error.
std::wstring installCommandLine(int index, const InstallNames& names);
