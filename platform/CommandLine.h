#pragma once

#include <string>
#include <vector>

namespace vidlume::platform {

/// The arguments that follow the program's name, as main received them here.
/// On Windows they are read from the wide command line and given as UTF-8, so
/// that a file name in any script arrives whole.
std::vector<std::string> programArguments(int argc, char** argv);

} // namespace vidlume::platform
