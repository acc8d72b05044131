#include "form/OutputFolderChoice.h"

namespace vidlume::form {

std::optional<std::string> outputFolderRefusal(platform::DriveType type)
{
    if (type != platform::DriveType::CdRom)
        return std::nullopt;
    return "Output folder cannot be located in CD-ROM.Please select another folder.";
}

} // namespace vidlume::form
