// Where the installed program keeps its pictures and help file, and the first settings a user
// gets from them: shared by quorvane-register and by the program itself, which writes them when
// a user without any settings file starts it.
#pragma once

#include "FirstSettings.h"

#include <string>

namespace qv {

// The installed data folder (share/quorvane), found from this program's own path the way the
// installation lays it out; it need not exist (a program run from its build folder).
std::string InstalledDataFolder(const char* argv0);

// Writes the first settings to path, naming dataDir's pictures and the desktop's browser
// command, unless a file is there already (Written, AlreadyThere or Failed with *error set).
FirstWriteResult WriteFirstSettings(const std::string& path, const std::string& dataDir,
                                    std::string* error);

} // namespace qv
