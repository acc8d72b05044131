// A child's standard error, in pieces as the pipe gives them, made into the
// lines shown on the user's terminal, and the converter's lines in our words.
#include "platform/PrintableText.h"
#include "publish/ConverterErrorLine.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

namespace {

// What may reach a terminal: no C0 control but tab, no DEL, no U+0080..U+009F.
void checkPrintable(std::string_view line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f)
            std::abort();
        if (byte == 0xc2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) <= 0x9f)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::size_t handed = 0;
    vidlume::platform::ErrorTextRelay relay(
        [](void* count, std::string_view line) {
            checkPrintable(line);
            if (line.size() > vidlume::platform::ErrorTextRelay::lineLimit + 64)
                std::abort();
            if (const auto said = vidlume::converterErrorLine(line)) {
                checkPrintable(*said);
                if (said->size() > line.size() + 128)
                    std::abort();
            }
            *static_cast<std::size_t*>(count) += line.size() + 1;
        },
        &handed);
    while (input.remaining_bytes() > 0)
        relay.add(input.ConsumeRandomLengthString(4096));
    relay.finish();
    if (handed > vidlume::platform::ErrorTextRelay::totalLimit + 128)
        std::abort();
    return 0;
}
