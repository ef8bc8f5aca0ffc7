#include "tools/protocol/packet.h"

#include <cstdio>

namespace protocol {

std::uint32_t byteSum(std::string_view bytes) {
    std::uint32_t sum = 0;
    for (unsigned char byte : bytes) {
        sum += byte;
    }
    return sum;
}

std::uint32_t readLe32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
    }
    return value;
}

void appendLe32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

std::string encodePacket(const Packet& packet) {
    std::string out;
    out.reserve(kHeaderSize + packet.payload.size());
    appendLe32(out, packet.command);
    appendLe32(out, packet.arg0);
    appendLe32(out, packet.arg1);
    appendLe32(out, static_cast<std::uint32_t>(packet.payload.size()));
    appendLe32(out, byteSum(packet.payload));
    appendLe32(out, packet.command ^ 0xffffffffu);
    out += packet.payload;
    return out;
}

std::string commandName(std::uint32_t command) {
    switch (command) {
        case command::kCnxn:
            return "CNXN";
        case command::kOpen:
            return "OPEN";
        case command::kOkay:
            return "OKAY";
        case command::kClse:
            return "CLSE";
        case command::kWrte:
            return "WRTE";
        default: {
            char text[16];
            std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(command));
            return text;
        }
    }
}

PacketReader::Status PacketReader::next(Packet& out) {
    if (buffer_.size() < kHeaderSize) {
        return Status::kNeedMore;
    }
    const std::uint32_t command = readLe32(buffer_, 0);
    const std::uint32_t length = readLe32(buffer_, 12);
    if (readLe32(buffer_, 20) != (command ^ 0xffffffffu)) {
        return Status::kBadMagic;
    }
    if (length > maxPayload_) {
        return Status::kTooLong;
    }
    if (buffer_.size() < kHeaderSize + length) {
        return Status::kNeedMore;
    }
    const std::string_view payload = std::string_view(buffer_).substr(kHeaderSize, length);
    if (byteSum(payload) != readLe32(buffer_, 16)) {
        return Status::kBadCheck;
    }
    out.command = command;
    out.arg0 = readLe32(buffer_, 4);
    out.arg1 = readLe32(buffer_, 8);
    out.payload.assign(payload);
    buffer_.erase(0, kHeaderSize + length);
    return Status::kPacket;
}

}  // namespace protocol
