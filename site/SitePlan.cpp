#include "site/SitePlan.h"

#include "app/ErrorText.h"
#include "site/SiteFolders.h"

#include <algorithm>
#include <map>

namespace vidlume::site {

const PlanEntry* SitePlan::find(int index) const
{
    const auto found = std::lower_bound(entries.begin(), entries.end(), index,
                                        [](const PlanEntry& entry, int wanted) { return entry.index < wanted; });
    return found != entries.end() && found->index == index ? &*found : nullptr;
}

namespace {

std::string field(const std::string& text)
{
    // Each value ends in a byte that no value holds.
    return text + '\x1f';
}

} // namespace

std::string optionsText(const PageInputs& o)
{
    return field(o.videoSize) + field(o.autoPlay ? "1" : "0") + field(o.videoPath) + field(o.flvPlayerPath) +
           field(o.thumbnail ? "1" : "0") + field(o.thumbnailImage) + field(o.logo ? "1" : "0") +
           field(o.logoImage) + field(std::to_string(o.logoAlpha)) +
           field(std::to_string(static_cast<int>(o.logoPosition))) + field(o.logoWidth) + field(o.logoLink) +
           field(o.html5 ? "1" : "0");
}

std::string conversionKey(const SitePlan& plan, const PlanEntry& entry)
{
    return field(entry.hash) + field(std::to_string(entry.size)) + field(plan.converter) +
           field(plan.options.html5 ? "mp4" : "");
}

std::string pageKey(const SitePlan& plan, const PlanEntry& entry)
{
    return optionsText(plan.options) + field(plan.images) + field(entry.captions);
}

SitePlan updatePlan(const std::optional<SitePlan>& earlier, const SourceSearch& found, const PageInputs& options,
                    const std::string& images, const std::string& converter, bool prune, const Hasher& hasher,
                    std::vector<std::string>& problems)
{
    SitePlan plan;
    plan.options = options;
    plan.images = images;
    plan.converter = converter;

    std::map<std::string, const PlanEntry*> known; // by source path
    FolderAssigner folders;
    if (earlier) {
        plan.nextIndex = earlier->nextIndex;
        for (const PlanEntry& entry : earlier->entries)
            known.emplace(entry.source, &entry);
    }

    std::map<std::string, const FoundSource*> present;
    for (const FoundSource& source : found.sources)
        present.emplace(source.path, &source);

    // The earlier plan's videos keep their folders first.
    std::vector<PlanEntry> entries;
    std::vector<const FoundSource*> fresh;
    if (earlier) {
        for (const PlanEntry& old : earlier->entries) {
            const auto now = present.find(old.source);
            if (now == present.end() && prune)
                continue;
            if (!folders.keep(old.folder))
                continue; // a hand-edited plan: the source is planned afresh
            PlanEntry entry = old;
            entry.gone = now == present.end();
            if (!entry.gone) {
                const FoundSource& source = *now->second;
                const bool same = source.size == old.size && source.modifiedNs == old.modifiedNs && !old.hash.empty();
                entry.relative = source.relative;
                entry.size = source.size;
                entry.modifiedNs = source.modifiedNs;
                entry.captions = source.captions;
                if (!same) {
                    int error = 0;
                    entry.hash = hasher(source.path, error);
                    if (entry.hash.empty())
                        problems.push_back("\"" + source.path + "\" cannot be read: " + errorDescription(error));
                }
                present.erase(now);
            }
            entries.push_back(std::move(entry));
        }
    }
    for (const FoundSource& source : found.sources)
        if (present.count(source.path))
            fresh.push_back(&source);
    // Deeper paths first, so that a video's folder never takes the name of
    // a folder that holds other videos.
    std::stable_sort(fresh.begin(), fresh.end(), [](const FoundSource* a, const FoundSource* b) {
        return std::count(a->relative.begin(), a->relative.end(), '/') >
               std::count(b->relative.begin(), b->relative.end(), '/');
    });
    std::map<const FoundSource*, std::string> assigned;
    for (const FoundSource* source : fresh)
        assigned[source] = folders.assign(source->relative);
    // Indices follow the order of the paths.
    std::sort(fresh.begin(), fresh.end(), [](const FoundSource* a, const FoundSource* b) {
        return a->relative != b->relative ? a->relative < b->relative : a->path < b->path;
    });
    for (const FoundSource* source : fresh) {
        PlanEntry entry;
        entry.index = plan.nextIndex++;
        entry.source = source->path;
        entry.relative = source->relative;
        entry.folder = assigned[source];
        entry.size = source->size;
        entry.modifiedNs = source->modifiedNs;
        entry.captions = source->captions;
        int error = 0;
        entry.hash = hasher(source->path, error);
        if (entry.hash.empty())
            problems.push_back("\"" + source->path + "\" cannot be read: " + errorDescription(error));
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const PlanEntry& a, const PlanEntry& b) { return a.index < b.index; });
    plan.entries = std::move(entries);
    return plan;
}

} // namespace vidlume::site
