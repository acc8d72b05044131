#pragma once

#include <stdexcept>
#include <string>

namespace vidlume {

/// An error that ends a command. Its text is shown to the user as it stands
/// (the window and the command line tool add the closing full stop).
class Error : public std::runtime_error
{
public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}
};

} // namespace vidlume
