#pragma once
// The tool's own client/server protocol on 127.0.0.1:26099: the client sends "%04x<service>"
// (four hex digits of length); the server answers "OKAY", or "FAIL%04x<message>". Answers that
// carry text (devices, connect, get-state) follow the OKAY as "%04x<text>".
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

constexpr std::size_t kMaxServiceLength = 1024;

std::string encodeService(std::string_view service);  // also "%04x<text>" after an OKAY
std::string encodeOkay();
std::string encodeFail(std::string_view message);
// Four hex digits (either case) as a number; nothing for anything else.
std::optional<std::size_t> parseHex4(std::string_view digits);

// The server's side: one service request, which may arrive in pieces.
class ServiceReader {
  public:
    enum class Status { kNeedMore, kService, kBadLength };

    void feed(std::string_view bytes) { buffer_.append(bytes); }
    Status next(std::string& service);
    // Bytes that arrived after the service (the start of a stream's traffic).
    std::string takeRest();

  private:
    std::string buffer_;
};

}  // namespace protocol
