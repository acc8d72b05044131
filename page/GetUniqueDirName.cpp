#include "page/GetUniqueDirName.h"

namespace vidlume {

std::string GetUniqueDirName(const std::string& base)
{
    return base; // placeholder
}

} // namespace vidlume
