#include "platform/Terminal.h"

#include "platform/win32/WinText.h"

#include <iterator>
#include <windows.h>

namespace vidlume::platform {

namespace {

/// The program's console for reading or writing (CONIN$, CONOUT$) even when
/// the standard streams lead to files or pipes; nothing without a console.
HANDLE openConsole(const wchar_t* name)
{
    const HANDLE handle = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    DWORD mode = 0;
    if (!::GetConsoleMode(handle, &mode)) {
        ::CloseHandle(handle);
        return nullptr;
    }
    return handle;
}

} // namespace

bool hasTerminal()
{
    const HANDLE input = openConsole(L"CONIN$");
    if (!input)
        return false;
    ::CloseHandle(input);
    return true;
}

std::optional<std::string> askSecret(const std::string& prompt)
{
    const HANDLE input = openConsole(L"CONIN$");
    if (!input)
        return std::nullopt;
    const HANDLE output = openConsole(L"CONOUT$");
    DWORD saved = 0;
    ::GetConsoleMode(input, &saved);
    // Whole lines, processed as typed, without the echo.
    ::SetConsoleMode(input, (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
    if (output) {
        const std::wstring widePrompt = win32::toWide(prompt);
        DWORD written = 0;
        ::WriteConsoleW(output, widePrompt.data(), DWORD(widePrompt.size()), &written, nullptr);
    }
    std::wstring line;
    bool complete = false;
    wchar_t buffer[256];
    // A line of a password, not a file: 4096 characters at most.
    while (line.size() < 4096) {
        DWORD got = 0;
        if (!::ReadConsoleW(input, buffer, DWORD(std::size(buffer)), &got, nullptr) || got == 0)
            break;
        line.append(buffer, got);
        if (const auto end = line.find(L'\n'); end != std::wstring::npos) {
            line.resize(end);
            complete = true;
            break;
        }
    }
    ::SetConsoleMode(input, saved);
    if (output) {
        // The Enter that the echo did not show.
        DWORD written = 0;
        ::WriteConsoleW(output, L"\r\n", 2, &written, nullptr);
        ::CloseHandle(output);
    }
    ::CloseHandle(input);
    if (!line.empty() && line.back() == L'\r')
        line.pop_back();
    std::string result = win32::toUtf8(line);
    ::SecureZeroMemory(line.data(), line.size() * sizeof(wchar_t));
    ::SecureZeroMemory(buffer, sizeof buffer);
    if (!complete)
        return std::nullopt;
    return result;
}

} // namespace vidlume::platform
