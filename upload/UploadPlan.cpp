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

std::vector<std::size_t> placingOrder(const LocalFolder& local)
{
    std::vector<std::size_t> order(local.files.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Media first, then pages, deeper pages before the ones that link to them.
    std::stable_sort(order.begin(), order.end(), [&local](std::size_t a, std::size_t b) {
        const std::string& pathA = local.files[a].path;
        const std::string& pathB = local.files[b].path;
        const bool pageA = isPage(pathA), pageB = isPage(pathB);
        if (pageA != pageB)
            return !pageA;
        if (pageA && depthOf(pathA) != depthOf(pathB))
            return depthOf(pathA) > depthOf(pathB);
        if (pageA && (nameOf(pathA) == "index.htm") != (nameOf(pathB) == "index.htm"))
            return nameOf(pathB) == "index.htm";
        return false;
    });
    return order;
}

std::vector<std::string> blockedPaths(const LocalFolder& local, const RemoteListing& listing)
{
    std::vector<std::string> blocked;
    for (const LocalFile& file : local.files) {
        const auto remote = listing.entries.find(file.path);
        if (remote != listing.entries.end() && remote->second.isFolder)
            blocked.push_back(file.path);
    }
    return blocked;
}

std::optional<FileToSend> planFile(const LocalFolder& local, std::size_t index, const std::optional<Manifest>& previous,
                                   const RemoteListing& listing, ResumeRule resume)
{
    const LocalFile& file = local.files[index];
    const auto remote = listing.entries.find(file.path);
    const bool onServer = remote != listing.entries.end() && remote->second.isFile;
    if (previous && onServer && remote->second.size == file.size) {
        const auto recorded = previous->find(file.path);
        if (recorded != previous->end() && recorded->second.size == file.size &&
            recorded->second.sha256 == file.sha256)
            return std::nullopt;
    }
    FileToSend send;
    send.file = index;
    const std::string folder = parentOf(file.path);
    send.temporaryPath = (folder.empty() ? "" : folder + "/") + temporaryName(nameOf(file.path), file.sha256);
    send.replaces = remote != listing.entries.end();
    const auto partial = listing.entries.find(send.temporaryPath);
    if (partial != listing.entries.end() && partial->second.isFile && partial->second.size <= file.size &&
        resume != ResumeRule::StartAgain)
        send.resumeFrom = partial->second.size == file.size || resume == ResumeRule::AtPartialSize
                              ? partial->second.size
                              : partial->second.size / resumeGranule * resumeGranule;
    return send;
}

std::vector<std::string> foldersToMake(const LocalFolder& local, const RemoteListing& listing)
{
    std::vector<std::string> folders;
    for (const std::string& folder : local.folders) {
        if (!listing.folders.count(folder))
            folders.push_back(folder);
    }
    return folders;
}

std::vector<std::string> staleTemporaries(const RemoteListing& listing, const std::vector<FileToSend>& sending)
{
    std::set<std::string> used;
    for (const FileToSend& send : sending)
        used.insert(send.temporaryPath);
    std::vector<std::string> stale;
    for (const auto& [path, entry] : listing.entries) {
        if (entry.isFile && isTemporaryName(nameOf(path)) && !used.count(path))
            stale.push_back(path);
    }
    return stale;
}

std::vector<std::string> pathsToDelete(const LocalFolder& local, const std::optional<Manifest>& previous,
                                       const RemoteListing& listing)
{
    std::vector<std::string> gone;
    if (!previous)
        return gone;
    std::set<std::string> localPaths;
    for (const LocalFile& file : local.files)
        localPaths.insert(file.path);
    for (const auto& [path, entry] : *previous) {
        const auto remote = listing.entries.find(path);
        if (!localPaths.count(path) && remote != listing.entries.end() && remote->second.isFile)
            gone.push_back(path);
    }
    return gone;
}

UploadPlan planUpload(const LocalFolder& local, const std::optional<Manifest>& previous,
                      const RemoteListing& listing, bool deleteMissing, ResumeRule resume)
{
    UploadPlan plan;
    plan.foldersToMake = foldersToMake(local, listing);
    plan.blocked = blockedPaths(local, listing);
    const std::set<std::string> blocked(plan.blocked.begin(), plan.blocked.end());
    for (const std::size_t index : placingOrder(local)) {
        if (blocked.count(local.files[index].path))
            continue;
        if (auto send = planFile(local, index, previous, listing, resume))
            plan.toSend.push_back(*send);
        else
            plan.unchanged.push_back(index);
    }
    std::sort(plan.unchanged.begin(), plan.unchanged.end());
    plan.staleTemporaries = staleTemporaries(listing, plan.toSend);
    if (deleteMissing)
        plan.toDelete = pathsToDelete(local, previous, listing);
    return plan;
}

} // namespace vidlume::upload
