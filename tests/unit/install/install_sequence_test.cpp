// The install button over a recording fake runner and in-memory files: what runs, in which
// order, what the window shows meanwhile and at the end, and what is left on disk.
#include <gtest/gtest.h>

#include <set>

#include "platform/error.h"
#include "platform/memory/memory_form.h"
#include "src/app/installer_window.h"
#include "src/install/install_commands.h"
#include "src/texts/texts.h"
#include "tests/unit/fake_system.h"
#include "tests/unit/message_text.h"

using platform::Control;
using namespace std::chrono_literals;

namespace {

constexpr const char* installCompleted =
    "app_id[R4vT7mWq2Z.Quorvex] install start\napp_id[R4vT7mWq2Z.Quorvex] installing[100]\n"
    "app_id[R4vT7mWq2Z.Quorvex] install completed\nspend time for wascmd is [1843]ms\ncmd_ret:0\n";

class InstallSequence : public ::testing::Test {
  protected:
    void SetUp() override {
        os.resources.add(L"IUFILE", "MZ bridge tool");
        os.resources.add(L"WGTFILE", "PK widget");
        form.created();
        window.setText(Control::tvAddressBox, L"192.168.1.5");
        os.network.answers.bridgeOpen = true;  // a TV that looks ready when asked
    }

    // A TV that accepts everything: the install log reports completion. The recorder numbers
    // commands across runs; each run has eleven.
    void tvInstalls() {
        os.processes.onRun = [this](size_t started, const std::wstring&) {
            const auto& command = installCommands[started % installCommands.size()];
            if (command.logFile != nullptr) {
                os.files.files[command.logFile] =
                    command.step == InstallStep::install ? installCompleted : "ok\n";
            }
        };
    }

    FakeSystem os;
    platform::memory::MemoryForm window;
    InstallerWindow form{window, os.system};
};

TEST_F(InstallSequence, RefusesAnAddressThatIsNoIpv4AddressAndTouchesNothing) {
    for (const wchar_t* bad :
         {L"", L"192.1", L"1234567", L"192.168.1.5 & calc", L"192.168.1.256"}) {
        for (Language language : languages) {
            window.selectItem(Control::languageChoice, languageItem(language));
            form.languageChosen();
            window.setText(Control::tvAddressBox, bad);
            const auto status = window.text(Control::status);
            const size_t boxes = window.boxes().size();
            form.installClicked();
            ASSERT_EQ(window.boxes().size(), boxes + 1);
            EXPECT_EQ(window.boxes().back().text, text(msgBadTvIp, language));
            EXPECT_EQ(window.text(Control::status), status);
        }
    }
    EXPECT_TRUE(os.processes.started.empty());
    EXPECT_TRUE(os.files.log.empty());
    EXPECT_TRUE(window.positionHistory().empty());
}

TEST_F(InstallSequence, ASuccessfulRunRunsElevenCommandsAndCleansUp) {
    tvInstalls();
    std::vector<bool> installEnabledDuringRun;
    os.processes.onRun = [this, run = os.processes.onRun, &installEnabledDuringRun](
                             size_t i, const std::wstring& line) {
        installEnabledDuringRun.push_back(window.enabled(Control::installButton) ||
                                          window.enabled(Control::tvAddressBox) ||
                                          window.enabled(Control::seriesChoice));
        // While a command runs, both payloads are on disk and the status says so.
        EXPECT_EQ(os.files.files.at(L"iu.exe"), "MZ bridge tool");
        EXPECT_EQ(os.files.files.at(L"Quorvex.wgt"), "PK widget");
        EXPECT_EQ(window.text(Control::status), text(msgInstalling, Language::russian));
        run(i, line);
    };
    form.installClicked();

    ASSERT_EQ(os.processes.started.size(), 11u);
    for (size_t i = 0; i < installCommands.size(); ++i) {
        const auto& command = installCommands[i];
        EXPECT_EQ(os.processes.started[i],
                  installCommandLine(command.step,
                                     {L"192.168.1.5", L"kR4vT7mWq2Z.Quorvex", L"Quorvex.wgt",
                                      command.namesStagingDir ? L"/opt/usr/apps/tmp" : L""}));
    }
    EXPECT_EQ(window.positionHistory(),
              (std::vector<int>{2, 6, 18, 22, 27, 39, 48, 60, 72, 81, 90, 100}));
    EXPECT_EQ(installEnabledDuringRun, std::vector<bool>(11, false));
    EXPECT_TRUE(window.enabled(Control::installButton) && window.enabled(Control::tvAddressBox) &&
                window.enabled(Control::seriesChoice));
    EXPECT_TRUE(os.files.directories.contains(L"doLog"));
    EXPECT_FALSE(os.files.files.contains(L"iu.exe"));
    EXPECT_FALSE(os.files.files.contains(L"Quorvex.wgt"));
    EXPECT_EQ(window.text(Control::status), text(msgInstallDone, Language::russian));
    EXPECT_TRUE(window.boxes().empty());
}

TEST_F(InstallSequence, SecondSeriesStagesInItsOwnDirectoryAndAddressIsTrimmed) {
    tvInstalls();
    window.selectItem(Control::seriesChoice, 1);
    window.setText(Control::tvAddressBox, L" 10.0.0.7 ");
    form.installClicked();
    ASSERT_EQ(os.processes.started.size(), 11u);
    EXPECT_EQ(os.processes.started[1],
              LR"(cmd.exe /c "iu.exe connect 10.0.0.7:26101 > doLog\step1.txt 2>&1")");
    EXPECT_EQ(
        os.processes.started[6],
        LR"(cmd.exe /c "iu.exe push Quorvex.wgt /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt > doLog\step5.txt 2>&1")");
}

TEST_F(InstallSequence, FailureIsReportedWithItsReasonAfterEveryCommandRan) {
    os.processes.onRun = [this](size_t index, const std::wstring&) {
        const auto& command = installCommands[index];
        if (command.logFile != nullptr) {
            os.files.files[command.logFile] = command.step == InstallStep::connect
                                                  ? "failed to connect to 192.168.1.5:26101\n"
                                                  : "error: target not found\n";
        }
    };
    window.selectItem(Control::languageChoice, languageItem(Language::english));
    form.languageChosen();
    form.installClicked();
    EXPECT_EQ(os.processes.started.size(), 11u);
    EXPECT_EQ(window.position(), 100);
    EXPECT_EQ(window.text(Control::status), text(msgInstallFailed, Language::english));
    ASSERT_EQ(window.boxes().size(), 1u);
    EXPECT_EQ(window.boxes()[0].kind, platform::memory::MemoryForm::Box::error);
    // The TV looked ready when asked, so the cause is the refused connection itself.
    EXPECT_EQ(window.boxes()[0].text,
              fillIn(text(msgCauseNoConnection, Language::english), {L"192.168.1.5"}) +
                  L"\n\nfailed to connect to 192.168.1.5:26101\n(doLog\\step1.txt)");
}

TEST_F(InstallSequence, StaleLogsOfAnEarlierRunDoNotSpeakForThisOne) {
    os.files.files[L"doLog\\step6.txt"] = installCompleted;  // an earlier run's success
    os.files.files[L"doLog\\other.txt"] = "kept";
    os.files.files[L"iu.exe"] = std::string(100000, 'x');  // leftover, longer than the payload
    os.processes.onRun = [this](size_t index, const std::wstring&) {
        if (index == 0) {
            EXPECT_EQ(os.files.files.at(L"iu.exe"), "MZ bridge tool");
        }
    };  // no command writes a log, as when the interpreter cannot start
    form.installClicked();
    EXPECT_EQ(window.text(Control::status), text(msgInstallFailed, Language::russian));
    EXPECT_EQ(os.files.files.at(L"doLog\\other.txt"), "kept");
}

TEST_F(InstallSequence, ALanguageSwitchDuringARunKeepsTheInProgressTextInTheNewLanguage) {
    tvInstalls();
    const auto tv = os.processes.onRun;
    os.processes.onRun = [&](size_t index, const std::wstring& line) {
        tv(index, line);
        if (index == 3) {
            os.loop.post([&] {
                window.selectItem(Control::languageChoice, languageItem(Language::english));
                form.languageChosen();
            });
        }
        if (index == 4) {
            EXPECT_EQ(window.text(Control::status), text(msgInstalling, Language::english));
            EXPECT_EQ(window.text(Control::installButton), L"Widget Install");
        }
    };
    form.installClicked();
    EXPECT_EQ(os.loop.dispatches, 1);
    EXPECT_EQ(window.text(Control::status), text(msgInstallDone, Language::english));
    // After the run the prompt returns with a language switch, as before any run.
    window.selectItem(Control::languageChoice, languageItem(Language::russian));
    form.languageChosen();
    EXPECT_EQ(window.text(Control::status), text(msgPrompt, Language::russian));
}

TEST_F(InstallSequence, ASecondPressDuringARunStartsNothing) {
    tvInstalls();
    const auto tv = os.processes.onRun;
    os.processes.onRun = [&](size_t index, const std::wstring& line) {
        tv(index, line);
        if (index == 2)
            os.loop.post([&] { form.installClicked(); });
    };
    form.installClicked();
    EXPECT_EQ(os.processes.started.size(), 11u);
    EXPECT_EQ(window.position(), 100);
    EXPECT_TRUE(window.boxes().empty());
}

TEST_F(InstallSequence, ClosingTheWindowStopsTheServerAndStartsNoFurtherCommand) {
    tvInstalls();
    const auto tv = os.processes.onRun;
    os.processes.onRun = [&](size_t index, const std::wstring& line) {
        tv(index, line);
        if (index == 4)
            os.loop.post([&] { os.loop.quit = true; });
    };
    // The uninstall hangs on the TV, and so does the kill-server that follows the close.
    os.processes.hangs = [](size_t index) { return index >= 4; };
    const auto closed = os.clock.now();
    form.installClicked();

    ASSERT_EQ(os.processes.started.size(), 6u);
    EXPECT_EQ(os.processes.started[5], LR"(cmd.exe /c "iu.exe kill-server")");
    using Wait = std::pair<int, std::chrono::milliseconds>;
    EXPECT_EQ(os.processes.waitsWithoutInput.front(), (Wait{4, 10s}));
    EXPECT_EQ(os.processes.waitsWithoutInput.at(1), (Wait{5, 10s}));
    EXPECT_LE(os.clock.now() - closed, 25s);
    EXPECT_EQ(window.position(), 27);  // not moved for the command cut short
    EXPECT_EQ(window.text(Control::status), text(msgInstalling, Language::russian));
    EXPECT_TRUE(window.boxes().empty());
    EXPECT_FALSE(os.files.files.contains(L"Quorvex.wgt"));
    EXPECT_FALSE(os.files.files.contains(L"iu.exe"));

    form.installClicked();  // nothing starts once the application is ending
    EXPECT_EQ(os.processes.started.size(), 6u);
}

TEST_F(InstallSequence, TheToolIsDeletedOnceTheStoppedServerHasLetGoOfIt) {
    tvInstalls();
    // After the last kill-server the server holds iu.exe for a moment longer.
    int refusals = 0;
    os.processes.onRun = [&, tv = os.processes.onRun](size_t index, const std::wstring& line) {
        tv(index, line);
        if (index == 10)
            os.files.failingDeletes.insert(L"iu.exe");
    };
    os.files.onDelete = [&](const std::wstring& name) {
        if (name == L"iu.exe" && os.files.failingDeletes.contains(name) && ++refusals == 3)
            os.files.failingDeletes.erase(name);
    };
    form.installClicked();
    EXPECT_EQ(refusals, 3);
    EXPECT_FALSE(os.files.files.contains(L"iu.exe"));
    EXPECT_EQ(window.text(Control::status), text(msgInstallDone, Language::russian));
}

TEST_F(InstallSequence, AToolHeldByAnEarlierServerIsFreedByThatToolsKillServer) {
    tvInstalls();
    os.files.files[L"iu.exe"] = "an earlier copy, its server still running";
    os.files.failingDeletes.insert(L"iu.exe");
    os.files.heldFiles.insert(L"iu.exe");
    os.files.failingWrites[L"iu.exe"] = L"Sharing violation.";
    os.processes.onRun = [&, tv = os.processes.onRun](size_t index, const std::wstring& line) {
        if (os.processes.started.size() == 1) {
            EXPECT_EQ(line, LR"(cmd.exe /c "iu.exe kill-server")");
            os.files.failingDeletes.clear();
            os.files.failingWrites.clear();
            return;
        }
        tv(index - 1, line);
    };
    form.installClicked();
    EXPECT_EQ(os.processes.started.size(), 12u);
    EXPECT_EQ(window.text(Control::status), text(msgInstallDone, Language::russian));
}

TEST_F(InstallSequence, AToolThatStaysHeldIsExplainedInTheCurrentLanguage) {
    os.files.files[L"iu.exe"] = "held by another program";
    os.files.failingDeletes.insert(L"iu.exe");
    os.files.heldFiles.insert(L"iu.exe");
    os.files.failingWrites[L"iu.exe"] =
        L"The process cannot access the file because it is being used by another process.";
    window.setPosition(100);
    window.setText(Control::status, text(msgInstallDone, Language::russian));
    window.selectItem(Control::languageChoice, languageItem(Language::english));
    form.languageChosen();
    const auto before = os.clock.now();
    try {
        form.installClicked();
        FAIL() << "the write failure must leave the handler";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.message().find(fillIn(text(msgFileHeld, Language::english), {L"iu.exe"})), 0u);
        EXPECT_NE(e.message().find(L"being used by another process"), std::wstring::npos);
    }
    // The kill-server of the tool that is there, then five seconds for its server to let go.
    ASSERT_EQ(os.processes.started.size(), 1u);
    EXPECT_EQ(os.processes.started[0], LR"(cmd.exe /c "iu.exe kill-server")");
    EXPECT_GE(os.clock.now() - before, 5s);
    EXPECT_LT(os.clock.now() - before, 6s);
    EXPECT_EQ(window.position(), 100);
    // The check's text gives way again to what the status showed before the click.
    EXPECT_EQ(window.text(Control::status), text(msgPrompt, Language::english));
    EXPECT_FALSE(os.files.files.contains(L"Quorvex.wgt"));
    EXPECT_TRUE(window.enabled(Control::installButton) && window.enabled(Control::tvAddressBox));
}

TEST_F(InstallSequence, AWidgetThatCannotBeWrittenTakesTheWrittenToolAlong) {
    os.files.failingWrites[L"Quorvex.wgt"] = L"Access is denied.";
    try {
        form.installClicked();
        FAIL() << "the write failure must leave the handler";
    } catch (const platform::Error& e) {
        EXPECT_EQ(
            e.message().find(fillIn(text(msgFileNotWritable, Language::russian), {L"Quorvex.wgt"})),
            0u);
    }
    EXPECT_FALSE(os.files.files.contains(L"iu.exe"));
    EXPECT_TRUE(os.processes.started.empty());

    // A resource the build left out keeps its own message, and also takes the tool along.
    os.files.failingWrites.clear();
    os.resources.resources.erase(L"WGTFILE");
    try {
        form.installClicked();
        FAIL() << "a missing resource must leave the handler";
    } catch (const platform::Error& e) {
        EXPECT_NE(e.message().find(L"WGTFILE"), std::wstring::npos);
    }
    EXPECT_FALSE(os.files.files.contains(L"iu.exe"));
    EXPECT_TRUE(os.processes.started.empty());
}

TEST_F(InstallSequence, AnInstallLogThatSaysNothingStillGetsAReason) {
    const struct {
        std::optional<std::string> installLog;
        TextId reason;
    } cases[] = {
        {std::nullopt, msgLogMissing},
        {"\r\n  \r\n", msgLogEmpty},
        // A message in the console's code page, or a blocked program's complaint.
        {"\xCE\xF8\xE8\xE1\xEA\xE0 \xE4\xEE\xF1\xF2\xF3\xEF\xE0\r\n", msgLogUnrecognised},
    };
    for (const auto& c : cases) {
        os.processes.onRun = [&](size_t started, const std::wstring&) {
            const auto step = installCommands[started % installCommands.size()].step;
            if (step == InstallStep::install && c.installLog)
                os.files.files[installLogFile] = *c.installLog;
        };
        form.installClicked();
        EXPECT_EQ(window.text(Control::status), text(msgInstallFailed, Language::russian));
        ASSERT_FALSE(window.boxes().empty());
        EXPECT_EQ(window.boxes().back().text,
                  text(msgInstallFailed, Language::russian) + L"\n\n" +
                      fillIn(text(c.reason, Language::russian), {installLogFile}));
    }
}

TEST_F(InstallSequence, AnOldInstallLogThatCannotBeRemovedNeverSpeaksForThisRun) {
    os.files.files[installLogFile] = installCompleted;  // held open by an editor
    os.files.failingDeletes.insert(installLogFile);
    os.processes.onRun = [this](size_t index, const std::wstring&) {
        if (index == 1)
            os.files.files[L"doLog\\step1.txt"] =
                "error: failed to connect to remote target '192.168.1.5'\n";
    };
    form.installClicked();
    EXPECT_EQ(window.text(Control::status), text(msgInstallFailed, Language::russian));
    ASSERT_EQ(window.boxes().size(), 1u);
    const auto& report = window.boxes()[0].text;
    EXPECT_NE(report.find(L"error: failed to connect to remote target '192.168.1.5'\n"
                          L"(doLog\\step1.txt)"),
              std::wstring::npos);
    EXPECT_NE(report.find(fillIn(text(msgLogMissing, Language::russian), {installLogFile})),
              std::wstring::npos);
}

TEST_F(InstallSequence, AFailureWhileJudgingStillEndsWithTheFailureText) {
    tvInstalls();
    os.files.onRead = [](const std::wstring&) { throw std::bad_alloc(); };
    EXPECT_THROW(form.installClicked(), std::bad_alloc);
    EXPECT_EQ(window.text(Control::status), text(msgInstallFailed, Language::russian));
    EXPECT_TRUE(window.enabled(Control::installButton));
}

TEST_F(InstallSequence, ARunAfterARunStartsTheBarAgainFromTwo) {
    tvInstalls();
    form.installClicked();
    form.installClicked();
    const auto& history = window.positionHistory();
    ASSERT_EQ(history.size(), 24u);
    EXPECT_EQ(history[11], 100);
    EXPECT_EQ(history[12], 2);
    EXPECT_EQ(os.processes.started.size(), 22u);
}

TEST_F(InstallSequence, AFolderTheToolCannotSpellRunsItFromTheProgramsOwnFolderOrSaysSo) {
    const std::wstring own = L"C:\\ProgramData\\Quorvex\\S-1-5-21-1";
    const struct {
        const wchar_t* current;
        std::optional<std::wstring> own;
        std::wstring toolWritten;  // empty: the box says so and nothing runs
    } cases[] = {
        {L"C:\\Users\\Ivan\\Downloads", own, L"iu.exe"},
        {L"C:\\Users\\Иван\\Downloads", own, own + L"\\iu.exe"},
        {L"C:\\Users\\Иван", std::nullopt, L""},
        {L"C:\\Users\\Иван", L"C:\\Users\\Иван\\AppData\\Quorvex", L""},
        {L"C:\\Users\\Иван", L"C:\\Data;x\\Quorvex", L""},
    };
    std::vector<std::wstring> plainLines;
    for (const auto& c : cases) {
        for (Language language : languages) {
            SCOPED_TRACE(c.current);
            FakeSystem os;
            platform::memory::MemoryForm window;
            InstallerWindow form{window, os.system};
            os.resources.add(L"IUFILE", "MZ bridge tool");
            os.resources.add(L"WGTFILE", "PK widget");
            os.network.answers.bridgeOpen = true;
            form.created();
            window.selectItem(Control::languageChoice, languageItem(language));
            form.languageChosen();
            window.setText(Control::tvAddressBox, L"192.168.1.5");
            os.toolFolders.current = c.current;
            os.toolFolders.unspellable = L"Иван";
            os.toolFolders.own = c.own;
            std::set<std::wstring> toolsSeen;
            os.processes.onRun = [&](size_t i, const std::wstring&) {
                for (const auto& [name, bytes] : os.files.files)
                    if (bytes == "MZ bridge tool")
                        toolsSeen.insert(name);
                if (const wchar_t* log = installCommands[i].logFile) {
                    os.files.files[log] =
                        installCommands[i].step == InstallStep::install ? installCompleted : "ok\n";
                }
            };
            form.installClicked();
            if (c.toolWritten.empty()) {
                ASSERT_EQ(window.boxes().size(), 1u);
                EXPECT_EQ(window.boxes()[0].text,
                          fillIn(text(msgFolderUnspellable, language), {c.current}));
                EXPECT_TRUE(os.files.log.empty() && os.processes.started.empty());
                continue;
            }
            // The same eleven lines wherever the tool lies, and the only tool they can find.
            ASSERT_EQ(os.processes.started.size(), 11u);
            if (plainLines.empty())
                plainLines = os.processes.started;
            EXPECT_EQ(os.processes.started, plainLines);
            EXPECT_EQ(toolsSeen, std::set<std::wstring>{c.toolWritten});
            EXPECT_EQ(os.toolFolders.searched, c.toolWritten == L"iu.exe"
                                                   ? std::vector<std::wstring>{}
                                                   : std::vector<std::wstring>{own});
            EXPECT_FALSE(os.files.files.contains(c.toolWritten));
            EXPECT_EQ(window.text(Control::status), text(msgInstallDone, language));
        }
    }
}

TEST_F(InstallSequence, AnIuExeThatStaysInAFolderTheToolCannotSpellStopsTheRun) {
    // The commands would run it instead of the one in the own folder.
    os.toolFolders.current = L"C:\\Users\\Иван\\Downloads";
    os.toolFolders.unspellable = L"Иван";
    os.files.files[L"iu.exe"] = "an old tool";
    os.files.failingDeletes.insert(L"iu.exe");
    try {
        form.installClicked();
        FAIL() << "a held iu.exe must leave the handler";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.message(), fillIn(text(msgFileHeld, Language::russian), {L"iu.exe"}));
    }
    ASSERT_EQ(os.processes.started.size(), 1u);  // its own kill-server only
    EXPECT_EQ(os.processes.started[0], LR"(cmd.exe /c "iu.exe kill-server")");
    EXPECT_EQ(os.files.files.at(L"iu.exe"), "an old tool");
    EXPECT_FALSE(os.files.files.contains(L"C:\\ProgramData\\Quorvex\\S-1-5-21-1\\iu.exe"));
    EXPECT_FALSE(os.files.files.contains(L"Quorvex.wgt"));
}

}  // namespace
