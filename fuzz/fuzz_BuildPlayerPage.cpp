// The page builder with every input field taken from the fuzz data. Whatever the
// texts hold, they must not add a quote or an angle bracket to the page: the
// page built from the same check boxes with harmless texts has as many.
#include "app/Error.h"
#include "page/BuildPlayerPage.h"
#include "page/PageEscaping.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

struct Markup
{
    long quotes = 0;
    long opens = 0;
    long closes = 0;
    bool operator==(const Markup&) const = default;
};

Markup markupOf(const std::string& page)
{
    return {std::count(page.begin(), page.end(), '"'), std::count(page.begin(), page.end(), '<'),
            std::count(page.begin(), page.end(), '>')};
}

bool hasNoMarkup(const std::string& text)
{
    return text.find_first_of("\"<>") == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vidlume;
    FuzzedDataProvider input(data, size);

    PageInputs in;
    in.autoPlay = input.ConsumeBool();
    in.thumbnail = input.ConsumeBool();
    in.logo = input.ConsumeBool();
    in.html5 = input.ConsumeBool();
    in.logoAlpha = input.ConsumeIntegral<int>();
    in.logoPosition =
        input.PickValueInArray({LogoPosition::None, LogoPosition::TopLeft, LogoPosition::TopRight,
                                LogoPosition::BottomLeft, LogoPosition::BottomRight});
    const auto style = input.ConsumeBool() ? platform::PathStyle::Windows : platform::PathStyle::Posix;
    in.videoFile = input.ConsumeRandomLengthString(96);
    in.videoSize = input.ConsumeRandomLengthString(32);
    in.videoPath = input.ConsumeRandomLengthString(96);
    in.flvPlayerPath = input.ConsumeRandomLengthString(96);
    in.thumbnailImage = input.ConsumeRandomLengthString(96);
    in.logoImage = input.ConsumeRandomLengthString(96);
    in.logoWidth = input.ConsumeRandomLengthString(32);
    in.logoLink = input.ConsumeRandomLengthString(96);
    in.outputDir = input.ConsumeRemainingBytesAsString();

    // Each escaping on its own: no markup character survives it.
    if (!hasNoMarkup(encodeFlashvarsValue(in.videoFile)) || !hasNoMarkup(escapeAttributeValue(in.videoFile)))
        std::abort();

    std::string page;
    try {
        page = BuildPlayerPage(in, style);
    } catch (const Error&) {
        // A size text without an "x" is refused, and only that.
        if (in.videoSize.empty() || in.videoSize.find('x') != std::string::npos)
            std::abort();
        return 0;
    }

    PageInputs plain = in;
    plain.videoFile = "v.flv";
    plain.videoSize = "1x1";
    plain.videoPath = "p";
    plain.flvPlayerPath = "p";
    plain.thumbnailImage = "t.jpg";
    plain.logoImage = "l.png";
    plain.logoWidth = "1";
    plain.logoLink = "l";
    if (markupOf(page) != markupOf(BuildPlayerPage(plain, style)))
        std::abort();
    return 0;
}
