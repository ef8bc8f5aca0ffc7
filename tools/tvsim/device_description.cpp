#include "tools/tvsim/device_description.h"

#include <cstdio>
#include <vector>

namespace tvsim {

namespace {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

struct Field {
    std::string key;
    std::string value;    // a string, as every value on a real set
    bool object = false;  // `value` is an object we built
};
using Fields = std::vector<Field>;

std::string jsonObject(const Fields& fields) {
    std::string out = "{";
    for (const auto& field : fields) {
        out += (out.size() > 1 ? "," : "") + jsonString(field.key) + ":" +
               (field.object ? field.value : jsonString(field.value));
    }
    return out + "}";
}

std::string developerIp(const TvOptions& options) {
    if (options.developerMode != DeveloperMode::kOff) {
        return options.storedHostIp();
    }
    return options.year <= 2016 ? "" : "0.0.0.0";
}

}  // namespace

std::string deviceUuid(const TvOptions& options) {
    // Stable per address, so that two simulated TVs differ.
    unsigned hash = 2166136261u;
    for (char c : options.address) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    char id[64];
    std::snprintf(id, sizeof id, "uuid:0f3c5a2e-%04x-4e6f-9b1d-%012x", hash & 0xffff, hash);
    return id;
}

std::string apiV2Description(const TvOptions& options) {
    const std::string id = deviceUuid(options);
    const std::string uri =
        "http://" + options.address + ":" + std::to_string(options.httpPort) + "/api/v2/";
    Fields device = {
        {"FrameTVSupport", "false"},
        {"GamePadSupport", options.year >= 2017 ? "true" : "false"},
        {"Language", "ru_RU"},
        {"OS", "Tizen"},
    };
    if (options.year >= 2019) {
        device.push_back({"PowerState", options.standby ? "standby" : "on"});
    }
    const Fields rest = {
        {"TokenAuthSupport", options.year >= 2017 ? "true" : "false"},
        {"VoiceSupport", "true"},
        {"countryCode", "RU"},
        {"description", "Samsung DTV RCR"},
        {"developerIP", developerIp(options)},
        {"developerMode", options.developerMode == DeveloperMode::kOn ? "1" : "0"},
        {"duid", id},
        {"firmwareVersion", "Unknown"},
        {"id", id},
        {"ip", options.address},
        {"model", options.modelCode},
        {"modelName", options.modelName},
        {"name", options.name},
        {"networkType", "wired"},
        {"resolution", "3840x2160"},
        {"type", "Samsung SmartTV"},
        {"udn", id},
        {"wifiMac", "B8:BC:5B:00:00:01"},
    };
    device.insert(device.end(), rest.begin(), rest.end());
    return jsonObject({
        {"device", jsonObject(device), true},
        {"id", id},
        {"isSupport", "{\"DMP_DRM_PLAYREADY\":\"false\",\"DMP_available\":\"true\"}\n"},
        {"name", options.name},
        {"remote", "1.0"},
        {"type", "Samsung SmartTV"},
        {"uri", uri},
        {"version", "2.0.25"},
    });
}

std::string msV1Description(const TvOptions& options) {
    const std::string id = deviceUuid(options);
    const std::string base = "http://" + options.address + ":" + std::to_string(options.httpPort);
    return jsonObject({
        {"DUID", id},
        {"Model", options.modelCode},
        {"ModelName", options.modelName},
        {"ModelDescription", "Samsung DTV RCR"},
        {"NetworkType", "wired"},
        {"IP", options.address},
        {"FirmwareVersion", "Unknown"},
        {"DeviceName", options.name},
        {"DeviceID", id},
        {"UDN", id},
        {"Resolution", "1920x1080"},
        {"CountryCode", "RU"},
        {"ServiceURI", base + "/ms/1.0/"},
        {"DialURI", base + "/ws/apps/"},
    });
}

std::optional<HttpRequest> parseRequestHead(std::string_view head) {
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const std::size_t firstSpace = line.find(' ');
    if (lineEnd == std::string_view::npos || firstSpace == 0 ||
        firstSpace == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t secondSpace = line.find(' ', firstSpace + 1);
    if (secondSpace == std::string_view::npos || secondSpace == firstSpace + 1 ||
        line.substr(secondSpace + 1).rfind("HTTP/1.", 0) != 0) {
        return std::nullopt;
    }
    HttpRequest request;
    request.method = std::string(line.substr(0, firstSpace));
    request.target = std::string(line.substr(firstSpace + 1, secondSpace - firstSpace - 1));
    request.target = request.target.substr(0, request.target.find('?'));
    return request;
}

std::string httpResponse(const TvOptions& options, std::string_view head) {
    std::string status = "404 Not Found";
    std::string body = "{\"error\":\"not found\"}";
    const auto request = parseRequestHead(head);
    if (!request) {
        status = "400 Bad Request";
        body = "{\"error\":\"bad request\"}";
    } else if (request->method == "GET") {
        const std::string& path = request->target;
        if (!options.oldApi && (path == "/api/v2/" || path == "/api/v2")) {
            status = "200 OK";
            body = apiV2Description(options);
        } else if (options.oldApi && (path == "/ms/1.0/" || path == "/ms/1.0")) {
            status = "200 OK";
            body = msV1Description(options);
        }
    }
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace tvsim
