// What a desktop session normally provides and a program started outside one (su, ssh, a
// service, a test) may lack.
#pragma once

namespace qv {

// Sets XDG_RUNTIME_DIR, when it is missing, to the private folder a session-less program uses
// instead ($TMPDIR or /tmp, then "runtime-" and the user's name). It is the folder Qt falls back
// to; naming it up front spares the user Qt's warning on every start. Qt creates the folder
// with mode 0700 and refuses one that another user owns.
void ProvideRuntimeFolder();

} // namespace qv
