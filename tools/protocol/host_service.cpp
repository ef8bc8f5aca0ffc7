#include "tools/protocol/host_service.h"

#include <cstdio>

namespace protocol {

std::string encodeService(std::string_view service) {
    char length[8];
    std::snprintf(length, sizeof length, "%04zx", service.size() & 0xffff);
    return std::string(length) + std::string(service);
}

std::string encodeOkay() {
    return "OKAY";
}

std::string encodeFail(std::string_view message) {
    return "FAIL" + encodeService(message);
}

std::optional<std::size_t> parseHex4(std::string_view digits) {
    if (digits.size() != 4) {
        return std::nullopt;
    }
    std::size_t value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::size_t>(digit);
    }
    return value;
}

ServiceReader::Status ServiceReader::next(std::string& service) {
    if (buffer_.size() < 4) {
        return Status::kNeedMore;
    }
    const auto length = parseHex4(std::string_view(buffer_).substr(0, 4));
    if (!length || *length == 0 || *length > kMaxServiceLength) {
        return Status::kBadLength;
    }
    if (buffer_.size() < 4 + *length) {
        return Status::kNeedMore;
    }
    service.assign(buffer_, 4, *length);
    buffer_.erase(0, 4 + *length);
    return Status::kService;
}

std::string ServiceReader::takeRest() {
    std::string rest;
    rest.swap(buffer_);
    return rest;
}

}  // namespace protocol
