#pragma once

#include "platform/Launcher.h"

#include <string>
#include <vector>

namespace vidlume::test {

/// Keeps what the program asked the desktop to open instead of opening it.
class RecordingLauncher final : public platform::Launcher
{
public:
    void openFolder(const std::string& path) override { folders.push_back(path); }
    void openUrl(const std::string& url) override { urls.push_back(url); }
    std::vector<std::string> folders;
    std::vector<std::string> urls;
};

} // namespace vidlume::test
