#pragma once
// What the TV serves on port 8001: the device description real sets give at /api/v2/ (every value
// a string; developer mode and Host PC IP with each year's conventions; PowerState from 2019), or,
// on an old 2015 set, /ms/1.0/ with its other field names. Pure functions, for tests and fuzzing.
#include <optional>
#include <string>
#include <string_view>

#include "tools/tvsim/options.h"

namespace tvsim {

// "uuid:…", stable per address: the description's id, and the TV's SSDP USNs.
std::string deviceUuid(const TvOptions& options);

std::string apiV2Description(const TvOptions& options);
std::string msV1Description(const TvOptions& options);

struct HttpRequest {
    std::string method;
    std::string target;  // the path, query removed
};

// The request line of a request head ("GET /api/v2/ HTTP/1.1\r\n..."), or nothing when it is
// not one.
std::optional<HttpRequest> parseRequestHead(std::string_view head);

// The whole response (status line, headers, body) to a request head.
std::string httpResponse(const TvOptions& options, std::string_view head);

}  // namespace tvsim
