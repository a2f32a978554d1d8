#include "SecureMemory.h"

#include <cstring>

namespace qv {

void SecureZero(void* p, std::size_t n) noexcept {
    if (p != nullptr && n != 0)
        explicit_bzero(p, n);
}

void SecureClear(std::string& s) noexcept {
    // The capacity covers both the heap buffer and the inline small-string buffer.
    if (s.capacity() != 0) {
        s.resize(s.capacity());
        SecureZero(s.data(), s.size());
    }
    s.clear();
}

} // namespace qv
