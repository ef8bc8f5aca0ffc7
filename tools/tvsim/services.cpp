#include "tools/tvsim/services.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tools/protocol/sync.h"
#include "tools/tvsim/link.h"
#include "tools/tvsim/shell_line.h"
#include "tools/tvsim/tv.h"

namespace tvsim {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
namespace sync = protocol::sync;

constexpr auto kSyncIdleLimit = 15s;  // a TV gives up on a sync stream without requests

void runShell(Tv& tv, Stream& stream, const std::string& line) {
    bool open = true;
    tv.runShell(line, [&](const std::string& text) {
        // A PTY turns every "\n" into "\r\n".
        std::string terminal;
        for (char c : text) {
            terminal += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        open = open && stream.write(terminal);
    });
}

// One push after another on a sync stream, until QUIT, a fault or the idle limit.
class SyncSession {
  public:
    SyncSession(Tv& tv, Link& link, Stream& stream) : tv_(tv), link_(link), stream_(stream) {}

    void run() {
        sync::RequestReader reader;
        for (;;) {
            sync::Request request;
            switch (reader.next(request)) {
                case sync::RequestReader::Status::kRequest:
                    if (!handle(request)) {
                        return;
                    }
                    continue;
                case sync::RequestReader::Status::kPathTooLong:
                    fail("invalid namelen");
                    return;
                case sync::RequestReader::Status::kDataTooLong:
                    fail("oversize data message");
                    return;
                case sync::RequestReader::Status::kUnknownId:
                    fail("unknown request");
                    return;
                case sync::RequestReader::Status::kNeedMore:
                    break;
            }
            std::string bytes;
            const auto got = stream_.read(bytes, kSyncIdleLimit);
            if (got == Stream::Read::kTimeout) {
                tv_.log("sync timeout");
                fail("sync timeout");
                return;
            }
            if (got == Stream::Read::kClosed) {
                return;
            }
            reader.feed(bytes);
        }
    }

  private:
    void fail(const std::string& message) { stream_.write(sync::encodeFail(message)); }

    // False when the stream is to close.
    bool handle(const sync::Request& request) {
        if (request.id == sync::kStat) {
            stat(request.body);
        } else if (request.id == sync::kSend) {
            startFile(request.body);
        } else if (request.id == sync::kData) {
            return takeData(request.body);
        } else if (request.id == sync::kDone) {
            finishFile();
        } else if (request.id == sync::kQuit) {
            return false;
        } else {
            fail("Permission denied");  // LIST and RECV: nothing to read on a retail set
        }
        return true;
    }

    void stat(const std::string& remote) {
        const fs::path path = tv_.hostPath(remote);
        std::error_code ec;
        const auto status = path.empty() ? fs::file_status() : fs::status(path, ec);
        std::uint32_t mode = 0;
        std::uint32_t size = 0;
        if (fs::is_directory(status)) {
            mode = sync::kDirectoryMode;
        } else if (fs::is_regular_file(status)) {
            mode = 0100644;
            size = static_cast<std::uint32_t>(fs::file_size(path, ec));
        }
        stream_.write(sync::encodeStat(mode, size, 0));
    }

    void startFile(const std::string& body) {
        // "<remote path>,<mode>"
        const std::string remote = body.substr(0, body.rfind(','));
        tv_.log("push: " + remote);
        received_ = 0;
        file_.close();
        sending_ = true;
        failed_ = false;
        // A TV that cannot take the file says so at once; the tool reads it after its DONE.
        if (auto refusal = tv_.pushRefusal(remote)) {
            tv_.log("push refused: " + *refusal);
            refuse(*refusal);
            return;
        }
        const fs::path target = tv_.hostPath(remote);
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        fs::remove(target, ec);
        // Written in place: a push cut short leaves a partial file, as on a real TV.
        file_.open(target, std::ios::binary | std::ios::trunc);
        if (!file_) {
            refuse(std::strerror(errno != 0 ? errno : EACCES));
        }
    }

    void refuse(const std::string& message) {
        failed_ = true;
        fail(message);
    }

    bool takeData(const std::string& bytes) {
        if (!sending_ || failed_) {
            return true;  // after an early FAIL the rest of the file is dropped
        }
        const long long dropAfter = tv_.options().dropAfterBytes;
        const auto size = static_cast<long long>(bytes.size());
        if (dropAfter >= 0 && received_ + size >= dropAfter) {
            file_.write(bytes.data(), static_cast<std::streamsize>(dropAfter - received_));
            file_.close();
            tv_.log("dropped push after " + std::to_string(dropAfter) + " bytes");
            link_.reset();
            return false;
        }
        file_.write(bytes.data(), static_cast<std::streamsize>(size));
        received_ += size;
        return true;
    }

    void finishFile() {
        if (!sending_) {
            fail("no file");
            return;
        }
        sending_ = false;
        if (failed_) {
            return;  // its FAIL went when the file was refused
        }
        file_.close();
        if (tv_.options().slowMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(tv_.options().slowMs));
        }
        if (!file_) {
            fail("write failed");
        } else {
            stream_.write(sync::encodeOkay());
        }
    }

    Tv& tv_;
    Link& link_;
    Stream& stream_;
    std::ofstream file_;
    bool sending_ = false;
    bool failed_ = false;
    long long received_ = 0;
};

std::string keyLines(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string text;
    for (const auto& [key, value] : pairs) {
        text += key + ":" + value + "\n";
    }
    return text;
}

}  // namespace

std::string capabilityBlock(const Tv& tv) {
    const TvOptions& options = tv.options();
    std::string text = keyLines({
        {"secure_protocol", "disabled"},
        {"intershell_support", "disabled"},
        {"filesync_support", "pushpull"},
        {"usbproto_support", "disabled"},
        {"sockproto_support", "enabled"},
        {"rootonoff_support", "disabled"},
        {"zone_support", "disabled"},
        {"multiuser_support", options.tizenMajor() >= 3 ? "enabled" : "disabled"},
        {"cpu_arch", "armv7"},
        {"sdk_toolpath", options.sdkToolPath()},
        {"profile_name", "tv"},
        {"vendor_name", "Samsung"},
        {"platform_version", options.tizen},
        {"product_version", "1.0"},
        {"sdbd_version", "2.2.31"},
        {"sdbd_plugin_version", "1.0.0"},
        {"syncwinsz_support", "disabled"},
        {"log_enable", "disabled"},
        {"log_path", "/tmp"},
    });
    text.push_back('\0');
    std::string block;
    block.push_back(static_cast<char>(text.size() & 0xff));
    block.push_back(static_cast<char>((text.size() >> 8) & 0xff));
    return block + text;
}

std::optional<ServiceRunner> serviceFor(Tv& tv, Link& link, const std::string& service) {
    if (service.rfind("shell:", 0) == 0) {
        auto line = retailCommandLine(std::string_view(service).substr(6));
        if (!line) {
            return std::nullopt;
        }
        return ServiceRunner{[&tv, line = *line](Stream& stream) { runShell(tv, stream, line); }};
    }
    if (service == "capability:") {
        return ServiceRunner{[&tv](Stream& stream) { stream.write(capabilityBlock(tv)); }};
    }
    if (service == "sysinfo:") {
        return ServiceRunner{[&tv](Stream& stream) {
            const TvOptions& options = tv.options();
            stream.write(keyLines({{"model_name", options.modelName},
                                   {"model_code", options.modelCode},
                                   {"platform_version", options.tizen}}));
        }};
    }
    if (service == "sync:") {
        return ServiceRunner{[&tv, &link](Stream& stream) { SyncSession(tv, link, stream).run(); },
                             true};
    }
    return std::nullopt;
}

}  // namespace tvsim
