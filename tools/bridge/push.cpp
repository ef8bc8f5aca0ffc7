#include "tools/bridge/push.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/protocol/host_service.h"
#include "tools/protocol/packet.h"
#include "tools/protocol/sync.h"

namespace bridge {

namespace {

using namespace std::chrono_literals;
namespace sync = protocol::sync;

constexpr net::Millis kTimeout = 600s;  // a slow TV still takes each piece within this

std::string sizeText(std::uintmax_t bytes) {
    const std::uintmax_t kb = bytes / 1024;
    return kb >= 10000 ? std::to_string(kb / 1024) + "MB" : std::to_string(kb) + "KB";
}

std::string padLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

class Progress {
  public:
    Progress(std::string name, std::uintmax_t total) : name_(std::move(name)), total_(total) {}

    double seconds() const {
        return std::max(
            1e-3,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count());
    }
    std::uintmax_t rate(std::uintmax_t bytes) const {
        return static_cast<std::uintmax_t>(static_cast<double>(bytes) / 1024.0 / seconds());
    }
    // One line a percent, each ended by "\r" so that a terminal shows one line only.
    void update(std::uintmax_t sent) {
        const int percent = total_ == 0 ? 100 : static_cast<int>(sent * 100 / total_);
        if (percent != shown_ && percent < 100) {
            shown_ = percent;
            printOut(line(percent, sent) + "\r");
        }
    }
    void finish() { printOut(line(100, total_) + "\n"); }

  private:
    std::string line(int percent, std::uintmax_t sent) const {
        return "pushed " + name_ + "\t" + padLeft(std::to_string(percent), 3) + "%\t" +
               padLeft(sizeText(sent), 9) + "\t" + padLeft(std::to_string(rate(sent)), 5) + "KB/s";
    }

    std::string name_;
    std::uintmax_t total_;
    int shown_ = -1;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// The TV's status after DONE: nothing when it took the file, else its message.
std::optional<std::string> readDoneStatus(net::Channel& stream, bool& lost) {
    std::string header;
    lost = true;
    if (stream.readExact(header, 8, kTimeout)) {
        return "connection fails";
    }
    const std::uint32_t id = protocol::readLe32(header, 0);
    if (id == sync::kOkay) {
        lost = false;
        return std::nullopt;
    }
    std::string message;
    const std::size_t length = std::min<std::size_t>(protocol::readLe32(header, 4), 255);
    if (id != sync::kFail || stream.readExact(message, length, kTimeout)) {
        return "connection fails";
    }
    lost = false;
    return message;
}

}  // namespace

int push(ServerClient& server, const std::string& serial, const std::string& local,
         std::string remote) {
    const std::filesystem::path localPath(
        std::u8string(reinterpret_cast<const char8_t*>(local.data()), local.size()));
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(localPath, ec);
    std::ifstream file(localPath, std::ios::binary);
    if (ec || !file) {
        printErr("error: failed to get status of '" + local + "': No such file or directory\n");
        return 1;
    }
    std::string failure;
    auto stream = server.open(serial, "sync:", failure);
    if (!stream) {
        printErr(failure + "\n");
        return 1;
    }
    const auto fatal = [&](const std::string& what) {
        printErr("fatal: failed to " + what + " '" + remote + "': connection fails\n");
        return 255;
    };
    // A directory on the TV gets the local file's name appended.
    std::string stat;
    if (stream->write(sync::encodeRequest(sync::kStat, remote), kTimeout) ||
        stream->readExact(stat, 16, kTimeout)) {
        return fatal("get status of");
    }
    if (const std::uint32_t id = protocol::readLe32(stat, 0); id != sync::kStat) {
        printErr("fatal: failed to get status of '" + remote +
                 "': protocol error; expected 'STAT'" + " but got '" + sync::idText(id) + "'\n");
        return 255;
    }
    const std::u8string name = localPath.filename().u8string();
    if ((protocol::readLe32(stat, 4) & 0170000) == 040000) {
        remote += (remote.ends_with('/') ? "" : "/") + std::string(name.begin(), name.end());
    }
    printOut(
        "WARNING: Your data are to be sent over an unencrypted connection and could be read "
        "by others.\n");
    if (stream->write(
            sync::encodeRequest(sync::kSend, remote + "," + std::to_string(sync::kRegularFileMode)),
            kTimeout)) {
        return fatal("open");
    }
    Progress progress(std::string(name.begin(), name.end()), size);
    progress.update(0);
    std::string piece(sync::kMaxData, '\0');
    std::uintmax_t sent = 0;
    while (file) {
        file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0) {
            break;
        }
        if (stream->write(sync::encodeRequest(sync::kData, std::string_view(piece.data(), got)),
                          kTimeout)) {
            return fatal("write");
        }
        sent += got;
        progress.update(sent);
    }
    const auto mtime =
        std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::file_clock::to_sys(std::filesystem::last_write_time(localPath, ec))
                .time_since_epoch())
            .count();
    bool lost = false;
    if (stream->write(sync::encodeValueRequest(sync::kDone, static_cast<std::uint32_t>(mtime)),
                      kTimeout)) {
        return fatal("close");
    }
    const auto refusal = readDoneStatus(*stream, lost);
    if (lost) {
        return fatal("close");
    }
    stream->write(sync::encodeValueRequest(sync::kQuit, 0), kTimeout);
    if (refusal) {
        // The real tool reports it and still ends with status 0.
        printErr("error: failed to close '" + remote + "': " + *refusal + "\n");
        return 0;
    }
    progress.finish();
    printOut("1 file(s) pushed. 0 file(s) skipped.\n");
    char summary[128];
    std::snprintf(summary, sizeof summary, " %5llu",
                  static_cast<unsigned long long>(progress.rate(size)));
    char tail[96];
    std::snprintf(tail, sizeof tail, "KB/s (%llu bytes in %.3fs)\n",
                  static_cast<unsigned long long>(size), progress.seconds());
    std::string path = local;
    if (path.size() < 30) {
        path.resize(30, ' ');
    }
    printOut(path + summary + tail);
    return 0;
}

}  // namespace bridge
