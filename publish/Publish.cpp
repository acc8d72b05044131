#include "publish/Publish.h"

#include "media/FlvCodec.h"
#include "page/BuildPlayerPage.h"
#include "page/PathNames.h"
#include "platform/BesideProgram.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "publish/ClaimNewFolder.h"
#include "publish/Html5PlayerFiles.h"

#include <algorithm>
#include <cerrno>
#include <map>

namespace vidlume {

namespace {

const char* const pageFileName = "index.htm";
const char* const playerFileName = "flvplayer1.swf";

/// One file that a generation places in the new folder.
struct PlannedCopy
{
    std::string source;
    std::string name; // in the new folder
    std::string role; // "the poster image", for the user's reasons
};

/// The system's description of an error without trailing blanks, line breaks
/// and full stops: the error report adds the one closing full stop itself.
std::string errorDescription(int error)
{
    std::string text = platform::systemErrorText(error);
    while (!text.empty() && std::string_view(" \t\r\n.").find(text.back()) != std::string_view::npos)
        text.pop_back();
    return text;
}

Error cannotCreateFile(const std::string& path, int error)
{
    return Error("Cannot create file \"" + path + "\". " + errorDescription(error));
}

std::string reasonFor(const PlannedCopy& copy, const platform::CopyResult& result)
{
    using platform::CopyFailure;
    switch (result.failure) {
    case CopyFailure::Source:
        if (result.error == ENOENT || result.error == ENOTDIR)
            return "the file \"" + copy.source + "\" does not exist";
        return "the file \"" + copy.source + "\" cannot be read: " + errorDescription(result.error);
    case CopyFailure::DestinationExists:
        return "a file of that name is already in the folder";
    case CopyFailure::SourceChanged:
        return "the file \"" + copy.source + "\" changed while it was copied";
    default:
        return errorDescription(result.error);
    }
}

/// The copies of a generation in their order, with the files that cannot
/// be placed because another one of the generation has their name.
class CopyPlan
{
public:
    void add(PlannedCopy copy)
    {
        if (copy.name.empty()) {
            m_leftOut.push_back({copy.source, "the path names no file"});
            return;
        }
        const auto taken = m_names.find(copy.name);
        if (taken != m_names.end()) {
            const PlannedCopy& holder = taken->second;
            // The same file a second time under the same name (one image as
            // poster and logo): the page's references meet in the one copy.
            if (copy.source == holder.source || platform::sameFile(copy.source, holder.source))
                return;
            // A file that is not there leaves its name to the next one: the
            // logo is then placed, and serves the poster's reference too.
            if (holder.source.empty() || platform::fileExists(holder.source)) {
                m_leftOut.push_back({copy.name, holder.role + " has the same name"});
                return;
            }
        }
        m_names.insert_or_assign(copy.name, copy);
        m_copies.push_back(std::move(copy));
    }

    void reserve(const std::string& name, const std::string& role)
    {
        m_names.emplace(name, PlannedCopy{{}, name, role});
    }

    const std::vector<PlannedCopy>& copies() const { return m_copies; }
    std::vector<LeftOutFile>& leftOut() { return m_leftOut; }

private:
    std::map<std::string, PlannedCopy> m_names;
    std::vector<PlannedCopy> m_copies;
    std::vector<LeftOutFile> m_leftOut;
};

CopyPlan planCopies(const PageInputs& inputs, const std::string& programFolder)
{
    CopyPlan plan;
    plan.reserve(pageFileName, "the page");
    plan.add({inputs.videoFile, fileNameOf(inputs.videoFile), "the video"});
    plan.add({platform::besideProgram(playerFileName, programFolder), playerFileName, "the player file"});
    if (inputs.html5)
        for (const char* name : html5PlayerFiles)
            plan.add({platform::besideProgram(name, programFolder), name, "the HTML5 player"});
    // An unchecked image is not wanted, whatever its path; a checked one
    // without a path leaves the page's value empty and is no failure either.
    if (inputs.thumbnail && !inputs.thumbnailImage.empty())
        plan.add({inputs.thumbnailImage, fileNameOf(inputs.thumbnailImage), "the poster image"});
    if (inputs.logo && !inputs.logoImage.empty())
        plan.add({inputs.logoImage, fileNameOf(inputs.logoImage), "the logo image"});
    return plan;
}

/// Everything one generation put into its new folder, so that a cancel can
/// take exactly that away again.
class PlacedFiles
{
public:
    explicit PlacedFiles(std::string folder) : m_folder(std::move(folder)) {}

    void add(std::string path) { m_paths.push_back(std::move(path)); }

    void removeAll()
    {
        for (auto path = m_paths.rbegin(); path != m_paths.rend(); ++path)
            platform::removeFile(*path);
        m_paths.clear();
        // Only if nothing else has come into it meanwhile.
        platform::removeEmptyDirectory(m_folder);
    }

private:
    std::string m_folder;
    std::vector<std::string> m_paths;
};

bool cancelRequested(const PublishControl& control)
{
    return control.cancelRequested && control.cancelRequested();
}

} // namespace

PublishResult publishGeneration(const PageInputs& inputs, const std::string& programFolder,
                                const PublishControl& control)
{
    const std::string page = BuildPlayerPage(inputs);

    const std::string base = inputs.outputDir + "/" + stemOf(fileNameOf(inputs.videoFile));
    if (!inputs.outputDir.empty()) {
        platform::forceDirectories(inputs.outputDir);
        // Where the file system has no unnamed files, a generation that was
        // killed leaves its half-copied file under a hidden name.
        platform::removeAbandonedTemporaryFiles(inputs.outputDir);
    }
    const ClaimedFolder claimed = claimNewFolder(base);
    if (claimed.error != 0)
        throw cannotCreateFile(claimed.path + "/" + pageFileName, claimed.error);

    PublishResult result;
    result.folder = claimed.path;
    PlacedFiles placed(result.folder);
    CopyPlan plan = planCopies(inputs, programFolder);
    result.leftOut = std::move(plan.leftOut());
    if (inputs.html5) {
        const std::string videoName = fileNameOf(inputs.videoFile);
        if (auto warning = html5CodecWarning(probeFlvVideoCodec(inputs.videoFile), videoName))
            result.warnings.push_back(*warning);
    }

    std::uint64_t total = 0;
    for (const PlannedCopy& copy : plan.copies())
        total += platform::fileSize(copy.source).value_or(0);
    std::uint64_t doneBefore = 0;

    for (const PlannedCopy& copy : plan.copies()) {
        // A pipe's size is not known beforehand, so the bytes that came
        // through it can make the done exceed the planned total.
        total = std::max(total, doneBefore);
        PublishProgress progress{copy.name, doneBefore, total};
        if (control.onProgress)
            control.onProgress(progress);
        platform::CopyObserver observer;
        observer.cancelRequested = control.cancelRequested;
        if (control.onProgress) {
            observer.onProgress = [&](std::uint64_t done, std::uint64_t) {
                progress.bytesDone = doneBefore + done;
                progress.bytesTotal = std::max(total, progress.bytesDone);
                control.onProgress(progress);
            };
        }
        const std::string destination = result.folder + "/" + copy.name;
        const platform::CopyResult copied =
            cancelRequested(control)
                ? platform::CopyResult{platform::CopyFailure::Cancelled, ECANCELED, {}, 0}
                : platform::copyFileNoReplace(copy.source, destination, observer, control.copyTuning);
        if (copied.failure == platform::CopyFailure::Cancelled) {
            placed.removeAll();
            throw PublishCancelled();
        }
        if (copied.ok())
            placed.add(destination);
        else
            result.leftOut.push_back({copy.name, reasonFor(copy, copied)});
        doneBefore += copied.bytes;
    }

    if (cancelRequested(control)) {
        placed.removeAll();
        throw PublishCancelled();
    }
    const std::string pagePath = result.folder + "/" + pageFileName;
    const platform::CopyResult written = platform::writeNewFile(pagePath, page, control.copyTuning);
    if (written.failure == platform::CopyFailure::Write)
        throw Error("Stream write error");
    if (!written.ok())
        throw cannotCreateFile(pagePath, written.error);
    return result;
}

std::string describeLeftOut(const LeftOutFile& file)
{
    return "\"" + file.name + "\" was not copied: " + file.reason;
}

} // namespace vidlume
