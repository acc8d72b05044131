// A site the settings file keeps for the upload dialog, as a hand-edited or
// damaged file may give it: any text as its address.
#include "form/UploadForm.h"
#include "form/UploadSites.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string address(reinterpret_cast<const char*>(data), size);
    const auto target = vidlume::form::uploadTargetOf(address);
    if (!target)
        return 0;
    // What the dialog keeps of a site it read names the same site when read again.
    const std::string kept = vidlume::form::uploadAddress(*target);
    const auto again = vidlume::form::uploadTargetOf(kept);
    if (!again || vidlume::form::uploadAddress(*again) != kept)
        std::abort();
    return 0;
}
