// An FTP server's answer to LIST: any bytes.
#include "upload/FtpListing.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto entries = vidlume::upload::parseFtpListing(std::string_view(reinterpret_cast<const char*>(data), size));
    // Every name is one plain name: never a path, never "." or "..".
    for (const auto& entry : entries) {
        if (entry.name.empty() || entry.name == "." || entry.name == ".." ||
            entry.name.find('/') != std::string::npos || entry.name.find('\0') != std::string::npos ||
            (entry.isFile && entry.isFolder))
            std::abort();
    }
    return 0;
}
