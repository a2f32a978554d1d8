// The program's registry: keys below HKEY_CLASSES_ROOT kept in a text file in the format of
// Windows registry exports (first line "Windows Registry Editor Version 5.00", sections
// "[HKEY_CLASSES_ROOT\crypt file\Settings\Options]", values "Method"=dword:00000003,
// "Dir"="text" and @="text" for a key's unnamed value), UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct RegistryValue {
    enum class Type { Integer, Text, Other };

    std::string name; // "" is the key's unnamed value, written @
    Type type = Type::Text;
    std::uint32_t integer = 0; // Integer: the dword
    std::string text;          // Text: the decoded text; Other: the data as written after "="
};

class RegistryFile {
public:
    static constexpr const char* Header = "Windows Registry Editor Version 5.00";

    // $QUORVANE_REGISTRY when set, else $XDG_CONFIG_HOME/quorvane/registry.reg
    // (~/.config/quorvane/registry.reg).
    static std::string DefaultPath();

    // Reads and parses the file. False, with a reason, when it cannot be read or is not a
    // registry file; the object is then empty.
    bool Load(const std::string& path, std::string* error = nullptr);
    // Parses registry text held in memory (the path is where Save writes it).
    bool Parse(const std::string& text, std::string* error = nullptr);

    const std::string& Path() const { return path_; }
    void SetPath(std::string path) { path_ = std::move(path); }

    // Keys are named from the root as the program names them, "\crypt file\Settings\MainWin",
    // or with the root, "HKEY_CLASSES_ROOT\crypt file\Settings\MainWin"; letter case does not
    // matter. A key exists when its section exists.
    bool KeyExists(const std::string& key) const;
    const RegistryValue* FindValue(const std::string& key, const std::string& name) const;

    // Set a value of an existing key (replacing a value of that name whatever its type).
    // False when the key does not exist: the program never adds a key.
    bool SetInteger(const std::string& key, const std::string& name, std::uint32_t value);
    bool SetText(const std::string& key, const std::string& name, const std::string& text);

    // Adds an empty key; used by the installation, never by the program.
    void AddKey(const std::string& key);

    std::string Serialize() const;
    // Rewrites the whole file atomically (temporary file in the same folder, flushed, renamed),
    // keeping the file's permission bits. False, with a reason, on failure.
    bool Save(std::string* error = nullptr) const;

private:
    struct Key {
        std::string name; // with the root, as written in the section header
        std::vector<RegistryValue> values;
    };

    const Key* FindKey(const std::string& key) const;
    Key* FindKey(const std::string& key);
    bool SetValue(const std::string& key, RegistryValue value);

    std::string path_;
    std::vector<Key> keys_;
};

} // namespace qv
