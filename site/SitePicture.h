#pragma once

#include "publish/RunConverter.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vidlume::site {

/// What the gallery shows of a video, as the converter reads it.
struct GalleryFacts
{
    bool readable = false;      ///< the converter could read the video at all
    std::string reason;         ///< why not, when it could not
    std::string title;          ///< the FLV's own title; empty when it has none
    std::int64_t durationMs = -1;
    int width = 0;
    int height = 0;
    std::string date;           ///< YYYY-MM-DD from its creation date; empty when it has none
    bool picture = false;       ///< a picture was written
    int pictureWidth = 0;
    int pictureHeight = 0;
};

/// Has the converter program read the video's facts and write a small JPEG
/// of a representative frame to destination (a new file, complete or not
/// there). Where the converter cannot make pictures, the facts come alone.
GalleryFacts makeGalleryPicture(const std::string& converterProgram, const std::string& video,
                                const std::string& destination, const std::function<bool()>& cancelRequested,
                                const ConverterBounds& bounds);

/// An FLV's creation date in the forms it is written ("Mon Jan 02 10:20:30
/// 2008", "2008-01-02T10:20:30Z", "2008:01:02 10:20:30") as YYYY-MM-DD;
/// empty when it is none of them.
std::string dateOf(const std::string& creationDate);

} // namespace vidlume::site
