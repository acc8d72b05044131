// The settings file updater on arbitrary file text, section, key and value.
#include "app/IniText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

namespace {

// A name as the program writes one: no line break, no "=", "[" or "]", and no
// blank at either end.
bool isPlainName(const std::string& name)
{
    return !name.empty() && name.find_first_of("\r\n=[]") == std::string::npos && name.front() != ' ' &&
           name.front() != '\t' && name.back() != ' ' && name.back() != '\t' && name.front() != ';';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string text = input.ConsumeRemainingBytesAsString();

    const std::string once = vidlume::setIniValue(text, section, key, value);

    // Writing the same value again changes nothing, and the text holds the line,
    // for the names and values the program writes.
    if (isPlainName(section) && isPlainName(key) && value.find_first_of("\r\n") == std::string::npos) {
        if (vidlume::setIniValue(once, section, key, value) != once)
            std::abort();
        if (once.find("=" + value) == std::string::npos)
            std::abort();
        // What was written reads back, for values without blanks or quotes at their ends.
        const bool plainValue = value.empty() || (value.front() != ' ' && value.front() != '\t' &&
                                                  value.back() != ' ' && value.back() != '\t' &&
                                                  value.front() != '"' && value.back() != '\r');
        if (plainValue && vidlume::iniValue(once, section, key) != value)
            std::abort();
    }
    (void)vidlume::iniValue(text, section, key);
    return 0;
}
