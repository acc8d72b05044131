#include "page/Publish.h"

#include "platform/Error.h"

namespace vidlume {

PublishResult publishGeneration(const PageInputs&, const std::string&, const PublishControl&)
{
    throw Error("Publishing is not built yet"); // placeholder
}

std::string describeLeftOut(const LeftOutFile& file)
{
    return file.name + ": " + file.reason;
}

} // namespace vidlume
