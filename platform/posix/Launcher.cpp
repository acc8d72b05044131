#include "platform/Launcher.h"

namespace vidlume::platform {

namespace {

class PosixLauncher final : public Launcher
{
public:
    void openFolder(const std::string&) override {}
    void openUrl(const std::string&) override {}
};

} // namespace

Launcher& systemLauncher()
{
    static PosixLauncher launcher;
    return launcher;
}

} // namespace vidlume::platform
