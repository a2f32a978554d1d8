// Every setting of the program, read from the registry in one pass at start and written back
// in one pass at the end. Between the two the program works on the copies in memory.
#pragma once

#include "RegistryFile.h"
#include "RegistryKeys.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class TQV_Pwd;
class TQV_MasterPass;
struct TQV_Settings;

// Shown when a setting cannot be read.
inline constexpr const char* NotInstalledMessage = "The program has not been installed correctly!";
// The help file of the program, in the folder of the crypted files' icon.
inline constexpr const char* HelpFileName = "Quorvane.html";

// The parts of the settings that the main window's controls hold: the window size, the widths
// of the two lists' columns and the layout of the status bands. Bands are numbered from 0
// here; the registry numbers them from 1.
class InterfaceSettings {
public:
    enum class List { Source, Crypted };
    static constexpr int ColumnCount = 5;
    static constexpr int BandCount = 4;

    virtual ~InterfaceSettings() = default;

    virtual std::int32_t WindowWidth() const = 0;
    virtual std::int32_t WindowHeight() const = 0;
    virtual void SetWindowWidth(std::int32_t width) = 0;
    virtual void SetWindowHeight(std::int32_t height) = 0;

    virtual std::int32_t ColumnWidth(List list, int column) const = 0;
    virtual void SetColumnWidth(List list, int column, std::int32_t width) = 0;

    virtual bool BandBreak(int band) const = 0;
    virtual void SetBandBreak(int band, bool startsRow) = 0;
    virtual std::int32_t BandWidth(int band) const = 0;
    virtual void SetBandWidth(int band, std::int32_t width) = 0;
    // The name saved for the band: the control it holds, "" for none.
    virtual std::string BandControl(int band) const = 0;
    // Moves the named control into the band (it leaves the band it was in); a name that
    // matches no band control leaves the band without a control.
    virtual void PutControlInBand(int band, const std::string& name) = 0;
};

// The objects whose fields are settings.
struct SettingsHolders {
    TQV_Pwd& Pwd;               // "OnePassword", "Expire"
    TQV_MasterPass& MasterPass; // "Store", "Dir", "Expires", "ExpTime"
    TQV_Settings& Options;      // "OnePerList", "ShowCry", "ShowTIP", "Method", the help file
};

// Reads the window, column and band values, in that order. Stops at the first value that
// cannot be read and returns false; the values read until then are in effect.
bool ReadInterfaceSettings(const RegistryFile& registry, InterfaceSettings& window);

// Reads every setting: the interface values, the help file, the options, the master-password
// settings. Stops at the first key that does not exist or value that is missing or of another
// type, and returns false; the values read until then are in effect, the rest keep theirs.
bool LoadSettings(const RegistryFile& registry, InterfaceSettings& window,
                  const SettingsHolders& holders);

// Writes the window, column and band values into the keys that exist. False when a key was
// missing (its values are not written: the program never adds a key) or when a text could not
// be kept (RegistryFile::CanHoldText): that value keeps its previous text, and its name is
// added to *refused when given, for the user to be told.
bool WriteInterfaceSettings(RegistryFile& registry, const InterfaceSettings& window,
                            std::vector<std::string>* refused = nullptr);

// Writes every setting into the keys that exist; the same rules for missing keys and for texts
// that cannot be kept.
bool SaveSettings(RegistryFile& registry, const InterfaceSettings& window,
                  const SettingsHolders& holders, std::vector<std::string>* refused = nullptr);

// The help file named by the icon location: its folder (up to and including the last "/")
// followed by "Quorvane.html"; the bare name when the location has no folder.
std::string HelpFileFor(const std::string& iconLocation);

} // namespace qv
