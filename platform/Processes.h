// Programs the desktop program starts and watches: starting one by name, asking whether it has
// ended, and finding out whether any process still holds a file open.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace qv {

// Starts the program argv[0], looked up in PATH, with the arguments argv[1...], and returns its
// process id, or -1 (with errno) when it could not be started. The child gets none of this
// process's open files beyond standard input, output and error, and is not waited for: the
// caller reaps it with ProcessHasEnded.
pid_t StartProgram(const std::vector<std::string>& argv);

// Whether the child process pid has ended; an ended child is reaped here, so the answer is
// asked once per process after it ends. A pid of 0 or below, and a process that is not a child
// of this one, count as ended.
bool ProcessHasEnded(pid_t pid);

// Those of paths that some other process still has open, as far as this user may look (its own
// processes; every process for root). A path is compared by the file it names (device and
// inode), so a file opened under another name of the same file counts too. Paths that name no
// file are never held.
std::vector<std::string> FilesHeldOpen(const std::vector<std::string>& paths);

} // namespace qv
