// Process-wide protection of the secrets the program holds in memory.
#pragma once

namespace qv {

// Keeps the process from writing core dumps and from being attached to by other processes of
// the same user, so passwords in memory are not copied to disk on a crash. Returns false when
// the system refused a part of it.
bool DisableCoreDumps();

// Makes a write beyond the file-size limit (ulimit -f) fail with EFBIG, as on a full disk, so
// the operation in hand cleans up and says why, instead of the process being killed by
// SIGXFSZ with a partial file left behind. The signal is caught by a handler that does
// nothing rather than ignored, so that programs started from this one (which take an ignored
// signal with them, but not a handler) get the usual behaviour back. Returns false when the
// handler could not be installed.
bool SurviveFileSizeLimit();

// Raises the limit of open files (ulimit -n) to the most the system allows this process (its
// hard limit, at most 65536), for runs that hold many files open until they flush them. Programs
// started from this process would inherit the raised limit, which some older programs (using
// select) do not expect: only a process that starts none calls it. Returns the limit now in
// force.
unsigned long RaiseOpenFileLimit();

} // namespace qv
