// The in-memory copies of the settings that belong to no other object. The password holder
// keeps its own ("OnePassword", "Expire"), the master-password holder its own ("Store", "Dir",
// "Expires", "ExpTime"), and the main window's controls keep the window size, the column
// widths and the status band layout.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

struct TQV_Settings {
    bool ShowCry = false;    // the crypted list shows names with ".cry"
    bool ShowTIP = false;    // the tip of the day is shown at start
    std::int32_t Method = 0; // CipherMethod code of new encryptions; 0 = none chosen
    bool OnePerList = false; // start state of the password dialogs' list check box
    std::string HelpFile;    // "" until the settings name one
};

} // namespace qv
