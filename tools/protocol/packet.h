#pragma once
// The bridge's transport packets, as the TV and the tool's server exchange them on TCP 26101: a
// 24-byte little-endian header (command, two arguments, payload length, the payload's byte sum,
// the command XOR 0xFFFFFFFF) followed by the payload. Pure functions over bytes, so that the
// parsing can be unit-tested and fuzzed without a socket.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace protocol {

namespace command {
constexpr std::uint32_t kCnxn = 0x4e584e43;  // "CNXN" read as little-endian text
constexpr std::uint32_t kOpen = 0x4e45504f;
constexpr std::uint32_t kOkay = 0x59414b4f;
constexpr std::uint32_t kClse = 0x45534c43;
constexpr std::uint32_t kWrte = 0x45545257;
}  // namespace command

constexpr std::size_t kHeaderSize = 24;
constexpr std::uint32_t kHostVersion = 0x00100000;    // arg0 of the host's CNXN
constexpr std::uint32_t kDeviceVersion = 0x02000000;  // arg0 of the TV's CNXN
constexpr std::uint32_t kTvMaxPayload = 4096;         // what a TV announces
constexpr std::uint32_t kHostMaxPayload = 262144;     // what current tools announce

struct Packet {
    std::uint32_t command = 0;
    std::uint32_t arg0 = 0;
    std::uint32_t arg1 = 0;
    std::string payload;
};

std::uint32_t byteSum(std::string_view bytes);
std::uint32_t readLe32(std::string_view bytes, std::size_t at);
void appendLe32(std::string& out, std::uint32_t value);

// Header and payload, with the check and magic filled in.
std::string encodePacket(const Packet& packet);
// "CNXN", "WRTE", ...; the number in hex for anything else. For logs.
std::string commandName(std::uint32_t command);

// Cuts a byte stream into packets. It holds at most one header and one payload of the maximum
// in force: a header announcing more is refused before its payload is waited for.
class PacketReader {
  public:
    enum class Status { kNeedMore, kPacket, kBadMagic, kTooLong, kBadCheck };

    explicit PacketReader(std::uint32_t maxPayload) : maxPayload_(maxPayload) {}

    void setMaxPayload(std::uint32_t maxPayload) { maxPayload_ = maxPayload; }
    void feed(std::string_view bytes) { buffer_.append(bytes); }
    // The next whole packet, if one has arrived. After an error the stream cannot be trusted:
    // the caller drops the connection.
    Status next(Packet& out);
    std::size_t buffered() const { return buffer_.size(); }

  private:
    std::uint32_t maxPayload_;
    std::string buffer_;
};

}  // namespace protocol
