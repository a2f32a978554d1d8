// The program's registry: keys below HKEY_CLASSES_ROOT kept in a text file in the format of
// Windows registry exports (first line "Windows Registry Editor Version 5.00", sections
// "[HKEY_CLASSES_ROOT\crypt file\Settings\Options]", values "Method"=dword:00000003,
// "Dir"="text" and @="text" for a key's unnamed value), UTF-8.
//
// What is written reads back exactly. A text with a line break or another control character
// (a tab excepted) cannot stand between quotes; it is written as REG_SZ data the way regedit
// writes such texts, "Dir"=hex(1):41,00,0a,00,00,00 (UTF-16LE with its terminator, continued
// over lines ending in a backslash), and hex(1) and hex(2) data read back as text. A text or
// name the file cannot hold at all is refused (CanHoldText, CanHoldName).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct RegistryValue {
    enum class Type { Integer, Text, Other };

    bool operator==(const RegistryValue&) const = default;

    std::string name; // "" is the key's unnamed value, written @
    Type type = Type::Text;
    std::uint32_t integer = 0; // Integer: the dword
    std::string text;          // Text: the decoded text; Other: the data as written after "="
};

class RegistryFile {
public:
    static constexpr const char* Header = "Windows Registry Editor Version 5.00";

    struct Key {
        std::string name; // with the root, as written in the section header
        std::vector<RegistryValue> values;

        bool operator==(const Key&) const = default;
    };

    // Whether a text can be kept as a text value: not when it holds a zero byte, nor when it
    // needs the hex(1) form (a control character other than the tab) but is not valid UTF-8.
    static bool CanHoldText(const std::string& text);
    // Whether a value name can be written: quoted names have no other form, so no control
    // characters other than the tab.
    static bool CanHoldName(const std::string& name);

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
    // False when the key does not exist (the program never adds a key), or when the name or
    // the text cannot be held (CanHoldName, CanHoldText); the key is then left as it was.
    bool SetInteger(const std::string& key, const std::string& name, std::uint32_t value);
    bool SetText(const std::string& key, const std::string& name, const std::string& text);

    // Adds an empty key; used by the installation, never by the program. False, adding
    // nothing, for a name that is no section header: one with a control character other than
    // the tab, or one starting with "-" (a deletion request in a registry export).
    bool AddKey(const std::string& key);

    // Every key in file order, each with its values.
    const std::vector<Key>& Keys() const { return keys_; }

    std::string Serialize() const;
    // Rewrites the whole file atomically (temporary file in the same folder, flushed, renamed),
    // keeping the file's permission bits. The text is read back first: one that would not
    // load as these keys and values is never written. False, with a reason, on failure.
    bool Save(std::string* error = nullptr) const;

private:
    const Key* FindKey(const std::string& key) const;
    Key* FindKey(const std::string& key);
    bool SetValue(const std::string& key, RegistryValue value);

    std::string path_;
    std::vector<Key> keys_;
};

} // namespace qv
