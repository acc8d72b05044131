#include "form/FileFilter.h"

namespace vidlume::form {

// Each dialog's own entries come first: the entry position carries over from one
// dialog to the next. The broader entries follow them.
const FileFilter allFiles{"All files (*)", "*"};

std::vector<FileFilter> videoFileFilters()
{
    return {{"FLV files (*.flv)", "*.flv"}, allFiles};
}

std::vector<FileFilter> imageFileFilters()
{
    return {{"Jpg files (*.jpg)", "*.jpg"},
            {"Png files (*.png)", "*.png"},
            {"Gif files (*.gif)", "*.gif"},
            {"All images (*.jpg *.jpeg *.png *.gif)", "*.jpg;*.jpeg;*.png;*.gif"},
            allFiles};
}

} // namespace vidlume::form
