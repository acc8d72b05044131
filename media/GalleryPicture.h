#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vidlume::media {

/// What a site's gallery shows of a video, read by the converter.
struct VideoFacts
{
    bool readable = false;        ///< the video could be opened at all
    std::string reason;           ///< why not, for the user
    std::int64_t durationMs = -1; ///< -1 when unknown
    int width = 0;                ///< the picture's size; 0 when it has no video
    int height = 0;
    std::string title;            ///< the FLV's own title metadata
    std::string created;          ///< its own creation date, as written there
};

/// The small picture of a video for a gallery.
struct GalleryPicture
{
    bool made = false;
    std::string reason; ///< why none was made
    int width = 0;
    int height = 0;
};

/// Largest side of a gallery picture, in pixels.
inline constexpr int galleryPictureSide = 320;

/// Whether this build's libraries can make a gallery picture (a JPEG encoder
/// and scaling); the Windows build may lack the encoder.
bool canMakeGalleryPictures();

/// Opens the video on sourceFd (which it then owns) as a conversion does,
/// reads its facts into facts and, when it has a picture, writes a JPEG of a
/// representative frame (none black or of one colour, from about a tenth of
/// its length on) at most galleryPictureSide pixels wide and high to
/// destinationFd.
GalleryPicture makeGalleryPicture(int sourceFd, int destinationFd, VideoFacts& facts,
                                  const std::function<bool()>& cancelled);

} // namespace vidlume::media
