#pragma once
// A zip archive of stored (uncompressed) members, enough for a widget package in unit tests.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

inline std::string storedZip(const std::vector<std::pair<std::string, std::string>>& members) {
    const auto crc32 = [](const std::string& data) {
        std::uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char c : data) {
            crc ^= c;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    const auto le = [](std::string& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    std::string zip, central;
    for (const auto& [name, data] : members) {
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const auto crc = crc32(data);
        const auto size = static_cast<std::uint32_t>(data.size());
        le(zip, 0x04034b50, 4), le(zip, 20, 2), le(zip, 0, 2), le(zip, 0, 2), le(zip, 0, 4);
        le(zip, crc, 4), le(zip, size, 4), le(zip, size, 4);
        le(zip, static_cast<std::uint32_t>(name.size()), 2), le(zip, 0, 2);
        zip += name + data;
        le(central, 0x02014b50, 4), le(central, 20, 2), le(central, 20, 2), le(central, 0, 2);
        le(central, 0, 2), le(central, 0, 4), le(central, crc, 4), le(central, size, 4);
        le(central, size, 4), le(central, static_cast<std::uint32_t>(name.size()), 2);
        le(central, 0, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 2);
        le(central, 0, 4), le(central, offset, 4);
        central += name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(zip.size());
    zip += central;
    le(zip, 0x06054b50, 4), le(zip, 0, 2), le(zip, 0, 2);
    le(zip, static_cast<std::uint32_t>(members.size()), 2);
    le(zip, static_cast<std::uint32_t>(members.size()), 2);
    le(zip, static_cast<std::uint32_t>(central.size()), 4), le(zip, centralOffset, 4),
        le(zip, 0, 2);
    return zip;
}
