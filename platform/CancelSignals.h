#pragma once

namespace vidlume::platform {

/// Makes Ctrl-C (SIGINT), SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break
/// and the console window being closed) a request to stop the generation
/// instead of an immediate end. Further signals of either kind change nothing: the
/// generation still takes its folder away before the program ends.
void installCancelSignals();

/// True once one of those signals has arrived.
bool cancelSignalReceived();

/// The same request made from within (the user logs out of the desktop): as SIGTERM
/// (on Windows as the console being closed), unless a signal came first.
void noteCancelRequest();

/// Says that the stopped generation has removed its folder. On Windows, a
/// console window being closed waits for this before the system ends the
/// program; elsewhere it changes nothing.
void cancelCleanupDone();

/// The exit code after a stop by signal, as shells report it: 128 + the first
/// signal that arrived (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP).
int cancelExitCode();

} // namespace vidlume::platform
