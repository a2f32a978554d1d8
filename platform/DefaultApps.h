// The desktop's default applications (GIO): the one stand-in of the platform layer that needs
// GLib, in a target of its own that only the desktop program links.
#pragma once

#include <string>
#include <sys/types.h>

namespace qv {

// Starts the desktop's default application for the file's content type with the file (a path
// for applications that take paths, a file: address for those that take addresses), in
// directory unless the application names a folder of its own. Returns the id of the process it
// started, which is a child of this one and is not reaped by GIO (ProcessHasEnded reaps it), or
// -1 with the reason in error. An application that the desktop would start through D-Bus is
// started from its command line instead, so that there is always a process to watch.
pid_t OpenInDefaultApplication(const std::string& file, const std::string& directory,
                               std::string& error);

} // namespace qv
