#include "tools/protocol/sync.h"

#include "tools/protocol/packet.h"

namespace protocol::sync {

namespace {

bool carriesPath(std::uint32_t requestId) {
    return requestId == kStat || requestId == kSend || requestId == kList || requestId == kRecv;
}

}  // namespace

RequestReader::Status RequestReader::next(Request& out) {
    if (buffer_.size() < 8) {
        return Status::kNeedMore;
    }
    const std::uint32_t requestId = readLe32(buffer_, 0);
    const std::uint32_t value = readLe32(buffer_, 4);
    std::size_t bodySize = 0;
    if (carriesPath(requestId)) {
        if (value > kMaxPath) {
            return Status::kPathTooLong;
        }
        bodySize = value;
    } else if (requestId == kData) {
        if (value > kMaxData) {
            return Status::kDataTooLong;
        }
        bodySize = value;
    } else if (requestId != kDone && requestId != kQuit) {
        return Status::kUnknownId;
    }
    if (buffer_.size() < 8 + bodySize) {
        return Status::kNeedMore;
    }
    out.id = requestId;
    out.value = value;
    out.body.assign(buffer_, 8, bodySize);
    buffer_.erase(0, 8 + bodySize);
    return Status::kRequest;
}

std::string encodeRequest(std::uint32_t requestId, std::string_view body) {
    std::string out;
    appendLe32(out, requestId);
    appendLe32(out, static_cast<std::uint32_t>(body.size()));
    out += body;
    return out;
}

std::string encodeValueRequest(std::uint32_t requestId, std::uint32_t value) {
    std::string out;
    appendLe32(out, requestId);
    appendLe32(out, value);
    return out;
}

std::string encodeStat(std::uint32_t mode, std::uint32_t size, std::uint32_t mtime) {
    std::string out;
    appendLe32(out, kStat);
    appendLe32(out, mode);
    appendLe32(out, size);
    appendLe32(out, mtime);
    return out;
}

std::string encodeOkay() {
    return encodeValueRequest(kOkay, 0);
}

std::string encodeFail(std::string_view message) {
    return encodeRequest(kFail, message);
}

std::string idText(std::uint32_t requestId) {
    std::string text;
    appendLe32(text, requestId);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
            c = '?';
        }
    }
    return text;
}

}  // namespace protocol::sync
