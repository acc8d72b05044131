#include "publish/Publish.h"

#include "app/Error.h"
#include "app/ErrorText.h"
#include "media/ConverterProtocol.h"
#include "page/BuildPlayerPage.h"
#include "page/PathNames.h"
#include "page/PlayerFiles.h"
#include "platform/BesideProgram.h"
#include "platform/FileSystem.h"
#include "publish/ClaimNewFolder.h"
#include "publish/PublishCaptions.h"
#include "publish/RunConverter.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>

namespace vidlume {

namespace {

const char* const pageFileName = "index.htm";

/// One file that a generation places in the new folder.
struct PlannedCopy
{
    std::string source;
    std::string name; // in the new folder
    std::string role; // "the poster image", for the user's reasons
    std::uint64_t size = 0;
};

Error cannotCreateFile(const std::string& path, int error)
{
    return Error("Cannot create file \"" + path + "\". " + errorDescription(error));
}

Error cannotCreateFolder(const std::string& path, int error)
{
    return Error("Cannot create folder \"" + path + "\". " + errorDescription(error));
}

/// Why the source of a copy could not be read, with subject naming it.
std::string sourceFailure(const std::string& subject, const platform::CopyResult& result)
{
    if (result.error == ENOENT || result.error == ENOTDIR)
        return subject + " does not exist";
    return subject + " cannot be read: " + errorDescription(result.error);
}

std::string reasonFor(const PlannedCopy& copy, const platform::CopyResult& result)
{
    using platform::CopyFailure;
    switch (result.failure) {
    case CopyFailure::Source:
        return sourceFailure("the file \"" + copy.source + "\"", result);
    case CopyFailure::DestinationExists:
        return "a file of that name is already in the folder";
    case CopyFailure::SourceChanged:
        return "the file \"" + copy.source + "\" changed while it was copied";
    default:
        return errorDescription(result.error);
    }
}

/// The copies of a generation in their order. Which of two files of one name
/// is placed is decided as they are copied: the first that lands keeps the
/// name, so a poster that fails to copy leaves it to the logo.
class CopyPlan
{
public:
    void add(PlannedCopy copy)
    {
        if (copy.name.empty()) {
            m_leftOut.push_back({copy.source, "the path names no file"});
            return;
        }
        if (const auto reserved = m_reserved.find(copy.name); reserved != m_reserved.end()) {
            m_leftOut.push_back({copy.name, reserved->second + " has the same name"});
            return;
        }
        // The same file a second time under the same name (one image as
        // poster and logo): the page's references meet in the one copy.
        for (const PlannedCopy& earlier : m_copies) {
            if (earlier.name == copy.name &&
                (copy.source == earlier.source || platform::sameFile(copy.source, earlier.source)))
                return;
        }
        copy.size = platform::fileSize(copy.source).value_or(0);
        m_copies.push_back(std::move(copy));
    }

    void reserve(const std::string& name, const std::string& role) { m_reserved.emplace(name, role); }

    /// The role of the first file planned under the name, or nothing.
    std::optional<std::string> holderOf(const std::string& name) const
    {
        if (const auto reserved = m_reserved.find(name); reserved != m_reserved.end())
            return reserved->second;
        for (const PlannedCopy& copy : m_copies)
            if (copy.name == name)
                return copy.role;
        return std::nullopt;
    }

    const std::vector<PlannedCopy>& copies() const { return m_copies; }
    std::vector<LeftOutFile>& leftOut() { return m_leftOut; }

private:
    std::map<std::string, std::string> m_reserved; // name -> role of its holder
    std::vector<PlannedCopy> m_copies;
    std::vector<LeftOutFile> m_leftOut;
};

CopyPlan planCopies(const PageInputs& inputs, const std::string& programFolder)
{
    CopyPlan plan;
    plan.reserve(pageFileName, "the page");
    plan.add({inputs.videoFile, fileNameOf(inputs.videoFile), "the video"});
    plan.add({platform::besideProgram(flashPlayerFileName, programFolder), flashPlayerFileName, "the player file"});
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

/// Refuses, before anything is made, a video or chosen image that is a
/// folder, a device or a socket: copying one would fail late or never end.
void refuseSpecialEntries(const PageInputs& inputs)
{
    const auto refuse = [](const std::string& path, const char* role) {
        if (platform::isSpecialEntry(path))
            throw Error(std::string(role) + " \"" + path + "\" is not a file");
    };
    refuse(inputs.videoFile, "The video");
    if (inputs.thumbnail)
        refuse(inputs.thumbnailImage, "The poster image");
    if (inputs.logo)
        refuse(inputs.logoImage, "The logo image");
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

void stopIfCancelled(const PublishControl& control)
{
    if (cancelRequested(control))
        throw PublishCancelled();
}

/// The MP4 for browsers that a generation with the HTML5 player makes from
/// the video; an empty source when it is left out.
struct PlannedConversion
{
    std::string source;
    std::string name;
};

/// Converts the video into the new folder with the converter program. Reads
/// the copy there when there is one, which is a plain file even when the video
/// came from a pipe.
void convertForBrowsers(const PlannedConversion& conversion, const std::string& videoName,
                        const std::string& programFolder, const PublishControl& control,
                        PublishProgress progress, PlacedFiles& placed, PublishResult& result)
{
    const std::string destination = childPath(result.folder, conversion.name);
    ConvertObserver observer;
    observer.cancelRequested = control.cancelRequested;
    if (control.onProgress) {
        observer.onProgress = [&](std::uint64_t done, std::uint64_t) {
            progress.bytesDone = std::min(done, progress.bytesTotal);
            control.onProgress(progress);
        };
        control.onProgress(progress);
    }
    const std::string converterProgram = platform::helperProgram(converter::programName, programFolder);
    const ConverterOutcome outcome = convertInConverter(converterProgram, conversion.source, destination,
                                                        observer, control.converterBounds, control.copyTuning);
    const ConvertResult& converted = outcome.result;
    // The page plays in today's browsers only with this MP4: without it the
    // folder lacks a file, as it does when a copy fails.
    const auto leaveOut = [&](std::string reason) {
        result.leftOut.push_back(LeftOutFile::unmade(conversion.name, std::move(reason)));
    };
    switch (outcome.trouble) {
    case ConverterTrouble::NotStarted:
        leaveOut("the converter \"" + converterProgram + "\" cannot be started: " + outcome.troubleReason);
        return;
    case ConverterTrouble::Stopped:
        leaveOut("the converter stopped (" + outcome.troubleReason + ")");
        return;
    case ConverterTrouble::None:
        break;
    }
    switch (converted.status) {
    case ConvertStatus::Done:
        placed.add(destination);
        for (const std::string& warning : converted.warnings)
            result.warnings.push_back(videoName + ": " + warning);
        break;
    case ConvertStatus::Cancelled:
        throw PublishCancelled();
    case ConvertStatus::Unusable:
        leaveOut("the HTML5 player cannot play " + videoName + ": " + converted.reason);
        break;
    case ConvertStatus::DestinationExists:
        result.leftOut.push_back(LeftOutFile::unmade(conversion.name, "a file of that name is already in the folder"));
        break;
    case ConvertStatus::WriteFailed:
        leaveOut(converted.error ? errorDescription(converted.error) : converted.reason);
        break;
    }
}

/// The caption tracks and the caption list beside the MP4, from the subtitle
/// files named on the command line or else those beside the video. The names
/// follow the MP4's name even when the video plays as it is, as the player
/// derives the list's name from it.
void placeCaptionsFor(const PageInputs& inputs, const std::string& videoName, PlacedFiles& placed,
                      PublishResult& result)
{
    std::vector<CaptionSource> sources;
    for (const std::string& file : inputs.captionFiles)
        sources.push_back(namedCaptionFile(file));
    if (inputs.captionFiles.empty())
        sources = findCaptionFiles(inputs.videoFile);
    PlacedCaptions captions = placeCaptions(sources, mp4NameFor(videoName), result.folder);
    for (const std::string& name : captions.files)
        placed.add(childPath(result.folder, name));
    for (std::string& warning : captions.warnings)
        result.warnings.push_back(std::move(warning));
}

/// Creates the output folder when it is missing and claims the generation's
/// new folder in it.
std::string claimFolderFor(const PageInputs& inputs)
{
    const std::string base = childPath(inputs.outputDir, folderNameFor(fileNameOf(inputs.videoFile)));
    if (!inputs.outputDir.empty()) {
        // The folder whose creation failed is named, not a file that could
        // then not be made inside it.
        std::string failed;
        if (const int error = platform::createDirectories(inputs.outputDir, &failed))
            throw cannotCreateFolder(failed, error);
        // Where the file system has no unnamed files, a generation that was
        // killed leaves its half-copied file under a hidden name.
        platform::removeAbandonedTemporaryFiles(inputs.outputDir);
    }
    const ClaimedFolder claimed = claimNewFolder(base);
    if (claimed.error != 0)
        throw cannotCreateFolder(claimed.path, claimed.error);
    return claimed.path;
}

/// The MP4 a generation makes, when it makes one: none for a video that
/// browsers play as it is, which the HTML5 player tries first when its name
/// does not end in ".flv".
PlannedConversion planConversion(const PageInputs& inputs, const std::string& programFolder,
                                 const CopyPlan& plan, PublishResult& result)
{
    PlannedConversion conversion;
    const std::string videoName = fileNameOf(inputs.videoFile);
    if (!inputs.html5 || videoName.empty())
        return conversion;
    if (mp4NameFor(videoName) == videoName + ".mp4" &&
        browserReadyInConverter(platform::helperProgram(converter::programName, programFolder),
                                inputs.videoFile))
        return conversion;
    conversion.name = mp4NameFor(videoName);
    if (const auto holder = plan.holderOf(conversion.name))
        result.leftOut.push_back(LeftOutFile::unmade(conversion.name, *holder + " has the same name"));
    else
        conversion.source = inputs.videoFile;
    return conversion;
}

/// Copies the planned files into the new folder in their order, counting
/// their bytes into the generation's progress. The first file that lands
/// keeps a name; an earlier failed copy of that name then says who serves it.
class CopyRun
{
public:
    CopyRun(const PublishControl& control, PlacedFiles& placed, PublishResult& result)
        : m_control(control), m_placed(placed), m_result(result)
    {
    }

    /// Copies every file; throws PublishCancelled on a cancel.
    void copyAll(const std::vector<PlannedCopy>& copies, std::uint64_t total)
    {
        m_total = total;
        for (const PlannedCopy& copy : copies)
            copyOne(copy);
    }

    /// The path in the new folder where the file from source landed, if it did.
    std::optional<std::string> placedCopyOf(const std::string& source, const std::string& name) const
    {
        for (const auto& [copy, destination] : m_landed)
            if (copy->source == source && copy->name == name)
                return destination;
        return std::nullopt;
    }

    std::uint64_t bytesDone() const { return m_done; }
    std::uint64_t total() const { return m_total; }

private:
    struct FailedCopy
    {
        const PlannedCopy* copy;
        std::size_t line; // in result.leftOut
        platform::CopyResult result;
    };

    void copyOne(const PlannedCopy& copy)
    {
        if (const auto holder = m_placedRoles.find(copy.name); holder != m_placedRoles.end()) {
            m_result.leftOut.push_back({copy.name, holder->second + " has the same name"});
            m_total -= std::min(m_total - m_done, copy.size);
            return;
        }
        stopIfCancelled(m_control);
        PublishProgress progress{copy.name, m_done, m_total};
        platform::CopyObserver observer;
        observer.cancelRequested = m_control.cancelRequested;
        if (m_control.onProgress) {
            m_control.onProgress(progress);
            observer.onProgress = [&](std::uint64_t done, std::uint64_t) {
                progress.bytesDone = m_done + done;
                progress.bytesTotal = std::max(m_total, progress.bytesDone);
                m_control.onProgress(progress);
            };
        }
        const std::string destination = childPath(m_result.folder, copy.name);
        const platform::CopyResult copied =
            platform::copyFileNoReplace(copy.source, destination, observer, m_control.copyTuning);
        if (copied.failure == platform::CopyFailure::Cancelled)
            throw PublishCancelled();
        if (copied.ok())
            landed(copy, destination);
        else
            failed(copy, copied);
        // The total follows what came through: less for a failed copy, more
        // for a pipe, whose size is not known beforehand.
        m_total = m_total - std::min(m_total, copy.size) + copied.bytes;
        m_done += copied.bytes;
    }

    void landed(const PlannedCopy& copy, const std::string& destination)
    {
        m_placed.add(destination);
        m_landed.emplace_back(&copy, destination);
        m_placedRoles.emplace(copy.name, copy.role);
        // An earlier file of this name failed: this one serves its reference
        // too, which that file's line now says.
        if (const auto failed = m_failedNames.find(copy.name); failed != m_failedNames.end()) {
            const FailedCopy& earlier = failed->second;
            const std::string subject = earlier.copy->role + " \"" + earlier.copy->source + "\"";
            LeftOutFile& line = m_result.leftOut[earlier.line];
            line.reason = earlier.result.failure == platform::CopyFailure::Source
                              ? sourceFailure(subject, earlier.result)
                              : subject + " was not copied: " + line.reason;
            line.servedBy = copy.role;
        }
    }

    void failed(const PlannedCopy& copy, const platform::CopyResult& copied)
    {
        m_result.leftOut.push_back({copy.name, reasonFor(copy, copied)});
        m_failedNames.emplace(copy.name, FailedCopy{&copy, m_result.leftOut.size() - 1, copied});
    }

    const PublishControl& m_control;
    PlacedFiles& m_placed;
    PublishResult& m_result;
    std::uint64_t m_total = 0;
    std::uint64_t m_done = 0;
    std::vector<std::pair<const PlannedCopy*, std::string>> m_landed;
    std::map<std::string, std::string> m_placedRoles; // name -> role of the file that took it
    std::map<std::string, FailedCopy> m_failedNames;  // names a later file may still take
};

/// Everything of a generation after its folder was claimed: the copies, the
/// MP4, the captions and the page. Throws PublishCancelled on a cancel.
void fillFolder(const PageInputs& inputs, const std::string& programFolder, const std::string& page,
                const PublishControl& control, PlacedFiles& placed, PublishResult& result)
{
    CopyPlan plan = planCopies(inputs, programFolder);
    result.leftOut = std::move(plan.leftOut());
    const std::string videoName = fileNameOf(inputs.videoFile);
    PlannedConversion conversion = planConversion(inputs, programFolder, plan, result);

    std::uint64_t total = 0;
    for (const PlannedCopy& copy : plan.copies())
        total += copy.size;

    CopyRun copies(control, placed, result);
    copies.copyAll(plan.copies(), total);

    if (!conversion.source.empty()) {
        if (const auto copied = copies.placedCopyOf(inputs.videoFile, videoName))
            conversion.source = *copied;
        if (!control.earlierBrowserCopy.empty()) {
            const std::string destination = childPath(result.folder, conversion.name);
            const platform::CopyResult copied =
                platform::copyFileNoReplace(control.earlierBrowserCopy, destination, {}, control.copyTuning);
            if (copied.ok()) {
                placed.add(destination);
                conversion.source.clear();
            }
        }
    }
    if (!conversion.source.empty()) {
        // A phase of its own, counted in the bytes of the video that it reads.
        const std::uint64_t converting = platform::fileSize(conversion.source).value_or(0);
        stopIfCancelled(control);
        convertForBrowsers(conversion, videoName, programFolder, control,
                           {conversion.name, 0, converting, PublishPhase::Converting}, placed, result);
    }

    if (inputs.html5 && !videoName.empty())
        placeCaptionsFor(inputs, videoName, placed, result);

    stopIfCancelled(control);
    const std::string pagePath = childPath(result.folder, pageFileName);
    const platform::CopyResult written = platform::writeNewFile(pagePath, page, control.copyTuning);
    if (written.failure == platform::CopyFailure::Write)
        throw Error("Stream write error");
    if (!written.ok())
        throw cannotCreateFile(pagePath, written.error);
}

} // namespace

PublishResult publishGeneration(const PageInputs& inputs, const std::string& programFolder,
                                const PublishControl& control)
{
    const std::string page = BuildPlayerPage(inputs);
    refuseSpecialEntries(inputs);

    PublishResult result;
    result.folder = claimFolderFor(inputs);
    // The window starts at opacity 0: a notice, since the page is as asked for.
    if (inputs.logo && inputs.logoAlpha == 0)
        result.warnings.push_back("The logo's opacity is 0, so visitors will not see it.");
    PlacedFiles placed(result.folder);
    // The one way out of a cancel, wherever it comes: what the generation
    // made is taken away again, its folder too.
    try {
        fillFolder(inputs, programFolder, page, control, placed, result);
    } catch (const PublishCancelled&) {
        placed.removeAll();
        throw;
    }
    return result;
}

std::string describeLeftOut(const LeftOutFile& file)
{
    if (!file.servedBy.empty())
        return file.reason + "; " + file.servedBy + " of that name serves both";
    return "\"" + file.name + "\" was not " + (file.made ? "made" : "copied") + ": " + file.reason;
}

} // namespace vidlume
