#include "platform/Process.h"

#include <charconv>

// What the two systems' child processes share: the form of the argument that
// names the handed files, and the parent's side of the channel.

namespace vidlume::platform {

namespace {

constexpr std::string_view filesPrefix = "--files=";

} // namespace

std::string handedFilesArgument(const std::vector<NativeFile>& files)
{
    std::string argument(filesPrefix);
    for (std::size_t i = 0; i < files.size(); ++i)
        argument += (i ? "," : "") + std::to_string(files[i]);
    return argument;
}

std::optional<std::vector<NativeFile>> handedFiles(std::string_view argument)
{
    if (argument.substr(0, filesPrefix.size()) != filesPrefix)
        return std::nullopt;
    argument.remove_prefix(filesPrefix.size());
    std::vector<NativeFile> files;
    while (!argument.empty()) {
        NativeFile file = -1;
        const auto [end, error] = std::from_chars(argument.data(), argument.data() + argument.size(), file);
        // 0 is never a handed file: a child's descriptor 0 is its standard
        // input (the null device that start() gives it), and a handle 0 is no
        // handle at all.
        if (error != std::errc() || file <= 0)
            return std::nullopt;
        files.push_back(file);
        argument.remove_prefix(static_cast<std::size_t>(end - argument.data()));
        if (!argument.empty()) {
            if (argument.front() != ',' || argument.size() == 1)
                return std::nullopt;
            argument.remove_prefix(1);
        }
    }
    return files;
}

std::string ProcessEnd::description() const
{
    switch (kind) {
    case Kind::Exited:
        return "it ended with status " + std::to_string(code);
    case Kind::OverCpuTime:
        return "it used up its processor time";
    case Kind::OverFileSize:
        return "it wrote more than its file size limit";
    case Kind::Signalled:
        break;
    }
    return signalDescription(code);
}

int ChildProcess::send(std::string_view bytes)
{
    return writeChannel(m_channel, bytes);
}

} // namespace vidlume::platform
