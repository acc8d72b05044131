#include "app/ErrorText.h"

namespace vidlume {

std::string errorReportText(const std::string& text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        return text + ".";
    return text;
}

} // namespace vidlume
