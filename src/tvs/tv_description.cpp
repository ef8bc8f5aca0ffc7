#include "src/tvs/tv_description.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// The string value of the first of these keys that holds one.
std::string stringField(const json& object, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        const auto found = object.find(key);
        if (found != object.end() && found->is_string())
            return found->get<std::string>();
    }
    return {};
}

}  // namespace

bool TvDescription::isSamsungTv() const {
    return type == "Samsung SmartTV";
}

std::optional<int> TvDescription::modelYear() const {
    if (model.size() < 3 || model[2] != '_' || model[0] < '0' || model[0] > '9' || model[1] < '0' ||
        model[1] > '9') {
        return std::nullopt;
    }
    return 2000 + (model[0] - '0') * 10 + (model[1] - '0');
}

std::optional<TvDescription> parseTvDescription(std::string_view text) {
    // No exceptions: a malformed reply is simply no description.
    const json document = json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded() || !document.is_object())
        return std::nullopt;
    TvDescription tv;
    const auto device = document.find("device");
    if (device != document.end() && device->is_object()) {
        // /api/v2/: the set's own fields under "device", its type and name also at the top.
        const json& d = *device;
        tv.type = stringField(d, {"type"});
        if (tv.type.empty())
            tv.type = stringField(document, {"type"});
        tv.name = stringField(d, {"name"});
        if (tv.name.empty())
            tv.name = stringField(document, {"name"});
        tv.model = stringField(d, {"model"});
        tv.modelName = stringField(d, {"modelName"});
        tv.developerMode = stringField(d, {"developerMode"});
        tv.developerIp = stringField(d, {"developerIP"});
        tv.powerState = stringField(d, {"PowerState"});
    } else {
        // /ms/1.0/ of the 2015 sets: capitalised names, no type; its description names the set.
        tv.model = stringField(document, {"Model", "model"});
        tv.modelName = stringField(document, {"ModelName", "modelName"});
        tv.name = stringField(document, {"DeviceName", "Name", "name"});
        tv.type = stringField(document, {"Type", "type"});
        if (tv.type.empty() &&
            stringField(document, {"ModelDescription", "description"}) == "Samsung DTV RCR") {
            tv.type = "Samsung SmartTV";
        }
        tv.developerMode = stringField(document, {"DeveloperMode", "developerMode"});
        tv.developerIp = stringField(document, {"DeveloperIP", "developerIP"});
    }
    if (tv.type.empty() && tv.model.empty() && tv.modelName.empty())
        return std::nullopt;
    return tv;
}
