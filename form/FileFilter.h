#pragma once

#include <string>
#include <vector>

namespace vidlume::form {

/// One entry of the file-open dialog's type list.
struct FileFilter
{
    std::string name;    ///< as the list shows it, its patterns in parentheses at the end
    std::string pattern; ///< the patterns alone, separated by ";"
};

/// The video "Browse": FLV files, then all files.
std::vector<FileFilter> videoFileFilters();

/// The thumbnail and logo "Browse", in this order: JPEG, PNG, GIF, all images
/// (".jpeg" too), all files.
std::vector<FileFilter> imageFileFilters();

} // namespace vidlume::form
