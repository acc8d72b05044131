#include "site/SiteJob.h"

#include "app/ErrorText.h"
#include "media/ConverterProtocol.h"
#include "page/PathNames.h"
#include "platform/BesideProgram.h"
#include "app/Error.h"
#include "platform/FileSystem.h"
#include "platform/FileTree.h"
#include "site/SiteFiles.h"
#include "site/SiteFolders.h"
#include "site/SitePicture.h"

#include <algorithm>

namespace vidlume::site {

namespace {

bool cancelled(const JobControl& control)
{
    return control.cancelRequested && control.cancelRequested();
}

std::string pictureName(int index)
{
    return std::to_string(index) + ".jpg";
}

/// Takes away a video's folder and picture, but only a folder that the
/// site's earlier result says is its own.
void removeOwnFiles(const std::string& site, const PlanEntry& entry, const std::optional<JobResult>& earlier)
{
    if (earlier && earlier->done && earlier->folder == entry.folder)
        platform::removeTree(sitePath(site, entry.folder));
    platform::removeFile(childPath(picturesFolder(site), pictureName(entry.index)));
}

/// Why a published folder cannot stand in the site: its page or the video
/// is missing, or the MP4 for browsers could not be made. Empty when it can.
std::string whyUnusable(const PageInputs& inputs, const PublishResult& published)
{
    const std::string videoName = fileNameOf(inputs.videoFile);
    for (const LeftOutFile& file : published.leftOut)
        if (file.name == videoName || file.name == "index.htm" || file.name == mp4NameFor(videoName))
            return describeLeftOut(file);
    if (!inputs.html5 || mp4NameFor(videoName) == videoName + ".mp4")
        return {};
    if (platform::fileExists(childPath(published.folder, mp4NameFor(videoName))))
        return {};
    // The converter's own words, as publishing passed them on.
    for (const std::string& warning : published.warnings)
        if (warning.find("MP4") != std::string::npos || warning.find("HTML5 player cannot play") != std::string::npos)
            return warning;
    return "the MP4 for browsers could not be made";
}

/// The parent folders of a video's folder inside the site, made when missing.
int makeParents(const std::string& site, const std::string& folder, std::string& failed)
{
    const std::string section = sectionOf(folder);
    return section.empty() ? 0 : platform::createDirectories(sitePath(site, section), &failed);
}

/// Removes the folders above a video's folder that hold nothing any more.
void removeEmptyParents(const std::string& site, std::string folder)
{
    for (folder = sectionOf(folder); !folder.empty(); folder = sectionOf(folder))
        if (platform::removeEmptyDirectory(sitePath(site, folder)) != 0)
            break;
}

} // namespace

JobNeed jobNeed(const std::string& site, const SitePlan& plan, const PlanEntry& entry)
{
    if (entry.gone)
        return JobNeed::Nothing;
    const std::optional<JobResult> result = readResult(site, entry.index);
    if (!result || result->folder != entry.folder || result->conversionKey != conversionKey(plan, entry))
        return JobNeed::Everything;
    // A video left out stays out until it, the options that affect its
    // conversion or the converter change: it would fail the same way.
    if (!result->done)
        return JobNeed::Nothing;
    if (!platform::directoryExists(sitePath(site, entry.folder)))
        return JobNeed::Everything;
    return result->pageKey == pageKey(plan, entry) ? JobNeed::Nothing : JobNeed::PageOnly;
}

JobOutcome runJob(const std::string& site, const SitePlan& plan, const PlanEntry& entry, const JobControl& control)
{
    JobOutcome outcome;
    JobNeed need = jobNeed(site, plan, entry);
    const std::string work = workFolder(site, entry.index);
    // Leftovers of this job's earlier run (one that was killed).
    platform::removeTree(work);
    if (need == JobNeed::Nothing) {
        outcome.state = JobState::AlreadyDone;
        return outcome;
    }

    const std::string target = sitePath(site, entry.folder);
    const std::optional<JobResult> earlier = readResult(site, entry.index);
    const bool ownsTarget = earlier && earlier->done && earlier->folder == entry.folder;
    JobResult result;
    result.index = entry.index;
    result.folder = entry.folder;
    result.conversionKey = conversionKey(plan, entry);
    result.pageKey = pageKey(plan, entry);

    const auto fail = [&](std::string reason) {
        platform::removeTree(work);
        removeOwnFiles(site, entry, earlier);
        removeEmptyParents(site, entry.folder);
        result.done = false;
        result.reason = reason;
        writeResult(site, result);
        outcome.state = JobState::Failed;
        outcome.reason = std::move(reason);
        return outcome;
    };
    const auto stop = [&] {
        platform::removeTree(work);
        outcome.state = JobState::Cancelled;
        return outcome;
    };

    if (platform::entryExists(target) && !ownsTarget)
        return fail("the folder \"" + target + "\" is already there and was not made by this site; it is left alone");

    PageInputs inputs = plan.options;
    inputs.videoFile = entry.source;
    inputs.outputDir = childPath(work, "new");
    PublishControl publishing;
    publishing.cancelRequested = control.cancelRequested;
    publishing.converterBounds = control.converterBounds;
    const std::string videoName = fileNameOf(entry.source);
    if (need == JobNeed::PageOnly && inputs.html5) {
        const std::string earlierCopy = childPath(target, mp4NameFor(videoName));
        if (platform::fileExists(earlierCopy))
            publishing.earlierBrowserCopy = earlierCopy;
        else
            need = JobNeed::Everything;
    }
    if (control.onProgress) {
        // Copying counts for a fifth of a video's way, converting for the rest.
        publishing.onProgress = [&control](const PublishProgress& progress) {
            const double part = progress.bytesTotal ? double(progress.bytesDone) / double(progress.bytesTotal) : 0;
            control.onProgress(progress.phase == PublishPhase::Copying ? 0.2 * part : 0.2 + 0.75 * part);
        };
    }

    PublishResult published;
    try {
        published = publishGeneration(inputs, control.programFolder, publishing);
    } catch (const PublishCancelled&) {
        return stop();
    } catch (const Error& error) {
        return fail(error.what());
    }
    if (cancelled(control))
        return stop();
    outcome.converted = need == JobNeed::Everything && inputs.html5;
    if (std::string why = whyUnusable(inputs, published); !why.empty())
        return fail(why);
    for (const LeftOutFile& file : published.leftOut)
        result.warnings.push_back(describeLeftOut(file));
    for (const std::string& warning : published.warnings)
        result.warnings.push_back(warning);

    const std::string pictures = picturesFolder(site);
    const std::string picture = childPath(pictures, pictureName(entry.index));
    if (need == JobNeed::Everything) {
        const std::string converter = platform::helperProgram(converter::programName, control.programFolder);
        const std::string videoCopy = childPath(published.folder, videoName);
        const std::string madePicture = childPath(work, "picture.jpg");
        const GalleryFacts facts =
            makeGalleryPicture(converter, platform::fileExists(videoCopy) ? videoCopy : entry.source, madePicture,
                               control.cancelRequested, control.converterBounds);
        if (cancelled(control))
            return stop();
        if (!inputs.html5 && !facts.readable && !facts.reason.empty())
            return fail("it cannot be read as a video: " + facts.reason);
        result.title = facts.title;
        result.durationMs = facts.durationMs;
        result.width = facts.width;
        result.height = facts.height;
        result.date = facts.date;
        if (facts.picture) {
            result.picture = pictureName(entry.index);
            result.pictureWidth = facts.pictureWidth;
            result.pictureHeight = facts.pictureHeight;
        }
        std::string failed;
        platform::createDirectories(pictures, &failed);
        if (facts.picture) {
            if (const int error = platform::swapIn(madePicture, picture, childPath(work, "picture-old.jpg")))
                return fail("its gallery picture cannot be placed: " + errorDescription(error));
        } else {
            platform::removeFile(picture);
        }
    } else if (earlier) {
        // The MP4 was taken over; so are the gallery's facts.
        result.title = earlier->title;
        result.durationMs = earlier->durationMs;
        result.width = earlier->width;
        result.height = earlier->height;
        result.date = earlier->date;
        result.picture = earlier->picture;
        result.pictureWidth = earlier->pictureWidth;
        result.pictureHeight = earlier->pictureHeight;
        for (const std::string& warning : earlier->warnings)
            if (std::find(result.warnings.begin(), result.warnings.end(), warning) == result.warnings.end())
                result.warnings.push_back(warning);
    }

    std::string failed;
    if (const int error = makeParents(site, entry.folder, failed))
        return fail("the folder \"" + failed + "\" cannot be made: " + errorDescription(error));
    if (const int error = platform::swapIn(published.folder, target, childPath(work, "old")))
        return fail("its folder cannot be put in place at \"" + target + "\": " + errorDescription(error));
    platform::removeTree(work);
    result.done = true;
    if (const int error = writeResult(site, result)) {
        outcome.state = JobState::Failed;
        outcome.reason = "its result cannot be written to \"" + resultPath(site, entry.index) +
                         "\": " + errorDescription(error);
        return outcome;
    }
    outcome.warnings = published.warnings;
    for (const LeftOutFile& file : published.leftOut)
        outcome.warnings.push_back(describeLeftOut(file));
    return outcome;
}

int removeJobFiles(const std::string& site, const PlanEntry& entry)
{
    const std::optional<JobResult> earlier = readResult(site, entry.index);
    int first = 0;
    if (earlier && earlier->done && earlier->folder == entry.folder)
        first = platform::removeTree(sitePath(site, entry.folder));
    removeEmptyParents(site, entry.folder);
    for (const std::string& path : {childPath(picturesFolder(site), pictureName(entry.index)),
                                    resultPath(site, entry.index)}) {
        const int error = platform::removeFile(path);
        if (error && error != ENOENT && !first)
            first = error;
    }
    platform::removeTree(workFolder(site, entry.index));
    return first;
}

} // namespace vidlume::site
