#include "ui/LocalPaths.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QUrl>

#include <filesystem>

namespace vidlume::ui {

std::optional<std::string> localPathOfUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

namespace {

/// Adds to found each existing path (up to limit) that parts[index..] name
/// below folder, a part that holds U+FFFD standing for every entry shown so.
void collectShownAs(const std::string& folder, const std::vector<std::string>& parts, std::size_t index,
                    std::size_t limit, std::vector<std::string>& found)
{
    if (found.size() >= limit)
        return;
    if (index == parts.size()) {
        found.push_back(folder.empty() ? "/" : folder);
        return;
    }
    const std::string& part = parts[index];
    if (part.find("\xEF\xBF\xBD") == std::string::npos) {
        if (platform::entryExists(folder + "/" + part))
            collectShownAs(folder + "/" + part, parts, index + 1, limit, found);
        return;
    }
    const QString shown = QFile::decodeName(QByteArray::fromStdString(part));
    for (const auto& entry : platform::listDirectory(folder.empty() ? "/" : folder).value_or(std::vector<platform::DirectoryEntry>{}))
        if (QFile::decodeName(QByteArray::fromStdString(entry.name)) == shown)
            collectShownAs(folder + "/" + entry.name, parts, index + 1, limit, found);
}

} // namespace

std::vector<std::string> existingPathsShownAs(const std::string& path, std::size_t limit)
{
    std::vector<std::string> found;
    if (path.empty() || path.front() != '/')
        return found;
    std::vector<std::string> parts;
    for (std::size_t start = 1; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    collectShownAs("", parts, 0, limit, found);
    return found;
}

std::optional<std::string> existingPathShownAs(const std::string& path)
{
    const std::vector<std::string> found = existingPathsShownAs(path, 2);
    if (found.size() != 1)
        return std::nullopt; // two names look alike: which one was meant is not known
    return found.front();
}

std::optional<std::string> videoArgument(int argc, char* argv[])
{
    if (argc < 2 || !argv[1] || !*argv[1])
        return std::nullopt;
    const std::string argument = argv[1];
    if (argument.starts_with("file:"))
        return localPathOfUrl(QUrl::fromEncoded(QByteArray::fromStdString(argument)));
    if (argument.front() == '/')
        return argument;
    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).string();
    return (folder == "/" ? folder : folder + "/") + argument;
}

QUrl urlOfLocalPath(const std::string& path)
{
    const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding("/");
    return QUrl::fromEncoded("file://" + encoded);
}

} // namespace vidlume::ui
