// Process-wide protection of the secrets the program holds in memory.
#pragma once

namespace qv {

// Keeps the process from writing core dumps and from being attached to by other processes of
// the same user, so passwords in memory are not copied to disk on a crash. Returns false when
// the system refused a part of it.
bool DisableCoreDumps();

} // namespace qv
