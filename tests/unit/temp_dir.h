#pragma once
// A fresh directory that the test works in (current directory), removed afterwards; and whole-file
// reads and writes for checking what landed in it.
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

namespace test {

class TempDir {
  public:
    TempDir() : previous_(std::filesystem::current_path()) {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            auto candidate = std::filesystem::temp_directory_path() /
                             ("quorvex-" + std::to_string(random()) + std::to_string(attempt));
            // create_directory is false when the name is taken: try another.
            if (std::filesystem::create_directory(candidate))
                path_ = candidate;
        }
        if (path_.empty())
            throw std::runtime_error("no temporary directory could be made");
        std::filesystem::current_path(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

inline std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void writeAll(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

}  // namespace test
