// Zeroing of secrets: passwords, keys, round keys and chunk buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

namespace qv {

// Overwrites n bytes at p with zero bytes in a way the compiler may not drop as a dead store.
void SecureZero(void* p, std::size_t n) noexcept;

// Allocator whose memory is zeroed before it is returned to the heap, so that every buffer a
// container gives up (on growth, shrink or destruction) leaves no copy of its secret behind.
template <typename T>
struct ZeroingAllocator {
    using value_type = T;

    ZeroingAllocator() noexcept = default;
    template <typename U>
    ZeroingAllocator(const ZeroingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        SecureZero(p, n * sizeof(T));
        ::operator delete(p);
    }
    friend bool operator==(const ZeroingAllocator&, const ZeroingAllocator&) { return true; }
};

// A byte buffer for secrets. A vector has no small-buffer storage inside the object, so all of
// its bytes live in memory the allocator wipes.
using SecureBytes = std::vector<std::uint8_t, ZeroingAllocator<std::uint8_t>>;

// Zeroes the bytes a standard string holds (including its inline buffer) and empties it.
void SecureClear(std::string& s) noexcept;

// A plain array that zeroes itself when it goes out of scope: key buffers, schedules, blocks.
template <typename T, std::size_t N>
class SecureArray {
public:
    SecureArray() noexcept { SecureZero(data_, sizeof data_); }
    SecureArray(const SecureArray&) = delete;
    SecureArray& operator=(const SecureArray&) = delete;
    ~SecureArray() { SecureZero(data_, sizeof data_); }

    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    static constexpr std::size_t size() noexcept { return N; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    void clear() noexcept { SecureZero(data_, sizeof data_); }

private:
    T data_[N];
};

} // namespace qv
