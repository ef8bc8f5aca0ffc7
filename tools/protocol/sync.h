#pragma once
// The file-transfer dialogue inside a "sync:" stream: each request a 4-character id, a 32-bit
// little-endian length and, for the requests that carry one, that many bytes (a path, or a piece
// of the file). STAT is answered with mode, size and mtime; DONE with OKAY, or FAIL and a message.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace protocol::sync {

constexpr std::uint32_t id(const char (&text)[5]) {
    return std::uint32_t{static_cast<unsigned char>(text[0])} |
           std::uint32_t{static_cast<unsigned char>(text[1])} << 8 |
           std::uint32_t{static_cast<unsigned char>(text[2])} << 16 |
           std::uint32_t{static_cast<unsigned char>(text[3])} << 24;
}
constexpr std::uint32_t kStat = id("STAT");
constexpr std::uint32_t kSend = id("SEND");
constexpr std::uint32_t kData = id("DATA");
constexpr std::uint32_t kDone = id("DONE");
constexpr std::uint32_t kQuit = id("QUIT");
constexpr std::uint32_t kOkay = id("OKAY");
constexpr std::uint32_t kFail = id("FAIL");
constexpr std::uint32_t kList = id("LIST");
constexpr std::uint32_t kRecv = id("RECV");

constexpr std::size_t kMaxPath = 1024;       // longest path (with ",mode" for SEND)
constexpr std::size_t kMaxData = 64 * 1024;  // largest DATA piece
constexpr std::uint32_t kRegularFileMode = 0100755;
constexpr std::uint32_t kDirectoryMode = 040755;

struct Request {
    std::uint32_t id = 0;
    // The length field: the body's size, except for DONE (the file's mtime) and QUIT.
    std::uint32_t value = 0;
    std::string body;
};

// Cuts a sync stream into requests, which may arrive split anywhere. Holds at most one request,
// and refuses a length beyond the limits before waiting for its bytes.
class RequestReader {
  public:
    enum class Status { kNeedMore, kRequest, kPathTooLong, kDataTooLong, kUnknownId };

    void feed(std::string_view bytes) { buffer_.append(bytes); }
    Status next(Request& out);
    std::size_t buffered() const { return buffer_.size(); }

  private:
    std::string buffer_;
};

// What the tool sends.
std::string encodeRequest(std::uint32_t requestId, std::string_view body);
std::string encodeValueRequest(std::uint32_t requestId, std::uint32_t value);  // DONE, QUIT
// What the TV answers.
std::string encodeStat(std::uint32_t mode, std::uint32_t size, std::uint32_t mtime);
std::string encodeOkay();
std::string encodeFail(std::string_view message);
std::string idText(std::uint32_t requestId);

}  // namespace protocol::sync
