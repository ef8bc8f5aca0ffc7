#include "tools/tvsim/options.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace tvsim {

namespace {

struct YearFacts {
    int year;
    const char* tizen;
    const char* modelCode;  // captured from real sets where known; "BENCH" where made up
    const char* modelName;  // with the year's series letter
};

constexpr std::array<YearFacts, 11> kYears{{
    {2015, "2.3", "15_HAWKM_UHD_2D", "UE48JU6400"},
    {2016, "2.4", "16_JAZZL_UHD_BASIC", "UE40KU6000"},
    {2017, "3.0", "17_KANTM_UHD", "UE55MU7000"},
    {2018, "4.0", "18_KANTM2_QTV", "QE55Q8FNA"},
    {2019, "5.0", "19_MUSEL_UHD", "UE43RU7400"},
    {2020, "5.5", "20_BENCH_UHD", "UE50TU7100"},
    {2021, "6.0", "21_BENCH_UHD", "UE55AU7100"},
    {2022, "6.5", "22_KANTSU2E_UB2", "UE43BU8070"},
    {2023, "7.0", "23_BENCH_UHD", "UE55CU7100"},
    {2024, "8.0", "24_BENCH_UHD", "UE55DU7100"},
    {2025, "9.0", "25_BENCH_UHD", "UE55U8000F"},
}};

const YearFacts* factsOf(int year) {
    for (const auto& facts : kYears) {
        if (facts.year == year) {
            return &facts;
        }
    }
    return nullptr;
}

bool parseNumber(const std::string& text, long long low, long long high, long long& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0' && out >= low && out <= high;
}

}  // namespace

const char* const kUsage =
    "usage: quorvex_tvsim --address IP --state DIR [options]\n"
    "  --year YYYY                  model year, 2015 ... 2025 (2017): sets the Tizen version\n"
    "                               (2.3 2.4 3.0 4.0 5.0 5.5 6.0 6.5 7.0 8.0 9.0), the staging\n"
    "                               directory and the model code\n"
    "  --tizen V                    the Tizen version instead (with --year: a set upgraded to V)\n"
    "  --model-name NAME            model name (one of the year's, e.g. UE55MU7000 for 2017)\n"
    "  --name TEXT                  device name ([TV] Samsung MODEL-NAME)\n"
    "  --host-ip IP                 Host PC IP: connections from elsewhere are closed at once\n"
    "                               (127.0.0.1)\n"
    "  --rtl                        a right-to-left TV: it stored the Host PC IP reversed,\n"
    "                               shows it so and accepts only that reversed address\n"
    "  --developer-mode on|off|pending\n"
    "                               off: nothing listens on the bridge port; pending: switched\n"
    "                               on but not active until a power cycle (developerMode \"0\",\n"
    "                               the bridge port closed) (on)\n"
    "  --standby                    in standby: PowerState \"standby\" (2019 and later), the\n"
    "                               bridge port closed, no SSDP\n"
    "  --standby-for SECONDS        in standby (as --standby) for SECONDS after the start, then\n"
    "                               on: it announces itself over SSDP and opens its bridge port\n"
    "  --bridge-after SECONDS       a TV just restarted: developer mode on and said so\n"
    "                               (developerMode \"1\", its Host PC IP) from the start, but\n"
    "                               the bridge port refuses connections until SECONDS after\n"
    "                               the start\n"
    "  --old-api                    a 2015 set that answers /ms/1.0/ only, not /api/v2/\n"
    "  --demand-certificate         demand certificates as Tizen 7 and later sets do (always\n"
    "                               from Tizen 7): without --trusted-root every package is\n"
    "                               refused (-3)\n"
    "  --trusted-root PEM           a root certificate the TV trusts (repeatable): a set that\n"
    "                               demands certificates then checks both signatures, every\n"
    "                               file referenced, digests, the chains at its clock, and its\n"
    "                               DUID in the distributor certificate or in a pushed\n"
    "                               /home/developer/device-profile.xml\n"
    "  --duid D                     what 'shell 0 getduid' prints and the certificate checks\n"
    "                               look for (BENCH and a number from the address)\n"
    "  --clock YYYY-MM-DDTHH:MM:SSZ the TV's clock for certificate validity (now)\n"
    "  --installed-by-other-author  R4vT7mWq2Z.Quorvex is installed, signed by another author:\n"
    "                               a signed install of it fails with -11 until uninstalled\n"
    "  --drop-after BYTES           reset the connection after this many bytes of a push\n"
    "  --slow MS                    pause before every line of an answer\n"
    "  --full-storage               installs fail with download failed[116]: no room\n"
    "  --privilege-mismatch         installs that pass the other checks fail as when the\n"
    "                               widget needs a partner-level certificate: install\n"
    "                               failed[118, -14], reason: Signature error; from 2025 with\n"
    "                               the details ([MISMATCHED_PRIVILEGE_LEVEL] ...)\n"
    "  --no-ssdp                    no SSDP: a TV that only a sweep finds\n"
    "  --ssdp-delay MS|random       each SSDP answer waits MS ms, or a random time, never beyond\n"
    "                               the search's MX (at once)\n"
    "                               SSDP (239.255.255.250:1900) runs on a LAN address only, off\n"
    "                               on loopback: searches for RemoteControlReceiver:1,\n"
    "                               MediaRenderer:1, dial:1 and ssdp:all are answered, NOTIFY\n"
    "                               ssdp:alive multicast when the TV comes on\n"
    "  --port N                     bridge port (26101)\n"
    "  --http-port N                device description port (8001)\n"
    "  --ready-file FILE            written (with the pid) once the ports listen\n"
    "  --address IP                 where to listen: 127.0.0.0/8, or any address inside a\n"
    "                               test's own network namespace (tests/isolated.sh, which\n"
    "                               uses unshare --net and sets QUORVEX_ISOLATED)\n"
    "  --state DIR                  the TV's state: installed applications, files, its log\n";

int TvOptions::tizenMajor() const {
    return std::atoi(tizen.c_str());
}

std::string TvOptions::stagingDir() const {
    return tizenMajor() < 3 ? "/opt/usr/apps/tmp" : "/home/owner/share/tmp/sdk_tools/tmp";
}

std::string TvOptions::otherStagingDir() const {
    return tizenMajor() < 3 ? "/home/owner/share/tmp/sdk_tools/tmp" : "/opt/usr/apps/tmp";
}

std::string TvOptions::installPath() const {
    return tizenMajor() < 3 ? "/opt/usr/apps" : "/opt/usr/home/owner/apps_rw";
}

std::string TvOptions::sdkToolPath() const {
    return tizenMajor() < 3 ? "/opt/usr/apps/tmp/sdk_tools" : "/home/owner/share/tmp/sdk_tools";
}

std::optional<int> TvOptions::onAfter() const {
    if (standby) {
        return std::nullopt;
    }
    return standbyForSeconds;
}

std::optional<int> TvOptions::bridgeOpensAfter() const {
    const auto on = onAfter();
    if (developerMode != DeveloperMode::kOn || !on) {
        return std::nullopt;
    }
    return std::max(*on, bridgeAfterSeconds);
}

std::string TvOptions::storedHostIp() const {
    return rightToLeft ? reversedAddress(hostIp) : hostIp;
}

const char* const kOtherAuthorsAppId = "R4vT7mWq2Z.Quorvex";
const char* const kOtherAuthorsFingerprint = "another-author";

std::optional<std::time_t> parseClock(const std::string& text) {
    std::tm tm{};
    char zone = 0;
    char end = 0;
    if (text.size() != 20 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%c", &tm.tm_year, &tm.tm_mon,
                    &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &zone, &end) != 7 ||
        zone != 'Z' || tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 ||
        tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60 || tm.tm_year < 1970) {
        return std::nullopt;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return timegm(&tm);
}

std::string reversedAddress(const std::string& address) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t dot; (dot = address.find('.', start)) != std::string::npos; start = dot + 1) {
        parts.push_back(address.substr(start, dot - start));
    }
    parts.push_back(address.substr(start));
    std::string out;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        out += (part == parts.rbegin() ? "" : ".") + *part;
    }
    return out;
}

std::variant<TvOptions, std::string> parseOptions(const std::vector<std::string>& args) {
    TvOptions options;
    bool yearGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--rtl") {
            options.rightToLeft = true;
        } else if (arg == "--standby") {
            options.standby = true;
        } else if (arg == "--old-api") {
            options.oldApi = true;
        } else if (arg == "--demand-certificate") {
            options.demandCertificate = true;
        } else if (arg == "--full-storage") {
            options.fullStorage = true;
        } else if (arg == "--privilege-mismatch") {
            options.privilegeMismatch = true;
        } else if (arg == "--no-ssdp") {
            options.ssdp = false;
        } else if (arg == "--installed-by-other-author") {
            options.installedByOtherAuthor = true;
        } else if (i + 1 >= args.size()) {
            return arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unknown option " + arg;
        } else {
            const std::string& value = args[++i];
            long long number = 0;
            if (arg == "--address") {
                options.address = value;
            } else if (arg == "--state") {
                options.state = value;
            } else if (arg == "--ready-file") {
                options.readyFile = value;
            } else if (arg == "--year") {
                if (!parseNumber(value, 2015, 2025, number)) {
                    return "--year is a model year from 2015 to 2025, not '" + value + "'";
                }
                options.year = static_cast<int>(number);
                yearGiven = true;
            } else if (arg == "--tizen") {
                options.tizen = value;
            } else if (arg == "--model-name") {
                options.modelName = value;
            } else if (arg == "--name") {
                options.name = value;
            } else if (arg == "--trusted-root") {
                std::ifstream in(value, std::ios::binary);
                std::string pem(64 * 1024, '\0');
                in.read(pem.data(), static_cast<std::streamsize>(pem.size()));
                pem.resize(static_cast<std::size_t>(in.gcount()));
                if (pem.find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
                    return "--trusted-root needs a PEM certificate file, not '" + value + "'";
                }
                options.trustedRoots.push_back(pem);
            } else if (arg == "--duid") {
                if (value.empty() || value.find_first_of(" \t\r\n") != std::string::npos) {
                    return "--duid needs a DUID without spaces";
                }
                options.duid = value;
            } else if (arg == "--clock") {
                const auto clock = parseClock(value);
                if (!clock) {
                    return "--clock is YYYY-MM-DDTHH:MM:SSZ (UTC), not '" + value + "'";
                }
                options.clock = clock;
            } else if (arg == "--host-ip") {
                options.hostIp = value;
            } else if (arg == "--developer-mode") {
                if (value == "on") {
                    options.developerMode = DeveloperMode::kOn;
                } else if (value == "off") {
                    options.developerMode = DeveloperMode::kOff;
                } else if (value == "pending") {
                    options.developerMode = DeveloperMode::kPending;
                } else {
                    return "--developer-mode is on, off or pending";
                }
            } else if (arg == "--port" || arg == "--http-port") {
                if (!parseNumber(value, 1, 65535, number)) {
                    return arg + " needs a port number";
                }
                (arg == "--port" ? options.port : options.httpPort) =
                    static_cast<unsigned short>(number);
            } else if (arg == "--standby-for" || arg == "--bridge-after") {
                if (!parseNumber(value, 0, 86400, number)) {
                    return arg + " needs a number of seconds (up to 86400)";
                }
                (arg == "--standby-for" ? options.standbyForSeconds : options.bridgeAfterSeconds) =
                    static_cast<int>(number);
            } else if (arg == "--ssdp-delay") {
                if (value == "random") {
                    options.ssdpDelayMs = -1;
                } else if (parseNumber(value, 0, 600000, number)) {
                    options.ssdpDelayMs = static_cast<int>(number);
                } else {
                    return "--ssdp-delay needs milliseconds or 'random'";
                }
            } else if (arg == "--drop-after" || arg == "--slow") {
                if (!parseNumber(value, 0, 1LL << 40, number)) {
                    return arg + " needs a number";
                }
                if (arg == "--slow") {
                    options.slowMs = static_cast<int>(std::min(number, 600000LL));
                } else {
                    options.dropAfterBytes = number;
                }
            } else {
                return "unknown option " + arg;
            }
        }
    }
    if (!options.tizen.empty() && !yearGiven) {
        // A Tizen version alone stands for the year that shipped it.
        const YearFacts* match = nullptr;
        for (const auto& facts : kYears) {
            if (options.tizen == facts.tizen) {
                match = &facts;
            }
        }
        if (!match) {
            return "unknown Tizen version '" + options.tizen + "' (2.3 2.4 3.0 4.0 5.0 5.5 6.0 " +
                   "6.5 7.0 8.0 9.0)";
        }
        options.year = match->year;
    }
    const YearFacts& facts = *factsOf(options.year);
    if (options.tizen.empty()) {
        options.tizen = facts.tizen;
    } else if (options.tizen.find_first_not_of("0123456789.") != std::string::npos ||
               options.tizenMajor() < 2 || options.tizenMajor() > 9) {
        return "unsupported Tizen version '" + options.tizen + "'";
    }
    options.modelCode = facts.modelCode;
    if (options.modelName.empty()) {
        options.modelName = facts.modelName;
    }
    if (options.name.empty()) {
        options.name = "[TV] Samsung " + options.modelName;
    }
    if (options.duid.empty()) {
        options.duid =
            "BENCH" + std::to_string(std::hash<std::string>()(options.address) % 100000000);
    }
    if (options.oldApi && options.year != 2015) {
        return "--old-api is for a 2015 set (--year 2015)";
    }
    if (options.bridgeAfterSeconds > 0 && options.developerMode != DeveloperMode::kOn) {
        return "--bridge-after is for a TV whose developer mode is on";
    }
    if (options.standbyForSeconds > 0 && options.standby) {
        return "--standby-for and --standby: a TV either wakes or stays in standby";
    }
    if (options.address.empty()) {
        return "an address is required (--address IP)";
    }
    if (options.state.empty()) {
        return "a state folder is required (--state DIR)";
    }
    return options;
}

}  // namespace tvsim
