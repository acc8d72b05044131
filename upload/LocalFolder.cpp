#include "upload/LocalFolder.h"

#include "app/Error.h"
#include "platform/FileSystem.h"
#include "platform/LocalLinks.h"
#include "platform/Paths.h"
#include "upload/OwnFiles.h"

#include <algorithm>
#include <set>

namespace vidlume::upload {

namespace {

// Deeper folders than this are no published site; a loop of links inside
// FOLDER ends here at the latest.
constexpr int deepestFolder = 64;

struct Walk
{
    std::string root; // resolved
    LocalFolder result;
    std::set<std::string> visited; // resolved folders already walked
};

bool isSeparator(char c)
{
    return platform::nativeSeparators.find(c) != std::string_view::npos;
}

bool isInside(const std::string& resolved, const std::string& root)
{
    return resolved == root || (resolved.size() > root.size() && resolved.compare(0, root.size(), root) == 0 &&
                                (isSeparator(root.back()) || isSeparator(resolved[root.size()])));
}

void walkFolder(Walk& walk, const std::string& fullPath, const std::string& relative, int depth)
{
    const auto resolvedFolder = platform::resolvedPath(fullPath);
    if (!resolvedFolder || !walk.visited.insert(*resolvedFolder).second)
        return;
    if (depth > deepestFolder) {
        walk.result.leftOut.push_back({relative, "folders nested too deep"});
        return;
    }
    const auto entries = platform::listDirectory(fullPath);
    if (!entries) {
        if (relative.empty())
            throw Error("Cannot read the folder " + fullPath);
        walk.result.leftOut.push_back({relative, "the folder cannot be read"});
        return;
    }
    std::vector<platform::DirectoryEntry> sorted = *entries;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& entry : sorted) {
        if (isOwnStateName(entry.name))
            continue;
        const std::string path = fullPath + "/" + entry.name;
        const std::string name = relative.empty() ? entry.name : relative + "/" + entry.name;
        if (platform::isSymbolicLink(path)) {
            const auto target = platform::resolvedPath(path);
            if (!target) {
                walk.result.leftOut.push_back({name, "a link to nothing"});
                continue;
            }
            if (!isInside(*target, walk.root)) {
                walk.result.leftOut.push_back({name, "a link to a file outside the folder, not followed"});
                continue;
            }
        }
        if (platform::directoryExists(path)) {
            walk.result.folders.push_back(name);
            walkFolder(walk, path, name, depth + 1);
        } else if (platform::isSpecialEntry(path) || !platform::fileExists(path)) {
            walk.result.leftOut.push_back({name, "not a plain file"});
        } else if (const auto size = platform::fileSize(path)) {
            walk.result.files.push_back({name, path, *size, {}});
        } else {
            walk.result.leftOut.push_back({name, "its size cannot be read"});
        }
    }
}

} // namespace

LocalFolder scanLocalFolder(const std::string& folder)
{
    Walk walk;
    const auto root = platform::resolvedPath(folder);
    if (!root || !platform::directoryExists(*root))
        throw Error("The folder " + folder + " does not exist");
    walk.root = *root;
    walkFolder(walk, folder, "", 0);
    std::sort(walk.result.files.begin(), walk.result.files.end(),
              [](const LocalFile& a, const LocalFile& b) { return a.path < b.path; });
    return std::move(walk.result);
}

} // namespace vidlume::upload
