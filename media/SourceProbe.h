#pragma once

#include "media/ConvertStop.h"
#include "media/FdIo.h"
#include "media/FlvCodec.h"
#include "media/LibraryHandles.h"

#include <functional>
#include <memory>
#include <string>

namespace vidlume::media {

/// A source opened for reading by the libraries, on a descriptor it owns.
struct Source
{
    Source() = default;
    ~Source();
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    int fd = -1;
    std::int64_t fileSize = 0;
    bool flv = false;
    FlvLayout layout; ///< what a walk over its tags found, for an FLV
    std::unique_ptr<FileReader> reader;
    IoPtr io;
    InputPtr context;
};

/// Opens the source on fd, which it then owns, and finds its streams. Only a
/// plain file is read, in the formats the converter knows; the demuxer opens
/// nothing else. An FLV's tags are walked first: the demuxer sees only its
/// whole tags, joined parts one after the other, and a picture size that is
/// not believable is refused before anything is decoded. cancelled is asked while it reads; logOwner goes into the
/// demuxer's opaque pointer.
Step openSource(int fd, Source& source, const std::function<bool()>& cancelled, void* logOwner);

/// Largest pictures the converter takes, in pixels per side and in all.
inline constexpr int largestPictureSide = 8192;
inline constexpr std::int64_t largestPicture = 35'000'000;

/// The refusal of a picture of width x height when it is larger than the
/// converter takes, or more than twice as wide or high as the file's own
/// metadata says, or half of it (a metadata size of 0 says nothing).
Step checkPictureSize(int width, int height, int metadataWidth, int metadataHeight);

/// The stream of the type that the libraries would pick, or -1; a cover picture
/// beside the sound is no video.
int bestStream(const AVFormatContext* context, AVMediaType type);

/// The codec's name for the user.
std::string codecName(const AVStream* stream, bool flv);

/// False for the H.264 profiles that browsers do not decode (10 bits, 4:2:2, 4:4:4).
bool browsersPlayH264Profile(int profile);

/// True when the opened source is an MP4 or QuickTime file whose video is
/// H.264 and whose sound is AAC or MP3.
bool browsersPlayAsItIs(const Source& source);

} // namespace vidlume::media
