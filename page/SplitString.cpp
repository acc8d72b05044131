#include "page/SplitString.h"

namespace vidlume {

std::vector<std::string> SplitString(const std::string& text, const std::string&)
{
    return {text}; // placeholder
}

} // namespace vidlume
