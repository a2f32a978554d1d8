#include "Preferences.h"

#include "FileSystem.h"
#include "MasterPass.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "PwdExpiry.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>

namespace qv {

namespace {

bool IsMethod(std::int32_t method) {
    return method == MethodIdea || method == MethodDes || method == MethodTripleDes;
}

} // namespace

std::int32_t SpinValue(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    std::size_t end = text.size();
    while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    bool negative = false;
    if (start < end && (text[start] == '-' || text[start] == '+')) {
        negative = text[start] == '-';
        ++start;
    }
    if (start == end)
        return SpinMinimum;
    std::int64_t value = 0;
    for (std::size_t i = start; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return SpinMinimum;
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), SpinMaximum + 1);
    }
    if (negative)
        return SpinMinimum;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, SpinMinimum, SpinMaximum));
}

void ShowPreferences(PreferencesDialog& dialog, const PreferenceHolders& holders,
                     PreferencesEvents& events) {
    TQV_Settings& options = holders.Options;
    TQV_Pwd& pwd = holders.Pwd;
    TQV_MasterPass& master = holders.MasterPass;
    const std::string directory = CurrentDirectory();

    if (master.Dir.empty())
        master.Dir = DefaultDatabasePath();
    PreferenceValues values;
    values.ShowCry = options.ShowCry;
    values.ShowTIP = options.ShowTIP;
    values.OnePassword = pwd.OnePassword;
    values.OnePerList = options.OnePerList;
    values.Expire = std::clamp(pwd.ExpireMinutes, SpinMinimum, SpinMaximum);
    values.Method = IsMethod(options.Method) ? options.Method : 0;
    values.Store = master.Store;
    values.Expires = master.Expires;
    values.ExpTime = std::clamp(master.ExpireMinutes, SpinMinimum, SpinMaximum);
    values.Dir = master.Dir;

    if (dialog.Ask(values, master.Dir)) {
        if (values.ShowCry != options.ShowCry) {
            options.ShowCry = values.ShowCry;
            events.ReReadLists();
        }
        options.ShowTIP = values.ShowTIP;
        pwd.OnePassword = values.OnePassword;
        pwd.ExpireMinutes = values.Expire;
        // The dialog's rules keep the two choices apart; the settings never hold both.
        options.OnePerList = values.OnePerList && !values.OnePassword;
        // A method the buttons cannot show stays as it is.
        if (IsMethod(options.Method) && IsMethod(values.Method) && values.Method != options.Method)
            events.SelectMethod(values.Method);

        if (values.Store != master.Store || values.Dir != master.Dir ||
            values.Expires != master.Expires || values.ExpTime != master.ExpireMinutes)
            events.ExpireMasterPassword();
        master.Store = values.Store;
        master.Dir = values.Dir.empty() ? DefaultDatabasePath() : values.Dir;
        master.Expires = values.Expires;
        master.ExpireMinutes = values.ExpTime;

        // The next operation asks for a password again.
        holders.Expiry.SetExpired();
        pwd.HasPassword = false;
    }

    if (!directory.empty() && CurrentDirectory() != directory && chdir(directory.c_str()) != 0) {
        // The folder is gone; the tree shows where the program is.
    }
}

} // namespace qv
