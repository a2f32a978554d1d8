#include "Signals.h"

#include <csignal>
#include <initializer_list>

namespace qv::cli {

namespace {

volatile std::sig_atomic_t received = 0;

extern "C" void NoteSignal(int signal) {
    received = signal;
}

} // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int StopSignal() {
    return received;
}

} // namespace qv::cli
