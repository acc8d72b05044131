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

std::optional<std::string> existingPathShownAs(const std::string& path)
{
    if (path.empty() || path.front() != '/')
        return std::nullopt;
    std::string found;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        const std::string folder = found.empty() ? "/" : found;
        if (platform::entryExists(found + "/" + part)) {
            found += "/" + part;
            continue;
        }
        const QString shown = QFile::decodeName(QByteArray::fromStdString(part));
        std::optional<std::string> match;
        for (const auto& entry : platform::listDirectory(folder).value_or(std::vector<platform::DirectoryEntry>{})) {
            if (QFile::decodeName(QByteArray::fromStdString(entry.name)) != shown)
                continue;
            if (match)
                return std::nullopt; // two names look alike: which one was meant is not known
            match = entry.name;
        }
        if (!match)
            return std::nullopt;
        found += "/" + *match;
    }
    return found.empty() ? std::string("/") : found;
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
