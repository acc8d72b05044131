#pragma once

// The system's own text for a Windows error (in the user's language) without
// its line break and full stop, for the expected texts of tests.

#include <windows.h>

#include <cwchar>
#include <string>

namespace vidlume::test {

inline std::string systemWords(DWORD error)
{
    wchar_t text[1024] = {};
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    error, 0, text, 1024, nullptr);
    while (length > 0 && std::wcschr(L" \t\r\n.", text[length - 1]))
        --length;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

} // namespace vidlume::test
