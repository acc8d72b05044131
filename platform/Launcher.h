#pragma once

#include <string>

namespace vidlume::platform {

/// Starts other programs for the user: the file browser and the web browser.
/// Neither call waits for the program nor reports whether it started.
class Launcher
{
public:
    virtual ~Launcher() = default;

    /// Shows a folder in the desktop's file browser. The path reaches it as one argument.
    virtual void openFolder(const std::string& path) = 0;

    /// Opens a web address in the default web browser.
    virtual void openUrl(const std::string& url) = 0;
};

/// The launcher that starts real programs.
Launcher& systemLauncher();

} // namespace vidlume::platform
