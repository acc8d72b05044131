#pragma once

#include "form/UploadForm.h"

#include <vector>

namespace vidlume {
class SettingsFile;
}

namespace vidlume::form {

/// How many sites used before the settings file keeps.
constexpr std::size_t keptUploadSites = 8;

/// The sites the user uploaded to, newest first, as the settings file keeps
/// them in its [Upload Sites] section: for each n from 1, Siten (the address
/// as uploadAddress writes it), SitenPage (the public web address), SitenLogin
/// ("password", "key" or "agent") and SitenKey (the SSH key file). Never a
/// secret. Entries that do not read as a site are passed over.
std::vector<UploadTarget> readUploadSites(const SettingsFile& file);

/// Puts target first in the sites kept in file; an entry for the same address
/// is replaced, and only the newest keptUploadSites stay. A field with a line
/// break is not kept. Throws Error when the file cannot be written.
void keepUploadSite(const SettingsFile& file, const UploadTarget& target);

/// The target an address (sftp://, ftps://, https://) names, with a password login.
std::optional<UploadTarget> uploadTargetOf(const std::string& address);

} // namespace vidlume::form
