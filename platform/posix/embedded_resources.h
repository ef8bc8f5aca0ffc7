#pragma once
// The host build's stand-in for resources compiled into the exe: byte ranges the build linked in.
#include <span>
#include <string>

#include "platform/files.h"

namespace platform::posix {

struct EmbeddedResource {
    const wchar_t* name;
    const unsigned char* begin;
    const unsigned char* end;
};

class EmbeddedResources final : public Resources {
  public:
    explicit EmbeddedResources(std::span<const EmbeddedResource> table) : table_(table) {}
    // Names match regardless of case, as Windows resource names do.
    std::span<const unsigned char> find(const std::wstring& name) override;

  private:
    std::span<const EmbeddedResource> table_;
};

// IUFILE and WGTFILE as this build carries them. Defined by the quorvex_resources library that
// resources/payloads.cmake generates; only programs linking it may call this.
std::span<const EmbeddedResource> embeddedPayloads();

}  // namespace platform::posix
