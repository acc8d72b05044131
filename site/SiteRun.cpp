#include "site/SiteRun.h"

#include "app/ErrorText.h"
#include "media/ConverterProtocol.h"
#include "page/PathNames.h"
#include "platform/BesideProgram.h"
#include "app/Error.h"
#include "platform/FileSystem.h"
#include "platform/FileTree.h"
#include "platform/ProgramInfo.h"
#include "site/ContentHash.h"
#include "site/SiteFiles.h"
#include "site/SiteGallery.h"

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace vidlume::site {

namespace {

/// Size and time of the poster and logo images the options name.
std::string imagesSignature(const PageInputs& options)
{
    std::string text;
    const auto add = [&text](bool wanted, const std::string& path) {
        if (!wanted || path.empty())
            return;
        const platform::EntryInfo info = platform::entryInfo(path);
        text += path + "\t" + std::to_string(info.size) + "\t" + std::to_string(info.modifiedNs) + "\n";
    };
    add(options.thumbnail, options.thumbnailImage);
    add(options.logo, options.logoImage);
    return text;
}

Error siteError(const std::string& path, int error)
{
    return Error("Cannot write the site's folder \"" + path + "\". " + errorDescription(error));
}

} // namespace

std::string converterVersion(const std::string& programFolder)
{
    std::string version = "unknown";
    if (const auto own = platform::programFileVersion())
        version = std::to_string(own->major) + "." + std::to_string(own->minor) + "." +
                  std::to_string(own->release) + "." + std::to_string(own->build);
    int error = 0;
    const std::string hash =
        hashFileContent(platform::helperProgram(converter::programName, programFolder), error);
    return version + " " + (hash.empty() ? "no-converter" : hash);
}

PlanMade makePlan(const PlanRequest& request)
{
    PlanMade made;
    std::string failed;
    if (const int error = platform::createDirectories(request.site, &failed))
        throw siteError(failed, error);
    if (const int error = makeSiteFolders(request.site, failed))
        throw siteError(failed, error);

    PlanRead earlier = readPlan(request.site);
    if (!earlier.problem.empty())
        made.notes.push_back(earlier.problem + "; a new plan is made");

    std::vector<std::string> sources;
    for (const std::string& source : request.sources)
        sources.push_back(platform::absolutePath(source));
    SourceSearch found = findSources(sources, request.cancelRequested);
    for (std::string& problem : found.problems)
        made.problems.push_back(std::move(problem));
    for (std::string& note : found.notes)
        made.notes.push_back(std::move(note));

    PageInputs options = request.options;
    options.videoFile.clear();
    options.outputDir.clear();
    options.captionFiles.clear();
    if (options.thumbnail && !options.thumbnailImage.empty())
        options.thumbnailImage = platform::absolutePath(options.thumbnailImage);
    if (options.logo && !options.logoImage.empty())
        options.logoImage = platform::absolutePath(options.logoImage);

    const Hasher hasher = [&request](const std::string& path, int& error) {
        return hashFileContent(path, error, request.cancelRequested);
    };
    made.plan = updatePlan(earlier.plan, found, options, imagesSignature(options),
                           converterVersion(request.programFolder), request.prune, hasher, made.problems);
    if (request.cancelRequested && request.cancelRequested())
        return made;
    if (const int error = writePlan(request.site, made.plan))
        throw siteError(planPath(request.site), error);

    if (request.prune && earlier.plan) {
        for (const PlanEntry& old : earlier.plan->entries) {
            const PlanEntry* kept = made.plan.find(old.index);
            if (!kept || kept->folder != old.folder)
                removeJobFiles(request.site, old);
        }
    }
    made.toDo = jobsToDo(request.site, made.plan);
    return made;
}

std::vector<int> jobsToDo(const std::string& site, const SitePlan& plan)
{
    std::vector<int> toDo;
    for (const PlanEntry& entry : plan.entries)
        if (jobNeed(site, plan, entry) != JobNeed::Nothing)
            toDo.push_back(entry.index);
    return toDo;
}

std::vector<JobReport> runJobs(const std::string& site, const SitePlan& plan, const std::vector<int>& indices,
                               unsigned parallel, const JobControl& control, const RunReporting& reporting)
{
    std::mutex lock;
    std::vector<JobReport> reports;
    std::atomic<std::size_t> next{0};
    std::uint64_t bytesTotal = 0;
    for (const int index : indices)
        if (const PlanEntry* entry = plan.find(index))
            bytesTotal += entry->size;
    std::uint64_t bytesFinished = 0;
    std::map<int, std::uint64_t> bytesRunning; // of the jobs running now
    std::size_t finished = 0;

    const auto report = [&] {
        if (!reporting.onProgress)
            return;
        std::uint64_t done = bytesFinished;
        for (const auto& [index, bytes] : bytesRunning)
            done += bytes;
        reporting.onProgress(finished, indices.size(), done, bytesTotal);
    };

    // The jobs running at once share the processors: each converter takes its
    // share, rather than one thread per processor each (and the memory that
    // each thread needs).
    const unsigned threads = std::max(1u, std::min<unsigned>(parallel, unsigned(indices.size())));
    JobControl shared = control;
    if (shared.converterBounds.threads == 0)
        shared.converterBounds.threads = int(std::max(1u, std::thread::hardware_concurrency() / threads));

    const auto work = [&] {
        for (;;) {
            if (control.cancelRequested && control.cancelRequested())
                return;
            const std::size_t at = next++;
            if (at >= indices.size())
                return;
            const PlanEntry* entry = plan.find(indices[at]);
            if (!entry)
                continue;
            JobControl own = shared;
            own.onProgress = [&, entry](double part) {
                const std::lock_guard<std::mutex> guard(lock);
                bytesRunning[entry->index] = static_cast<std::uint64_t>(part * double(entry->size));
                if (reporting.onJobProgress)
                    reporting.onJobProgress(*entry, part);
                report();
            };
            if (reporting.onJobProgress) {
                const std::lock_guard<std::mutex> guard(lock);
                reporting.onJobProgress(*entry, 0.0);
            }
            JobReport done{entry, runJob(site, plan, *entry, own)};
            const std::lock_guard<std::mutex> guard(lock);
            bytesRunning.erase(entry->index);
            if (done.outcome.state == JobState::Cancelled)
                continue;
            bytesFinished += entry->size;
            ++finished;
            if (reporting.onJobFinished)
                reporting.onJobFinished(done);
            report();
            reports.push_back(std::move(done));
        }
    };

    {
        const std::lock_guard<std::mutex> guard(lock);
        report();
    }
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < threads; ++i)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    return reports;
}

Assembled assembleSite(const std::string& site, const SitePlan& plan)
{
    Assembled assembled;
    std::map<int, JobResult> results;
    for (const PlanEntry& entry : plan.entries) {
        std::string problem;
        std::optional<JobResult> result = readResult(site, entry.index, &problem);
        if (result && result->done && result->folder == entry.folder) {
            results.emplace(entry.index, std::move(*result));
            continue;
        }
        if (entry.gone)
            continue;
        if (result && !result->done)
            assembled.failed.push_back(entry.source + ": " + result->reason);
        else
            assembled.missing.push_back(entry.source + ": job " + std::to_string(entry.index) + " has not run" +
                                        (problem.empty() ? std::string() : " (" + problem + ")"));
    }
    std::string failed;
    if (const int error = writeGallery(site, plan, results, failed))
        throw Error("Cannot write the gallery \"" + failed + "\". " + errorDescription(error));
    return assembled;
}

} // namespace vidlume::site
