#include "src/signing/widget_package.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <set>

namespace widget {

namespace {

constexpr std::uint32_t localSignature = 0x04034b50;
constexpr std::uint32_t centralSignature = 0x02014b50;
constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t descriptorSignature = 0x08074b50;
constexpr std::size_t localHeaderSize = 30;
constexpr std::size_t centralHeaderSize = 46;
constexpr std::size_t endSize = 22;
constexpr std::uint16_t flagEncrypted = 0x0001;
constexpr std::uint16_t flagDescriptor = 0x0008;
constexpr std::uint16_t flagStrongEncryption = 0x0040;
constexpr std::uint16_t flagUtf8 = 0x0800;

[[noreturn]] void refuse(const std::wstring& why) {
    throw PackageError(L"Widget package: " + why);
}

std::wstring quoted(std::string_view name) {
    return L"\"" + platform::fromUtf8(name) + L"\"";
}

// Bounds-checked little-endian reads over the archive.
class Reader {
  public:
    explicit Reader(std::span<const unsigned char> bytes) : bytes_(bytes) {}
    bool fits(std::size_t offset, std::size_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    std::uint16_t u16(std::size_t offset) const {
        need(offset, 2);
        return static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
    }
    std::uint32_t u32(std::size_t offset) const {
        need(offset, 4);
        return static_cast<std::uint32_t>(u16(offset)) | static_cast<std::uint32_t>(u16(offset + 2))
                                                             << 16;
    }
    std::string_view text(std::size_t offset, std::size_t size) const {
        need(offset, size);
        return {reinterpret_cast<const char*>(bytes_.data() + offset), size};
    }

  private:
    void need(std::size_t offset, std::size_t size) const {
        if (!fits(offset, size)) {
            refuse(L"a record runs past the end of the archive");
        }
    }
    std::span<const unsigned char> bytes_;
};

void put16(std::vector<unsigned char>& out, std::uint32_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}
void put32(std::vector<unsigned char>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}
void patch32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

void checkName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos || (name.size() >= 2 && name[1] == ':')) {
        refuse(L"the member name " + quoted(name) + L" is not a relative path");
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = std::min(name.find('/', start), name.size());
        std::string_view part = name.substr(start, end - start);
        if (part == ".." || part == "." || (part.empty() && end != name.size())) {
            refuse(L"the member name " + quoted(name) + L" leaves its folder or is ambiguous");
        }
        start = end + 1;
    }
}

std::uint32_t crcOf(std::span<const unsigned char> data) {
    uLong crc = crc32(0, nullptr, 0);
    for (std::size_t done = 0; done < data.size();) {
        uInt chunk = static_cast<uInt>(std::min<std::size_t>(data.size() - done, 1u << 30));
        crc = crc32(crc, data.data() + done, chunk);
        done += chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

// Raw deflate (no zlib header), as zip members carry it.
std::vector<unsigned char> deflateRaw(std::span<const unsigned char> data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        throw PackageError(L"Widget package: zlib cannot deflate");
    }
    std::vector<unsigned char> out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        throw PackageError(L"Widget package: zlib cannot deflate");
    }
    return out;
}

}  // namespace

bool isSignatureFile(std::string_view name) {
    if (name == "author-signature.xml") {
        return true;
    }
    constexpr std::string_view prefix = "signature", suffix = ".xml";
    if (!name.starts_with(prefix) || !name.ends_with(suffix) ||
        name.size() <= prefix.size() + suffix.size()) {
        return false;
    }
    std::string_view number =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return number.front() != '0' &&
           std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

WidgetPackage::WidgetPackage(std::span<const unsigned char> zip) {
    if (zip.size() > maxPackageBytes) {
        refuse(L"the archive is larger than any widget");
    }
    if (zip.size() < endSize) {
        refuse(L"not a zip archive (too short)");
    }
    bytes_.assign(zip.begin(), zip.end());
    Reader in(bytes_);

    // The end record: the last one whose comment reaches exactly to the end of the file.
    std::size_t end = std::numeric_limits<std::size_t>::max();
    std::size_t lowest = bytes_.size() - endSize >= 0xFFFF ? bytes_.size() - endSize - 0xFFFF : 0;
    for (std::size_t at = bytes_.size() - endSize + 1; at-- > lowest;) {
        if (in.u32(at) == endSignature && at + endSize + in.u16(at + 20) == bytes_.size()) {
            end = at;
            break;
        }
    }
    if (end == std::numeric_limits<std::size_t>::max()) {
        refuse(L"not a zip archive (no end of central directory)");
    }
    if (end >= 20 && in.u32(end - 20) == zip64LocatorSignature) {
        refuse(L"zip64 archives are not taken");
    }
    std::uint16_t disk = in.u16(end + 4), centralDisk = in.u16(end + 6);
    std::uint16_t entriesHere = in.u16(end + 8), entries = in.u16(end + 10);
    std::uint32_t centralSize = in.u32(end + 12), centralStart = in.u32(end + 16);
    if (entries == 0xFFFF || centralSize == 0xFFFFFFFF || centralStart == 0xFFFFFFFF) {
        refuse(L"zip64 archives are not taken");
    }
    if (disk != 0 || centralDisk != 0 || entriesHere != entries) {
        refuse(L"split archives are not taken");
    }
    if (entries > maxMembers) {
        refuse(L"too many members");
    }
    if (static_cast<std::size_t>(centralStart) + centralSize > end) {
        refuse(L"the central directory lies outside the archive");
    }
    commentOffset_ = end + endSize;
    commentSize_ = in.u16(end + 20);

    std::set<std::string_view> names;
    std::size_t total = 0;
    std::size_t at = centralStart;
    members_.reserve(entries);
    for (std::uint16_t i = 0; i < entries; ++i) {
        if (at + centralHeaderSize > static_cast<std::size_t>(centralStart) + centralSize ||
            in.u32(at) != centralSignature) {
            refuse(L"the central directory is damaged");
        }
        ZipMember m;
        std::uint16_t flags = in.u16(at + 8);
        m.method = in.u16(at + 10);
        m.dosTime = in.u16(at + 12);
        m.dosDate = in.u16(at + 14);
        m.crc32 = in.u32(at + 16);
        m.compressedSize = in.u32(at + 20);
        m.size = in.u32(at + 24);
        std::size_t nameSize = in.u16(at + 28), extraSize = in.u16(at + 30),
                    commentSize = in.u16(at + 32);
        m.recordOffset = in.u32(at + 42);
        m.centralOffset = at;
        m.centralSize = centralHeaderSize + nameSize + extraSize + commentSize;
        if (at + m.centralSize > static_cast<std::size_t>(centralStart) + centralSize) {
            refuse(L"the central directory is damaged");
        }
        m.name = std::string(in.text(at + centralHeaderSize, nameSize));
        checkName(m.name);
        if (!names.insert(in.text(at + centralHeaderSize, nameSize)).second) {
            refuse(L"the member " + quoted(m.name) + L" appears twice");
        }
        if (flags & (flagEncrypted | flagStrongEncryption)) {
            refuse(L"the member " + quoted(m.name) + L" is encrypted");
        }
        if (m.compressedSize == 0xFFFFFFFF || m.size == 0xFFFFFFFF ||
            m.recordOffset == 0xFFFFFFFF || in.u16(at + 34) == 0xFFFF) {
            refuse(L"zip64 archives are not taken");
        }
        for (std::size_t x = at + centralHeaderSize + nameSize;
             x + 4 <= at + centralHeaderSize + nameSize + extraSize; x += 4 + in.u16(x + 2)) {
            if (in.u16(x) == 0x0001) {
                refuse(L"zip64 archives are not taken");
            }
        }
        if (m.method != 0 && m.method != 8) {
            refuse(L"the member " + quoted(m.name) + L" uses a compression other than deflate");
        }
        if ((m.method == 0 && m.compressedSize != m.size) || m.size > maxMemberBytes ||
            (total += m.size) > maxTotalBytes) {
            refuse(L"the member " + quoted(m.name) + L" has an impossible size");
        }

        // Its local header must agree with the central entry.
        std::size_t local = m.recordOffset;
        if (!in.fits(local, localHeaderSize) || in.u32(local) != localSignature ||
            in.u16(local + 8) != m.method || in.u16(local + 26) != nameSize ||
            in.text(local + localHeaderSize, nameSize) != m.name) {
            refuse(L"the local header of " + quoted(m.name) + L" does not match its entry");
        }
        m.dataOffset = local + localHeaderSize + nameSize + in.u16(local + 28);
        std::size_t recordEnd = m.dataOffset + m.compressedSize;
        if (in.u16(local + 6) & flagDescriptor) {
            recordEnd +=
                in.fits(recordEnd, 4) && in.u32(recordEnd) == descriptorSignature ? 16 : 12;
        }
        if (recordEnd > centralStart) {
            refuse(L"the member " + quoted(m.name) + L" runs into the central directory");
        }
        m.recordSize = recordEnd - local;
        members_.push_back(std::move(m));
        at += members_.back().centralSize;
    }

    // Members that share bytes are how zip bombs and confusions are made.
    std::vector<const ZipMember*> byOffset;
    for (const auto& m : members_) {
        byOffset.push_back(&m);
    }
    std::sort(byOffset.begin(), byOffset.end(),
              [](auto* a, auto* b) { return a->recordOffset < b->recordOffset; });
    for (std::size_t i = 1; i < byOffset.size(); ++i) {
        if (byOffset[i - 1]->recordOffset + byOffset[i - 1]->recordSize >
            byOffset[i]->recordOffset) {
            refuse(L"the members " + quoted(byOffset[i - 1]->name) + L" and " +
                   quoted(byOffset[i]->name) + L" overlap");
        }
    }
}

const ZipMember* WidgetPackage::find(std::string_view name) const {
    for (const auto& m : members_) {
        if (m.name == name) {
            return &m;
        }
    }
    return nullptr;
}

std::vector<unsigned char> WidgetPackage::contents(const ZipMember& member) const {
    std::span<const unsigned char> raw(bytes_.data() + member.dataOffset, member.compressedSize);
    std::vector<unsigned char> out;
    if (member.method == 0) {
        out.assign(raw.begin(), raw.end());
    } else {
        // One byte of room beyond the declared size shows a member that inflates to more.
        out.resize(static_cast<std::size_t>(member.size) + 1);
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
            refuse(L"zlib cannot inflate");
        }
        stream.next_in = const_cast<Bytef*>(raw.data());
        stream.avail_in = static_cast<uInt>(raw.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        int result = inflate(&stream, Z_FINISH);
        std::size_t produced = stream.total_out;
        inflateEnd(&stream);
        if (result != Z_STREAM_END || produced != member.size) {
            refuse(L"the member " + quoted(member.name) + L" does not inflate to its size");
        }
        out.resize(member.size);
    }
    if (crcOf(out) != member.crc32) {
        refuse(L"the member " + quoted(member.name) + L" fails its CRC");
    }
    return out;
}

std::vector<unsigned char> WidgetPackage::rewrite(const std::vector<NewMember>& added) const {
    std::vector<unsigned char> out, central;
    std::uint16_t time = 0, date = 0x21;  // 1980-01-01 when nothing else gives a date
    std::size_t count = 0;
    for (const auto& m : members_) {
        if (isSignatureFile(m.name)) {
            continue;
        }
        if (m.dosDate > date || (m.dosDate == date && m.dosTime > time)) {
            date = m.dosDate;
            time = m.dosTime;
        }
        std::size_t offset = out.size();
        out.insert(out.end(), bytes_.begin() + m.recordOffset,
                   bytes_.begin() + m.recordOffset + m.recordSize);
        std::size_t entry = central.size();
        central.insert(central.end(), bytes_.begin() + m.centralOffset,
                       bytes_.begin() + m.centralOffset + m.centralSize);
        patch32(central, entry + 42, static_cast<std::uint32_t>(offset));
        ++count;
    }
    for (const auto& n : added) {
        checkName(n.name);
        if (n.data.size() > maxMemberBytes) {
            refuse(L"the new member " + quoted(n.name) + L" is too large");
        }
        std::vector<unsigned char> packed = deflateRaw(n.data);
        bool stored = packed.size() >= n.data.size();
        std::span<const unsigned char> body =
            stored ? std::span<const unsigned char>(n.data) : packed;
        bool ascii = std::all_of(n.name.begin(), n.name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        std::uint16_t flags = ascii ? 0 : flagUtf8;
        std::uint32_t crc = crcOf(n.data);
        std::size_t offset = out.size();
        auto common = [&](std::vector<unsigned char>& to) {
            put16(to, 20);  // version needed: deflate
            put16(to, flags);
            put16(to, stored ? 0 : 8);
            put16(to, time);
            put16(to, date);
            put32(to, crc);
            put32(to, static_cast<std::uint32_t>(body.size()));
            put32(to, static_cast<std::uint32_t>(n.data.size()));
            put16(to, static_cast<std::uint32_t>(n.name.size()));
            put16(to, 0);  // extra
        };
        put32(out, localSignature);
        common(out);
        out.insert(out.end(), n.name.begin(), n.name.end());
        out.insert(out.end(), body.begin(), body.end());

        put32(central, centralSignature);
        put16(central, 0x0314);  // made by: Unix, zip 2.0
        common(central);
        put16(central, 0);               // comment
        put16(central, 0);               // disk
        put16(central, 0);               // internal attributes
        put32(central, 0100644u << 16);  // a regular file, rw-r--r--
        put32(central, static_cast<std::uint32_t>(offset));
        central.insert(central.end(), n.name.begin(), n.name.end());
        ++count;
    }
    if (count > 0xFFFF || out.size() + central.size() > 0xFFFFFFFFu) {
        refuse(L"the new archive would need zip64");
    }
    std::size_t centralStart = out.size();
    out.insert(out.end(), central.begin(), central.end());
    put32(out, endSignature);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(count));
    put16(out, static_cast<std::uint32_t>(count));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, static_cast<std::uint32_t>(centralStart));
    put16(out, static_cast<std::uint32_t>(commentSize_));
    out.insert(out.end(), bytes_.begin() + commentOffset_,
               bytes_.begin() + commentOffset_ + commentSize_);
    return out;
}

}  // namespace widget
