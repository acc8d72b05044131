#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#ifdef _WIN32
#include <random>
#else
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace vidlume::test {

/// A fresh folder under the system's temporary folder, removed with its
/// contents (and anything mounted on it) when the test ends.
class ScratchFolder
{
public:
    ScratchFolder()
    {
#ifdef _WIN32
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("vidlume-test-" + std::to_string(random() % 1000000));
            if (std::filesystem::create_directory(candidate))
                m_path = candidate.string();
        }
        if (m_path.empty())
            throw std::runtime_error("cannot make a scratch folder");
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "vidlume-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a scratch folder");
        m_path = pattern;
#endif
    }
    ~ScratchFolder()
    {
#ifndef _WIN32
        if (m_mounted)
            ::umount2(m_mountPoint.c_str(), MNT_DETACH);
#endif
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    /// The folder's path, or a path inside it; relative's "/" are written as
    /// the system's separator.
    std::string path(const std::string& relative = {}) const
    {
#ifdef _WIN32
        std::string inside = relative;
        for (char& c : inside)
            c = c == '/' ? '\\' : c;
        return relative.empty() ? m_path : m_path + "\\" + inside;
#else
        return relative.empty() ? m_path : m_path + "/" + relative;
#endif
    }

    /// Mounts a tmpfs of the given size on folder relative; false when this
    /// process may not mount (not root, or a container without the right).
    bool mountSmallFileSystem(const std::string& relative, const std::string& size)
    {
        m_mountPoint = path(relative);
        std::filesystem::create_directories(m_mountPoint);
#ifdef _WIN32
        (void)size;
        return false;
#else
        const std::string options = "size=" + size;
        m_mounted =
            ::geteuid() == 0 && ::mount("tmpfs", m_mountPoint.c_str(), "tmpfs", 0, options.c_str()) == 0;
        return m_mounted;
#endif
    }

private:
    std::string m_path;
    std::string m_mountPoint;
    bool m_mounted = false;
};

/// A path given in UTF-8, as the program's own paths are, whatever the
/// system's code page (Windows reads a plain string in its ANSI code page).
inline std::filesystem::path fsPath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

/// A name or path in UTF-8.
inline std::string utf8Of(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(fsPath(path).parent_path());
    std::ofstream(fsPath(path), std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(fsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Bytes that differ from position to position, so a misplaced chunk shows.
inline std::string patternBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919 + i / 4096) & 0xff);
    return bytes;
}

/// The names in a folder, hidden ones included.
inline std::set<std::string> entriesOf(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(fsPath(folder)))
        names.insert(utf8Of(entry.path().filename()));
    return names;
}

} // namespace vidlume::test
