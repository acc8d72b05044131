#include "app/ErrorText.h"

#include "platform/FileSystem.h"

#include <string_view>

namespace vidlume {

std::string errorReportText(const std::string& text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        return text + ".";
    return text;
}

std::string errorDescription(int error)
{
    std::string text = platform::systemErrorText(error);
    while (!text.empty() && std::string_view(" \t\r\n.").find(text.back()) != std::string_view::npos)
        text.pop_back();
    return text;
}

} // namespace vidlume
