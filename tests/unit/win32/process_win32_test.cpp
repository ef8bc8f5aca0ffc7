// The runner over real child processes on Windows (run under Wine): cmd.exe lines, input posted
// to a window of the test's thread, the application's own message loop.
#include "platform/win32/process_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "platform/text.h"
#include "platform/win32/application.h"
#include "src/install/command_runner.h"
#include "tests/time_limits.h"
#include "tests/unit/helpers/counting_platform.h"
#include "tests/unit/win32/win32_test_support.h"

using namespace std::chrono_literals;
using platform::WaitResult;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

DWORD handleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

// The handle values open in this process. Wine answers GetProcessHandleCount with 0, so the
// tests also compare these.
std::set<uintptr_t> openHandles() {
    std::set<uintptr_t> open;
    for (uintptr_t value = 4; value < 16384; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            open.insert(value);
    }
    return open;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

template <typename Predicate>
bool eventually(Predicate predicate, std::chrono::milliseconds limit = 60s) {
    const auto deadline = Clock::now() + test_time::limit(limit);
    while (!predicate()) {
        if (Clock::now() > deadline)
            return false;
        Sleep(20);
    }
    return true;
}

// Visible top-level windows, with the process each belongs to.
std::set<std::pair<HWND, DWORD>> visibleWindows() {
    std::set<std::pair<HWND, DWORD>> found;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            if (IsWindowVisible(window)) {
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                reinterpret_cast<std::set<std::pair<HWND, DWORD>>*>(list)->insert(
                    {window, process});
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A helper copy in the working directory, run through cmd.exe as the program runs iu.exe.
std::wstring helperLine(const std::wstring& arguments) {
    return L"cmd.exe /c \"quorvex_test_helper.exe " + arguments + L"\"";
}

// A helper that writes `file` only once the test writes go.txt (or a hang-catching limit passed).
std::wstring afterGo(const std::wstring& file) {
    return helperLine(L"await go.txt " + std::to_wstring(test_time::limitMs(60000)) + L" " + file);
}
void letGo() {
    std::ofstream("go.txt") << "go";
}

class Win32RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(test::helperProgram(), L"quorvex_test_helper.exe");
        // Make sure this thread has a message queue before another thread posts to it.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    void TearDown() override {
        if (poster_.joinable())
            poster_.join();
    }
    void postLater(std::chrono::milliseconds delay) {
        poster_ = std::thread([this, delay] {
            std::this_thread::sleep_for(delay);
            input.post();
        });
    }

    test::TempDir dir;
    platform::win32::Win32Processes real;
    platform::win32::Application application;
    test::CountingProcesses processes{real};
    test::CountingLoop loop{application};
    platform::SystemClock clock;
    test::InputWindow input;

  private:
    std::thread poster_;
};

TEST_F(Win32RunnerTest, AnEmptyLineOrMissingProgramLeavesNoHandleOpen) {
    const DWORD before = handleCount();
    const auto handlesBefore = openHandles();
    runCommand(processes, loop, clock, L"");
    runCommand(processes, loop, clock, L"quorvex-no-such-program.exe /x");
    EXPECT_EQ(handleCount(), before);
    EXPECT_EQ(openHandles(), handlesBefore);
    EXPECT_FALSE(processes.started);
    EXPECT_TRUE(processes.waits.empty());
    EXPECT_EQ(loop.dispatches, 0);
}

TEST_F(Win32RunnerTest, AChildEndingWithoutInputIsWaitedForOnceAndLeavesNoHandleOpen) {
    runCommand(processes, loop, clock,
               helperLine(L"sleep 0 warm-up.txt"));  // first start loads more
    processes.waits.clear();
    const DWORD before = handleCount();
    const auto handlesBefore = openHandles();
    runCommand(processes, loop, clock, helperLine(L"sleep 100 ended.txt"));
    EXPECT_EQ(handleCount(), before);
    EXPECT_EQ(openHandles(), handlesBefore);
    EXPECT_TRUE(fs::exists("ended.txt"));
    EXPECT_EQ(processes.waits, std::vector{WaitResult::signalled});
    EXPECT_EQ(loop.dispatches, 0);
}

TEST_F(Win32RunnerTest, InputQueuedBeforeTheWaitStartsIsServedAtOnce) {
    bool dispatched = false;
    bool childEndedBeforeDispatch = true;
    input.onInput = [&] {
        dispatched = true;
        childEndedBeforeDispatch = fs::exists("ended.txt");
        letGo();
    };
    input.post();
    // A peek that leaves the message queued marks it as seen: a wait for new input only would
    // now sleep through it until the child ends.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    runCommand(processes, loop, clock, afterGo(L"ended.txt"));
    EXPECT_TRUE(dispatched);
    EXPECT_FALSE(childEndedBeforeDispatch);
    ASSERT_FALSE(processes.waits.empty());
    EXPECT_EQ(processes.waits.front(), WaitResult::inputWaiting);
}

TEST_F(Win32RunnerTest, InputIsDispatchedWhileTheChildRunsAndTheRunLastsUntilTheChildEnds) {
    // The child ends only after the handler ran: a runner that held the input back until the
    // child's end would see it end first, after the limit.
    bool childEndedBeforeDispatch = true;
    input.onInput = [&] {
        childEndedBeforeDispatch = fs::exists("ended.txt");
        letGo();
    };
    postLater(300ms);
    runCommand(processes, loop, clock, afterGo(L"ended.txt"));
    EXPECT_TRUE(fs::exists("ended.txt"));
    EXPECT_FALSE(childEndedBeforeDispatch);
    ASSERT_FALSE(processes.waits.empty());
    EXPECT_EQ(processes.waits.front(), WaitResult::inputWaiting);
    EXPECT_EQ(processes.waits.back(), WaitResult::signalled);
    EXPECT_FALSE(application.terminated());
}

TEST_F(Win32RunnerTest, QuitDuringTheWaitReturnsWhileTheChildRunsOn) {
    // The child ends only once the test lets it, after the run returned.
    input.onInput = [] { PostQuitMessage(0); };
    postLater(300ms);
    runCommand(processes, loop, clock, afterGo(L"ended.txt"));
    EXPECT_TRUE(application.terminated());
    EXPECT_FALSE(fs::exists("ended.txt"));
    EXPECT_EQ(processes.waits.back(), WaitResult::timedOut);
    letGo();
    EXPECT_TRUE(eventually([] { return fs::exists("ended.txt"); })) << "the child did not run on";
}

TEST_F(Win32RunnerTest, ARunFromAHandlerEndsFirstAndTheOuterRunAtItsChildsEnd) {
    bool innerEnded = false;
    bool outerEndedBeforeInner = true;
    // The outer child ends only after the inner run returned.
    input.onInput = [&] {
        runCommand(processes, loop, clock, helperLine(L"sleep 100 inner.txt"));
        innerEnded = fs::exists("inner.txt");
        outerEndedBeforeInner = fs::exists("outer.txt");
        letGo();
    };
    postLater(300ms);
    runCommand(processes, loop, clock, afterGo(L"outer.txt"));
    EXPECT_TRUE(innerEnded);
    EXPECT_FALSE(outerEndedBeforeInner);
    EXPECT_TRUE(fs::exists("outer.txt"));
    EXPECT_EQ(processes.starts, 2);
}

// Every window that becomes visible while the command runs, other than those visible before.
std::set<std::pair<HWND, DWORD>> windowsShownDuring(const std::function<void()>& run) {
    const auto before = visibleWindows();
    std::set<std::pair<HWND, DWORD>> appeared;
    const auto look = [&] {
        for (const auto& window : visibleWindows()) {
            if (!before.contains(window))
                appeared.insert(window);
        }
    };
    std::atomic<bool> running = true;
    std::thread watcher([&] {
        while (running) {
            look();
            Sleep(20);
        }
    });
    run();
    running = false;
    watcher.join();
    look();
    return appeared;
}

std::string describe(const std::set<std::pair<HWND, DWORD>>& windows) {
    std::string text;
    for (const auto& [window, process] : windows) {
        wchar_t className[256] = L"";
        GetClassNameW(window, className, 256);
        text += "class " + platform::toUtf8(className) + " of process " + std::to_string(process) +
                "; ";
    }
    return text;
}

TEST_F(Win32RunnerTest, NoWindowOfTheChildBecomesVisible) {
    // The watch does see a window that becomes visible.
    HWND own = CreateWindowExW(0, L"STATIC", L"visible", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(windowsShownDuring([&] { ShowWindow(own, SW_SHOWNORMAL); }).size(), 1u);
    DestroyWindow(own);

    // The command interpreter's console.
    auto shown = windowsShownDuring(
        [&] { runCommand(processes, loop, clock, helperLine(L"sleep 1500 ended.txt")); });
    EXPECT_TRUE(fs::exists("ended.txt"));
    EXPECT_TRUE(shown.empty()) << describe(shown);

    // Under Wine no console window shows either way; what the child is told is checked too.
    runCommand(processes, loop, clock, L"quorvex_test_helper.exe startup startup.txt");
    EXPECT_EQ(readAll("startup.txt"), "show " + std::to_string(SW_HIDE));
}

TEST_F(Win32RunnerTest, TheChildSeesTheLineExactlyAsGiven) {
    const std::wstring line = L"quorvex_test_helper.exe cmdline line.txt  \"a b\" \u0436";
    runCommand(processes, loop, clock, line);
    EXPECT_EQ(readAll("line.txt"), platform::toUtf8(line));
}

// A copy of the helper named cmd.exe; removed again even when the test fails.
class PlantedCmd {
  public:
    explicit PlantedCmd(fs::path directory) : path_(directory / L"cmd.exe") {
        fs::copy_file(test::helperProgram(), path_, fs::copy_options::overwrite_existing);
    }
    PlantedCmd(const PlantedCmd&) = delete;
    PlantedCmd& operator=(const PlantedCmd&) = delete;
    ~PlantedCmd() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }

  private:
    fs::path path_;
};

TEST_F(Win32RunnerTest, ACmdExePlantedInTheCurrentDirectoryOrBesideTheProgramNeverRuns) {
    const PlantedCmd inCurrent(fs::current_path());
    const PlantedCmd besideProgram(test::exeDirectory());
    for (const std::wstring first : {L"cmd.exe", L"CMD.EXE", L"\"cmd.exe\""}) {
        SCOPED_TRACE(platform::toUtf8(first));
        std::error_code ignored;
        fs::remove("real.txt", ignored);
        runCommand(processes, loop, clock, first + L" /c echo real> real.txt");
        EXPECT_EQ(readAll("real.txt"), "real\r\n");
        EXPECT_FALSE(fs::exists("quorvex-helper-ran.txt"));
        EXPECT_FALSE(fs::exists(test::exeDirectory() / L"quorvex-helper-ran.txt"));
    }
}

TEST_F(Win32RunnerTest, ADllPlantedBesideTheProgramIsNotLoadedOnceSearchIsRestricted) {
    fs::copy_file(test::exeDirectory() / L"quorvex_planted.dll", L"quorvex_planted.dll");
    runCommand(processes, loop, clock,
               L"quorvex_test_helper.exe dll open quorvex_planted.dll open.txt");
    runCommand(processes, loop, clock,
               L"quorvex_test_helper.exe dll restrict quorvex_planted.dll restrict.txt");
    EXPECT_EQ(readAll("open.txt"), "loaded")
        << "the planted DLL should load without the restriction";
    EXPECT_EQ(readAll("restrict.txt"), "refused");
}

}  // namespace
