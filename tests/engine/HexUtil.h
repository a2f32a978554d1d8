#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvtest {

inline std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    int pending = -1;
    for (char c : hex) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c == ' ')
            continue;
        else
            throw std::invalid_argument("not hex: " + hex);
        if (pending < 0) {
            pending = d;
        } else {
            out.push_back(static_cast<std::uint8_t>(pending * 16 + d));
            pending = -1;
        }
    }
    return out;
}

inline std::string ToHex(const std::uint8_t* p, std::size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

inline std::string ToHex(const std::vector<std::uint8_t>& v) {
    return ToHex(v.data(), v.size());
}

} // namespace qvtest
