#pragma once
// A widget package (.wgt, a zip archive) as re-signing it needs: its members read from bytes,
// their contents inflated for digests, and a new archive that keeps every member but the old
// signatures byte for byte and adds the new ones. Hostile input is refused with bounded work.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace widget {

// Why a package cannot be read; the detail is for logs, in English.
class PackageError : public platform::Error {
  public:
    using platform::Error::Error;
};

// Bounds on what a package may hold: far above any real widget, low enough that a hostile
// archive costs little.
inline constexpr std::size_t maxPackageBytes = 512u << 20;
inline constexpr std::size_t maxMemberBytes = 256u << 20;
inline constexpr std::size_t maxTotalBytes = 1024u << 20;  // all members inflated
inline constexpr std::size_t maxMembers = 20000;

struct ZipMember {
    std::string name;          // as stored: UTF-8 with '/' separators
    std::uint16_t method = 0;  // 0 stored, 8 deflated
    std::uint32_t crc32 = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::size_t recordOffset = 0;  // local header, data and data descriptor
    std::size_t recordSize = 0;
    std::size_t dataOffset = 0;
    std::size_t centralOffset = 0;  // its central directory entry
    std::size_t centralSize = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;

    bool isDirectory() const { return !name.empty() && name.back() == '/'; }
};

// author-signature.xml and signature<N>.xml at the package's root.
bool isSignatureFile(std::string_view name);

class WidgetPackage {
  public:
    // Reads the archive's structure. Throws PackageError for anything it does not take: zip64,
    // encryption, methods other than stored and deflated, names with "..", absolute or
    // backslashed names, duplicate names, overlapping members, sizes beyond the bounds above.
    explicit WidgetPackage(std::span<const unsigned char> zip);

    const std::vector<ZipMember>& members() const { return members_; }
    // A member's contents, inflated and checked against its CRC. Throws PackageError.
    std::vector<unsigned char> contents(const ZipMember& member) const;
    // The member of that name, or nullptr.
    const ZipMember* find(std::string_view name) const;

    struct NewMember {
        std::string name;
        std::vector<unsigned char> data;
    };
    // The archive without any signature file and with `added` after the kept members: each kept
    // member's local record and central entry copied byte for byte, only their offsets changed.
    std::vector<unsigned char> rewrite(const std::vector<NewMember>& added) const;

  private:
    std::vector<unsigned char> bytes_;
    std::vector<ZipMember> members_;
    std::size_t commentOffset_ = 0;
    std::size_t commentSize_ = 0;
};

}  // namespace widget
