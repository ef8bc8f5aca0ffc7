#pragma once
// What the signing tests (and the bench's signed-package tests) share: shell commands, files,
// folders of their own and test profiles made by make-profile.sh.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace signing_test {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using Files = std::map<std::string, std::string>;  // name in the package -> contents

inline std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
inline Bytes readBytes(const fs::path& file) {
    std::string text = readText(file);
    return {text.begin(), text.end()};
}
inline void writeBytes(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}

inline std::string quote(const fs::path& path) {
    std::string out = "'";
    for (char c : path.string()) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs a shell command: its exit status and what it printed on both streams.
struct RunResult {
    int status = -1;
    std::string output;
};
inline RunResult run(const std::string& command) {
    RunResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    while (std::size_t n = pipe ? fread(buffer, 1, sizeof buffer, pipe) : 0) {
        result.output.append(buffer, n);
    }
    int status = pipe ? pclose(pipe) : -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
inline void runOrThrow(const std::string& command) {
    if (RunResult r = run(command); r.status != 0) {
        throw std::runtime_error(command + ": " + r.output);
    }
}

// A folder under the system's temporary folder, removed with everything in it.
struct TempDir {
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quorvex-signing-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

// Test profiles, one folder each (name -> make-profile.sh's options), their CAs in "ca".
struct ProfileSet : TempDir {
    explicit ProfileSet(const std::map<std::string, std::string>& made) {
        for (const auto& [name, options] : made) {
            runOrThrow("bash " + quote(QUORVEX_SOURCE_DIR "/tests/signing/make-profile.sh") + " " +
                       quote(path / name) + " " + options);
        }
    }
    fs::path operator/(const std::string& name) const { return path / name; }
};

// The profiles the signing tests share, made once per process.
inline const ProfileSet& signingProfiles() {
    static const ProfileSet made({
        {"good", ""},
        {"san", "--duid-in san --duid TV-SAN --duid TV-SAN2"},
        {"xml", "--duid-in profile --duid TV-XML"},
        {"expired", "--validity expired"},
        {"not-yet", "--validity not-yet-valid"},
        {"swapped", "--swap"},
        {"empty", "--password ''"},
        {"профиль Ä", "--legacy --bits 4096 --password 'пароль Ä' --distributor-password 'другой'"},
        {"4096", "--bits 4096"},
    });
    return made;
}

// The files written afresh under `folder`.
inline void writeTree(const fs::path& folder, const Files& files) {
    fs::remove_all(folder);
    for (const auto& [name, content] : files) {
        fs::create_directories((folder / name).parent_path());
        std::ofstream(folder / name, std::ios::binary) << content;
    }
}
// A package zipped from these files (stored in this order by name).
inline Bytes zipOf(const fs::path& folder, const Files& files) {
    writeTree(folder, files);
    std::string names;
    for (const auto& file : files) {
        names += " " + quote(file.first);
    }
    fs::path zip = folder.string() + ".zip";
    fs::remove(zip);
    runOrThrow("cd " + quote(folder) + " && zip -q -X " + quote(zip) + names);
    return readBytes(zip);
}

}  // namespace signing_test
