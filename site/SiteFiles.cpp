#include "site/SiteFiles.h"

#include "app/ErrorText.h"
#include "page/PathNames.h"
#include "platform/FileSystem.h"

#include <cerrno>

namespace vidlume::site {

std::string sitePath(const std::string& site, const std::string& relative)
{
    std::string path = site;
    std::size_t start = 0;
    for (;;) {
        const auto slash = relative.find('/', start);
        path = childPath(path, relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos)
            return path;
        start = slash + 1;
    }
}

std::string planPath(const std::string& site)
{
    return childPath(site, "vidlume-site.json");
}

std::string resultPath(const std::string& site, int index)
{
    return sitePath(site, "vidlume-site/jobs/" + std::to_string(index) + ".json");
}

std::string picturesFolder(const std::string& site)
{
    return sitePath(site, "vidlume-site/pictures");
}

std::string workFolder(const std::string& site, int index)
{
    return sitePath(site, "vidlume-site/work/job-" + std::to_string(index));
}

PlanRead readPlan(const std::string& site)
{
    PlanRead read;
    std::string text;
    const std::string path = planPath(site);
    if (const int error = platform::readSmallFile(path, maxPlanBytes, text)) {
        read.missing = error == ENOENT;
        if (!read.missing)
            read.problem = "The plan \"" + path + "\" cannot be read: " + errorDescription(error);
        return read;
    }
    std::string whyNot;
    read.plan = parsePlan(text, whyNot);
    if (!read.plan)
        read.problem = "The plan \"" + path + "\" is refused: " + whyNot;
    return read;
}

int writePlan(const std::string& site, const SitePlan& plan)
{
    return platform::writeWholeFile(planPath(site), planText(plan));
}

std::optional<JobResult> readResult(const std::string& site, int index, std::string* problem)
{
    std::string text;
    const std::string path = resultPath(site, index);
    if (const int error = platform::readSmallFile(path, maxResultBytes, text)) {
        if (problem && error != ENOENT)
            *problem = "The result \"" + path + "\" cannot be read: " + errorDescription(error);
        return std::nullopt;
    }
    std::string whyNot;
    std::optional<JobResult> result = parseResult(text, whyNot);
    if (result && result->index != index) {
        whyNot = "it is the result of job " + std::to_string(result->index);
        result.reset();
    }
    if (!result && problem)
        *problem = "The result \"" + path + "\" is refused: " + whyNot;
    return result;
}

int writeResult(const std::string& site, const JobResult& result)
{
    return platform::writeWholeFile(resultPath(site, result.index), resultText(result));
}

int makeSiteFolders(const std::string& site, std::string& failed)
{
    for (const char* relative : {"vidlume-site/jobs", "vidlume-site/pictures", "vidlume-site/work"}) {
        if (const int error = platform::createDirectories(sitePath(site, relative), &failed))
            return error;
    }
    return 0;
}

} // namespace vidlume::site
