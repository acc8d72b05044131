#pragma once

#include <string>
#include <vector>

namespace vidlume {

/// The corner radio buttons of the logo; at most one is chosen.
enum class LogoPosition
{
    None,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

/// Everything a generation reads from the main window, one value per control,
/// with the window's initial values as defaults.
struct PageInputs
{
    std::string videoFile;                          // edt_videofile: full local path of the video
    std::string videoSize = "320x240";              // cbb_videosize
    bool autoPlay = false;                          // chk_autoplay
    std::string videoPath;                          // edt_videopath: web path of the video and images
    std::string flvPlayerPath;                      // edt_flvplayerpath: web path of the player file
    bool thumbnail = false;                         // chk_thumbnail
    std::string thumbnailImage;                     // edt_thumbnailimage: local path of the poster
    bool logo = false;                              // chk_logo
    std::string logoImage;                          // edt_logoimage: local path of the logo
    int logoAlpha = 0;                              // trc_logoalpha, 0 to 100
    LogoPosition logoPosition = LogoPosition::None; // rb_topleft .. rb_bottomright
    std::string logoWidth;                          // edt_logowidth
    std::string logoLink;                           // edt_logolink
    std::string outputDir;                          // edt_outputdir: parent of the new folder
    // chk_html5: the page also plays without Flash. The window and vidlume-cli
    // start with it on; left false here, the inputs give the Flash-only page.
    bool html5 = false;
    // Subtitle files for the HTML5 player (vidlume-cli --captions); when empty, a
    // generation with the HTML5 player takes those that lie beside the video.
    std::vector<std::string> captionFiles;
};

} // namespace vidlume
