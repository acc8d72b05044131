#include "publish/ConverterErrorLine.h"

#include <cctype>

namespace vidlume {

namespace {

constexpr std::string_view converterName = "vidlume-convert: ";
constexpr std::string_view encoderPrefix = "x264 [";

bool startsWith(std::string_view text, std::string_view start)
{
    return text.substr(0, start.size()) == start;
}

/// "malloc of size 4096 failed" gives 4096; nothing for any other text.
std::optional<std::string> failedAllocationSize(std::string_view message)
{
    constexpr std::string_view before = "malloc of size ";
    if (!startsWith(message, before))
        return std::nullopt;
    message.remove_prefix(before.size());
    std::size_t digits = 0;
    while (digits < message.size() && digits < 20 && std::isdigit(static_cast<unsigned char>(message[digits])))
        ++digits;
    if (digits == 0 || message.substr(digits) != " failed")
        return std::nullopt;
    return std::string(message.substr(0, digits));
}

} // namespace

std::optional<std::string> converterErrorLine(std::string_view line)
{
    if (!startsWith(line, encoderPrefix))
        return std::string(converterName) + std::string(line);
    const std::size_t close = line.find("]: ");
    if (close == std::string_view::npos)
        return std::string(converterName) + std::string(line);
    const std::string_view level = line.substr(encoderPrefix.size(), close - encoderPrefix.size());
    const std::string_view message = line.substr(close + 3);
    if (level != "error")
        return std::nullopt;
    if (const auto size = failedAllocationSize(message))
        return std::string(converterName) + "the H.264 encoder ran out of memory (it asked for " + *size +
               " bytes more)";
    return std::string(converterName) + "the H.264 encoder failed: " + std::string(message);
}

} // namespace vidlume
