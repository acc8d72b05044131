#include "cli/CancelSignals.h"

#include <csignal>

namespace vidlume::cli {

namespace {

volatile std::sig_atomic_t received = 0;

void noteSignal(int)
{
    received = 1;
}

} // namespace

void installCancelSignals()
{
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read that waits on a slow source returns at once and
    // the copy sees the request. SA_RESETHAND: a second Ctrl-C still kills.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool cancelSignalReceived()
{
    return received != 0;
}

} // namespace vidlume::cli
