#pragma once
// The signed run's own steps, for TVs that install only a widget signed with their owner's
// Samsung certificate profile: once connected, the TV's DUID, its check, signing and the device
// profile; once the install command answered, another author's copy (-11).
#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/files.h"
#include "platform/system.h"
#include "src/install/run_steps.h"
#include "src/signing/owner_profile.h"
#include "src/texts/texts.h"
#include "src/tvs/found_tvs.h"
#include "src/tvs/tv_verdict.h"

inline constexpr const wchar_t* duidLogFile = L"doLog\\duid.txt";
inline constexpr const wchar_t* profileLogFile = L"doLog\\profile.txt";
inline constexpr const wchar_t* uninstallLogFile = L"doLog\\uninstall.txt";
inline constexpr const wchar_t* signedRunLogs[] = {duidLogFile, profileLogFile, uninstallLogFile};
// The device profile, copied into the current folder (where the commands run) under a name any
// code page spells: the tool cannot open a path its code page cannot spell.
inline constexpr const wchar_t* deviceProfileCopy = L"device-profile.xml";
inline constexpr const wchar_t* deviceProfileOnTv = L"/home/developer/device-profile.xml";

// Progress weights of the steps, in the units of the eleven commands' own.
inline constexpr int duidWeight = 6;
inline constexpr int signWeight = 6;
inline constexpr int profilePushWeight = 4;

std::wstring getDuidLine();
std::wstring pushDeviceProfileLine();
// Uninstalls by the package's own application id (letters, digits and a dot).
std::wstring uninstallLine(const std::wstring& applicationId);

// The install log says another author's copy is installed (-11).
bool otherAuthorsCopy(platform::FileSystem& files);

// The model year of a TV that installs only a widget signed with its owner's profile, from the
// check before the run or, failing that, the search; nothing for any other TV.
std::optional<int> yearNeedingSignature(const std::wstring& address,
                                        const std::optional<TvVerdict>& check,
                                        const std::vector<FoundTv>& found);

class SignedSteps final : public RunSteps {
  public:
    // `widgetFile`: where the signed widget is written for the push.
    SignedSteps(platform::FormControls& controls, platform::System& system, std::wstring address,
                OwnerProfile& profile, std::wstring widgetFile);

    int progressWeight() const override;
    void afterConnecting(const std::function<void(int weight)>& advance) override;
    bool installAgain() override;

  private:
    // What `shell 0 getduid` prints, asked again once; nothing when the program is ending.
    std::optional<std::wstring> askDuid(Language language);
    // Signs the carried widget and writes it for the push; the passwords are wiped either way.
    void signWidget(Language language);
    // Pushes the profile's device-profile.xml; false when the program is ending.
    bool pushDeviceProfile(Language language);

    platform::FormControls& controls_;
    platform::System& system_;
    const std::wstring address_;
    OwnerProfile& profile_;
    const std::wstring widgetFile_;
};
