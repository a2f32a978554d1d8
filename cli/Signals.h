// Interrupts (Ctrl+C), hang-ups and termination requests: noted, never acted on in the handler,
// so that the file in hand is finished or cleaned up by the normal paths.
#pragma once

namespace qv::cli {

// Installs the handlers, without restarting interrupted calls, so that a read from the
// terminal gives up at once.
void InstallStopHandlers();

// The signal received, or 0.
int StopSignal();

} // namespace qv::cli
