#include "platform/CancelSignals.h"

#include <csignal>
#include <initializer_list>

namespace vidlume::platform {

namespace {

volatile std::sig_atomic_t received = 0;

void noteSignal(int signal)
{
    if (received == 0)
        received = signal;
}

} // namespace

void installCancelSignals()
{
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    // No SA_RESTART: a read that waits on a slow source returns at once and
    // the copy sees the request. No SA_RESETHAND either: a second Ctrl-C
    // during the clean-up must not leave a half-removed folder behind.
    action.sa_flags = 0;
    // SIGHUP: the terminal was closed under a running generation.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void noteCancelRequest()
{
    noteSignal(SIGTERM);
}

bool cancelSignalReceived()
{
    return received != 0;
}

void cancelCleanupDone() {}

int cancelExitCode()
{
    return 128 + (received != 0 ? int(received) : SIGINT);
}

} // namespace vidlume::platform
