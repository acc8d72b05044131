#include "platform/ProfileText.h"

#include "platform/win32/WinText.h"

#include <windows.h>

namespace vidlume::platform {

namespace {

constexpr std::string_view utf16Mark = "\xFF\xFE";
constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";

bool startsWith(const std::string& bytes, std::string_view mark)
{
    return bytes.compare(0, mark.size(), mark) == 0;
}

} // namespace

std::string profileTextFromBytes(const std::string& bytes)
{
    if (startsWith(bytes, utf16Mark)) {
        std::wstring wide((bytes.size() - utf16Mark.size()) / 2, L'\0');
        for (std::size_t i = 0; i < wide.size(); ++i)
            wide[i] = wchar_t(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                              static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        return win32::toUtf8(wide);
    }
    if (startsWith(bytes, utf8Mark))
        return bytes.substr(utf8Mark.size());
    if (bytes.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring wide(std::size_t(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), wide.data(), size);
    return win32::toUtf8(wide);
}

std::string profileBytesFromText(const std::string& utf8Text, const std::string& oldBytes)
{
    // A new file gets the profile functions' CR LF; an old one keeps its own breaks.
    std::string text = utf8Text;
    if (oldBytes.find('\n') == std::string::npos) {
        text.clear();
        for (std::size_t i = 0; i < utf8Text.size(); ++i) {
            if (utf8Text[i] == '\n' && (i == 0 || utf8Text[i - 1] != '\r'))
                text += '\r';
            text += utf8Text[i];
        }
    }
    const std::wstring wide = win32::toWide(text);
    if (!startsWith(oldBytes, utf16Mark) && !startsWith(oldBytes, utf8Mark)) {
        if (wide.empty())
            return {};
        BOOL lost = FALSE;
        const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()),
                                               nullptr, 0, nullptr, &lost);
        if (!lost && size > 0) {
            std::string bytes(std::size_t(size), '\0');
            ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), bytes.data(), size,
                                  nullptr, &lost);
            if (!lost)
                return bytes;
        }
    }
    if (startsWith(oldBytes, utf8Mark))
        return std::string(utf8Mark) + text;
    std::string bytes(utf16Mark);
    for (const wchar_t unit : wide) {
        bytes += char(unit & 0xFF);
        bytes += char((unit >> 8) & 0xFF);
    }
    return bytes;
}

} // namespace vidlume::platform
