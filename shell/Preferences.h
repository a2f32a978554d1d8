// The preferences: what the dialog shows, its spin fields' rule, and what its OK changes, in
// order. The dialog itself only shows the values and keeps its controls' rules.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

class TQV_MasterPass;
class TQV_Pwd;
class TQV_PwdExpiry;
struct TQV_Settings;

// The values of the dialog's controls.
struct PreferenceValues {
    bool OnePassword = false;
    std::int32_t Expire = 0; // minutes the held password lives; 0 = no limit
    bool OnePerList = false;
    std::int32_t Method = 0; // the selected method button: 1 IDEA, 3 DES, 4 triple DES, 0 none
    bool Store = false;
    std::string Dir; // the database's path as typed
    bool Expires = false;
    std::int32_t ExpTime = 0; // minutes the master password lives
    bool ShowCry = false;
    bool ShowTIP = false;
};

// The spin fields take 0 to 600 minutes.
inline constexpr std::int32_t SpinMinimum = 0;
inline constexpr std::int32_t SpinMaximum = 600;
// The number typed into a spin field: text that is not a number counts as 0, and a number
// outside 0 to 600 is brought to the nearer bound.
std::int32_t SpinValue(const std::string& text);

// The dialog: shows values, lets the user change them and answers true for OK. Browse puts the
// chosen path into dir, the database path setting itself, at once.
class PreferencesDialog {
public:
    virtual ~PreferencesDialog() = default;
    virtual bool Ask(PreferenceValues& values, std::string& dir) = 0;
};

// What an OK does beyond the settings themselves.
class PreferencesEvents {
public:
    virtual ~PreferencesEvents() = default;
    // The lists are read again, the hidden listing first (ShowCry changed).
    virtual void ReReadLists() = 0;
    // The default method is chosen as the method buttons choose it (the held password expires).
    virtual void SelectMethod(std::int32_t method) = 0;
    // The master password expires now, as its tool-bar button makes it.
    virtual void ExpireMasterPassword() = 0;
};

struct PreferenceHolders {
    TQV_Settings& Options;
    TQV_Pwd& Pwd; // OnePassword and "Expire"
    TQV_PwdExpiry& Expiry;
    TQV_MasterPass& MasterPass; // Store, Dir, Expires and "ExpTime"
};

// Fills the dialog from the settings (an empty database path becomes the default one, also in
// the setting), shows it, and on OK changes the settings: the lists read again only when
// ShowCry changed, the method through SelectMethod when its button changed, the master password
// expired once when a database setting changed, and the held password forgotten. The current
// directory is the same afterwards.
void ShowPreferences(PreferencesDialog& dialog, const PreferenceHolders& holders,
                     PreferencesEvents& events);

} // namespace qv
