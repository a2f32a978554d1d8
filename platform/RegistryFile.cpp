#include "RegistryFile.h"

#include "FileSystem.h"
#include "Paths.h"

#include <cerrno>
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
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
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

    std::istringstream in(text);
    std::string raw;
    bool headerSeen = false;
    Key* current = nullptr;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (lineNo == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0)
            raw.erase(0, 3);
        std::string line = Trim(raw);
        // Data of other types may continue over lines ending in a backslash.
        while (!line.empty() && line.back() == '\\' && line.find('=') != std::string::npos &&
               line.find("=\"") == std::string::npos && std::getline(in, raw)) {
            ++lineNo;
            line.pop_back();
            line += Trim(raw);
        }
        if (line.empty() || line.front() == ';')
            continue;
        if (!headerSeen) {
            if (line != Header)
                return fail("not a registry file: the first line is not \"" + std::string(Header) +
                            "\"");
            headerSeen = true;
            continue;
        }
        const std::string where = " on line " + std::to_string(lineNo);
        if (line.front() == '[') {
            if (line.back() != ']')
                return fail("unterminated key name" + where);
            std::string name = line.substr(1, line.size() - 2);
            if (!name.empty() && name.front() == '-') { // a deletion request names no key
                current = nullptr;
                continue;
            }
            current = FindKey(name);
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
        const std::string data = Trim(line.substr(pos));
        if (!data.empty() && data.front() == '"') {
            std::size_t p = 0;
            if (!ReadQuoted(data, p, value.text))
                return fail("unterminated text" + where);
            value.type = RegistryValue::Type::Text;
        } else if (AsciiLower(data.substr(0, 6)) == "dword:") {
            if (!ParseDword(data.substr(6), value.integer))
                return fail("bad dword" + where);
            value.type = RegistryValue::Type::Integer;
        } else {
            value.type = RegistryValue::Type::Other;
            value.text = data;
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

bool RegistryFile::SetInteger(const std::string& key, const std::string& name,
                              std::uint32_t value) {
    RegistryValue v;
    v.name = name;
    v.type = RegistryValue::Type::Integer;
    v.integer = value;
    return SetValue(key, std::move(v));
}

bool RegistryFile::SetText(const std::string& key, const std::string& name,
                           const std::string& text) {
    RegistryValue v;
    v.name = name;
    v.type = RegistryValue::Type::Text;
    v.text = text;
    return SetValue(key, std::move(v));
}

void RegistryFile::AddKey(const std::string& key) {
    if (!FindKey(key))
        keys_.push_back(Key{QualifiedKey(key), {}});
}

std::string RegistryFile::Serialize() const {
    std::string out = std::string(Header) + "\n";
    for (const auto& k : keys_) {
        out += "\n[" + k.name + "]\n";
        for (const auto& v : k.values) {
            out += v.name.empty() ? std::string("@") : "\"" + Escape(v.name) + "\"";
            out += '=';
            switch (v.type) {
            case RegistryValue::Type::Integer: {
                char digits[16];
                std::snprintf(digits, sizeof digits, "dword:%08x", v.integer);
                out += digits;
                break;
            }
            case RegistryValue::Type::Text:
                out += "\"" + Escape(v.text) + "\"";
                break;
            case RegistryValue::Type::Other:
                out += v.text;
                break;
            }
            out += '\n';
        }
    }
    return out;
}

bool RegistryFile::Save(std::string* error) const {
    unsigned mode = 0600;
    GetPermissions(path_, mode);
    AtomicFile file(path_);
    int err = file.Open(mode);
    const std::string text = Serialize();
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
