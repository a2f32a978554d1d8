#include "RegistryFile.h"

#include "FileSystem.h"
#include "Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qv {

namespace {

constexpr const char* Root = "HKEY_CLASSES_ROOT";

std::string QualifiedKey(const std::string& key) {
    if (!key.empty() && key.front() == '\\')
        return Root + key;
    return key;
}

bool SameText(const std::string& a, const std::string& b) {
    return AsciiLower(a) == AsciiLower(b);
}

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

// A control character other than the tab: it cannot stand between quotes, which must stay on
// one line and be readable by other tools.
bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t';
}

bool HasControl(const std::string& text) {
    for (char c : text)
        if (IsControl(c))
            return true;
    return false;
}

// Decodes UTF-8 into code points; false for anything but well-formed UTF-8 (no overlong forms,
// no surrogates, nothing above U+10FFFF).
bool DecodeUtf8(const std::string& text, std::vector<char32_t>* out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra;
        char32_t cp;
        char32_t min;
        if (lead < 0x80) {
            extra = 0, cp = lead, min = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i <= static_cast<std::size_t>(extra))
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        if (out)
            out->push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A text as REG_SZ data: UTF-16LE with its terminator. False when the text is no valid UTF-8
// or holds a zero byte (which would end the REG_SZ early).
bool TextToRegSz(const std::string& text, std::vector<unsigned char>& bytes) {
    std::vector<char32_t> points;
    if (text.find('\0') != std::string::npos || !DecodeUtf8(text, &points))
        return false;
    bytes.clear();
    auto unit = [&](char32_t u) {
        bytes.push_back(static_cast<unsigned char>(u & 0xFF));
        bytes.push_back(static_cast<unsigned char>(u >> 8));
    };
    for (char32_t cp : points) {
        if (cp < 0x10000) {
            unit(cp);
        } else {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    unit(0);
    return true;
}

// REG_SZ or REG_EXPAND_SZ data back to text. False unless the data is well-formed UTF-16LE
// with exactly one terminator at its end; such data is kept as read instead.
bool RegSzToText(const std::vector<unsigned char>& bytes, std::string& text) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0)
        return false;
    std::vector<char32_t> units;
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        units.push_back(static_cast<char32_t>(bytes[i] | (bytes[i + 1] << 8)));
    if (units.back() != 0)
        return false;
    units.pop_back();
    text.clear();
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if (cp == 0 || (cp >= 0xDC00 && cp <= 0xDFFF))
            return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        AppendUtf8(text, cp);
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Comma-separated hex bytes as regedit writes them ("41,00,0a"); blanks around a byte are
// allowed. False for anything else.
bool ParseHexBytes(const std::string& list, std::vector<unsigned char>& bytes) {
    bytes.clear();
    if (list.find_first_not_of(" \t") == std::string::npos)
        return true;
    std::size_t pos = 0;
    while (true) {
        const std::size_t comma = std::min(list.find(',', pos), list.size());
        std::size_t first = pos, last = comma;
        while (first < last && (list[first] == ' ' || list[first] == '\t'))
            ++first;
        while (last > first && (list[last - 1] == ' ' || list[last - 1] == '\t'))
            --last;
        if (last == first || last - first > 2)
            return false;
        int value = 0;
        for (std::size_t i = first; i < last; ++i) {
            const int d = HexDigit(list[i]);
            if (d < 0)
                return false;
            value = value * 16 + d;
        }
        bytes.push_back(static_cast<unsigned char>(value));
        if (comma == list.size())
            return true;
        pos = comma + 1;
    }
}

// Writes data bytes after prefix (the name, "=" and "hex(1):") as regedit does: "xx," pairs, a line
// ended by a backslash once it is about 77 characters long, continuation lines indented by
// two blanks.
void AppendHexLines(std::string& out, const std::string& prefix,
                    const std::vector<unsigned char>& bytes) {
    static const char Digits[] = "0123456789abcdef";
    out += prefix;
    std::size_t column = prefix.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += Digits[bytes[i] >> 4];
        out += Digits[bytes[i] & 0x0F];
        if (i + 1 == bytes.size())
            break;
        out += ',';
        column += 3;
        if (column >= 77) {
            out += "\\\n  ";
            column = 2;
        }
    }
}

// Reads a quoted text starting at pos (which holds the opening quote). Returns false when the
// closing quote is missing; pos then points behind the closing quote.
bool ReadQuoted(const std::string& line, std::size_t& pos, std::string& out) {
    out.clear();
    ++pos;
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c == '"')
            return true;
        if (c == '\\' && pos < line.size())
            out += line[pos++];
        else
            out += c;
    }
    return false;
}

bool ParseDword(const std::string& digits, std::uint32_t& value) {
    if (digits.empty() || digits.size() > 8)
        return false;
    value = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

void TrimEnd(std::string& s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.pop_back();
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// Whether a line continues the data of the line before, which ended in a backslash: any line
// but a key, a value or a comment (regedit continues hex data with lines of hex bytes). So a
// stray backslash cannot swallow the value or key after it.
bool IsContinuation(const std::string& trimmed) {
    return trimmed.empty() || std::string("[\"@;").find(trimmed.front()) == std::string::npos;
}

} // namespace

std::string RegistryFile::DefaultPath() {
    if (const char* explicitPath = std::getenv("QUORVANE_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = JoinPath(home, ".config");
    else
        config = ".config";
    return JoinPath(JoinPath(config, "quorvane"), "registry.reg");
}

bool RegistryFile::Load(const std::string& path, std::string* error) {
    path_ = path;
    keys_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    return Parse(text.str(), error);
}

bool RegistryFile::Parse(const std::string& text, std::string* error) {
    keys_.clear();
    auto fail = [&](const std::string& why) {
        keys_.clear();
        if (error)
            *error = why;
        return false;
    };

    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (!lines.empty() && lines.front().compare(0, 3, "\xEF\xBB\xBF") == 0)
        lines.front().erase(0, 3);

    bool headerSeen = false;
    Key* current = nullptr;
    for (std::size_t next = 0; next < lines.size();) {
        const std::string where = " on line " + std::to_string(next + 1);
        const std::string line = Trim(lines[next++]);
        if (line.empty() || line.front() == ';')
            continue;
        if (!headerSeen) {
            if (line != Header)
                return fail("not a registry file: the first line is not \"" + std::string(Header) +
                            "\"");
            headerSeen = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']')
                return fail("unterminated key name" + where);
            std::string name = line.substr(1, line.size() - 2);
            if (!name.empty() && name.front() == '-') { // a deletion request names no key
                current = nullptr;
                continue;
            }
            // The name as written: a section "[\x]" is not the key "\x" of the program.
            current = nullptr;
            for (auto& k : keys_)
                if (SameText(k.name, name)) {
                    current = &k;
                    break;
                }
            if (!current) {
                keys_.push_back(Key{name, {}});
                current = &keys_.back();
            }
            continue;
        }
        if (!current)
            return fail("value outside a key" + where);
        RegistryValue value;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() == '"') {
            if (!ReadQuoted(line, pos, value.name))
                return fail("unterminated value name" + where);
        } else {
            return fail("unreadable line" + where);
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos >= line.size() || line[pos] != '=')
            return fail("missing \"=\"" + where);
        ++pos;
        std::string data = Trim(line.substr(pos));
        if (!data.empty() && data.front() == '"') {
            std::size_t p = 0;
            if (!ReadQuoted(data, p, value.text))
                return fail("unterminated text" + where);
            value.type = RegistryValue::Type::Text;
        } else {
            // Data of other types continues over lines ending in a backslash. A backslash
            // followed by a value, a key, a comment or the end of the file just ends the data.
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (next < lines.size() && IsContinuation(Trim(lines[next])))
                    data += Trim(lines[next++]);
                TrimEnd(data);
            }
            if (AsciiLower(data.substr(0, 6)) == "dword:") {
                if (!ParseDword(data.substr(6), value.integer))
                    return fail("bad dword" + where);
                value.type = RegistryValue::Type::Integer;
            } else {
                value.type = RegistryValue::Type::Other;
                value.text = data;
                // REG_SZ and REG_EXPAND_SZ written as hex read as text when they decode.
                const std::string kind = AsciiLower(data.substr(0, 7));
                std::vector<unsigned char> bytes;
                std::string decoded;
                if ((kind == "hex(1):" || kind == "hex(2):") &&
                    ParseHexBytes(data.substr(7), bytes) && RegSzToText(bytes, decoded)) {
                    value.type = RegistryValue::Type::Text;
                    value.text = std::move(decoded);
                }
            }
        }
        bool replaced = false;
        for (auto& existing : current->values)
            if (SameText(existing.name, value.name)) {
                existing = value;
                replaced = true;
            }
        if (!replaced)
            current->values.push_back(std::move(value));
    }
    if (!headerSeen)
        return fail("not a registry file: it is empty");
    return true;
}

const RegistryFile::Key* RegistryFile::FindKey(const std::string& key) const {
    const std::string wanted = QualifiedKey(key);
    for (const auto& k : keys_)
        if (SameText(k.name, wanted))
            return &k;
    return nullptr;
}

RegistryFile::Key* RegistryFile::FindKey(const std::string& key) {
    return const_cast<Key*>(static_cast<const RegistryFile*>(this)->FindKey(key));
}

bool RegistryFile::KeyExists(const std::string& key) const {
    return FindKey(key) != nullptr;
}

const RegistryValue* RegistryFile::FindValue(const std::string& key,
                                             const std::string& name) const {
    const Key* k = FindKey(key);
    if (!k)
        return nullptr;
    for (const auto& v : k->values)
        if (SameText(v.name, name))
            return &v;
    return nullptr;
}

bool RegistryFile::SetValue(const std::string& key, RegistryValue value) {
    Key* k = FindKey(key);
    if (!k)
        return false;
    for (auto& v : k->values)
        if (SameText(v.name, value.name)) {
            value.name = v.name;
            v = std::move(value);
            return true;
        }
    k->values.push_back(std::move(value));
    return true;
}

bool RegistryFile::CanHoldText(const std::string& text) {
    return text.find('\0') == std::string::npos && (!HasControl(text) || DecodeUtf8(text, nullptr));
}

bool RegistryFile::CanHoldName(const std::string& name) {
    return !HasControl(name);
}

bool RegistryFile::SetInteger(const std::string& key, const std::string& name,
                              std::uint32_t value) {
    if (!CanHoldName(name))
        return false;
    RegistryValue v;
    v.name = name;
    v.type = RegistryValue::Type::Integer;
    v.integer = value;
    return SetValue(key, std::move(v));
}

bool RegistryFile::SetText(const std::string& key, const std::string& name,
                           const std::string& text) {
    if (!CanHoldName(name) || !CanHoldText(text))
        return false;
    RegistryValue v;
    v.name = name;
    v.type = RegistryValue::Type::Text;
    v.text = text;
    return SetValue(key, std::move(v));
}

bool RegistryFile::AddKey(const std::string& key) {
    const std::string name = QualifiedKey(key);
    if (HasControl(name) || (!name.empty() && name.front() == '-'))
        return false;
    if (!FindKey(key))
        keys_.push_back(Key{name, {}});
    return true;
}

std::string RegistryFile::Serialize() const {
    std::string out = std::string(Header) + "\n";
    for (const auto& k : keys_) {
        out += "\n[" + k.name + "]\n";
        for (const auto& v : k.values) {
            // Built by appending: GCC 12 warns (-Wrestrict, wrongly) when it inlines the
            // insertion at the front that `"\"" + text` does.
            std::string name(1, '@');
            if (!v.name.empty()) {
                name.assign(1, '"');
                name += Escape(v.name);
                name += '"';
            }
            switch (v.type) {
            case RegistryValue::Type::Integer: {
                char digits[16];
                std::snprintf(digits, sizeof digits, "dword:%08x", v.integer);
                out += name + "=" + digits;
                break;
            }
            case RegistryValue::Type::Text: {
                // Quoted unless a control character would break the line. A text that has
                // no hex(1) form (not UTF-8, or a zero byte) was refused by SetText, so it
                // came from a quoted text of a file: it holds no line break and goes back
                // between quotes as it came.
                std::vector<unsigned char> bytes;
                if (HasControl(v.text) && TextToRegSz(v.text, bytes))
                    AppendHexLines(out, name + "=hex(1):", bytes);
                else
                    out += name + "=\"" + Escape(v.text) + "\"";
                break;
            }
            case RegistryValue::Type::Other:
                out += name + "=" + v.text;
                break;
            }
            out += '\n';
        }
    }
    return out;
}

bool RegistryFile::Save(std::string* error) const {
    const std::string text = Serialize();
    RegistryFile check;
    std::string why;
    if (!check.Parse(text, &why) || check.keys_ != keys_) {
        if (error)
            *error = "cannot write " + path_ + ": the settings would not read back as they are" +
                     (why.empty() ? std::string() : " (" + why + ")");
        return false;
    }
    unsigned mode = 0600;
    GetPermissions(path_, mode);
    AtomicFile file(path_);
    int err = file.Open(mode);
    if (err == 0 && !file.Write(text.data(), text.size()))
        err = errno ? errno : EIO;
    if (err == 0)
        err = file.Commit();
    if (err != 0) {
        file.Discard();
        if (error)
            *error = "cannot write " + path_ + ": " + std::strerror(err);
        return false;
    }
    return true;
}

} // namespace qv
