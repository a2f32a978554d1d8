// Edits of registry text for tests: taking a key or a value out, or writing a value with
// another type, so that a test can start from a good registry and break one thing in it.
#pragma once

#include <sstream>
#include <string>

namespace qvtest {

inline std::string SectionOf(const std::string& key) {
    return "[HKEY_CLASSES_ROOT" + key + "]";
}

// The registry text without the key's section and its values.
inline std::string WithoutKey(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line, out;
    bool skipping = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[')
            skipping = line == SectionOf(key);
        if (!skipping)
            out += line + "\n";
    }
    return out;
}

// The registry text with the value's line replaced by data ("" takes the value out). name ""
// is the key's unnamed value; data is written as it stands after "=", e.g. dword:00000001.
inline std::string WithValue(const std::string& text, const std::string& key,
                             const std::string& name, const std::string& data) {
    std::istringstream in(text);
    std::string line, out;
    bool inKey = false, done = false;
    const std::string prefix = name.empty() ? "@=" : "\"" + name + "\"=";
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') {
            if (inKey && !done && !data.empty()) {
                // The key ends without the value: add it before the next key.
                while (!out.empty() && out.back() == '\n' && out.size() > 1 &&
                       out[out.size() - 2] == '\n')
                    out.pop_back();
                out += prefix + data + "\n\n";
                done = true;
            }
            inKey = line == SectionOf(key);
        }
        if (inKey && line.rfind(prefix, 0) == 0) {
            if (!data.empty())
                out += prefix + data + "\n";
            done = true;
            continue;
        }
        out += line + "\n";
    }
    if (inKey && !done && !data.empty())
        out += prefix + data + "\n";
    return out;
}

} // namespace qvtest
