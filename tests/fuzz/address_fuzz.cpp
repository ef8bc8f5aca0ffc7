// Fuzzes the TV address check together with the command lines built from what it accepts: no
// accepted input may put anything but digits and full stops into a command line's address part.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "src/install/install_commands.h"
#include "src/tvs/tv_address.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two bytes a character, as the edit box hands over UTF-16 text.
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    }
    const auto address = validTvAddress(text);
    if (!address)
        return 0;

    require(!address->empty() && address->size() <= 15);
    for (wchar_t c : *address)
        require((c >= L'0' && c <= L'9') || c == L'.');

    const InstallNames names{*address, commandsApplicationId, widgetFile, stagingDirs[0]};
    const std::wstring connect = installCommandLine(InstallStep::connect, names);
    const std::wstring expected =
        L"cmd.exe /c \"iu.exe connect " + *address + L":26101 > doLog\\step1.txt 2>&1\"";
    require(connect == expected);
    for (const auto& command : installCommands) {
        const std::wstring line = installCommandLine(command.step, names);
        // Exactly two double quotes: the ones around the inner command.
        size_t quotes = 0;
        for (wchar_t c : line)
            quotes += c == L'"';
        require(quotes == 2 && line.back() == L'"');
    }
    return 0;
}
