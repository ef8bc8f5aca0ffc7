#pragma once
// What the signing tests share: a folder of their own, test profiles made by make-profile.sh,
// files read and written, and commands run through the shell.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace signing_test {

namespace fs = std::filesystem;

inline std::vector<unsigned char> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const fs::path& file, const std::vector<unsigned char>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::string quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs a shell command; its exit status and what it printed (both streams).
struct RunResult {
    int status = -1;
    std::string output;
};
inline RunResult run(const std::string& command) {
    RunResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) {
        result.output.append(buffer, n);
    }
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// A folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quorvex-signing-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Makes a profile in `dir` (CAs in its parent's "ca"); false with the script's words on failure.
inline RunResult makeProfile(const fs::path& dir, const std::string& options) {
    return run("bash " + quote(QUORVEX_MAKE_PROFILE) + " " + quote(dir.string()) + " " + options);
}

// A package made by zip from files of these names and contents, old signatures included.
inline std::vector<unsigned char> zipOf(
    const fs::path& folder, const std::vector<std::pair<std::string, std::string>>& files) {
    fs::remove_all(folder);
    std::string names;
    for (const auto& [name, content] : files) {
        fs::create_directories((folder / name).parent_path());
        std::ofstream(folder / name, std::ios::binary) << content;
        names += " " + quote(name);
    }
    RunResult r = run("cd " + quote(folder.string()) + " && zip -q -X ../" +
                      quote(folder.filename().string() + ".zip") + names);
    if (r.status != 0) {
        throw std::runtime_error(r.output);
    }
    return readBytes(folder.string() + ".zip");
}

}  // namespace signing_test
