#pragma once

namespace vidlume::cli {

/// Makes Ctrl-C (SIGINT) and SIGTERM a request to stop the generation instead
/// of an immediate end. A second such signal ends the program at once.
void installCancelSignals();

/// True once SIGINT or SIGTERM has arrived.
bool cancelSignalReceived();

/// The exit code after a stop by signal: 128 + SIGINT, as shells report Ctrl-C.
inline constexpr int exitCancelled = 130;

} // namespace vidlume::cli
