#pragma once
// What a Samsung TV says about itself on port 8001 (GET /api/v2/, or /ms/1.0/ on some 2015
// sets). Every value in real replies is a string; anything else counts as absent.
#include <optional>
#include <string>
#include <string_view>

struct TvDescription {
    std::string type;           // "Samsung SmartTV"
    std::string name;           // "[TV] Samsung 7 Series (43)"
    std::string model;          // "19_MUSEL_UHD": the model year's two digits, "_", a code
    std::string modelName;      // "UE43RU7400UXRU"
    std::string developerMode;  // "1" on, "0" off (or on but not active yet), "" not told
    std::string developerIp;    // the Host PC IP; only meaningful while developerMode is "1"
    std::string powerState;     // "on" or "standby" on 2019 and later sets, else ""

    bool operator==(const TvDescription&) const = default;
    bool isSamsungTv() const;
    // 2000 plus the two digits before "_" in `model`, when they are there.
    std::optional<int> modelYear() const;
};

// Nothing when the text is no JSON object that describes a TV.
std::optional<TvDescription> parseTvDescription(std::string_view json);
