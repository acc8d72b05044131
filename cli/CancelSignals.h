#pragma once

namespace vidlume::cli {

/// Makes Ctrl-C (SIGINT), SIGTERM and SIGHUP a request to stop the generation
/// instead of an immediate end. Further signals of either kind change nothing: the
/// generation still takes its folder away before the program ends.
void installCancelSignals();

/// True once one of those signals has arrived.
bool cancelSignalReceived();

/// The exit code after a stop by signal, as shells report it: 128 + the first
/// signal that arrived (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP).
int cancelExitCode();

} // namespace vidlume::cli
