#include "page/SplitString.h"

namespace vidlume {

std::vector<std::string> SplitString(const std::string& text, const std::string& delimiter)
{
    // An empty delimiter occurs nowhere; searching for it would never advance.
    if (delimiter.empty())
        return {text};

    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    for (auto found = text.find(delimiter); found != std::string::npos; found = text.find(delimiter, start)) {
        pieces.push_back(text.substr(start, found - start));
        start = found + delimiter.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

} // namespace vidlume
