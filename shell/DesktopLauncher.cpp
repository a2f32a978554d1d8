#include "DesktopLauncher.h"

#include "DefaultApps.h"
#include "Processes.h"

#include <cerrno>
#include <cstring>

namespace qv {

pid_t DesktopLauncher::Launch(const std::string& verb, const std::string& path,
                              const std::string& directory, std::string& error) {
    if (verb != "print")
        return OpenInDefaultApplication(path, directory, error);
    // "--" ends lp's options, so a file whose name begins with "-" is printed too.
    const pid_t process = StartProgram({"lp", "--", path});
    if (process < 0)
        error = std::string("lp cannot be started: ") + std::strerror(errno);
    return process;
}

} // namespace qv
