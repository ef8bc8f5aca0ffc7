#include "platform/posix/embedded_resources.h"

#include <cwctype>

#include "platform/error.h"

namespace platform::posix {
namespace {

bool sameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

std::span<const unsigned char> EmbeddedResources::find(const std::wstring& name) {
    for (const EmbeddedResource& resource : table_) {
        if (sameName(resource.name, name))
            return {resource.begin, resource.end};
    }
    throw Error(L"The program carries no resource \"" + name + L"\".");
}

}  // namespace platform::posix
