// The registry that an installation writes for a user who has none: every key the program
// reads, with its first values, the crypted files' icon and the browser command.
#pragma once

#include "RegistryFile.h"

#include <string>

namespace qv {

// dataDir is the installed folder of the program's pictures and help file; browserCommand
// the command line that opens a web address, "%1" standing for the address. When the settings
// file cannot hold one of the two (RegistryFile::CanHoldText), its value is left out and
// *refused, when given, says which.
RegistryFile FirstRegistry(const std::string& dataDir, const std::string& browserCommand,
                           std::string* refused = nullptr);

// The full path of a program found on $PATH, or "" when there is none.
std::string FindOnPath(const std::string& program);

enum class FirstWriteResult { Written, AlreadyThere, Failed };

// Writes the registry to its path unless a file is there already; an existing file is never
// replaced, not even one that appears while this runs. Creates the folder when needed.
FirstWriteResult WriteFirstRegistry(const RegistryFile& registry, std::string* error = nullptr);

} // namespace qv
