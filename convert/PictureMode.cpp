#include "convert/PictureMode.h"

#include "media/GalleryPicture.h"
#include "media/PictureProtocol.h"

namespace vidlume::convert {

int runPictureMode(const std::vector<platform::NativeFile>& files, const std::function<bool()>& cancelled)
{
    const platform::NativeFile channel = files.back();
    media::VideoFacts facts;
    const media::GalleryPicture picture = media::makeGalleryPicture(
        platform::fileNumberOf(files[0]), platform::fileNumberOf(files[1]), facts, cancelled);
    if (!facts.readable)
        return platform::writeChannel(channel, converter::pictureUnusableMessage(facts.reason)) == 0 ? 0 : 1;
    std::string lines = converter::factsMessage(facts.durationMs, facts.width, facts.height);
    if (!facts.title.empty())
        lines += converter::titleMessage(facts.title);
    if (!facts.created.empty())
        lines += converter::createdMessage(facts.created);
    lines += picture.made ? converter::pictureMessage(picture.width, picture.height)
                          : converter::noPictureMessage(picture.reason);
    return platform::writeChannel(channel, lines) == 0 ? 0 : 1;
}

} // namespace vidlume::convert
