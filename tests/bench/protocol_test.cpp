// The bridge's wire formats: a reader must give the same requests however the bytes were cut
// into pieces on the way, and refuse a length beyond its limit before waiting for the bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/protocol/host_service.h"
#include "tools/protocol/packet.h"
#include "tools/protocol/sync.h"

namespace {

using protocol::Packet;
using protocol::PacketReader;
namespace sync = protocol::sync;

std::vector<Packet> readAll(PacketReader& reader, PacketReader::Status& last) {
    std::vector<Packet> packets;
    Packet packet;
    while ((last = reader.next(packet)) == PacketReader::Status::kPacket) {
        packets.push_back(packet);
    }
    return packets;
}

TEST(Packets, HeaderFieldsAreLittleEndianWithByteSumAndMagic) {
    const std::string bytes =
        protocol::encodePacket({protocol::command::kWrte, 7, 9, std::string("\x01\xff", 2)});
    ASSERT_EQ(bytes.size(), protocol::kHeaderSize + 2);
    EXPECT_EQ(bytes.substr(0, 4), "WRTE");
    EXPECT_EQ(protocol::readLe32(bytes, 4), 7u);
    EXPECT_EQ(protocol::readLe32(bytes, 8), 9u);
    EXPECT_EQ(protocol::readLe32(bytes, 12), 2u);
    EXPECT_EQ(protocol::readLe32(bytes, 16), 0x100u);  // 1 + 255: bytes counted unsigned
    EXPECT_EQ(protocol::readLe32(bytes, 20), protocol::command::kWrte ^ 0xffffffffu);
}

TEST(Packets, SameLinksHoweverTheStreamIsCut) {
    std::string stream;
    std::vector<Packet> sent = {
        {protocol::command::kCnxn, protocol::kHostVersion, 262144, std::string("host::\0", 7)},
        {protocol::command::kOpen, 3, 0, std::string("shell:0 applist\0", 16)},
        {protocol::command::kOkay, 3, 1, ""},
        {protocol::command::kWrte, 3, 1, std::string(4096, 'x')},
    };
    for (const auto& packet : sent) {
        stream += protocol::encodePacket(packet);
    }
    for (std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{23}, std::size_t{24},
                              std::size_t{1000}, stream.size()}) {
        PacketReader reader(protocol::kTvMaxPayload);
        std::vector<Packet> got;
        PacketReader::Status last{};
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.feed(std::string_view(stream).substr(at, piece));
            for (auto& packet : readAll(reader, last)) {
                got.push_back(packet);
            }
            ASSERT_EQ(last, PacketReader::Status::kNeedMore) << "piece " << piece;
        }
        ASSERT_EQ(got.size(), sent.size()) << "piece " << piece;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(got[i].command, sent[i].command);
            EXPECT_EQ(got[i].arg0, sent[i].arg0);
            EXPECT_EQ(got[i].arg1, sent[i].arg1);
            EXPECT_EQ(got[i].payload, sent[i].payload);
        }
        EXPECT_EQ(reader.buffered(), 0u);
    }
}

TEST(Packets, RefusesBadMagicBadCheckAndPayloadOverTheMaximumAtTheHeader) {
    std::string bytes = protocol::encodePacket({protocol::command::kWrte, 1, 1, "data"});
    PacketReader::Status last{};

    std::string badMagic = bytes;
    badMagic[20] ^= 1;
    PacketReader magicReader(4096);
    magicReader.feed(badMagic);
    readAll(magicReader, last);
    EXPECT_EQ(last, PacketReader::Status::kBadMagic);

    std::string badCheck = bytes;
    badCheck[protocol::kHeaderSize] ^= 1;  // payload changed, sum not
    PacketReader checkReader(4096);
    checkReader.feed(badCheck);
    readAll(checkReader, last);
    EXPECT_EQ(last, PacketReader::Status::kBadCheck);

    // 4097 announced: refused with the header alone, before any payload arrived.
    const std::string tooLong =
        protocol::encodePacket({protocol::command::kWrte, 1, 1, std::string(4097, 'x')});
    PacketReader longReader(4096);
    longReader.feed(std::string_view(tooLong).substr(0, protocol::kHeaderSize));
    readAll(longReader, last);
    EXPECT_EQ(last, PacketReader::Status::kTooLong);
}

TEST(SyncRequests, SplitAnywhereStillGivesTheRequests) {
    // As the Windows tool writes them: "SE" and "ND" may come as two pieces.
    const std::string stream = sync::encodeRequest(sync::kStat, "/tmp/a.wgt") +
                               sync::encodeRequest(sync::kSend, "/tmp/a.wgt,33261") +
                               sync::encodeRequest(sync::kData, std::string(70, 'd')) +
                               sync::encodeValueRequest(sync::kDone, 1700000000) +
                               sync::encodeValueRequest(sync::kQuit, 0);
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        sync::RequestReader reader;
        std::vector<sync::Request> got;
        for (std::string_view piece :
             {std::string_view(stream).substr(0, cut), std::string_view(stream).substr(cut)}) {
            reader.feed(piece);
            sync::Request request;
            sync::RequestReader::Status status;
            while ((status = reader.next(request)) == sync::RequestReader::Status::kRequest) {
                got.push_back(request);
            }
            ASSERT_EQ(status, sync::RequestReader::Status::kNeedMore) << "cut at " << cut;
        }
        ASSERT_EQ(got.size(), 5u) << "cut at " << cut;
        EXPECT_EQ(got[1].body, "/tmp/a.wgt,33261");
        EXPECT_EQ(got[2].body, std::string(70, 'd'));
        EXPECT_EQ(got[3].id, sync::kDone);
        EXPECT_EQ(got[3].value, 1700000000u);  // the mtime, no body
        EXPECT_TRUE(got[3].body.empty());
    }
}

TEST(SyncRequests, LengthsBeyondTheLimitsAndUnknownIdsAreRefusedAtOnce) {
    auto statusOf = [](const std::string& header) {
        sync::RequestReader reader;
        reader.feed(header);
        sync::Request request;
        return reader.next(request);
    };
    using Status = sync::RequestReader::Status;
    EXPECT_EQ(statusOf(sync::encodeValueRequest(sync::kStat, 1025)), Status::kPathTooLong);
    EXPECT_EQ(statusOf(sync::encodeValueRequest(sync::kSend, 0xffffffffu)), Status::kPathTooLong);
    EXPECT_EQ(statusOf(sync::encodeValueRequest(sync::kStat, 1024)), Status::kNeedMore);
    EXPECT_EQ(statusOf(sync::encodeValueRequest(sync::kData, 65537)), Status::kDataTooLong);
    EXPECT_EQ(statusOf(sync::encodeValueRequest(sync::kData, 65536)), Status::kNeedMore);
    EXPECT_EQ(statusOf(sync::encodeValueRequest(sync::id("XXXX"), 0)), Status::kUnknownId);
}

TEST(HostServices, RequestsAndAnswersAsTheToolFramesThem) {
    EXPECT_EQ(protocol::encodeService("host:kill"), "0009host:kill");
    EXPECT_EQ(protocol::encodeFail("closed"), "FAIL0006closed");
    EXPECT_EQ(protocol::parseHex4("00Ff"), 255u);
    EXPECT_FALSE(protocol::parseHex4("00g1"));
    EXPECT_FALSE(protocol::parseHex4("+001"));

    protocol::ServiceReader reader;
    reader.feed("0012host:transport");
    std::string service;
    EXPECT_EQ(reader.next(service), protocol::ServiceReader::Status::kNeedMore);
    reader.feed("-any0005sync:STAT");
    ASSERT_EQ(reader.next(service), protocol::ServiceReader::Status::kService);
    EXPECT_EQ(service, "host:transport-any");
    ASSERT_EQ(reader.next(service), protocol::ServiceReader::Status::kService);
    EXPECT_EQ(service, "sync:");
    EXPECT_EQ(reader.takeRest(), "STAT");

    for (const char* bad : {"0000", "0401", "zzzz"}) {
        protocol::ServiceReader badReader;
        badReader.feed(bad);
        EXPECT_EQ(badReader.next(service), protocol::ServiceReader::Status::kBadLength) << bad;
    }
}

}  // namespace
