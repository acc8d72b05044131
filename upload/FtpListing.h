#pragma once

#include "upload/RemoteSite.h"

#include <string_view>
#include <vector>

namespace vidlume::upload {

/// Reads an FTP server's answer to LIST: the Unix style ("-rw-r--r-- 1 u g
/// 1234 Dec 10 10:00 name") that most servers send, and the style of Windows
/// servers ("12-10-26  10:00AM  <DIR>  name"). Lines it does not understand,
/// "." and ".." are skipped; a symbolic link is neither file nor folder.
std::vector<RemoteEntry> parseFtpListing(std::string_view text);

} // namespace vidlume::upload
