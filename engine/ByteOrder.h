// Loading and storing integers of a given byte order; compiles to plain loads and stores (with a
// byte swap where the order differs from the processor's).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace qv {

template <typename T>
inline T ByteSwapped(T v) {
    if constexpr (sizeof(T) == 8)
        return __builtin_bswap64(v);
    else if constexpr (sizeof(T) == 4)
        return __builtin_bswap32(v);
    else
        return __builtin_bswap16(v);
}

template <typename T, std::endian Order>
inline T Load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native != Order)
        v = ByteSwapped(v);
    return v;
}

template <typename T, std::endian Order>
inline void Store(void* p, T v) {
    if constexpr (std::endian::native != Order)
        v = ByteSwapped(v);
    std::memcpy(p, &v, sizeof v);
}

template <typename T>
inline T LoadLittle(const void* p) {
    return Load<T, std::endian::little>(p);
}

template <typename T>
inline void StoreLittle(void* p, T v) {
    Store<T, std::endian::little>(p, v);
}

} // namespace qv
