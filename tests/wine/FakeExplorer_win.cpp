// Stands in for the file browser in the Wine window test: placed beside
// vidlume.exe as explorer.exe, it is found before the system's, and it only
// appends its command line to explorer.log beside itself.

#include <windows.h>

#include <cstdio>
#include <string>

int wmain()
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring log(self, length);
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"explorer.log";
    const std::wstring line = std::wstring(GetCommandLineW()) + L"\n";
    std::string bytes(std::size_t(line.size() * 4), '\0');
    bytes.resize(std::size_t(WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), bytes.data(),
                                                 int(bytes.size()), nullptr, nullptr)));
    if (FILE* file = _wfopen(log.c_str(), L"ab")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return 0;
}
