// Times the widget signer and the profile check on the host (OpenSSL), for the README's
// measurements; no test times them (bench/signing.sh builds and runs this).
//   quorvex_sign_timing SAMPLE.wgt RUNS PROFILE_DIR...   (passwords test-pass, DUID TESTDUID0001)
// For each profile: the median of RUNS signings of the sample, and of RUNS checks of the profile
// (both key files opened with their passwords, dates, roles and the DUID).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/posix/crypto_openssl.h"
#include "platform/posix/files_posix.h"
#include "platform/text.h"
#include "src/signing/signing_profile.h"
#include "src/signing/widget_signer.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<unsigned char> readBytes(const char* file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The median time of `runs` calls of `work`, in milliseconds.
template <typename Work>
double medianMs(int runs, Work work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times.size() % 2 ? times[times.size() / 2]
                            : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: quorvex_sign_timing SAMPLE.wgt RUNS PROFILE_DIR...\n");
        return 2;
    }
    const std::vector<unsigned char> sample = readBytes(argv[1]);
    const int runs = std::max(1, std::atoi(argv[2]));
    platform::OpenSslCrypto crypto;
    platform::posix::PosixFileSystem files;
    const platform::Secret password(L"test-pass");
    for (int i = 3; i < argc; ++i) {
        const std::string folder = argv[i];
        const auto author = readBytes((folder + "/author.p12").c_str());
        const auto distributor = readBytes((folder + "/distributor.p12").c_str());
        const double sign = medianMs(runs, [&] {
            widget::signWidget(sample, crypto, author, password, distributor, password);
        });
        const double check = medianMs(runs, [&] {
            const auto problem = widget::checkProfile(
                widget::readProfile(files, platform::fromUtf8(folder)), crypto, password, password,
                std::chrono::system_clock::now(), L"TESTDUID0001");
            if (problem) {
                std::fprintf(stderr, "the profile %s does not pass its check\n", folder.c_str());
                std::exit(1);
            }
        });
        std::printf(
            "%s: signing the sample %.1f ms, checking the profile %.1f ms (medians of %d)\n",
            folder.c_str(), sign, check, runs);
    }
    return 0;
}
