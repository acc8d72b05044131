#include "upload/UploadPlan.h"

#include "upload/OwnFiles.h"

#include <algorithm>

namespace vidlume::upload {

namespace {

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::size_t depthOf(const std::string& path)
{
    return std::size_t(std::count(path.begin(), path.end(), '/'));
}

} // namespace

UploadPlan planUpload(const LocalFolder& local, const std::optional<Manifest>& previous,
                      const RemoteListing& listing, bool deleteMissing, ResumeRule resume)
{
    UploadPlan plan;
    for (const std::string& folder : local.folders) {
        if (!listing.folders.count(folder))
            plan.foldersToMake.push_back(folder);
    }

    std::set<std::string> usedTemporaries;
    std::set<std::string> localPaths;
    for (std::size_t i = 0; i < local.files.size(); ++i) {
        const LocalFile& file = local.files[i];
        localPaths.insert(file.path);
        const auto remote = listing.entries.find(file.path);
        if (remote != listing.entries.end() && remote->second.isFolder) {
            plan.blocked.push_back(file.path);
            continue;
        }
        const bool onServer = remote != listing.entries.end() && remote->second.isFile;
        if (previous && onServer && remote->second.size == file.size) {
            const auto recorded = previous->find(file.path);
            if (recorded != previous->end() && recorded->second.size == file.size &&
                recorded->second.sha256 == file.sha256) {
                plan.unchanged.push_back(i);
                continue;
            }
        }
        FileToSend send;
        send.file = i;
        const std::string folder = parentOf(file.path);
        send.temporaryPath = (folder.empty() ? "" : folder + "/") + temporaryName(nameOf(file.path), file.sha256);
        send.replaces = remote != listing.entries.end();
        const auto partial = listing.entries.find(send.temporaryPath);
        if (partial != listing.entries.end() && partial->second.isFile && partial->second.size <= file.size &&
            resume != ResumeRule::StartAgain)
            send.resumeFrom = partial->second.size == file.size || resume == ResumeRule::AtPartialSize
                                  ? partial->second.size
                                  : partial->second.size / resumeGranule * resumeGranule;
        usedTemporaries.insert(send.temporaryPath);
        plan.toSend.push_back(send);
    }
    // Media first, then pages, deeper pages before the ones that link to them.
    std::stable_sort(plan.toSend.begin(), plan.toSend.end(), [&local](const FileToSend& a, const FileToSend& b) {
        const std::string& pathA = local.files[a.file].path;
        const std::string& pathB = local.files[b.file].path;
        const bool pageA = isPage(pathA), pageB = isPage(pathB);
        if (pageA != pageB)
            return !pageA;
        if (pageA && depthOf(pathA) != depthOf(pathB))
            return depthOf(pathA) > depthOf(pathB);
        if (pageA && (nameOf(pathA) == "index.htm") != (nameOf(pathB) == "index.htm"))
            return nameOf(pathB) == "index.htm";
        return false;
    });

    for (const auto& [path, entry] : listing.entries) {
        if (entry.isFile && isTemporaryName(nameOf(path)) && !usedTemporaries.count(path))
            plan.staleTemporaries.push_back(path);
    }
    if (deleteMissing && previous) {
        for (const auto& [path, entry] : *previous) {
            const auto remote = listing.entries.find(path);
            if (!localPaths.count(path) && remote != listing.entries.end() && remote->second.isFile)
                plan.toDelete.push_back(path);
        }
    }
    return plan;
}

} // namespace vidlume::upload
