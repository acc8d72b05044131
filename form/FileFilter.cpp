#include "form/FileFilter.h"

namespace vidlume::form {

std::vector<FileFilter> videoFileFilters()
{
    return {{"FLV files (*.flv)", "*.flv"}};
}

std::vector<FileFilter> imageFileFilters()
{
    return {{"Jpg files (*.jpg)", "*.jpg"}, {"Png files (*.png)", "*.png"}, {"Gif files (*.gif)", "*.gif"}};
}

} // namespace vidlume::form
