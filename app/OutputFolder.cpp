#include "app/OutputFolder.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace vidlume {

std::string defaultOutputFolder(const std::string& profileFolder)
{
    return profileFolder + platform::nativeSeparator + "vidlume";
}

void ensureOutputFolder(const std::string& folder, const std::string& profileFolder,
                        const SettingsFile& settings,
                        const std::function<void(const std::string& warning)>& showWarning)
{
    if (platform::directoryExists(folder) || platform::forceDirectories(folder))
        return;

    const std::string fallback = defaultOutputFolder(profileFolder);
    showWarning("Can not create output directory:" + folder + ".It will create default directory" + fallback);
    platform::forceDirectories(fallback);
    // An installed program keeps the file in the user's configuration folder,
    // which may not exist yet; the program's own folder always does.
    const auto cut = settings.fileName().rfind(platform::nativeSeparator);
    if (cut != std::string::npos && cut > 0)
        platform::forceDirectories(settings.fileName().substr(0, cut));
    settings.writeString("settings", "OutPutDir", fallback);
}

} // namespace vidlume
