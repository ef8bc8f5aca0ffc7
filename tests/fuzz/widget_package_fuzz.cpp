// Fuzzes the widget package reader: any input is read or refused with PackageError, within
// bounds; what it reads, its rewrite keeps: the rewritten archive reads back with the same
// members and contents.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "src/signing/widget_ids.h"
#include "src/signing/widget_package.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        widget::WidgetPackage package({data, size});
        std::vector<std::vector<unsigned char>> contents;
        for (const auto& m : package.members())
            contents.push_back(package.contents(m));
        try {
            widget::readPackageIds(package);
        } catch (const widget::PackageError&) {
        }
        widget::WidgetPackage again(package.rewrite({}));
        std::size_t kept = 0;
        for (std::size_t i = 0; i < package.members().size(); ++i) {
            const auto& m = package.members()[i];
            if (widget::isSignatureFile(m.name))
                continue;
            const widget::ZipMember* copy = again.find(m.name);
            require(copy != nullptr && again.contents(*copy) == contents[i]);
            ++kept;
        }
        require(kept == again.members().size());
    } catch (const widget::PackageError&) {
    }
    return 0;
}
