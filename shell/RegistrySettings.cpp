#include "RegistrySettings.h"

#include "ProgramSettings.h"
#include "PwdTable.h"

#include <array>
#include <string>
#include <vector>

namespace qv {

namespace {

using List = InterfaceSettings::List;

const std::array<const char*, InterfaceSettings::ColumnCount> SourceColumns = {
    "Name", "Size", "Date", "Attributes", "FileType"};
const std::array<const char*, InterfaceSettings::ColumnCount> CryptedColumns = {
    "Name", "Size", "Date", "Attributes", "EncryptedBy"};

std::string ListKey(List list) {
    return std::string(keys::ListView) + (list == List::Source ? "\\Source" : "\\Crypted");
}

const std::array<const char*, InterfaceSettings::ColumnCount>& ColumnNames(List list) {
    return list == List::Source ? SourceColumns : CryptedColumns;
}

std::string BandKey(int band) {
    return std::string(keys::CoolBands) + "\\" + std::to_string(band + 1);
}

// Reads the values of one key after another; every read fails once a key is missing or a value
// is missing or of the wrong type, so that a pass ends at its first failure.
class Reader {
public:
    explicit Reader(const RegistryFile& registry) : registry_(registry) {}

    bool Open(const std::string& key) {
        key_ = key;
        return registry_.KeyExists(key);
    }

    bool Integer(const char* name, std::int32_t& out) const {
        const RegistryValue* v = registry_.FindValue(key_, name);
        if (!v || v->type != RegistryValue::Type::Integer)
            return false;
        out = static_cast<std::int32_t>(v->integer);
        return true;
    }

    // Flags are held as one byte: a value counts as on when its low byte is not 0.
    bool Flag(const char* name, bool& out) const {
        std::int32_t value = 0;
        if (!Integer(name, value))
            return false;
        out = (value & 0xFF) != 0;
        return true;
    }

    // A missing text reads as empty text; a value of another type is a failure.
    bool Text(const char* name, std::string& out) const {
        const RegistryValue* v = registry_.FindValue(key_, name);
        if (!v) {
            out.clear();
            return true;
        }
        if (v->type != RegistryValue::Type::Text)
            return false;
        out = v->text;
        return true;
    }

private:
    const RegistryFile& registry_;
    std::string key_;
};

// Writes into one existing key after another; remembers whether a key was missing and which
// texts the file could not hold (those keep their previous value).
class Writer {
public:
    Writer(RegistryFile& registry, std::vector<std::string>* refused)
        : registry_(registry), refused_(refused) {}

    void Open(const std::string& key) {
        key_ = key;
        if (!registry_.KeyExists(key))
            complete_ = false;
    }
    void Integer(const char* name, std::int32_t value) {
        registry_.SetInteger(key_, name, static_cast<std::uint32_t>(value));
    }
    void Flag(const char* name, bool value) { Integer(name, value ? 1 : 0); }
    void Text(const char* name, const std::string& value) {
        // In an existing key, false means the file cannot hold the text.
        if (!registry_.SetText(key_, name, value) && registry_.KeyExists(key_)) {
            complete_ = false;
            if (refused_)
                refused_->push_back(name);
        }
    }

    bool Complete() const { return complete_; }

private:
    RegistryFile& registry_;
    std::vector<std::string>* refused_;
    std::string key_;
    bool complete_ = true;
};

bool ReadColumns(Reader& in, InterfaceSettings& window, List list) {
    if (!in.Open(ListKey(list)))
        return false;
    const auto& names = ColumnNames(list);
    for (int column = 0; column < InterfaceSettings::ColumnCount; ++column) {
        std::int32_t width = 0;
        if (!in.Integer(names[static_cast<std::size_t>(column)], width))
            return false;
        window.SetColumnWidth(list, column, width);
    }
    return true;
}

void WriteColumns(Writer& out, const InterfaceSettings& window, List list) {
    out.Open(ListKey(list));
    const auto& names = ColumnNames(list);
    for (int column = 0; column < InterfaceSettings::ColumnCount; ++column)
        out.Integer(names[static_cast<std::size_t>(column)], window.ColumnWidth(list, column));
}

} // namespace

bool ReadInterfaceSettings(const RegistryFile& registry, InterfaceSettings& window) {
    Reader in(registry);
    std::int32_t value = 0;
    if (!in.Open(keys::MainWin) || !in.Integer("Width", value))
        return false;
    window.SetWindowWidth(value);
    if (!in.Integer("Height", value))
        return false;
    window.SetWindowHeight(value);

    if (!ReadColumns(in, window, List::Source) || !ReadColumns(in, window, List::Crypted))
        return false;

    for (int band = 0; band < InterfaceSettings::BandCount; ++band) {
        bool startsRow = false;
        if (!in.Open(BandKey(band)) || !in.Flag("Break", startsRow))
            return false;
        window.SetBandBreak(band, startsRow);
        if (!in.Integer("Width", value))
            return false;
        window.SetBandWidth(band, value);
        std::string control;
        if (!in.Text("Control", control))
            return false;
        window.PutControlInBand(band, control);
    }
    return true;
}

bool LoadSettings(const RegistryFile& registry, InterfaceSettings& window,
                  const SettingsHolders& holders) {
    if (!ReadInterfaceSettings(registry, window))
        return false;

    Reader in(registry);
    std::string icon;
    if (!in.Open(keys::DefaultIcon) || !in.Text("", icon))
        return false;
    holders.Options.HelpFile = HelpFileFor(icon);

    TQV_Pwd& pwd = holders.Pwd;
    TQV_Settings& options = holders.Options;
    if (!in.Open(keys::Options) || !in.Flag("OnePassword", pwd.OnePassword) ||
        !in.Integer("Expire", pwd.ExpireMinutes) || !in.Flag("OnePerList", options.OnePerList) ||
        !in.Flag("ShowCry", options.ShowCry) || !in.Flag("ShowTIP", options.ShowTIP) ||
        !in.Integer("Method", options.Method))
        return false;

    TQV_MasterPass& master = holders.MasterPass;
    return in.Open(keys::MasterPass) && in.Flag("Store", master.Store) &&
           in.Text("Dir", master.Dir) && in.Flag("Expires", master.Expires) &&
           in.Integer("ExpTime", master.ExpireMinutes);
}

bool WriteInterfaceSettings(RegistryFile& registry, const InterfaceSettings& window,
                            std::vector<std::string>* refused) {
    Writer out(registry, refused);
    out.Open(keys::MainWin);
    out.Integer("Height", window.WindowHeight());
    out.Integer("Width", window.WindowWidth());

    WriteColumns(out, window, List::Source);
    WriteColumns(out, window, List::Crypted);

    for (int band = 0; band < InterfaceSettings::BandCount; ++band) {
        out.Open(BandKey(band));
        out.Flag("Break", window.BandBreak(band));
        out.Integer("Width", window.BandWidth(band));
        out.Text("Control", window.BandControl(band));
    }
    return out.Complete();
}

bool SaveSettings(RegistryFile& registry, const InterfaceSettings& window,
                  const SettingsHolders& holders, std::vector<std::string>* refused) {
    const bool interfaceComplete = WriteInterfaceSettings(registry, window, refused);

    Writer out(registry, refused);
    out.Open(keys::Options);
    out.Integer("Expire", holders.Pwd.ExpireMinutes);
    out.Flag("OnePassword", holders.Pwd.OnePassword);
    out.Flag("OnePerList", holders.Options.OnePerList);
    out.Flag("ShowCry", holders.Options.ShowCry);
    out.Flag("ShowTIP", holders.Options.ShowTIP);
    out.Integer("Method", holders.Options.Method);

    out.Open(keys::MasterPass);
    out.Flag("Store", holders.MasterPass.Store);
    out.Text("Dir", holders.MasterPass.Dir);
    out.Flag("Expires", holders.MasterPass.Expires);
    out.Integer("ExpTime", holders.MasterPass.ExpireMinutes);
    return interfaceComplete && out.Complete();
}

std::string HelpFileFor(const std::string& iconLocation) {
    const auto slash = iconLocation.rfind('/');
    if (slash == std::string::npos)
        return HelpFileName;
    return iconLocation.substr(0, slash + 1) + HelpFileName;
}

} // namespace qv
