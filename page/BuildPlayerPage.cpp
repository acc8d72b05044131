#include "page/BuildPlayerPage.h"

namespace vidlume {

std::string BuildPlayerPage(const PageInputs&, platform::PathStyle)
{
    return {}; // placeholder
}

} // namespace vidlume
