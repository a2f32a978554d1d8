#include "PasswordText.h"

namespace qv {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(SecureBytes& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<std::uint8_t>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<std::uint8_t>(0xC0 | (c >> 6)));
        out.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<std::uint8_t>(0xE0 | (c >> 12)));
        out.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<std::uint8_t>(0xF0 | (c >> 18)));
        out.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    }
}

} // namespace

SecureBytes PasswordBytes(std::u16string_view typed) {
    SecureBytes bytes;
    // Room for the longest form up front, so the buffer never grows (and is never copied).
    bytes.reserve(typed.size() * 3);
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const char16_t c = typed[i];
        if (IsHighSurrogate(c) && i + 1 < typed.size() && IsLowSurrogate(typed[i + 1])) {
            const char32_t high = c - 0xD800u;
            const char32_t low = typed[++i] - 0xDC00u;
            AppendUtf8(bytes, 0x10000 + (high << 10) + low);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendUtf8(bytes, Replacement);
        } else {
            AppendUtf8(bytes, c);
        }
    }
    return bytes;
}

} // namespace qv
