// The simulated TV's options and what it says about itself: each model year's conventions in the
// device description, the retail shell's refusals, and its answers to malformed requests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tools/tvsim/device_description.h"
#include "tools/tvsim/options.h"
#include "tools/tvsim/shell_line.h"
#include "tools/tvsim/tv.h"

namespace {

using tvsim::DeveloperMode;
using tvsim::TvOptions;

TvOptions optionsOf(std::vector<std::string> args) {
    args.insert(args.end(), {"--address", "127.0.0.5", "--state", "/tmp/tv"});
    auto parsed = tvsim::parseOptions(args);
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        ADD_FAILURE() << *problem;
        return {};
    }
    return std::get<TvOptions>(parsed);
}

std::string problemOf(std::vector<std::string> args) {
    auto parsed = tvsim::parseOptions(args);
    auto* problem = std::get_if<std::string>(&parsed);
    return problem ? *problem : std::string("(accepted)");
}

// "key":"value" in the description, or "(absent)".
std::string field(const std::string& json, const std::string& key) {
    const std::string marker = "\"" + key + "\":\"";
    const auto at = json.find(marker);
    if (at == std::string::npos) {
        return "(absent)";
    }
    const auto start = at + marker.size();
    return json.substr(start, json.find('"', start) - start);
}

TEST(TvOptions, TheYearSetsTizenStagingAndModelCode) {
    const TvOptions jk = optionsOf({"--year", "2016"});
    EXPECT_EQ(jk.tizen, "2.4");
    EXPECT_EQ(jk.stagingDir(), "/opt/usr/apps/tmp");
    EXPECT_EQ(jk.otherStagingDir(), "/home/owner/share/tmp/sdk_tools/tmp");
    EXPECT_EQ(jk.modelCode.substr(0, 3), "16_");
    const TvOptions later = optionsOf({"--year", "2022"});
    EXPECT_EQ(later.tizen, "6.5");
    EXPECT_EQ(later.stagingDir(), "/home/owner/share/tmp/sdk_tools/tmp");
    EXPECT_EQ(later.modelCode, "22_KANTSU2E_UB2");
    EXPECT_FALSE(later.certificateRequired());
    EXPECT_TRUE(optionsOf({"--year", "2023"}).certificateRequired());
    EXPECT_EQ(optionsOf({"--year", "2025"}).tizen, "9.0");
    EXPECT_EQ(optionsOf({"--tizen", "9.0"}).year, 2025);
    // A Tizen version alone stands for its year; with a year, a set upgraded to it.
    EXPECT_EQ(optionsOf({"--tizen", "4.0"}).year, 2018);
    const TvOptions upgraded = optionsOf({"--year", "2023", "--tizen", "8.0"});
    EXPECT_EQ(upgraded.year, 2023);
    EXPECT_EQ(upgraded.tizen, "8.0");
}

TEST(TvOptions, RefusesWhatNoSetIs) {
    EXPECT_NE(problemOf({"--year", "2014"}).find("2015 to 2025"), std::string::npos);
    EXPECT_NE(problemOf({"--year", "2026"}).find("2015 to 2025"), std::string::npos);
    EXPECT_NE(problemOf({"--tizen", "3.5"}).find("unknown Tizen version"), std::string::npos);
    EXPECT_NE(problemOf({"--old-api", "--year", "2016", "--address", "127.0.0.5", "--state", "s"})
                  .find("2015"),
              std::string::npos);
    EXPECT_NE(problemOf({"--developer-mode", "maybe"}).find("on, off or pending"),
              std::string::npos);
    EXPECT_NE(problemOf({"--port", "70000"}).find("port number"), std::string::npos);
    EXPECT_NE(problemOf({"--state", "s"}).find("address"), std::string::npos);
    EXPECT_NE(problemOf({"--slow"}).find("needs a value"), std::string::npos);
}

// The bench script signed-install.sh covers getduid and the device profile push.
TEST(TvOptions, CertificateOptions) {
    const auto pem = std::filesystem::temp_directory_path() / "quorvex-bench-root.pem";
    std::ofstream(pem) << "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n";
    struct Case {
        std::vector<std::string> args;
        const char* problem;  // nullptr: accepted
    };
    const std::vector<Case> cases = {
        {{"--clock", "2026-12-09T16:30:00Z"}, nullptr},
        {{"--clock", "2026-12-09 16:30:00"}, "YYYY-MM-DDTHH:MM:SSZ"},
        {{"--clock", "2026-13-09T16:30:00Z"}, "YYYY-MM-DDTHH:MM:SSZ"},
        {{"--clock", "2026-12-09T16:30:00+01"}, "YYYY-MM-DDTHH:MM:SSZ"},
        {{"--trusted-root", pem.string()}, nullptr},
        {{"--trusted-root", "/nonexistent/root.pem"}, "PEM certificate"},
        {{"--duid", "has space"}, "without spaces"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--address", "127.0.0.5", "--state", "/tmp/tv"});
        const std::string problem = problemOf(args);
        if (c.problem) {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.args[1] << ": " << problem;
        } else {
            EXPECT_EQ(problem, "(accepted)") << c.args[1];
        }
    }
    EXPECT_EQ(tvsim::parseClock("1970-01-02T00:00:01Z"), 86401);
    EXPECT_EQ(tvsim::parseClock("2024-02-29T12:00:00Z"), 1709208000);
    // Only a 2023+ set (or one demanding certificates) that trusts a root checks signatures.
    EXPECT_FALSE(optionsOf({"--year", "2023"}).checksSignatures());
    EXPECT_FALSE(optionsOf({"--year", "2022", "--trusted-root", pem.string()}).checksSignatures());
    EXPECT_TRUE(optionsOf({"--tizen", "8.0", "--trusted-root", pem.string()}).checksSignatures());
    std::filesystem::remove(pem);
}

TEST(DeviceDescription, DeveloperModeAndHostPcIpFollowEachYearsConventions) {
    struct Case {
        std::vector<std::string> args;
        const char* mode;
        const char* ip;
    };
    const std::vector<Case> cases = {
        {{"--year", "2015", "--developer-mode", "off"}, "0", ""},
        {{"--year", "2016", "--developer-mode", "off"}, "0", ""},
        {{"--year", "2017", "--developer-mode", "off"}, "0", "0.0.0.0"},
        {{"--year", "2024", "--developer-mode", "off"}, "0", "0.0.0.0"},
        {{"--year", "2019", "--host-ip", "192.168.1.64"}, "1", "192.168.1.64"},
        // Switched on, the address typed in, but not active until a power cycle.
        {{"--year", "2021", "--developer-mode", "pending", "--host-ip", "10.0.0.2"},
         "0",
         "10.0.0.2"},
        {{"--year", "2020", "--rtl", "--host-ip", "192.168.1.2"}, "1", "2.1.168.192"},
    };
    for (const auto& c : cases) {
        const TvOptions options = optionsOf(c.args);
        const std::string json = tvsim::apiV2Description(options);
        EXPECT_EQ(field(json, "developerMode"), c.mode) << json;
        EXPECT_EQ(field(json, "developerIP"), c.ip) << json;
        EXPECT_EQ(field(json, "model").substr(0, 2), std::to_string(options.year).substr(2));
        EXPECT_EQ(field(json, "modelName"), options.modelName);
    }
}

TEST(DeviceDescription, PowerStateFrom2019AndTheBridgePortOnlyWhenOnAndAwake) {
    EXPECT_EQ(field(tvsim::apiV2Description(optionsOf({"--year", "2018"})), "PowerState"),
              "(absent)");
    EXPECT_EQ(field(tvsim::apiV2Description(optionsOf({"--year", "2019"})), "PowerState"), "on");
    const TvOptions asleep = optionsOf({"--year", "2022", "--standby"});
    EXPECT_EQ(field(tvsim::apiV2Description(asleep), "PowerState"), "standby");
    EXPECT_FALSE(asleep.bridgeListens());
    EXPECT_FALSE(optionsOf({"--developer-mode", "pending"}).bridgeListens());
    EXPECT_FALSE(optionsOf({"--developer-mode", "off"}).bridgeListens());
    EXPECT_TRUE(optionsOf({}).bridgeListens());
}

TEST(TvOptions, WhenTheTvComesOnAndItsBridgePortOpens) {
    struct Case {
        std::vector<std::string> args;
        std::optional<int> on;      // seconds after the start; nothing: never
        std::optional<int> bridge;  // likewise
    };
    const std::vector<Case> cases = {
        {{}, 0, 0},
        {{"--bridge-after", "3"}, 0, 3},
        {{"--standby-for", "5"}, 5, 5},
        {{"--standby-for", "5", "--bridge-after", "3"}, 5, 5},
        {{"--standby-for", "2", "--bridge-after", "4"}, 2, 4},
        {{"--standby"}, std::nullopt, std::nullopt},
        {{"--standby-for", "2", "--developer-mode", "off"}, 2, std::nullopt},
        {{"--developer-mode", "pending"}, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        const TvOptions options = optionsOf(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(options.onAfter(), c.on) << label;
        EXPECT_EQ(options.bridgeOpensAfter(), c.bridge) << label;
        EXPECT_EQ(options.bridgeListens(), c.bridge.has_value()) << label;
    }
    // A TV waiting to open its bridge says from the start that developer mode is on, for us.
    const std::string json = tvsim::apiV2Description(
        optionsOf({"--bridge-after", "30", "--year", "2021", "--host-ip", "10.213.0.1"}));
    EXPECT_EQ(field(json, "developerMode"), "1");
    EXPECT_EQ(field(json, "developerIP"), "10.213.0.1");
    struct Refused {
        std::vector<std::string> args;
        const char* problem;
    };
    const std::vector<Refused> refused = {
        {{"--bridge-after", "3", "--developer-mode", "pending"}, "developer mode is on"},
        {{"--bridge-after", "3", "--developer-mode", "off"}, "developer mode is on"},
        {{"--standby-for", "3", "--standby"}, "stays in standby"},
        {{"--standby-for", "-1"}, "seconds"},
        {{"--bridge-after", "soon"}, "seconds"},
        {{"--bridge-after", "86401"}, "seconds"},
        {{"--ssdp-delay", "later"}, "milliseconds or 'random'"},
    };
    for (const auto& r : refused) {
        std::vector<std::string> args = r.args;
        args.insert(args.end(), {"--address", "127.0.0.5", "--state", "/tmp/tv"});
        EXPECT_NE(problemOf(args).find(r.problem), std::string::npos)
            << r.args[0] << ": " << problemOf(args);
    }
    EXPECT_EQ(optionsOf({"--ssdp-delay", "random"}).ssdpDelayMs, -1);
    EXPECT_EQ(optionsOf({"--ssdp-delay", "250"}).ssdpDelayMs, 250);
    EXPECT_FALSE(optionsOf({"--no-ssdp"}).ssdp);
    EXPECT_TRUE(optionsOf({}).ssdp);
}

TEST(Tv, InStandbyUntilItsTimeHasCome) {
    const auto state = std::filesystem::temp_directory_path() / "quorvex-bench-standby-tv";
    struct Case {
        std::vector<std::string> args;
        bool on;
    };
    const std::vector<Case> cases = {
        {{"--standby-for", "0"}, true},
        {{"--standby-for", "600"}, false},
        {{"--standby"}, false},
        {{"--bridge-after", "600"}, true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(),
                    {"--year", "2020", "--address", "127.0.0.5", "--state", state.string()});
        auto parsed = tvsim::parseOptions(args);
        ASSERT_TRUE(std::holds_alternative<TvOptions>(parsed)) << c.args[0];
        const tvsim::Tv tv(std::get<TvOptions>(parsed));
        EXPECT_EQ(tv.isOn(), c.on) << c.args[0];
        EXPECT_EQ(field(tvsim::apiV2Description(tv.current()), "PowerState"),
                  c.on ? "on" : "standby")
            << c.args[0];
    }
    std::filesystem::remove_all(state);
}

TEST(DeviceDescription, EveryValueIsAStringAndTextIsEscaped) {
    const std::string json =
        tvsim::apiV2Description(optionsOf({"--year", "2019", "--name", "Living \"room\"\n"}));
    EXPECT_NE(json.find("\"name\":\"Living \\\"room\\\"\\u000a\""), std::string::npos) << json;
    // isSupport is JSON inside a string, ending in a line break, as on real sets.
    EXPECT_NE(json.find("\"isSupport\":\"{\\\"DMP_DRM_PLAYREADY\\\""), std::string::npos) << json;
    for (std::size_t at = json.find("\":"); at != std::string::npos;
         at = json.find("\":", at + 1)) {
        if (json[at - 1] == '\\') {
            continue;  // inside isSupport's string
        }
        const char next = json[at + 2];
        EXPECT_TRUE(next == '"' || next == '{') << json.substr(at, 30);
    }
}

TEST(HttpAnswers, OldSetsAnswerOnlyTheOldPathAndBadRequestsGetAnAnswer) {
    const TvOptions old = optionsOf({"--year", "2015", "--old-api"});
    const std::string oldSet = tvsim::httpResponse(old, "GET /ms/1.0/ HTTP/1.1\r\n\r\n");
    EXPECT_EQ(oldSet.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(oldSet.find("\"ModelName\":\"UE48JU6400\""), std::string::npos);
    EXPECT_EQ(tvsim::httpResponse(old, "GET /api/v2/ HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 404", 0),
              0u);
    const TvOptions later = optionsOf({"--year", "2019"});
    EXPECT_EQ(
        tvsim::httpResponse(later, "GET /api/v2?x=1 HTTP/1.0\r\n\r\n").rfind("HTTP/1.1 200", 0),
        0u);
    EXPECT_EQ(tvsim::httpResponse(later, "GET /ms/1.0/ HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 404", 0),
              0u);
    for (const char* bad : {"", "GET\r\n\r\n", "GET  HTTP/1.1\r\n", "GET /api/v2/ SPDY\r\n",
                            "GET /api/v2/ HTTP/1.1"}) {
        const std::string answer = tvsim::httpResponse(later, bad);
        EXPECT_EQ(answer.rfind("HTTP/1.1 400", 0), 0u) << bad;
        const auto body = answer.substr(answer.find("\r\n\r\n") + 4);
        EXPECT_NE(answer.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
                  std::string::npos);
    }
}

TEST(RetailShell, RunsOnlyZeroAndAFixedCommand) {
    EXPECT_EQ(tvsim::retailCommandLine("0 vd_appinstall a /b.wgt; echo cmd_ret:$?;"),
              "vd_appinstall a /b.wgt; echo cmd_ret:$?;");
    EXPECT_EQ(tvsim::retailCommandLine("0 applist"), "applist");
    EXPECT_EQ(tvsim::retailCommandLine("0 getappinstallpath;"), "getappinstallpath;");
    for (const char* refused : {"applist", "ls /", "0 ls", "0  applist", "1 applist", "0 applistx",
                                "0 echo hi; 0 applist", "0", "0 "}) {
        EXPECT_FALSE(tvsim::retailCommandLine(refused)) << refused;
    }
}

TEST(RetailShell, WordsLoseTheQuotesTheToolPutAroundThem) {
    EXPECT_EQ(tvsim::splitWords("mkdir \"/a b\" ''  x"),
              (std::vector<std::string>{"mkdir", "/a b", "", "x"}));
    EXPECT_EQ(tvsim::splitWords("echo \"open"), (std::vector<std::string>{"echo", "\"open"}));
    EXPECT_EQ(tvsim::reversedAddress("192.168.1.2"), "2.1.168.192");
}

}  // namespace
