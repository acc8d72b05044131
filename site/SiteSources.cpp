#include "site/SiteSources.h"

#include "app/ErrorText.h"
#include "page/PathNames.h"
#include "platform/FileSystem.h"
#include "platform/FileTree.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

namespace vidlume::site {

namespace {

using platform::EntryInfo;

using Identity = std::pair<std::uint64_t, std::uint64_t>;

bool endsWithNoCase(const std::string& name, const std::string& ending)
{
    if (name.size() < ending.size())
        return false;
    for (std::size_t i = 0; i < ending.size(); ++i) {
        char c = name[name.size() - ending.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != ending[i])
            return false;
    }
    return true;
}

bool isSubtitleName(const std::string& name)
{
    return endsWithNoCase(name, ".srt") || endsWithNoCase(name, ".vtt");
}

std::string describe(int error)
{
    return errorDescription(error ? error : EIO);
}

class Search
{
public:
    Search(SourceSearch& result, const std::function<bool()>& cancelRequested)
        : m_result(result), m_cancelRequested(cancelRequested)
    {
    }

    void argument(const std::string& path)
    {
        const EntryInfo info = platform::entryInfo(path);
        if (info.kind == EntryInfo::Kind::Missing) {
            problem("\"" + path + "\" cannot be searched: " + describe(info.error));
            return;
        }
        if (info.kind == EntryInfo::Kind::File) {
            addFile(path, fileNameOf(path), info, {});
            return;
        }
        m_visited.insert({info.device, info.node});
        std::vector<Identity> way{{info.device, info.node}};
        folder(path, "", way);
    }

private:
    void problem(std::string line) { m_result.problems.push_back(std::move(line)); }
    void note(std::string line) { m_result.notes.push_back(std::move(line)); }

    void addFile(const std::string& path, const std::string& relative, const EntryInfo& info,
                 const std::string& captions)
    {
        if (!m_files.insert({info.device, info.node}).second)
            return;
        m_result.sources.push_back({path, relative, info.size, info.modifiedNs, captions});
    }

    void folder(const std::string& path, const std::string& relative, std::vector<Identity>& way)
    {
        if (m_cancelRequested && m_cancelRequested())
            return;
        errno = 0;
        auto entries = platform::listDirectory(path);
        if (!entries) {
            const int error = errno;
            problem("The folder \"" + path + "\" cannot be read: " + describe(error));
            return;
        }
        // Byte order, so that every run meets the entries alike.
        std::sort(entries->begin(), entries->end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        std::vector<std::pair<std::string, EntryInfo>> subtitles;
        for (const auto& entry : *entries)
            if (!entry.isDirectory && isSubtitleName(entry.name))
                subtitles.emplace_back(entry.name, platform::entryInfo(childPath(path, entry.name)));

        for (const auto& entry : *entries) {
            const std::string inner = childPath(path, entry.name);
            const std::string innerRelative = relative.empty() ? entry.name : relative + "/" + entry.name;
            if (!entry.isDirectory && !hasFlvEnding(entry.name))
                continue;
            const EntryInfo info = platform::entryInfo(inner);
            if (info.kind == EntryInfo::Kind::Missing) {
                problem("\"" + inner + "\" cannot be read: " + describe(info.error));
                continue;
            }
            if (info.kind == EntryInfo::Kind::File) {
                addFile(inner, innerRelative, info, captionsOf(entry.name, subtitles));
                continue;
            }
            const Identity identity{info.device, info.node};
            if (std::find(way.begin(), way.end(), identity) != way.end()) {
                note("\"" + inner + "\" leads back to a folder above it (a loop); it is not followed");
                continue;
            }
            if (!m_visited.insert(identity).second) {
                note("\"" + inner + "\" leads to a folder that was searched already; it is not followed again");
                continue;
            }
            way.push_back(identity);
            folder(inner, innerRelative, way);
            way.pop_back();
        }
    }

    /// The subtitle files whose names start with the video's stem and a dot.
    static std::string captionsOf(const std::string& videoName,
                                  const std::vector<std::pair<std::string, EntryInfo>>& subtitles)
    {
        const std::string prefix = stemOf(videoName) + ".";
        std::string text;
        for (const auto& [name, info] : subtitles) {
            if (name.compare(0, prefix.size(), prefix) != 0)
                continue;
            text += name + "\t" + std::to_string(info.size) + "\t" + std::to_string(info.modifiedNs) + "\n";
        }
        return text;
    }

    SourceSearch& m_result;
    const std::function<bool()>& m_cancelRequested;
    std::set<Identity> m_visited; // folders searched
    std::set<Identity> m_files;   // files found
};

} // namespace

bool hasFlvEnding(const std::string& name)
{
    return name.size() > 4 && endsWithNoCase(name, ".flv");
}

SourceSearch findSources(const std::vector<std::string>& arguments, const std::function<bool()>& cancelRequested)
{
    SourceSearch result;
    Search search(result, cancelRequested);
    for (const std::string& argument : arguments)
        search.argument(argument);
    return result;
}

} // namespace vidlume::site
