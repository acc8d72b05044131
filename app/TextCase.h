#pragma once

#include <string>
#include <string_view>

namespace vidlume {

/// The text with A-Z made a-z; every other byte, UTF-8 included, stays.
inline std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace vidlume
