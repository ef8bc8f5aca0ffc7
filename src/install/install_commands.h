#pragma once
// The eleven command lines of an installation and the progress they are worth.
#include <array>
#include <numeric>
#include <string>

// The widget's file, written into the current folder and pushed to the TV.
inline constexpr const wchar_t* widgetFile = L"Quorvex.wgt";

// The application id the uninstall and install commands name. It is not the id the package's own
// config.xml declares ("R4vT7mWq2Z.Quorvex", one letter shorter): a TV installs a package under
// the id its config.xml gives, whatever the command names, and the uninstall of this id finds
// nothing to remove ("uninstall failed[132]", which is no failure). The two lines stay as they
// have always been, for the logs users and guides compare; removing another author's copy (-11)
// names the package's own id (signing/widget_ids.h).
inline constexpr const wchar_t* commandsApplicationId = L"kR4vT7mWq2Z.Quorvex";

// The staging directory on the TV, by the series chosen: "J,K" (Tizen 2.x) and "M,N,Q,R,T".
inline constexpr const wchar_t* stagingDirs[] = {L"/opt/usr/apps/tmp",
                                                 L"/home/owner/share/tmp/sdk_tools/tmp"};

// What each of the eleven commands does, in the order they run.
enum class InstallStep {
    killServer,       // a server left from before would hold iu.exe and the TV
    connect,          // to the TV's bridge on port 26101
    listDevices,      // for the log
    askInstallPath,   // for the log
    uninstallOld,     // the widget's earlier copy, by its fixed id
    makeStagingDir,   // on the TV, where the package is pushed
    push,             // the widget package
    install,          // the pushed package
    removePushed,     // the pushed package, from the staging directory
    listApps,         // for the log
    killServerAtEnd,  // before iu.exe is removed
};

struct InstallCommand {
    InstallStep step;
    int progressStep;          // added to the progress bar once the command has ended
    bool namesStagingDir;      // built with the staging directory the series selects at that moment
    const wchar_t* logFile;    // where its output goes, or nullptr
    bool stopsServer = false;  // kill-server: answered by this computer alone, at once
};

inline constexpr std::array<InstallCommand, 11> installCommands = {{
    {InstallStep::killServer, 4, false, nullptr, true},
    {InstallStep::connect, 12, false, L"doLog\\step1.txt"},
    {InstallStep::listDevices, 4, false, L"doLog\\step2.txt"},
    {InstallStep::askInstallPath, 5, false, L"doLog\\step3.txt"},
    {InstallStep::uninstallOld, 12, false, L"doLog\\step4.txt"},
    {InstallStep::makeStagingDir, 9, true, nullptr},
    {InstallStep::push, 12, true, L"doLog\\step5.txt"},
    {InstallStep::install, 12, true, L"doLog\\step6.txt"},
    {InstallStep::removePushed, 9, true, nullptr},
    {InstallStep::listApps, 9, false, L"doLog\\step7.txt"},
    {InstallStep::killServerAtEnd, 10, false, nullptr, true},
}};

// The progress bar stands here once the payloads are written; the commands' steps take it to 100.
inline constexpr int installStartPosition = 2;
inline constexpr int commandsProgress = std::accumulate(
    installCommands.begin(), installCommands.end(), 0,
    [](int sum, const InstallCommand& command) { return sum + command.progressStep; });
static_assert(installStartPosition + commandsProgress == 100);

// The log the installation's success is read from (the TV's install command).
inline constexpr const wchar_t* installLogFile = L"doLog\\step6.txt";

struct InstallNames {
    std::wstring address;  // a validated TV address: digits and full stops only
    std::wstring applicationId;
    std::wstring widgetFile;  // "Quorvex.wgt"
    std::wstring stagingDir;  // on the TV
};

// The full command line of a step, e.g. cmd.exe /c "iu.exe kill-server". Logged commands send
// both standard output and standard error to their log file, since the bridge tool reports its
// errors and its push results on standard error.
std::wstring installCommandLine(InstallStep step, const InstallNames& names);
