// The cause a failed run is explained by, for each text real TVs and the bridge tool print.
#include "src/install/failure_cause.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "src/texts/texts.h"

namespace {

const std::vector<std::wstring> thisPc = {L"192.168.1.64"};
const std::wstring toolFolder = L"C:\\ProgramData\\Quorvex\\S-1-5-21-7";

std::wstring english(TextId id, std::initializer_list<std::wstring_view> values = {}) {
    return fillIn(text(id, Language::english), values);
}

TvVerdict checked(TvReadiness readiness, const char* model = "19_MUSEL_UHD") {
    TvVerdict verdict;
    verdict.readiness = readiness;
    verdict.description = TvDescription{};
    verdict.description->type = "Samsung SmartTV";
    verdict.description->model = model;
    return verdict;
}

std::optional<std::wstring> cause(const wchar_t* line, const TvVerdict* check = nullptr) {
    return failureCause(line, {L"192.168.1.66", check, thisPc, Language::english, toolFolder, L""});
}

TEST(FailureCause, EachRealTextHasItsCause) {
    const struct {
        const wchar_t* line;
        std::wstring expected;
    } cases[] = {
        {L"error: more than one target found. Specify the target with -s option.",
         english(msgCauseTwoTargets)},
        {L"closed", english(msgCauseDropped, {L"192.168.1.66"})},
        {L"error: target offline", english(msgCauseDropped, {L"192.168.1.66"})},
        {L"error: target not found", english(msgCauseDropped, {L"192.168.1.66"})},
        {L"app_id[kR4vT7mWq2Z.Quorvex] install failed[118, -11], reason: Author certificate not "
         L"match :",
         english(msgCauseAuthor)},
        {L"app_id[X] install failed[118, -4]", english(msgCauseTizenTooOld)},
        {L"app_id[X] install failed[118]", english(msgCauseNotPermitted)},
        {L"app_id[X] install failed[118, -12], reason: Check certificate error : :Certificate in "
         L"signature is not valid yet.:<-7>",
         english(msgCauseClock)},
        {L"app_id[X] install failed[118, -12], reason: Check certificate error : :Invalid format "
         L"of certificate in signature.:<-2>",
         english(msgCauseCertificate)},
        {L"app_id[X] install failed[118, -2]", english(msgCauseCertificate)},
        // Older firmware's refusals, told by the progress line before "install
        // failed[PKGMGR_ERROR]".
        {L"installing[23] SIGNATURE_VERIFICATION_FAILED", english(msgCauseCertificate)},
        {L"installing[34] CERTIFICATE_EXPIRED", english(msgCauseCertificateExpired)},
        {L"error: failed to close '/opt/usr/apps/tmp/Quorvex.wgt': Permission denied",
         english(msgCauseWrongSeries)},
        {L"sdb sync: FAIL: You cannot push files to this path.", english(msgCauseWrongSeries)},
        // A push cut short is the link, not the series.
        {L"fatal: failed to close '/home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt': connection "
         L"fails",
         english(msgCauseDropped, {L"192.168.1.66"})},
        {L"error: connection to the target was lost", english(msgCauseDropped, {L"192.168.1.66"})},
        // The tool's exe path has letters the ANSI code page cannot spell.
        {L"fail to create sdb server process: 123", english(msgCauseServerNotStarted)},
        {L"error: failed to start server", english(msgCauseServerNotStarted)},
        // iu.exe removed or blocked after it was written: cmd.exe's words, Wine's and Windows'.
        {L"Can't recognize 'iu.exe connect 192.168.1.66:26101' as an internal or external "
         L"command, or batch script.",
         english(msgCauseToolBlocked, {toolFolder})},
        {L"'iu.exe' is not recognized as an internal or external command,",
         english(msgCauseToolBlocked, {toolFolder})},
        {L"Access is denied.", english(msgCauseToolBlocked, {toolFolder})},
        {L"\"iu.exe\" не является внутренней или внешней командой, исполняемой программой или "
         L"пакетным файлом.",
         english(msgCauseToolBlocked, {toolFolder})},
        {L"Отказано в доступе.", english(msgCauseToolBlocked, {toolFolder})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cause(c.line), c.expected) << c.line;
    EXPECT_FALSE(cause(L"error: something nobody has seen"));
    EXPECT_FALSE(cause(L"error: failed to close '/home/owner/x.wgt': File name too long"));
    EXPECT_FALSE(cause(L"app_id[X] install failed[999, -1]"));
}

TEST(FailureCause, WhatTheCheckLearntNamesAddressesYearAndSeries) {
    const wchar_t* refused = L"error: failed to connect to remote target '192.168.1.66'";
    const wchar_t* dropped = L"failed to connect to 192.168.1.66:26101";
    // The TV looked ready, or was never asked: the refused connection itself.
    const auto ready = checked(TvReadiness::ready);
    EXPECT_EQ(cause(refused, &ready), english(msgCauseNoConnection, {L"192.168.1.66"}));
    EXPECT_EQ(cause(dropped), english(msgCauseNoConnection, {L"192.168.1.66"}));
    // Otherwise what the check found, with the addresses.
    auto other = checked(TvReadiness::otherHostIp);
    other.hostIp = L"192.168.1.70";
    EXPECT_EQ(cause(dropped, &other),
              english(msgVerdictOtherHost, {L"192.168.1.66", L"192.168.1.70", L"192.168.1.64"}));
    const auto off = checked(TvReadiness::developerOff);
    EXPECT_EQ(cause(refused, &off), english(msgVerdictDeveloperOff, {L"192.168.1.66"}));

    // A refused push names the series of the TV's year.
    const wchar_t* push =
        L"error: failed to close '/opt/usr/apps/tmp/Quorvex.wgt': Permission denied";
    const auto set2016 = checked(TvReadiness::ready, "16_JAZZL_UHD_BASIC");
    EXPECT_EQ(cause(push, &set2016), english(msgCauseWrongSeriesYear, {L"2016", L"J,K"}));
    EXPECT_EQ(cause(push, &ready), english(msgCauseWrongSeriesYear, {L"2019", L"M,N,Q,R,T"}));

    // A refused certificate on a 2023 or later set is the Samsung certificate it demands.
    const wchar_t* certificate =
        L"app_id[X] install failed[118, -12], reason: Check certificate error : :Invalid "
        L"certificate chain with certificate in signature.:<-3>";
    const auto set2023 = checked(TvReadiness::ready, "23_PONTUSM_FHD");
    EXPECT_EQ(cause(certificate, &set2023), english(msgCauseCertificateNew, {L"2023"}));
    EXPECT_EQ(cause(certificate, &ready), english(msgCauseCertificate));
}

TEST(FailureCause, VerdictTextsNameTheAddressesInBothLanguages) {
    auto reversed = checked(TvReadiness::reversedHostIp);
    reversed.hostIp = L"64.1.168.192";
    reversed.reversedOf = L"192.168.1.64";
    for (Language language : languages) {
        const auto said = verdictText(reversed, L"192.168.1.66", thisPc, language);
        ASSERT_TRUE(said);
        EXPECT_NE(said->find(L"64.1.168.192"), std::wstring::npos);
        EXPECT_NE(said->find(L"192.168.1.64"), std::wstring::npos);
        EXPECT_EQ(said->find(L"%"), std::wstring::npos) << "a value was left out";
    }
    auto loopback = checked(TvReadiness::loopbackHostIp);
    EXPECT_NE(verdictText(loopback, L"1.2.3.4", {L"10.0.0.2", L"10.0.1.2"}, Language::english)
                  ->find(L"10.0.0.2, 10.0.1.2"),
              std::wstring::npos);
    EXPECT_NE(verdictText(loopback, L"1.2.3.4", {}, Language::english)->find(L"(none)"),
              std::wstring::npos);
    EXPECT_FALSE(verdictText(checked(TvReadiness::ready), L"1.2.3.4", thisPc, Language::english));
}

const std::wstring profileFolder = L"C:\\Users\\tester\\SamsungCertificate\\LivingRoom";

// The two refusals the field reports, as the box shows them: whatever the TV's year or the run,
// no series, certificate or permit cause claims them, and the line and its log follow.
TEST(FailureCause, NoRoomAndPartnerPrivilegeAreNamedForEveryTvAndRun) {
    const std::wstring noRoom = L"app_id[R4vT7mWq2Z.Quorvex] download failed[116]";
    const std::wstring privilege2025 =
        L"app_id[R4vT7mWq2Z.Quorvex] install failed[118, -14], reason: Signature error : :Check "
        L"config.xml| - Current certificate signature level = public||[MISMATCHED_PRIVILEGE_LEVEL]"
        L"| - http://developer.samsung.com/privilege/drmplay   >> Use at least partner "
        L"signatured certificate.|:";
    const std::wstring privilegeOlder =
        L"app_id[R4vT7mWq2Z.Quorvex] install failed[118, -14], reason: Signature error";
    const struct {
        const std::wstring* line;
        TextId cause;
    } refusals[] = {{&noRoom, msgCauseNoRoom},
                    {&privilege2025, msgCausePartnerPrivilege},
                    {&privilegeOlder, msgCausePartnerPrivilege}};
    const auto set2016 = checked(TvReadiness::ready, "16_JAZZL_UHD_BASIC");
    const auto set2025 = checked(TvReadiness::ready, "25_PONTUSM_UHD");
    for (const auto& refusal : refusals) {
        for (const TvVerdict* check :
             {static_cast<const TvVerdict*>(nullptr), &set2016, &set2025}) {
            for (const std::wstring& profile : {std::wstring(), profileFolder}) {
                for (Language language : languages) {
                    const InstallOutcome outcome{false, *refusal.line, L"doLog\\step6.txt"};
                    const FailureContext context{L"192.168.1.66", check,      thisPc,
                                                 language,        toolFolder, profile};
                    EXPECT_EQ(failureReport(outcome, context), text(refusal.cause, language) +
                                                                   L"\n\n" + *refusal.line +
                                                                   L"\n(doLog\\step6.txt)")
                        << *refusal.line;
                }
            }
        }
    }
    // Other codes keep their own causes: a bare [118] is the TV's permit, a bare -14 is not
    // certain enough to name.
    EXPECT_EQ(cause(L"app_id[X] install failed[118]"), english(msgCauseNotPermitted));
    EXPECT_FALSE(cause(L"app_id[X] install failed[118, -14]"));
    EXPECT_FALSE(cause(L"app_id[X] download failed[117]"));
}

TEST(CertificateRefusal, EachCodeIsNamedAndMinus3NeedsAProfile) {
    const auto signing = [](TextId id) { return text(id, Language::english); };
    const struct {
        const char* code;
        bool withProfile;
        std::optional<std::wstring> expected;
    } cases[] = {{"-3", true, fillIn(signing(msgCauseNotForThisTv), {profileFolder})},
                 {"-3", false, std::nullopt},
                 {"-4", false, signing(msgCauseSignatureMismatch)},
                 {"-5", true, signing(msgCauseUnsignedFile)},
                 {"-6", true, text(msgCauseCertificateExpired, Language::english)},
                 {"-7", true, signing(msgCauseNotYetValid)},
                 {"-7", false, std::nullopt},
                 {"-9", true, std::nullopt}};
    for (const auto& c : cases) {
        const auto line = L"install failed[118, -12], reason: Check certificate error : :x:<" +
                          platform::fromUtf8(c.code) + L">";
        EXPECT_EQ(
            certificateRefusalCause(line, c.withProfile ? profileFolder : L"", Language::english),
            c.expected)
            << c.code;
        EXPECT_EQ(refusedAsUnsigned(line), c.code == std::string("-3")) << c.code;
    }
    EXPECT_FALSE(
        refusedAsUnsigned(L"install failed[118, -11], reason: Author certificate not match :"));
}

}  // namespace
