#pragma once

#include "page/PageInputs.h"
#include "site/SiteSources.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vidlume::site {

/// One video of the site: its source, its place, and what tells a change.
struct PlanEntry
{
    int index = 0;        ///< the job's number, fixed for the life of the plan
    std::string source;   ///< the FLV's path
    std::string relative; ///< its place under the SOURCE it was found in
    std::string folder;   ///< its folder in the site, "/" between names
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::string hash;     ///< of its content; empty when it could not be read
    std::string captions; ///< the subtitle files beside it (names, sizes, times)
    bool gone = false;    ///< no longer found: its pages stay until a prune
};

/// What the site is made of: the page options for every video, and the videos.
struct SitePlan
{
    PageInputs options;       ///< videoFile, outputDir and captionFiles unused
    std::string images;       ///< sizes and times of the poster and logo images
    std::string converter;    ///< the converter's version
    int nextIndex = 0;        ///< the index the next new video gets
    std::vector<PlanEntry> entries; ///< by index

    const PlanEntry* find(int index) const;
};

/// What decides whether a video's MP4 and gallery picture are made again:
/// its content, the converter's version and whether the HTML5 player is on.
std::string conversionKey(const SitePlan& plan, const PlanEntry& entry);

/// What decides whether a video's page is made again: the page options, the
/// images they name and the subtitle files beside the video.
std::string pageKey(const SitePlan& plan, const PlanEntry& entry);

/// The page options as one line of text, the same for the same options.
std::string optionsText(const PageInputs& options);

/// How the plan's content hashes are made; the default reads the file.
using Hasher = std::function<std::string(const std::string& path, int& error)>;

/// The plan for the sources found, from the earlier plan when there is one:
/// a source the earlier plan knew keeps its index and its folder, and its hash
/// when its size and time are unchanged (else it is hashed again); a new
/// source gets the next index and a free folder; one no longer found is kept
/// as gone (removed with prune). Sources that cannot be hashed are named in
/// problems and keep an empty hash.
SitePlan updatePlan(const std::optional<SitePlan>& earlier, const SourceSearch& found, const PageInputs& options,
                    const std::string& images, const std::string& converter, bool prune, const Hasher& hasher,
                    std::vector<std::string>& problems);

} // namespace vidlume::site
