#pragma once

#include <map>
#include <set>
#include <string>

namespace vidlume::site {

// Where each video's folder lies in the site: the archive's folders mirrored,
// the video's name without its ending as the last one
// (2008/trips/beach.flv -> 2008/trips/beach). Paths here are relative to the
// site, with "/" between names.

/// The folder a source's relative path asks for. A name that would be empty
/// or hidden ("a/.flv") is "video" instead; a control character in a name is
/// written "_".
std::string naturalFolderFor(const std::string& relative);

/// The folder's section in the gallery: the folders above it ("2008/trips"),
/// "" at the top.
std::string sectionOf(const std::string& folder);

/// True for a folder path that may come from a plan file: relative, names
/// joined by "/", none empty, "." or "..", nor holding a control character
/// (on Windows a backslash or a colon either), the first not among the names
/// the site itself uses at its top.
bool isSafeFolder(const std::string& folder);

/// Hands out folders so that no two videos share one, also on a file system
/// that does not tell upper from lower case, and no video's folder lies
/// inside another's: a folder asked for a second time gets "-2", "-3", ...
/// after its last name (a folder above it that is some video's folder, the
/// same after that folder's name). Folders given earlier (by an earlier plan)
/// are kept first and keep their owners; then assign the deeper paths first,
/// so that a video's folder never takes the name of a folder of sections.
class FolderAssigner
{
public:
    /// Marks a folder as in use (by a video of an earlier plan). False when
    /// it is in use already, lies inside or above one in use, or is not safe.
    bool keep(const std::string& folder);

    /// A free folder for the source's relative path, now marked as in use.
    std::string assign(const std::string& relative);

private:
    void take(const std::string& folder);

    std::set<std::string> m_videos;   // folded to lower case
    std::set<std::string> m_sections; // the folders above them, folded
};

/// The names the site keeps at its top for itself.
bool isSiteOwnName(const std::string& name);

} // namespace vidlume::site
