// Fuzzes what the simulated TV parses from a host: transport packets, sync requests, the tool's
// host service requests, HTTP request heads, shell lines and SSDP searches. The first byte picks
// the parser and a cut point; the rest is the input. Each reader must give the same results
// whether the input came whole or in two pieces and stay within its limits; what the packet and
// sync readers took must encode back to exactly the bytes they consumed; every HTTP answer must be
// well formed; a search taken must be one the TV can answer within its MX, in whole messages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "tools/protocol/host_service.h"
#include "tools/protocol/packet.h"
#include "tools/protocol/sync.h"
#include "tools/tvsim/device_description.h"
#include "tools/tvsim/options.h"
#include "tools/tvsim/shell_line.h"
#include "tools/tvsim/ssdp.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

// Everything a reader gives for `input` fed in the pieces [0, cut) and [cut, end), as text, and
// the status it ended with. `encode` gives an item's bytes back, when the format has one form.
template <typename Reader, typename Item, typename Status, typename Describe, typename Encode>
std::string readInPieces(std::string_view input, std::size_t cut, Status ok, Status needMore,
                         Describe describe, Encode encode) {
    Reader reader;
    std::string out;
    std::string again;
    for (std::string_view piece : {input.substr(0, cut), input.substr(cut)}) {
        reader.feed(piece);
        Item item;
        Status status;
        while ((status = reader.next(item)) == ok) {
            out += describe(item) + "|";
            again += encode(item);
        }
        if (status != needMore) {
            return out + "error " + std::to_string(static_cast<int>(status));
        }
    }
    if constexpr (!std::is_same_v<Reader, protocol::ServiceReader>) {
        require(again == input.substr(0, input.size() - reader.buffered()));
    }
    if constexpr (std::is_base_of_v<protocol::PacketReader, Reader>) {
        require(reader.buffered() < protocol::kHeaderSize + protocol::kTvMaxPayload);
    }
    return out;
}

std::string encodeSync(const protocol::sync::Request& r) {
    namespace sync = protocol::sync;
    return r.id == sync::kDone || r.id == sync::kQuit ? sync::encodeValueRequest(r.id, r.value)
                                                      : sync::encodeRequest(r.id, r.body);
}

struct TvPacketReader : protocol::PacketReader {
    TvPacketReader() : protocol::PacketReader(protocol::kTvMaxPayload) {}
};

std::string describePacket(const protocol::Packet& p) {
    require(p.payload.size() <= protocol::kTvMaxPayload);
    const std::string again = protocol::encodePacket(p);
    require(protocol::readLe32(again, 16) == protocol::byteSum(p.payload));
    return std::to_string(p.command) + "," + std::to_string(p.arg0) + "," + std::to_string(p.arg1) +
           "," + p.payload;
}

std::string describeSync(const protocol::sync::Request& r) {
    namespace sync = protocol::sync;
    if (r.id == sync::kData) {
        require(r.body.size() <= sync::kMaxData);
    } else if (r.id == sync::kDone || r.id == sync::kQuit) {
        require(r.body.empty());
    } else {
        require(r.body.size() <= sync::kMaxPath);
    }
    return std::to_string(r.id) + "," + std::to_string(r.value) + "," + r.body;
}

std::string describeService(const std::string& service) {
    require(!service.empty() && service.size() <= protocol::kMaxServiceLength);
    return service;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const unsigned choice = data[0] % 6;
    const std::size_t cut = input.empty() ? 0 : (data[0] / 6) * 7 % (input.size() + 1);
    switch (choice) {
        case 0: {
            using S = protocol::PacketReader::Status;
            const auto whole = readInPieces<TvPacketReader, protocol::Packet>(
                input, input.size(), S::kPacket, S::kNeedMore, describePacket,
                protocol::encodePacket);
            const auto split = readInPieces<TvPacketReader, protocol::Packet>(
                input, cut, S::kPacket, S::kNeedMore, describePacket, protocol::encodePacket);
            require(whole == split);
            break;
        }
        case 1: {
            using S = protocol::sync::RequestReader::Status;
            const auto whole = readInPieces<protocol::sync::RequestReader, protocol::sync::Request>(
                input, input.size(), S::kRequest, S::kNeedMore, describeSync, encodeSync);
            const auto split = readInPieces<protocol::sync::RequestReader, protocol::sync::Request>(
                input, cut, S::kRequest, S::kNeedMore, describeSync, encodeSync);
            require(whole == split);
            break;
        }
        case 2: {
            using S = protocol::ServiceReader::Status;
            const auto whole = readInPieces<protocol::ServiceReader, std::string>(
                input, input.size(), S::kService, S::kNeedMore, describeService,
                [](const std::string&) { return std::string(); });
            const auto split = readInPieces<protocol::ServiceReader, std::string>(
                input, cut, S::kService, S::kNeedMore, describeService,
                [](const std::string&) { return std::string(); });
            require(whole == split);
            break;
        }
        case 3: {
            static const tvsim::TvOptions options = [] {
                auto parsed = tvsim::parseOptions(
                    {"--address", "127.0.0.5", "--state", "/tmp/fuzz-tv", "--year", "2019"});
                return std::get<tvsim::TvOptions>(parsed);
            }();
            const std::string answer = tvsim::httpResponse(options, input);
            require(answer.rfind("HTTP/1.1 ", 0) == 0);
            const auto headEnd = answer.find("\r\n\r\n");
            require(headEnd != std::string::npos);
            const std::string body = answer.substr(headEnd + 4);
            require(answer.find("Content-Length: " + std::to_string(body.size()) + "\r\n") <
                    headEnd);
            const auto request = tvsim::parseRequestHead(input);
            if (request) {
                require(request->target.find('?') == std::string::npos);
                require(request->method.find(' ') == std::string::npos);
            }
            break;
        }
        case 5: {
            static const tvsim::TvOptions options = [] {
                auto parsed = tvsim::parseOptions({"--address", "10.213.0.2", "--state", "/tmp/t"});
                return std::get<tvsim::TvOptions>(parsed);
            }();
            const bool multicast = cut % 2 == 0;
            const auto parsed = tvsim::parseSsdpSearch(input, multicast);
            const auto* search = std::get_if<tvsim::SsdpSearch>(&parsed);
            if (!search) {
                require(!std::get<std::string>(parsed).empty());
                break;
            }
            require(input.rfind("M-SEARCH * HTTP/1.1\r\n", 0) == 0);
            require(!search->target.empty() &&
                    search->target.find_first_of("\r\n") == std::string::npos);
            require(multicast ? search->mx >= 1 && search->mx <= 5 : search->mx == 0);
            require(tvsim::ssdpAnswerDelay(-1, *search, static_cast<uint32_t>(size) * 2654435761u)
                        .count() <= search->mx * 1000);
            const auto answers = tvsim::ssdpAnswers(options, *search, 0);
            require(answers.size() <= 3 && (search->target != "ssdp:all" || answers.size() == 3));
            for (const auto& answer : answers) {
                require(answer.rfind("HTTP/1.1 200 OK\r\n", 0) == 0);
                require(answer.find("\r\n\r\n") == answer.size() - 4);
                require(search->target == "ssdp:all" ||
                        answer.find("\r\nST: " + search->target + "\r\n") != std::string::npos);
            }
            break;
        }
        default: {
            if (const auto line = tvsim::retailCommandLine(input)) {
                require(input.substr(0, 2) == "0 " && input.substr(2) == *line);
                require(!line->empty() && (*line)[0] != ' ');
            }
            for (const auto& word : tvsim::splitWords(input)) {
                require(word.size() <= input.size());
            }
            break;
        }
    }
    return 0;
}
