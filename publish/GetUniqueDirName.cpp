#include "publish/GetUniqueDirName.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>

namespace vidlume {

std::string GetUniqueDirName(const std::string& base)
{
    return firstFreeDirName(base, 0);
}

std::string uniqueDirCandidate(const std::string& base, std::uint64_t index)
{
    if (index == 0)
        return base;
    if (index == 1)
        return base + "_(new)";
    return base + "_(new_" + std::to_string(index - 1) + ")";
}

std::uint64_t uniqueDirIndex(const std::string& base, const std::string& name)
{
    if (name == base + "_(new)")
        return 1;
    const std::string prefix = base + "_(new_";
    if (name.size() <= prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0 || name.back() != ')')
        return 0;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 1);
    const bool numeric =
        digits.size() <= 18 && digits.front() != '0' &&
        std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); });
    return numeric ? std::stoull(digits) + 1 : 0;
}

std::string firstFreeDirName(const std::string& base, std::uint64_t index)
{
    for (;; ++index) {
        std::string candidate = uniqueDirCandidate(base, index);
        if (!platform::entryExists(candidate))
            return candidate;
    }
}

} // namespace vidlume
