#include "Crc.h"

#include <array>

namespace qv {

namespace {

// The CRC-32 table as 1024 bytes, entry 0 first, each entry least significant byte first.
constexpr std::array<std::uint8_t, 1024> MakeTableBytes() {
    std::array<std::uint8_t, 1024> bytes{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<std::uint8_t>(c >> (8 * b));
    }
    return bytes;
}

// The words read at byte offsets 0 to 255 of that table (only its first 259 bytes are used).
consteval std::array<std::uint32_t, 256> MakeOffsetWords() {
    constexpr auto bytes = MakeTableBytes();
    std::array<std::uint32_t, 256> words{};
    for (std::size_t k = 0; k < 256; ++k)
        words[k] = static_cast<std::uint32_t>(bytes[k]) |
                   static_cast<std::uint32_t>(bytes[k + 1]) << 8 |
                   static_cast<std::uint32_t>(bytes[k + 2]) << 16 |
                   static_cast<std::uint32_t>(bytes[k + 3]) << 24;
    return words;
}

} // namespace

constinit const std::array<std::uint32_t, 256> CrcOffsetWords = MakeOffsetWords();

std::uint32_t UpdateCrc(std::uint32_t crc, const void* bytes, std::size_t count) noexcept {
    if (bytes == nullptr)
        return crc;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < count; ++i)
        crc = UpdateCrcByte(crc, p[i]);
    return crc;
}

} // namespace qv
