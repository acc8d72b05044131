#include "app/SettingsFile.h"

#include "app/IniText.h"
#include "platform/Error.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace vidlume {

namespace {

/// The file's text; empty when it does not exist; nothing when it cannot be read.
std::optional<std::string> readExisting(const fs::path& path)
{
    std::error_code error;
    const auto status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return std::string();
    if (error || status.type() != fs::file_type::regular)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof())
        return std::nullopt;
    return text.str();
}

fs::path temporaryNameBeside(const fs::path& path)
{
    std::random_device random;
    for (;;) {
        auto name = path;
        name += ".tmp" + std::to_string(random() % 1000000);
        std::error_code error;
        if (!fs::exists(fs::symlink_status(name, error)))
            return name;
    }
}

bool writeWhole(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

} // namespace

void SettingsFile::writeString(const std::string& section, const std::string& key,
                               const std::string& value) const
{
    const fs::path path(m_fileName);
    const auto failure = Error("Unable to write to " + m_fileName);

    const auto existing = readExisting(path);
    if (!existing)
        throw failure;
    // The rename below would replace even a file its owner made read-only; the
    // profile write refuses such a file, and so do we.
    std::error_code error;
    const auto status = fs::status(path, error);
    if (!error && fs::exists(status) && (status.permissions() & fs::perms::owner_write) == fs::perms::none)
        throw failure;
    const std::string text = setIniValue(*existing, section, key, value);

    const fs::path temporary = temporaryNameBeside(path);
    if (!writeWhole(temporary, text)) {
        fs::remove(temporary, error);
        throw failure;
    }
    // Replacing the file keeps its permissions.
    if (fs::exists(path, error))
        fs::permissions(temporary, fs::status(path, error).permissions(), error);
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        throw failure;
    }
}

} // namespace vidlume
