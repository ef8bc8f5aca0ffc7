// The TV's description as real sets send it, and the verdict drawn from it with the bridge
// port's state and this PC's addresses.
#include "src/tvs/tv_verdict.h"

#include <gtest/gtest.h>

namespace {

using platform::TvAnswers;

// A 2019 set with developer mode on, as captured (shortened).
constexpr const char* set2019 = R"json({ "device": {
    "FrameTVSupport":"false", "Language":"ru_RU", "OS":"Tizen", "PowerState":"on",
    "TokenAuthSupport":"true", "countryCode":"RU", "description":"Samsung DTV RCR",
    "developerIP":"192.168.1.64", "developerMode":"1", "duid":"uuid:88d68ee4-1",
    "firmwareVersion":"Unknown", "id":"uuid:88d68ee4-1", "ip":"192.168.1.66",
    "model":"19_MUSEL_UHD", "modelName":"UE43RU7400UXRU", "name":"[TV] Samsung 7 Series (43)",
    "networkType":"wireless", "resolution":"3840x2160", "type":"Samsung SmartTV",
    "udn":"uuid:88d68ee4-1", "wifiMac":"B8:BC:5B:93:7E:D2" },
  "id":"uuid:88d68ee4-1", "isSupport":"{\"DMP_DRM_PLAYREADY\":\"false\"}\n",
  "name":"[TV] Samsung 7 Series (43)", "remote":"1.0", "type":"Samsung SmartTV",
  "uri":"http://192.168.1.66:8001/api/v2/", "version":"2.0.25" })json";

// The device part of a description with these values, as the other captured sets send it.
std::string device(const std::string& model, const std::string& mode, const std::string& ip,
                   const std::string& extra = "") {
    return R"({"device":{"type":"Samsung SmartTV","name":"[TV] Samsung","model":")" + model +
           R"(","modelName":"UE48JU6400","developerMode":")" + mode + R"(","developerIP":")" + ip +
           "\"" + extra + "}}";
}

TvAnswers answers(bool bridgeOpen, std::optional<std::string> description) {
    return {bridgeOpen, std::move(description)};
}

const std::vector<std::wstring> thisPc = {L"10.0.0.5", L"192.168.1.64"};

TEST(TvDescription, CapturedSetsOfEveryYearAreRead) {
    const auto tv = parseTvDescription(set2019);
    ASSERT_TRUE(tv);
    EXPECT_TRUE(tv->isSamsungTv());
    EXPECT_EQ(tv->modelYear(), 2019);
    EXPECT_EQ(tv->modelName, "UE43RU7400UXRU");
    EXPECT_EQ(tv->developerMode, "1");
    EXPECT_EQ(tv->developerIp, "192.168.1.64");
    EXPECT_EQ(tv->powerState, "on");
    EXPECT_EQ(tv->name, "[TV] Samsung 7 Series (43)");

    const struct {
        const char* model;
        int year;
    } models[] = {{"15_HAWKM_UHD_2D", 2015},
                  {"16_JAZZL_UHD_BASIC", 2016},
                  {"17_KANTM_UHD", 2017},
                  {"18_KANTM2_QTV", 2018},
                  {"22_KANTSU2E_UB2", 2022}};
    for (const auto& m : models) {
        const auto parsed = parseTvDescription(device(m.model, "0", "0.0.0.0"));
        ASSERT_TRUE(parsed) << m.model;
        EXPECT_EQ(parsed->modelYear(), m.year);
    }
    // A 2015 set that answers only /ms/1.0/, with its own field names.
    const auto old = parseTvDescription(
        R"({"DUID":"uuid:1","Model":"15_HAWKM_2D","ModelName":"UE65J6200",
            "ModelDescription":"Samsung DTV RCR","DeviceName":"[TV] Samsung","IP":"10.0.0.9",
            "DeveloperMode":"1","DeveloperIP":"10.0.0.5"})");
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->isSamsungTv());
    EXPECT_EQ(old->modelYear(), 2015);
    EXPECT_EQ(old->modelName, "UE65J6200");
    EXPECT_EQ(old->developerMode, "1");
    EXPECT_EQ(old->developerIp, "10.0.0.5");
    // The type at the top level only.
    const auto topType = parseTvDescription(
        R"({"device":{"model":"17_KANTM_UHD"},"type":"Samsung SmartTV","name":"[TV] Hall"})");
    ASSERT_TRUE(topType);
    EXPECT_TRUE(topType->isSamsungTv());
    EXPECT_EQ(topType->name, "[TV] Hall");
}

TEST(TvDescription, GarbageIsNoDescriptionAndWrongTypesCountAsAbsent) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string huge = "{\"device\":{\"type\":\"" + std::string(1 << 20, 'x') + "\"}}";
    for (const std::string& bad :
         {std::string(), std::string("not json"), std::string(set2019).substr(0, 200),
          std::string("[1,2,3]"), std::string("\"Samsung SmartTV\""), deep,
          std::string("{\"device\":{\"type\":\"Samsung\xff SmartTV\"}}")}) {
        EXPECT_FALSE(parseTvDescription(bad)) << bad.substr(0, 40);
    }
    const auto big = parseTvDescription(huge);
    ASSERT_TRUE(big);
    EXPECT_FALSE(big->isSamsungTv());

    const auto typed = parseTvDescription(
        R"({"device":{"type":"Samsung SmartTV","developerMode":1,"developerIP":["1.2.3.4"],
            "model":19,"PowerState":null}})");
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->developerMode, "");
    EXPECT_EQ(typed->developerIp, "");
    EXPECT_FALSE(typed->modelYear());
    EXPECT_EQ(typed->powerState, "");
    for (const char* model : {"1_X", "ab_CODE", "19", "_19", ""}) {
        TvDescription tv;
        tv.model = model;
        EXPECT_FALSE(tv.modelYear()) << model;
    }
}

TEST(TvVerdict, TheTableOfAnswers) {
    const struct {
        bool bridgeOpen;
        std::optional<std::string> description;
        TvReadiness expected;
    } cases[] = {
        {true, std::nullopt, TvReadiness::ready},
        {true, set2019, TvReadiness::ready},
        {true, device("16_JAZZL_UHD_BASIC", "0", ""), TvReadiness::ready},
        {false, device("19_MUSEL_UHD", "1", "192.168.1.64", R"(,"PowerState":"standby")"),
         TvReadiness::standby},
        {true, device("19_MUSEL_UHD", "1", "192.168.1.64", R"(,"PowerState":"standby")"),
         TvReadiness::ready},
        {false, device("17_KANTM_UHD", "0", "0.0.0.0"), TvReadiness::developerOff},
        {false, device("16_JAZZL_UHD_BASIC", "0", ""), TvReadiness::developerOff},
        // An old address kept while the mode is off says nothing.
        {false, device("15_HAWKM_2D", "0", "192.168.7.7"), TvReadiness::developerOff},
        // No developerMode at all: off, not waiting for a restart.
        {false, std::string(R"({"device":{"type":"Samsung SmartTV","model":"17_KANTM_UHD"}})"),
         TvReadiness::developerOff},
        {false, device("19_MUSEL_UHD", "1", "10.0.0.5"), TvReadiness::notActiveYet},
        // "0.0.0.0" is no address: no other computer holds the TV.
        {false, device("18_KANTM2_QTV", "1", "0.0.0.0"), TvReadiness::notActiveYet},
        {false, device("19_MUSEL_UHD", "1", "64.1.168.192"), TvReadiness::reversedHostIp},
        {true, device("19_MUSEL_UHD", "1", "5.0.0.10"), TvReadiness::reversedHostIp},
        {true, device("19_MUSEL_UHD", "1", "127.0.0.1"), TvReadiness::loopbackHostIp},
        {false, device("19_MUSEL_UHD", "1", "192.168.1.77"), TvReadiness::otherHostIp},
        {true, device("19_MUSEL_UHD", "1", "192.168.1.77"), TvReadiness::otherHostIp},
        {false, std::nullopt, TvReadiness::nothingAnswers},
        // Something else answers on 8001: no TV.
        {false, std::string(R"({"device":{"type":"Printer","developerMode":"1"}})"),
         TvReadiness::nothingAnswers},
        // A /ms/1.0/-style reply without a type whose description is not a TV's.
        {false, std::string(R"({"Model":"X","ModelDescription":"Printer"})"),
         TvReadiness::nothingAnswers},
    };
    for (const auto& c : cases) {
        const auto verdict = judgeTv(answers(c.bridgeOpen, c.description), thisPc);
        EXPECT_EQ(verdict.readiness, c.expected)
            << c.bridgeOpen << " " << c.description.value_or("(none)");
    }
    const auto reversed = judgeTv(answers(false, device("19_X", "1", "64.1.168.192")), thisPc);
    EXPECT_EQ(reversed.hostIp, L"64.1.168.192");
    EXPECT_EQ(reversed.reversedOf, L"192.168.1.64");
    const auto other = judgeTv(answers(false, device("19_X", "1", "192.168.1.77")), thisPc);
    EXPECT_EQ(other.hostIp, L"192.168.1.77");
    // Without addresses of its own, this PC cannot be the Host PC.
    EXPECT_EQ(judgeTv(answers(false, device("19_X", "1", "10.0.0.5")), {}).readiness,
              TvReadiness::otherHostIp);
}

TEST(TvVerdict, SeriesFollowsTheModelYear) {
    EXPECT_EQ(seriesForYear(2015), 0);
    EXPECT_EQ(seriesForYear(2016), 0);
    EXPECT_EQ(seriesForYear(2017), 1);
    EXPECT_EQ(seriesForYear(2024), 1);
    EXPECT_FALSE(seriesForYear(2014));
    EXPECT_FALSE(seriesForYear(std::nullopt));
    EXPECT_EQ(reversedAddress(L"192.168.1.2"), L"2.1.168.192");
}

}  // namespace
