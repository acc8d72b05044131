#include "site/SiteGallery.h"

#include "page/PathNames.h"
#include "platform/FileSystem.h"
#include "site/SiteFiles.h"
#include "site/SiteFolders.h"

#include <algorithm>
#include <cstdio>

namespace vidlume::site {

namespace {

const char* const style = R"(<style>
:root{color-scheme:light dark;--bg:#fafafa;--fg:#1b1b1b;--muted:#4d4d4d;--card:#fff;--line:#d0d0d0;--link:#0b57b0;--tile:#e4e4e4}
@media (prefers-color-scheme:dark){:root{--bg:#151515;--fg:#ececec;--muted:#bdbdbd;--card:#222;--line:#3d3d3d;--link:#8cb8ff;--tile:#333}}
*{box-sizing:border-box}
body{margin:0;background:var(--bg);color:var(--fg);font:16px/1.45 system-ui,sans-serif}
header,main,footer{max-width:75rem;margin:0 auto;padding:0 1rem}
header{padding-top:1rem}
h1{font-size:1.6rem;margin:.5rem 0}
h2{font-size:1.2rem;margin:1.5rem 0 .5rem;overflow-wrap:anywhere}
ul.videos{list-style:none;margin:0;padding:0;display:grid;gap:1rem;grid-template-columns:repeat(auto-fill,minmax(14rem,1fr))}
ul.videos li{background:var(--card);border:1px solid var(--line);border-radius:.4rem;overflow:hidden}
ul.videos a{display:block;color:var(--link);text-decoration:none}
ul.videos a:hover .title,ul.videos a:focus .title{text-decoration:underline}
a:focus-visible{outline:3px solid var(--link);outline-offset:2px}
ul.videos img,.tile{display:block;width:100%;height:auto;aspect-ratio:4/3;object-fit:cover;background:var(--tile)}
.tile{display:flex;align-items:center;justify-content:center;font-size:2.5rem;color:var(--muted)}
.title{display:block;padding:.5rem .75rem 0;font-weight:600;overflow-wrap:anywhere}
.facts{display:block;padding:.25rem .75rem .6rem;color:var(--muted);font-size:.875rem}
.gone{padding:.5rem .75rem .75rem;color:var(--muted);font-size:.875rem;font-style:italic}
nav ul{list-style:none;padding:0;display:flex;flex-wrap:wrap;gap:.5rem}
nav a,nav span{display:inline-block;min-width:2.75rem;padding:.5rem .75rem;border:1px solid var(--line);border-radius:.3rem;text-align:center}
nav a{color:var(--link)}
nav [aria-current]{font-weight:700}
</style>
)";

const char hexDigits[] = "0123456789ABCDEF";

/// A picture a gallery entry shows and the words around it.
struct Entry
{
    const PlanEntry* plan;
    const JobResult* result; // the finished job's; may be an older one for a gone video
};

std::string pageName(std::size_t number)
{
    return number == 1 ? "index.htm" : "index-" + std::to_string(number) + ".htm";
}

std::string address(const std::string& relative)
{
    std::string encoded;
    std::size_t start = 0;
    for (;;) {
        const auto slash = relative.find('/', start);
        encoded += encodeSegment(relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos)
            return encoded;
        encoded += '/';
        start = slash + 1;
    }
}

std::string lengthText(std::int64_t ms)
{
    const std::int64_t seconds = (ms + 500) / 1000;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}

std::string titleOf(const Entry& entry)
{
    if (entry.result && !entry.result->title.empty())
        return entry.result->title;
    return stemOf(fileNameOf(entry.plan->source));
}

std::string entryHtml(const Entry& entry)
{
    const JobResult& result = *entry.result;
    const std::string title = escapeText(titleOf(entry));
    std::string html = "<li><a href=\"" + address(entry.plan->folder) + "/index.htm\">";
    if (!result.picture.empty())
        html += "<img src=\"vidlume-site/pictures/" + encodeSegment(result.picture) + "\" width=\"" +
                std::to_string(result.pictureWidth) + "\" height=\"" + std::to_string(result.pictureHeight) +
                "\" loading=\"lazy\" decoding=\"async\" alt=\"Picture from " + title + "\">";
    else
        html += "<span class=\"tile\" aria-hidden=\"true\">&#9654;</span>";
    html += "<span class=\"title\">" + title + "</span></a>";
    std::vector<std::string> facts;
    if (result.durationMs >= 0)
        facts.push_back("<span class=\"visually\">Length </span>" + lengthText(result.durationMs));
    if (result.width > 0 && result.height > 0)
        facts.push_back(std::to_string(result.width) + "&#215;" + std::to_string(result.height));
    facts.push_back("<time datetime=\"" + escapeText(result.date.empty() ? utcDate(entry.plan->modifiedNs) : result.date) + "\">" +
                    escapeText(result.date.empty() ? utcDate(entry.plan->modifiedNs) : result.date) + "</time>");
    html += "<span class=\"facts\">";
    for (std::size_t i = 0; i < facts.size(); ++i)
        html += (i ? " &#183; " : "") + facts[i];
    html += "</span>";
    if (entry.plan->gone)
        html += "<p class=\"gone\">Its source is gone from the archive.</p>";
    return html + "</li>\n";
}

std::string navigation(std::size_t current, std::size_t pages)
{
    if (pages < 2)
        return {};
    std::string html = "<nav aria-label=\"Pages of the gallery\"><ul>\n";
    for (std::size_t number = 1; number <= pages; ++number) {
        if (number == current)
            html += "<li><span aria-current=\"page\">" + std::to_string(number) + "</span></li>\n";
        else
            html += "<li><a href=\"" + pageName(number) + "\">" + std::to_string(number) + "</a></li>\n";
    }
    return html + "</ul></nav>\n";
}

} // namespace

std::string encodeSegment(const std::string& name)
{
    std::string encoded;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            std::string_view("-_.!~*()").find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hexDigits[byte >> 4];
            encoded += hexDigits[byte & 0xF];
        }
    }
    return encoded;
}

std::string escapeText(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && length == 2 && c < 0xC2)
            valid = false;
        if (!valid) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&#39;";
        } else if (c < 0x20 || c == 0x7F) {
            out += ' ';
        } else {
            out += char(c);
        }
        i += length;
    }
    return out;
}

std::string utcDate(std::int64_t nanoseconds)
{
    // Days to a civil date, in the proleptic Gregorian calendar.
    std::int64_t seconds = nanoseconds / 1000000000;
    if (nanoseconds % 1000000000 < 0)
        --seconds;
    std::int64_t days = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const std::int64_t month = shifted < 10 ? shifted + 3 : shifted - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day));
    return text;
}

std::vector<std::pair<std::string, std::string>> galleryPages(const SitePlan& plan,
                                                               const std::map<int, JobResult>& results)
{
    std::vector<Entry> entries;
    for (const PlanEntry& entry : plan.entries) {
        const auto found = results.find(entry.index);
        if (found != results.end() && found->second.done && found->second.folder == entry.folder)
            entries.push_back({&entry, &found->second});
    }
    // Sections in the order of their folders, the videos of each in the order of theirs.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const std::string sa = sectionOf(a.plan->folder);
        const std::string sb = sectionOf(b.plan->folder);
        return sa != sb ? sa < sb : a.plan->folder < b.plan->folder;
    });
    const std::size_t pages = std::max<std::size_t>(1, (entries.size() + galleryPageSize - 1) / galleryPageSize);
    const std::string count = std::to_string(entries.size()) + (entries.size() == 1 ? " video" : " videos");

    std::vector<std::pair<std::string, std::string>> files;
    for (std::size_t page = 1; page <= pages; ++page) {
        const std::string heading = pages > 1 ? "Videos, page " + std::to_string(page) + " of " +
                                                    std::to_string(pages)
                                              : std::string("Videos");
        std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                           "<meta name=\"generator\" content=\"Vidlume\">\n<title>" +
                           heading + "</title>\n" + style +
                           "<style>.visually{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap}</style>\n"
                           "</head>\n<body>\n<header>\n<h1>" +
                           heading + "</h1>\n<p>" + count + "</p>\n" + navigation(page, pages) + "</header>\n<main>\n";
        const std::size_t first = (page - 1) * galleryPageSize;
        const std::size_t last = std::min(entries.size(), first + galleryPageSize);
        std::string section;
        bool open = false;
        for (std::size_t i = first; i < last; ++i) {
            const std::string here = sectionOf(entries[i].plan->folder);
            if (!open || here != section) {
                if (open)
                    html += "</ul>\n</section>\n";
                section = here;
                open = true;
                const std::string name = here.empty() ? std::string("Top folder") : escapeText(here);
                html += "<section aria-label=\"" + name + "\">\n<h2>" + name + "</h2>\n<ul class=\"videos\">\n";
            }
            html += entryHtml(entries[i]);
        }
        if (open)
            html += "</ul>\n</section>\n";
        if (entries.empty())
            html += "<p>No video is published yet.</p>\n";
        html += "</main>\n<footer>\n" + navigation(page, pages) + "<p>Made with Vidlume.</p>\n</footer>\n</body>\n</html>\n";
        files.emplace_back(pageName(page), std::move(html));
    }
    return files;
}

int writeGallery(const std::string& site, const SitePlan& plan, const std::map<int, JobResult>& results,
                 std::string& failed)
{
    const auto pages = galleryPages(plan, results);
    // The numbered pages first, the first page last: it links to all.
    for (std::size_t i = pages.size(); i-- > 0;) {
        const std::string path = childPath(site, pages[i].first);
        if (const int error = platform::writeWholeFile(path, pages[i].second)) {
            failed = path;
            return error;
        }
    }
    // Numbered pages of a larger gallery before.
    for (std::size_t number = pages.size() + 1;; ++number) {
        const std::string path = childPath(site, "index-" + std::to_string(number) + ".htm");
        if (platform::removeFile(path) != 0)
            break;
    }
    return 0;
}

} // namespace vidlume::site
