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

QString exactPathText(const std::string& path)
{
    QString text;
    std::size_t at = 0;
    while (at < path.size()) {
        const auto lead = static_cast<unsigned char>(path[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                 : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        bool valid = length > 0 && at + length <= path.size();
        for (std::size_t i = 1; valid && i < length; ++i)
            valid = (static_cast<unsigned char>(path[at + i]) & 0xC0) == 0x80;
        if (valid && length > 1) {
            // No overlong form, no surrogate, nothing above U+10FFFF.
            const QString decoded = QString::fromUtf8(path.data() + at, qsizetype(length));
            valid = decoded.toUtf8() == QByteArray(path.data() + at, qsizetype(length));
        }
        if (valid) {
            text += QString::fromUtf8(path.data() + at, qsizetype(length));
            at += length;
        } else {
            text += QStringLiteral("\\x") + QString::number(lead, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            ++at;
        }
    }
    return text;
}

} // namespace vidlume::ui
