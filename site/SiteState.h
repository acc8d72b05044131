#pragma once

#include "site/SitePlan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vidlume::site {

// The site's own files as text: the plan (vidlume-site.json) and each job's
// result (vidlume-site/jobs/N.json), both JSON (docs/site.md). They are
// read as outside data: anything damaged, hand-edited past what it may hold,
// or naming a folder outside the site is refused with the reason.

/// What became of one video's job.
struct JobResult
{
    int index = 0;
    bool done = false;          ///< published; else failed, reason says why
    std::string reason;
    std::string conversionKey;  ///< the plan's keys the job was done for
    std::string pageKey;
    std::string folder;         ///< the video's folder in the site
    std::vector<std::string> warnings;
    // What the gallery shows of the video (from the converter).
    std::string title;          ///< the FLV's title; empty when it has none
    std::int64_t durationMs = -1;
    int width = 0;
    int height = 0;
    std::string date;           ///< YYYY-MM-DD from the FLV's creation date; empty when it has none
    std::string picture;        ///< its picture's name in the gallery's folder; empty when none
    int pictureWidth = 0;
    int pictureHeight = 0;
};

/// Longest plan and result files read.
inline constexpr std::size_t maxPlanBytes = 64u << 20;
inline constexpr std::size_t maxResultBytes = 1u << 20;

std::string planText(const SitePlan& plan);
/// The plan in text; nothing, with whyNot set, when it is not a sound plan.
std::optional<SitePlan> parsePlan(const std::string& text, std::string& whyNot);

std::string resultText(const JobResult& result);
std::optional<JobResult> parseResult(const std::string& text, std::string& whyNot);

} // namespace vidlume::site
