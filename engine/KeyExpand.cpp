#include "KeyExpand.h"

#include <algorithm>
#include <cstring>

namespace qv {

void MaskPassword(std::uint8_t* buffer, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i)
        buffer[i] ^= PasswordMask;
}

void ExpandKey(std::uint8_t* key, std::size_t keySize, const std::uint8_t* password,
               std::size_t n) noexcept {
    const std::size_t m = std::min(n, keySize);
    if (m == 0) {
        std::memset(key, 0, keySize);
    } else {
        std::size_t offset = 0;
        for (std::size_t copies = keySize / m; copies > 0; --copies, offset += m)
            std::memcpy(key + offset, password, m);
        std::memcpy(key + offset, password, keySize % m);
    }
    for (std::size_t i = 0; i < keySize; ++i)
        key[i] ^= static_cast<std::uint8_t>(4 * i + 0x6D);
}

} // namespace qv
