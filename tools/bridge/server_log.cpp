#include "tools/bridge/server_log.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace bridge {

namespace {

std::mutex logMutex;
std::ofstream logFile;

}  // namespace

void openServerLog() {
    // Tests name a folder of their own: under Wine the temporary folder is the prefix's.
    std::error_code ec;
    const char* chosen = std::getenv("QUORVEX_BRIDGE_LOG_DIR");
    const std::filesystem::path folder = chosen && *chosen
                                             ? std::filesystem::path(chosen)
                                             : std::filesystem::temp_directory_path(ec);
    if (!ec) {
        std::lock_guard lock(logMutex);
        logFile.open(folder / "sdb.log", std::ios::app);
    }
}

void serverLog(const std::string& line) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%lld.%03lld ", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    std::lock_guard lock(logMutex);
    if (logFile) {
        logFile << stamp << line << std::endl;
    }
}

}  // namespace bridge
