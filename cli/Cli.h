// quorvane-cli: encrypting, decrypting and inspecting crypted files from scripts and servers,
// without a display.
#pragma once

namespace qv::cli {

// The whole program: returns the exit status (0 when every file succeeded, 1 when a file
// failed, 2 for an unusable command line or password, 128 + the signal when interrupted).
int RunCli(int argc, char** argv);

} // namespace qv::cli
