#pragma once

#include <optional>
#include <string>

namespace vidlume::platform {

/// True when the program has a terminal to ask the user on.
bool hasTerminal();

/// Shows prompt on the controlling terminal and reads one line from it with
/// the echo off (a password, a passphrase); the echo is restored whatever
/// happens. Nothing when there is no terminal or the reading was interrupted.
std::optional<std::string> askSecret(const std::string& prompt);

} // namespace vidlume::platform
