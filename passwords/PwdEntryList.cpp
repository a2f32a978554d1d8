#include "PwdEntryList.h"

#include <algorithm>

namespace qv {

namespace {

unsigned char FoldCase(unsigned char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

std::string_view View(const SecureBytes& bytes) noexcept {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The text before the first "=", or nothing when the entry has no "=".
std::optional<std::string_view> KeyOf(std::string_view entry) noexcept {
    const auto equals = entry.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return entry.substr(0, equals);
}

} // namespace

int CompareIgnoringCase(std::string_view a, std::string_view b) noexcept {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = FoldCase(static_cast<unsigned char>(a[i]));
        const unsigned char y = FoldCase(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool PwdEntryList::Add(SecureBytes entry) {
    const std::string_view text = View(entry);
    const auto place = std::lower_bound(entries_.begin(), entries_.end(), text,
                                        [](const SecureBytes& e, std::string_view t) {
                                            return CompareIgnoringCase(View(e), t) < 0;
                                        });
    if (place != entries_.end() && CompareIgnoringCase(View(*place), text) == 0)
        return false;
    entries_.insert(place, std::move(entry));
    return true;
}

bool PwdEntryList::Add(std::string_view key, const SecureBytes& password) {
    SecureBytes entry;
    entry.reserve(key.size() + 1 + password.size());
    entry.insert(entry.end(), key.begin(), key.end());
    entry.push_back('=');
    entry.insert(entry.end(), password.begin(), password.end());
    return Add(std::move(entry));
}

std::optional<std::size_t> PwdEntryList::Find(std::string_view key) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const auto entryKey = KeyOf(View(entries_[i]));
        if (entryKey && CompareIgnoringCase(*entryKey, key) == 0)
            return i;
    }
    return std::nullopt;
}

SecureBytes PwdEntryList::PasswordOf(std::size_t index) const {
    const SecureBytes& entry = entries_.at(index);
    const auto equals = std::find(entry.begin(), entry.end(), '=');
    if (equals == entry.end())
        return {};
    return SecureBytes(equals + 1, entry.end());
}

void PwdEntryList::Remove(std::size_t index) {
    // The buffer is zeroed by its allocator when the erased entry is destroyed.
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void PwdEntryList::Clear() noexcept {
    for (SecureBytes& entry : entries_)
        SecureZero(entry.data(), entry.size());
    entries_.clear();
}

std::string_view PwdEntryList::operator[](std::size_t index) const noexcept {
    return View(entries_[index]);
}

void PwdEntryList::AppendText(SecureBytes& image) const {
    std::size_t length = image.size();
    for (const SecureBytes& entry : entries_)
        length += entry.size() + 2;
    image.reserve(length);
    for (const SecureBytes& entry : entries_) {
        image.insert(image.end(), entry.begin(), entry.end());
        image.push_back('\r');
        image.push_back('\n');
    }
}

void PwdEntryList::AddLines(const std::uint8_t* text, std::size_t length) {
    const std::uint8_t* end = std::find(text, text + length, std::uint8_t{0});
    const std::uint8_t* line = text;
    while (line < end) {
        const std::uint8_t* stop = line;
        while (stop < end && *stop != '\r' && *stop != '\n')
            ++stop;
        if (stop > line)
            Add(SecureBytes(line, stop));
        if (stop < end && *stop == '\r' && stop + 1 < end && stop[1] == '\n')
            ++stop;
        line = stop + 1;
    }
}

} // namespace qv
