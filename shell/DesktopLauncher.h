// How the desktop program hands files to applications: "open" starts the desktop's default
// application for the file's type, "print" the CUPS client's lp with the file.
#pragma once

#include "OpenFiles.h"

namespace qv {

class DesktopLauncher : public AppLauncher {
public:
    pid_t Launch(const std::string& verb, const std::string& path, const std::string& directory,
                 std::string& error) override;
};

} // namespace qv
