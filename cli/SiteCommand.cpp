#include "cli/SiteCommand.h"

#include "cli/CancelSignals.h"
#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/SiteProgress.h"
#include "page/PathNames.h"
#include "platform/Environment.h"
#include "app/Error.h"
#include "platform/FileTree.h"
#include "platform/ProgramInfo.h"
#include "site/SiteFiles.h"
#include "site/SiteRun.h"

#include <charconv>
#include <optional>

namespace vidlume::cli {

namespace {

enum class Step
{
    Whole,
    Plan,
    Job,
    Assemble,
};

struct SiteOptions
{
    Step step = Step::Whole;
    std::string site;
    std::vector<std::string> sources;
    PageInputs options;
    unsigned parallel = 0; // 0: one per processor
    bool prune = false;
    std::optional<int> index;
    bool help = false;
};

bool readWhole(std::string_view text, long long most, long long& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() && value >= 0 && value <= most;
}

/// Reads the command line after "site"; returns the usage error, or "".
std::string parse(const std::vector<std::string>& arguments, SiteOptions& site)
{
    std::size_t i = 0;
    if (!arguments.empty()) {
        const std::string& first = arguments.front();
        if (first == "plan" || first == "job" || first == "assemble") {
            site.step = first == "plan" ? Step::Plan : first == "job" ? Step::Job : Step::Assemble;
            i = 1;
        }
    }
    std::vector<std::string> pageWords;
    bool pageOptionGiven = false;
    std::string valueError;
    const auto valueOf = [&](const std::string& argument, std::size_t& at, const std::string& name) {
        const auto assign = argument.find('=');
        if (assign != std::string::npos)
            return std::optional<std::string>(argument.substr(assign + 1));
        if (at + 1 < arguments.size())
            return std::optional<std::string>(arguments[++at]);
        valueError = "Missing value after '" + name + "'.";
        return std::optional<std::string>();
    };
    for (; i < arguments.size() && valueError.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            site.sources.insert(site.sources.end(), arguments.begin() + std::ptrdiff_t(i) + 1, arguments.end());
            break;
        }
        if (isWindowsHelpWord(argument)) {
            site.help = true;
            return {};
        }
        if (argument.size() < 2 || argument[0] != '-') {
            site.sources.push_back(argument);
            continue;
        }
        const std::string name = argument.substr(0, argument.find('='));
        if (name == "-h" || name == "--help") {
            site.help = true;
            return {};
        }
        if (name == "-j" || name == "--jobs" || (argument.compare(0, 2, "-j") == 0 && argument[1] == 'j')) {
            std::optional<std::string> text;
            if (name == "-j" || name == "--jobs")
                text = valueOf(argument, i, name);
            else
                text = argument.substr(2);
            long long value = 0;
            if (text && (!readWhole(*text, 1024, value) || value == 0))
                return "-j needs a whole number of jobs from 1 to 1024, not '" + *text + "'.";
            site.parallel = unsigned(value);
            continue;
        }
        if (name == "--prune") {
            if (argument != name)
                return "Unexpected value after '--prune'.";
            site.prune = true;
            continue;
        }
        if (name == "--index") {
            const std::optional<std::string> text = valueOf(argument, i, name);
            long long value = 0;
            if (text && !readWhole(*text, 100000000, value))
                return "--index needs a job's number, not '" + *text + "'.";
            site.index = int(value);
            continue;
        }
        if (name == "--out") {
            if (const std::optional<std::string> text = valueOf(argument, i, name))
                site.site = *text;
            if (valueError.empty() && site.site.empty())
                return "--out needs a folder.";
            continue;
        }
        if (name == "--open" || name == "--print-page" || name == "--captions" || name == "--version")
            return "'" + name + "' is not an option of a site (a subtitle file beside a video is taken by itself).";
        // A page option, checked below as a single publish checks it.
        pageOptionGiven = true;
        pageWords.push_back(argument);
        if (name.size() > 2 && name[1] == '-' && argument.find('=') == std::string::npos &&
            isValueOption(name.substr(2)) && i + 1 < arguments.size())
            pageWords.push_back(arguments[++i]);
    }
    if (!valueError.empty())
        return valueError;

    pageWords.push_back("--");
    pageWords.push_back("video.flv");
    const CliParseResult parsed = parseCliArguments(pageWords);
    if (!parsed.usageError.empty())
        return parsed.usageError;
    site.options = parsed.options.inputs;

    if (site.site.empty())
        return "--out SITE is missing: the site's folder.";
    const bool takesSources = site.step == Step::Whole || site.step == Step::Plan;
    if (takesSources && site.sources.empty())
        return "SOURCE is missing: the FLV files or folders to publish.";
    if (!takesSources && !site.sources.empty())
        return "'site " + std::string(site.step == Step::Job ? "job" : "assemble") +
               "' takes no SOURCE (found '" + site.sources.front() + "'): the plan names the videos.";
    if (!takesSources && pageOptionGiven)
        return "'site " + std::string(site.step == Step::Job ? "job" : "assemble") +
               "' takes no page options: the plan holds them.";
    if (site.step != Step::Job && site.index)
        return "--index is for 'site job' only.";
    if (site.step != Step::Whole && site.parallel)
        return "-j is for the whole run ('site' without plan, job or assemble) only.";
    if (site.step != Step::Whole && site.step != Step::Plan && site.prune)
        return "--prune is for 'site' and 'site plan' only.";
    return {};
}

int usageError(const std::string& message)
{
    writeBytes(stderr, "vidlume-cli site: " + message + "\n" + siteUsageText());
    return exitUsage;
}

/// The job's number: --index, else the engine's own variable.
std::optional<int> jobIndex(const SiteOptions& options, std::string& error)
{
    if (options.index)
        return options.index;
    for (const char* variable : {"SLURM_ARRAY_TASK_ID", "JOB_COMPLETION_INDEX"}) {
        const std::string value = platform::environmentValue(variable);
        if (value.empty())
            continue;
        long long number = 0;
        if (!readWhole(value, 100000000, number)) {
            error = std::string(variable) + " holds '" + value + "', which is no job's number.";
            return std::nullopt;
        }
        return int(number);
    }
    error = "No job is named: give --index N, or run it as a Slurm array task (SLURM_ARRAY_TASK_ID) or a "
            "Kubernetes Indexed Job (JOB_COMPLETION_INDEX).";
    return std::nullopt;
}

site::JobControl jobControl()
{
    site::JobControl control;
    control.programFolder = platform::programFolder();
    control.cancelRequested = cancelSignalReceived;
    return control;
}

void writeLines(SiteProgress& progress, const std::vector<std::string>& lines, const char* lead = "")
{
    for (const std::string& line : lines)
        progress.line(lead + line);
}

std::string reportLine(const site::JobReport& report)
{
    const site::PlanEntry& entry = *report.entry;
    if (report.outcome.state == site::JobState::Failed)
        return "Left out \"" + entry.source + "\": " + report.outcome.reason;
    return "Published " + entry.folder;
}

/// The gallery written and what it says: 0 when every video is in, 3 when
/// some are not (each named), 1 when none could be published.
int assembleAndReport(const std::string& site, const site::SitePlan& plan, SiteProgress& progress,
                      bool leftOutBefore)
{
    const site::Assembled assembled = site::assembleSite(site, plan);
    writeLines(progress, assembled.failed, "Left out: ");
    writeLines(progress, assembled.missing, "Not done yet: ");
    std::size_t published = 0;
    for (const site::PlanEntry& entry : plan.entries)
        if (!entry.gone)
            ++published;
    published -= std::min(published, assembled.failed.size() + assembled.missing.size());
    if (published == 0 && !plan.entries.empty() && (assembled.failed.size() || assembled.missing.size()))
        return exitFailure;
    return assembled.failed.empty() && assembled.missing.empty() && !leftOutBefore ? exitSuccess : exitLeftOut;
}

int cancelled(SiteProgress& progress)
{
    progress.clear();
    cancelCleanupDone();
    writeBytes(stderr, "Stopped; the videos finished so far are in the site, nothing half-made is.\n");
    return cancelExitCode();
}

int runWhole(const SiteOptions& options, bool planOnly)
{
    installCancelSignals();
    SiteProgress progress(stderr);
    site::PlanRequest request;
    request.site = options.site;
    request.sources = options.sources;
    request.options = options.options;
    request.prune = options.prune;
    request.programFolder = platform::programFolder();
    request.cancelRequested = cancelSignalReceived;
    const site::PlanMade made = site::makePlan(request);
    writeLines(progress, made.notes, "Note: ");
    writeLines(progress, made.problems, "Left out: ");
    if (cancelSignalReceived())
        return cancelled(progress);
    if (planOnly) {
        std::string indices;
        for (const int index : made.toDo)
            indices += std::to_string(index) + "\n";
        return writeBytes(stdout, indices) ? (made.problems.empty() ? exitSuccess : exitLeftOut) : exitFailure;
    }
    if (made.plan.entries.empty()) {
        progress.line("No FLV file was found in the sources given.");
        site::assembleSite(options.site, made.plan);
        return exitFailure;
    }
    const unsigned parallel = options.parallel ? options.parallel : platform::processorCount();
    site::RunReporting reporting;
    reporting.onJobFinished = [&progress](const site::JobReport& report) {
        progress.line(reportLine(report));
        for (const std::string& warning : report.outcome.warnings)
            progress.line("  " + warning);
    };
    reporting.onProgress = [&progress](std::size_t done, std::size_t total, std::uint64_t bytesDone,
                                       std::uint64_t bytesTotal) {
        progress.show(done, total, bytesDone, bytesTotal);
    };
    site::runJobs(options.site, made.plan, made.toDo, parallel, jobControl(), reporting);
    progress.clear();
    // What finished stays and is listed, also after a stop.
    const int status = assembleAndReport(options.site, made.plan, progress, !made.problems.empty());
    if (cancelSignalReceived())
        return cancelled(progress);
    if (!writeBytes(stdout, childPath(options.site, "index.htm") + "\n"))
        return exitFailure;
    return status;
}

int runJob(const SiteOptions& options)
{
    std::string error;
    const std::optional<int> index = jobIndex(options, error);
    if (!index)
        return usageError(error);
    const site::PlanRead read = site::readPlan(options.site);
    if (!read.plan)
        return reportFailure(read.missing ? "The site \"" + options.site + "\" has no plan; make one with "
                                                "'vidlume-cli site plan'"
                                          : read.problem);
    const site::PlanEntry* entry = read.plan->find(*index);
    if (!entry)
        return reportFailure("The plan of \"" + options.site + "\" has no job " + std::to_string(*index));
    installCancelSignals();
    SiteProgress progress(stderr);
    const site::JobOutcome outcome = site::runJob(options.site, *read.plan, *entry, jobControl());
    switch (outcome.state) {
    case site::JobState::Cancelled:
        return cancelled(progress);
    case site::JobState::Failed:
        progress.line("Left out \"" + entry->source + "\": " + outcome.reason);
        return exitLeftOut;
    case site::JobState::AlreadyDone:
        return exitSuccess;
    case site::JobState::Done:
        break;
    }
    progress.line("Published " + entry->folder);
    writeLines(progress, outcome.warnings, "  ");
    return exitSuccess;
}

int runAssemble(const SiteOptions& options)
{
    const site::PlanRead read = site::readPlan(options.site);
    if (!read.plan)
        return reportFailure(read.missing ? "The site \"" + options.site + "\" has no plan; make one with "
                                                "'vidlume-cli site plan'"
                                          : read.problem);
    SiteProgress progress(stderr);
    const int status = assembleAndReport(options.site, *read.plan, progress, false);
    if (!writeBytes(stdout, childPath(options.site, "index.htm") + "\n"))
        return exitFailure;
    return status;
}

} // namespace

bool isSiteCommand(const std::vector<std::string>& arguments)
{
    return !arguments.empty() && arguments.front() == "site";
}

int runSiteCommand(const std::vector<std::string>& arguments)
{
    SiteOptions options;
    if (const std::string error = parse(arguments, options); !error.empty())
        return usageError(error);
    if (options.help)
        return writeBytes(stdout, siteUsageText()) ? exitSuccess : exitFailure;
    try {
        switch (options.step) {
        case Step::Whole:
            return runWhole(options, false);
        case Step::Plan:
            return runWhole(options, true);
        case Step::Job:
            return runJob(options);
        case Step::Assemble:
            return runAssemble(options);
        }
    } catch (const Error& error) {
        return reportFailure(error.what());
    }
    return exitFailure;
}

std::string siteUsageText()
{
    return "Usage: vidlume-cli site [PAGE OPTIONS] [-j N] [--prune] --out SITE [--] SOURCE...\n"
           "       vidlume-cli site plan [PAGE OPTIONS] [--prune] --out SITE [--] SOURCE...\n"
           "       vidlume-cli site job --out SITE [--index N]\n"
           "       vidlume-cli site assemble --out SITE\n"
           "Publishes every FLV found in the SOURCE files and folders (folders searched\n"
           "through, the .flv ending in any case) into the site folder SITE: each video in\n"
           "the folder a single publish makes, at the place it has in the archive\n"
           "(SOURCE/2008/trips/beach.flv -> SITE/2008/trips/beach/), and the gallery\n"
           "SITE/index.htm that lists them all. A rerun redoes only what changed.\n"
           "\n"
           "The steps, for running the jobs on other machines:\n"
           "  plan      writes the plan into SITE and prints the number of each job still to\n"
           "            do, one per line\n"
           "  job       does one job of the plan: --index N, else SLURM_ARRAY_TASK_ID, else\n"
           "            JOB_COMPLETION_INDEX; a job already done does nothing\n"
           "  assemble  writes the gallery from the plan and the finished jobs\n"
           "\n"
           "Options:\n"
           "  PAGE OPTIONS             the page options of vidlume-cli (see vidlume-cli --help),\n"
           "                           for every video; not --open, --print-page or --captions\n"
           "  --out SITE               the site's folder\n"
           "  -j N, --jobs N           N jobs at a time (default: one per processor)\n"
           "  --prune                  remove the pages of videos no longer found\n"
           "  --index N                the job to do (site job)\n"
           + std::string(isWindowsHelpWord("/?") ? "  -h, --help, /?           show this help\n"
                                                 : "  -h, --help               show this help\n") +
           "  --                       end of the options: a SOURCE may start with \"-\"\n"
           "\n"
           "Exit status:\n"
           "  0    every video is published\n"
           "  1    SITE cannot be written, or no video at all could be published\n"
           "  2    the command line is wrong\n"
           "  3    the site is complete, but videos were left out (each named on standard\n"
           "       error with its reason); for assemble also while jobs are not done\n"
           + stopStatusLines("the videos finished stay, nothing half-made does");
}

} // namespace vidlume::cli
