#pragma once
// What kind of TV the simulator plays, from its command line. The model year sets the Tizen
// version, the staging directory and the model code, as on real sets.
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tvsim {

enum class DeveloperMode {
    kOn,
    kOff,
    kPending,  // switched on, not active until the TV has been power-cycled: 26101 stays closed
};

struct TvOptions {
    std::string address;  // where both ports listen
    unsigned short port = 26101;
    unsigned short httpPort = 8001;
    std::filesystem::path state;
    std::string readyFile;
    int year = 2017;
    std::string tizen;      // from the year unless given
    std::string modelCode;  // "17_KANTM_UHD": the two digits are the model year
    std::string modelName;  // "UE55MU7000"
    std::string name;       // "[TV] Samsung <model name>"
    std::string hostIp = "127.0.0.1";
    DeveloperMode developerMode = DeveloperMode::kOn;
    bool rightToLeft = false;  // stored the Host PC IP reversed, and accepts only that address
    bool standby = false;
    int standbyForSeconds = 0;   // in standby this long after the start, then on
    int bridgeAfterSeconds = 0;  // developer mode on, but the bridge port opens only this late
    bool oldApi = false;         // a 2015 set that answers /ms/1.0/ only
    bool demandCertificate = false;
    long long dropAfterBytes = -1;  // reset the connection after this many pushed bytes
    int slowMs = 0;                 // pause before each line of an answer
    bool fullStorage = false;
    bool privilegeMismatch = false;  // the widget needs a partner-level certificate
    bool ssdp = true;                // answers searches and announces itself on a LAN address
    int ssdpDelayMs = 0;             // each SSDP answer waits this long (within MX); -1: at random
    std::vector<std::string> trustedRoots;  // PEM texts of the roots a Tizen 7+ set trusts
    std::string duid;                       // what getduid prints; from the address unless given
    std::optional<std::time_t> clock;       // the TV's clock for certificates; now unless given
    bool installedByOtherAuthor = false;    // the widget is installed, signed by someone else

    int tizenMajor() const;
    bool certificateRequired() const { return demandCertificate || tizenMajor() >= 7; }
    // A set that demands certificates and trusts a root checks them as Tizen 7+ sets do; one
    // that trusts none refuses every package.
    bool checksSignatures() const { return certificateRequired() && !trustedRoots.empty(); }
    std::time_t now() const { return clock ? *clock : std::time(nullptr); }
    std::string stagingDir() const;
    std::string otherStagingDir() const;  // the other Tizen generation's, refused here
    std::string installPath() const;
    std::string sdkToolPath() const;
    // The Host PC IP as the TV shows and compares it (reversed on a right-to-left TV).
    std::string storedHostIp() const;
    // Seconds after the start when the TV is on (out of standby); nothing when it stays asleep.
    std::optional<int> onAfter() const;
    // Seconds after the start when the bridge port opens; nothing when it never does.
    std::optional<int> bridgeOpensAfter() const;
    bool bridgeListens() const { return bridgeOpensAfter().has_value(); }
};

extern const char* const kUsage;

// The options, or the reason they are refused.
std::variant<TvOptions, std::string> parseOptions(const std::vector<std::string>& args);

// "2026-12-09T16:30:00Z" as seconds since 1970, or nothing when it is not that form.
std::optional<std::time_t> parseClock(const std::string& text);

// The widget --installed-by-other-author puts on the TV, and the author it records for it.
extern const char* const kOtherAuthorsAppId;
extern const char* const kOtherAuthorsFingerprint;

// "192.168.1.2" -> "2.1.168.192".
std::string reversedAddress(const std::string& address);

}  // namespace tvsim
