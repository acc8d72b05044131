#pragma once

#include <string>
#include <vector>

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

/// Starts a program with exactly these arguments (the first names the program,
/// looked up in PATH), without a shell, detached from our terminal, with standard
/// input and output on the null device, and without waiting for it; the
/// finished process is reaped in the background. Returns 0 or the system error.
int startDetached(const std::vector<std::string>& arguments);

/// The command line that shows folder in the file browser. A relative path is
/// given a leading "./", so that neither "-x" reads as an option nor "Talk: 1"
/// as a web address.
std::vector<std::string> fileBrowserCommand(const std::string& folder);

/// The launcher that starts real programs.
Launcher& systemLauncher();

} // namespace vidlume::platform
