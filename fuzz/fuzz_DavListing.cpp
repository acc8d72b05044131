// A WebDAV server's answer to PROPFIND: any bytes.
#include "upload/DavListing.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    for (const char* folder : {"/www/site", "/"}) {
        const auto entries = vidlume::upload::parseDavListing(xml, folder);
        if (!entries)
            continue;
        for (const auto& entry : *entries) {
            if (entry.name.empty() || entry.name == "." || entry.name == ".." ||
                entry.name.find('/') != std::string::npos || entry.name.find('\0') != std::string::npos ||
                (entry.isFile && entry.isFolder))
                std::abort();
        }
    }
    return 0;
}
