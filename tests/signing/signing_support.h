#pragma once
// What the signing tests (and the bench's signed-package tests) share: shell commands, files,
// folders of their own and test profiles made by make-profile.sh.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "src/signing/signing_profile.h"

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
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}

inline std::string quote(const fs::path& path) {
    std::string out = "'";
    for (char c : path.string()) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs a shell command: nothing when it succeeds, else its exit status and what it printed.
inline std::string failure(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, n);
    }
    int status = pclose(pipe);
    return status == 0 ? "" : command + ": status " + std::to_string(status) + "\n" + output;
}
inline void runOrThrow(const std::string& command) {
    if (std::string why = failure(command); !why.empty()) {
        throw std::runtime_error(why);
    }
}

// A folder of its own under the system's temporary folder, removed with everything in it.
struct TempDir {
    std::string pattern = (fs::temp_directory_path() / "quorvex-signing-XXXXXX").string();
    fs::path path = mkdtemp(pattern.data());
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path operator/(const std::string& name) const { return path / name; }
};

// Test profiles, one folder each (name -> make-profile.sh's options, run from `dir`, so that a
// relative --ca names a folder beside them), their CAs in "ca".
inline void makeProfiles(const fs::path& dir, const std::map<std::string, std::string>& made) {
    for (const auto& [name, options] : made) {
        runOrThrow("cd " + quote(dir) +
                   " && bash " QUORVEX_SOURCE_DIR "/tests/signing/make-profile.sh " + quote(name) +
                   " " + options);
    }
}

// Held from construction to destruction: flock on FILE, made when missing.
class FileLock {
  public:
    explicit FileLock(const fs::path& file)
        : fd_(open(file.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644)) {
        if (fd_ < 0 || flock(fd_, LOCK_EX) != 0) {
            throw std::runtime_error("cannot lock " + file.string());
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { close(fd_); }

  private:
    int fd_;
};

// A set of test profiles kept in the build tree: their keys are the costly part, so each set is
// made once and shared by every test process and run that asks for the same (a lock makes the
// others wait for the first). The set lives in a folder named after what makes it, the day
// included (the certificates' dates count from the day they are made); sets older than two days
// are removed. `afterwards` is a shell script run in the folder once the profiles are there.
struct ProfileSet {
    fs::path path;
    fs::path operator/(const std::string& name) const { return path / name; }
};
inline ProfileSet sharedProfiles(const fs::path& root,
                                 const std::map<std::string, std::string>& made,
                                 const std::string& afterwards = "") {
    const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    std::string recipe = readText(QUORVEX_SOURCE_DIR "/tests/signing/make-profile.sh") +
                         afterwards + std::to_string(today.time_since_epoch().count());
    for (const auto& [name, options] : made) {
        recipe += "\n" + name + "\t" + options;
    }
    char hash[32];
    std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(recipe));
    const ProfileSet set{root / hash};
    fs::create_directories(root);
    const FileLock lock(root / "lock");
    if (!fs::exists(set / "made")) {
        for (const auto& entry : fs::directory_iterator(root)) {
            if (entry.is_directory() &&
                entry.last_write_time() < fs::file_time_type::clock::now() - std::chrono::days(2)) {
                fs::remove_all(entry.path());
            }
        }
        fs::remove_all(set.path);
        fs::create_directories(set.path);
        makeProfiles(set.path, made);
        if (!afterwards.empty()) {
            runOrThrow("cd " + quote(set.path) + " && set -e\n" + afterwards);
        }
        std::ofstream(set / "made") << recipe;
    }
    return set;
}

// The files written afresh under `folder`; then, zipped, the package they make.
inline void writeTree(const fs::path& folder, const Files& files) {
    fs::remove_all(folder);
    for (const auto& [name, content] : files) {
        fs::create_directories((folder / name).parent_path());
        std::ofstream(folder / name, std::ios::binary) << content;
    }
}
inline Bytes zipOf(const fs::path& folder, const Files& files) {
    writeTree(folder, files);
    fs::remove(folder.string() + ".zip");
    runOrThrow("cd " + quote(folder) + " && zip -qrXD ../" + quote(folder.filename()) + ".zip .");
    return readBytes(folder.string() + ".zip");
}
// The package as Info-ZIP makes it by default, with a comment: each member's extra fields (times,
// owner) differ between its local header and its central entry.
inline Bytes commentedZipOf(const fs::path& folder, const Files& files) {
    writeTree(folder, files);
    fs::remove(folder.string() + ".zip");
    runOrThrow("cd " + quote(folder) + " && zip -qrD ../" + quote(folder.filename()) +
               ".zip . && echo 'made by zip' | zip -qz ../" + quote(folder.filename()) + ".zip");
    return readBytes(folder.string() + ".zip");
}
// The package as a streaming writer makes it (each member's CRC and sizes in a data descriptor
// after its data), by stream-zip.py: the descriptors with their signature PK\7\8, as Tizen
// Studio's Java packager and Python's zipfile on a pipe write them, or bare.
inline Bytes streamedZipOf(const fs::path& folder, const Files& files, bool signedDescriptors) {
    writeTree(folder, files);
    const std::string zip = folder.string() + ".zip";
    runOrThrow("python3 " QUORVEX_SOURCE_DIR "/tests/signing/stream-zip.py " + quote(folder) + " " +
               quote(zip) + (signedDescriptors ? "" : " --bare-descriptors"));
    return readBytes(zip);
}

// The profiles the signing tests share, made once for the host trees (QUORVEX_TEST_PROFILES), and
// broken ones made from "good": certificates alone, a key alone, its root added, a truncated
// author.p12, a distributor.p12 too large to read, an empty folder, one with author.p12 alone and
// a profile a level deeper. 4096-bit keys only where the size itself is what a case is about.
inline const ProfileSet& signingProfiles() {
    static const ProfileSet set = sharedProfiles(
        QUORVEX_TEST_PROFILES,
        {{"good", ""},
         {"san", "--duid-in san --duid TV-SAN --duid TV-SAN2"},
         {"xml", "--duid-in profile --duid TV-XML"},
         {"expired", "--validity expired"},
         {"not-yet", "--validity not-yet-valid"},
         {"swapped", "--swap"},
         {"empty", "--password ''"},
         {"absent", "--absent-password"},
         {"expired intermediate", "--expired-intermediate distributor"},
         {"профиль Ä", "--legacy --password 'пароль Ä' --distributor-password другой"},
         {"4096", "--bits 4096"}},
        R"(openssl pkcs12 -in good/author.p12 -passin pass:test-pass -nodes -out author.pem
            for f in 'no key' 'no cert' 'with root' truncated huge; do cp -r good "$f"; done
            p12() { openssl pkcs12 -export -in author.pem -inkey author.pem -passout pass:test-pass -out "$@"; }
            p12 'no key/author.p12' -nokeys && p12 'no cert/author.p12' -nocerts
            p12 'with root/author.p12' -certfile ca/author-root.pem
            head -c $(($(stat -c %s good/author.p12) / 2)) good/author.p12 >truncated/author.p12
            head -c $((3 * )" +
            std::to_string(widget::maxKeyFileBytes) +
            R"()) /dev/zero >huge/distributor.p12
            mkdir -p 'empty folder' 'author only' nest/inner && cp good/*.p12 nest/inner
            cp good/author.p12 'author only'/)");
    return set;
}

}  // namespace signing_test
