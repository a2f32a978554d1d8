// The entries of the stored-password database while one operation has them in memory.
#pragma once

#include "SecureMemory.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace qv {

// Compares two entry texts without regard to letter case: byte by byte, with the ASCII letters
// A to Z folded to a to z, and every other byte (digits, punctuation, and each byte of a UTF-8
// encoded non-ASCII letter) taken at its unsigned value. A shorter text that is the start of a
// longer one sorts first. The order does not depend on the process locale, because it decides
// the order of the entries in the database file. Non-ASCII letters are not folded: "Ä" and "ä"
// are different. Returns <0, 0 or >0.
int CompareIgnoringCase(std::string_view a, std::string_view b) noexcept;

// A sorted list of entry texts "key=password", the passwords as typed (not masked). Every entry
// lives in a SecureBytes buffer, so its bytes are zeroed whenever the list lets go of it.
//
// The list keeps itself in ascending order of the whole entry text under CompareIgnoringCase and
// holds no two entries that compare equal. A lookup compares a key with the text before an
// entry's first "=", so a key that itself contains "=" is never found.
class PwdEntryList {
public:
    PwdEntryList() = default;
    PwdEntryList(const PwdEntryList&) = delete;
    PwdEntryList& operator=(const PwdEntryList&) = delete;
    ~PwdEntryList() { Clear(); }

    // Inserts the entry in its place. An entry equal to one in the list (ignoring case) leaves
    // the list unchanged and returns false; the rejected text is zeroed.
    bool Add(SecureBytes entry);
    // Builds the entry key + "=" + password and adds it.
    bool Add(std::string_view key, const SecureBytes& password);

    // The first entry in list order whose text before its first "=" equals key, ignoring case.
    // Entries without "=" hold no password and are never found.
    std::optional<std::size_t> Find(std::string_view key) const;
    // The password of an entry: the text after its first "=".
    SecureBytes PasswordOf(std::size_t index) const;
    // Removes an entry, zeroing its bytes.
    void Remove(std::size_t index);

    // Zeroes the bytes of every entry, then empties the list.
    void Clear() noexcept;

    std::size_t Size() const noexcept { return entries_.size(); }
    bool Empty() const noexcept { return entries_.empty(); }
    std::string_view operator[](std::size_t index) const noexcept;

    // The entry text: every entry in list order followed by CR LF. Appended to image.
    void AppendText(SecureBytes& image) const;
    // Adds the entries of an entry text: lines end at CR, LF or CR LF, a zero byte ends the
    // text, and empty lines carry no entry.
    void AddLines(const std::uint8_t* text, std::size_t length);

private:
    std::vector<SecureBytes> entries_;
};

} // namespace qv
