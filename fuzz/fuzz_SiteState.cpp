// The site's plan and job result readers on arbitrary file text, and the
// converter's picture lines. Whatever is read back must write out again to
// text that reads back the same, and never name a folder outside the site.
#include "media/PictureProtocol.h"
#include "site/SiteFolders.h"
#include "site/SiteState.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vidlume::site;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string whyNot;
    if (const auto plan = parsePlan(text, whyNot)) {
        for (const PlanEntry& entry : plan->entries)
            if (!isSafeFolder(entry.folder))
                std::abort();
        const std::string written = planText(*plan);
        const auto again = parsePlan(written, whyNot);
        if (!again || planText(*again) != written)
            std::abort();
    } else if (whyNot.empty()) {
        std::abort();
    }
    if (const auto result = parseResult(text, whyNot)) {
        if (result->done && !isSafeFolder(result->folder))
            std::abort();
        const std::string written = resultText(*result);
        const auto again = parseResult(written, whyNot);
        if (!again || resultText(*again) != written)
            std::abort();
    }
    vidlume::converter::parsePictureMessage(text);
    return 0;
}
