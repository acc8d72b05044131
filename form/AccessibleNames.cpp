#include "form/AccessibleNames.h"

namespace vidlume::form {

const std::vector<AccessibleName>& accessibleButtonNames()
{
    static const std::vector<AccessibleName> names = {
        {Control::btn_videofile, "Browse for the video file", "Chooses the FLV video to publish"},
        {Control::btn_thumbnailimage, "Browse for the thumbnail image",
         "Chooses the image shown before the video plays"},
        {Control::btn_logoimage, "Browse for the logo image", "Chooses the image drawn over the video"},
        {Control::btn_outputdir, "Browse for the output directory",
         "Chooses the folder that receives the new page folder"},
        {Control::btn_videopathhelp, "Help on the video path",
         "Opens the help page on web paths in the web browser"},
        {Control::btn_flvplayerpath, "Help on the FLV player path",
         "Opens the help page on web paths in the web browser"},
        {Control::btn_open, "Open the output directory", "Shows the output directory in the file browser"},
    };
    return names;
}

} // namespace vidlume::form
