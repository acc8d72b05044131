#include "page/PageEscaping.h"

namespace vidlume {

namespace {

bool needsPercentEncoding(unsigned char byte)
{
    switch (byte) {
    case '%': // the player decodes the value, so a literal "%" must not start an escape
    case '&': // separates the pairs of the list
    case '+': // read as a space by the player's decoding
    case '"':
    case '<':
    case '>':
        return true;
    default:
        return byte < 0x20 || byte >= 0x7F;
    }
}

} // namespace

std::string encodeFlashvarsValue(const std::string& value)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (needsPercentEncoding(byte)) {
            encoded += '%';
            encoded += hexDigits[byte >> 4];
            encoded += hexDigits[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return encoded;
}

std::string escapeAttributeValue(const std::string& value)
{
    std::string escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        // A line break would split the page's fixed lines.
        case '\r':
            escaped += "&#13;";
            break;
        case '\n':
            escaped += "&#10;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace vidlume
