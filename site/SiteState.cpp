#include "site/SiteState.h"

#include "site/SiteFolders.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace vidlume::site {

namespace {

using Json = nlohmann::json;

constexpr const char* planFormat = "vidlume-site-plan";
constexpr const char* resultFormat = "vidlume-site-job";
constexpr int formatVersion = 1;
constexpr int maxDepth = 8;
constexpr int maxIndex = 100000000;
constexpr std::size_t maxEntries = 1000000;

bool isUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t point = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (next & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

const char hexDigits[] = "0123456789abcdef";

/// Text as JSON: a string when it is UTF-8, else {"hex": "..."} with its
/// bytes, so that a name in an old single-byte encoding comes back byte for byte.
Json textValue(const std::string& text)
{
    if (isUtf8(text))
        return text;
    std::string hex;
    for (const char c : text) {
        hex += hexDigits[static_cast<unsigned char>(c) >> 4];
        hex += hexDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return Json{{"hex", hex}};
}

/// Nesting deeper than any file of ours, refused before parsing.
bool tooDeep(const std::string& text)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

/// Reads fields of one object, noting the first that is wrong.
class Reader
{
public:
    Reader(const Json& object, std::string where, std::string& whyNot)
        : m_object(object), m_where(std::move(where)), m_whyNot(whyNot)
    {
        if (!object.is_object())
            fail(m_where + " is not an object");
    }

    bool ok() const { return m_whyNot.empty(); }

    std::string text(const char* name, std::size_t maxBytes = 65536)
    {
        const Json* value = find(name);
        if (!value)
            return {};
        std::string result;
        if (value->is_string()) {
            result = value->get<std::string>();
        } else if (value->is_object() && value->size() == 1 && value->contains("hex") && (*value)["hex"].is_string()) {
            const std::string hex = (*value)["hex"].get<std::string>();
            if (hex.size() % 2)
                return wrong(name, "holds an odd number of hex digits"), std::string();
            for (std::size_t i = 0; i < hex.size(); i += 2) {
                const int high = digit(hex[i]);
                const int low = digit(hex[i + 1]);
                if (high < 0 || low < 0)
                    return wrong(name, "holds a character that is no hex digit"), std::string();
                result += static_cast<char>(high * 16 + low);
            }
        } else {
            return wrong(name, "is not text"), std::string();
        }
        if (result.size() > maxBytes)
            return wrong(name, "is too long"), std::string();
        if (result.find('\0') != std::string::npos)
            return wrong(name, "holds a zero byte"), std::string();
        return result;
    }

    bool flag(const char* name)
    {
        const Json* value = find(name);
        if (value && !value->is_boolean())
            return wrong(name, "is neither true nor false"), false;
        return value && value->get<bool>();
    }

    std::int64_t number(const char* name, std::int64_t least, std::int64_t most)
    {
        const Json* value = find(name);
        if (!value)
            return least;
        if (!value->is_number_integer())
            return wrong(name, "is not a whole number"), least;
        if (value->is_number_unsigned() && value->get<std::uint64_t>() > std::uint64_t(most))
            return wrong(name, "is out of range"), least;
        const auto number = value->get<std::int64_t>();
        if (number < least || number > most)
            return wrong(name, "is out of range"), least;
        return number;
    }

    const Json* list(const char* name)
    {
        const Json* value = find(name);
        if (value && !value->is_array())
            return wrong(name, "is not a list"), nullptr;
        if (value && value->size() > maxEntries)
            return wrong(name, "has too many entries"), nullptr;
        return value;
    }

    const Json* object(const char* name)
    {
        const Json* value = find(name);
        if (!value || !value->is_object())
            return wrong(name, "is missing or not an object"), nullptr;
        return value;
    }

    void fail(const std::string& reason)
    {
        if (m_whyNot.empty())
            m_whyNot = reason;
    }

private:
    static int digit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    }

    const Json* find(const char* name)
    {
        if (!ok() || !m_object.is_object())
            return nullptr;
        const auto found = m_object.find(name);
        return found == m_object.end() ? nullptr : &*found;
    }

    void wrong(const char* name, const char* what) { fail(m_where + ": \"" + name + "\" " + what); }

    const Json& m_object;
    std::string m_where;
    std::string& m_whyNot;
};

const char* positionName(LogoPosition position)
{
    switch (position) {
    case LogoPosition::TopLeft:
        return "top-left";
    case LogoPosition::TopRight:
        return "top-right";
    case LogoPosition::BottomLeft:
        return "bottom-left";
    case LogoPosition::BottomRight:
        return "bottom-right";
    case LogoPosition::None:
        break;
    }
    return "none";
}

bool positionFrom(const std::string& name, LogoPosition& position)
{
    for (const LogoPosition each : {LogoPosition::None, LogoPosition::TopLeft, LogoPosition::TopRight,
                                    LogoPosition::BottomLeft, LogoPosition::BottomRight}) {
        if (name == positionName(each)) {
            position = each;
            return true;
        }
    }
    return false;
}

std::optional<Json> parsed(const std::string& text, std::string& whyNot)
{
    if (tooDeep(text)) {
        whyNot = "it is nested deeper than any file of ours";
        return std::nullopt;
    }
    Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) {
        whyNot = "it is not JSON";
        return std::nullopt;
    }
    return json;
}

bool checkFormat(Reader& reader, const char* format)
{
    const std::string name = reader.text("format", 64);
    if (reader.ok() && name != format)
        reader.fail("it is not a file of this kind (format \"" + name + "\", wanted \"" + format + "\")");
    const auto version = reader.number("version", 0, std::numeric_limits<int>::max());
    if (reader.ok() && version != formatVersion)
        reader.fail("its version " + std::to_string(version) + " is not one this program reads");
    return reader.ok();
}

} // namespace

std::string planText(const SitePlan& plan)
{
    const PageInputs& o = plan.options;
    Json options = {
        {"size", textValue(o.videoSize)},
        {"autoplay", o.autoPlay},
        {"video_path", textValue(o.videoPath)},
        {"player_path", textValue(o.flvPlayerPath)},
        {"thumbnail", o.thumbnail},
        {"thumbnail_image", textValue(o.thumbnailImage)},
        {"logo", o.logo},
        {"logo_image", textValue(o.logoImage)},
        {"logo_alpha", o.logoAlpha},
        {"logo_position", positionName(o.logoPosition)},
        {"logo_width", textValue(o.logoWidth)},
        {"logo_link", textValue(o.logoLink)},
        {"html5", o.html5},
    };
    Json videos = Json::array();
    for (const PlanEntry& entry : plan.entries) {
        videos.push_back({
            {"index", entry.index},
            {"source", textValue(entry.source)},
            {"relative", textValue(entry.relative)},
            {"folder", textValue(entry.folder)},
            {"size", entry.size},
            {"modified_ns", entry.modifiedNs},
            {"hash", textValue(entry.hash)},
            {"captions", textValue(entry.captions)},
            {"gone", entry.gone},
        });
    }
    const Json json = {
        {"format", planFormat},     {"version", formatVersion},   {"converter", textValue(plan.converter)},
        {"images", textValue(plan.images)}, {"next_index", plan.nextIndex}, {"options", options},
        {"videos", videos},
    };
    return json.dump(1) + "\n";
}

std::optional<SitePlan> parsePlan(const std::string& text, std::string& whyNot)
{
    whyNot.clear();
    if (text.size() > maxPlanBytes) {
        whyNot = "it is larger than a plan can be";
        return std::nullopt;
    }
    const std::optional<Json> json = parsed(text, whyNot);
    if (!json)
        return std::nullopt;
    Reader top(*json, "the plan", whyNot);
    if (!checkFormat(top, planFormat))
        return std::nullopt;
    SitePlan plan;
    plan.converter = top.text("converter", 1024);
    plan.images = top.text("images");
    plan.nextIndex = int(top.number("next_index", 0, maxIndex));
    const Json* options = top.object("options");
    const Json* videos = top.list("videos");
    if (!top.ok())
        return std::nullopt;

    Reader o(*options, "the plan's options", whyNot);
    PageInputs& in = plan.options;
    in.videoSize = o.text("size", 1024);
    in.autoPlay = o.flag("autoplay");
    in.videoPath = o.text("video_path");
    in.flvPlayerPath = o.text("player_path");
    in.thumbnail = o.flag("thumbnail");
    in.thumbnailImage = o.text("thumbnail_image");
    in.logo = o.flag("logo");
    in.logoImage = o.text("logo_image");
    in.logoAlpha = int(o.number("logo_alpha", 0, 100));
    const std::string position = o.text("logo_position", 64);
    if (o.ok() && !positionFrom(position, in.logoPosition))
        o.fail("the plan's options: \"logo_position\" is none of the corners");
    in.logoWidth = o.text("logo_width");
    in.logoLink = o.text("logo_link");
    in.html5 = o.flag("html5");
    if (!o.ok())
        return std::nullopt;

    int lastIndex = -1;
    FolderAssigner folders;
    for (std::size_t i = 0; videos && i < videos->size(); ++i) {
        Reader v((*videos)[i], "video " + std::to_string(i + 1) + " of the plan", whyNot);
        PlanEntry entry;
        entry.index = int(v.number("index", 0, maxIndex));
        entry.source = v.text("source");
        entry.relative = v.text("relative");
        entry.folder = v.text("folder");
        entry.size = std::uint64_t(v.number("size", 0, std::numeric_limits<std::int64_t>::max()));
        entry.modifiedNs = v.number("modified_ns", std::numeric_limits<std::int64_t>::min(),
                                    std::numeric_limits<std::int64_t>::max());
        entry.hash = v.text("hash", 256);
        entry.captions = v.text("captions");
        entry.gone = v.flag("gone");
        if (!v.ok())
            return std::nullopt;
        if (entry.source.empty())
            v.fail("video " + std::to_string(i + 1) + " of the plan names no source");
        else if (entry.index <= lastIndex)
            v.fail("video " + std::to_string(i + 1) + " of the plan is out of order or repeats an index");
        else if (entry.index >= plan.nextIndex)
            v.fail("video " + std::to_string(i + 1) + " of the plan has an index past \"next_index\"");
        else if (!folders.keep(entry.folder))
            v.fail("video " + std::to_string(i + 1) + " of the plan has a folder that lies outside the site, "
                   "is one of the site's own, or is another video's: \"" + entry.folder + "\"");
        if (!v.ok())
            return std::nullopt;
        lastIndex = entry.index;
        plan.entries.push_back(std::move(entry));
    }
    return plan;
}

std::string resultText(const JobResult& r)
{
    Json warnings = Json::array();
    for (const std::string& warning : r.warnings)
        warnings.push_back(textValue(warning));
    const Json json = {
        {"format", resultFormat},
        {"version", formatVersion},
        {"index", r.index},
        {"state", r.done ? "done" : "failed"},
        {"reason", textValue(r.reason)},
        {"conversion_key", textValue(r.conversionKey)},
        {"page_key", textValue(r.pageKey)},
        {"folder", textValue(r.folder)},
        {"warnings", warnings},
        {"title", textValue(r.title)},
        {"duration_ms", r.durationMs},
        {"width", r.width},
        {"height", r.height},
        {"date", textValue(r.date)},
        {"picture", textValue(r.picture)},
        {"picture_width", r.pictureWidth},
        {"picture_height", r.pictureHeight},
    };
    return json.dump(1) + "\n";
}

std::optional<JobResult> parseResult(const std::string& text, std::string& whyNot)
{
    whyNot.clear();
    if (text.size() > maxResultBytes) {
        whyNot = "it is larger than a job's result can be";
        return std::nullopt;
    }
    const std::optional<Json> json = parsed(text, whyNot);
    if (!json)
        return std::nullopt;
    Reader r(*json, "the job's result", whyNot);
    if (!checkFormat(r, resultFormat))
        return std::nullopt;
    JobResult result;
    result.index = int(r.number("index", 0, maxIndex));
    const std::string state = r.text("state", 16);
    if (r.ok() && state != "done" && state != "failed")
        r.fail("the job's result: \"state\" is neither done nor failed");
    result.done = state == "done";
    result.reason = r.text("reason");
    result.conversionKey = r.text("conversion_key");
    result.pageKey = r.text("page_key");
    result.folder = r.text("folder");
    result.title = r.text("title", 4096);
    result.durationMs = r.number("duration_ms", -1, std::int64_t(1) << 50);
    result.width = int(r.number("width", 0, 1 << 16));
    result.height = int(r.number("height", 0, 1 << 16));
    result.date = r.text("date", 10);
    result.picture = r.text("picture", 64);
    result.pictureWidth = int(r.number("picture_width", 0, 4096));
    result.pictureHeight = int(r.number("picture_height", 0, 4096));
    const Json* warnings = r.list("warnings");
    if (!r.ok())
        return std::nullopt;
    for (std::size_t i = 0; warnings && i < warnings->size() && i < 1000; ++i) {
        const Json holder = {{"w", (*warnings)[i]}};
        Reader w(holder, "the job's result", whyNot);
        result.warnings.push_back(w.text("w"));
        if (!w.ok())
            return std::nullopt;
    }
    if (result.done && !isSafeFolder(result.folder))
        r.fail("the job's result names a folder outside the site: \"" + result.folder + "\"");
    // The picture lies in the gallery's folder: a plain name, nothing more.
    if (!result.picture.empty() &&
        (result.picture.find_first_of("/\\:") != std::string::npos || result.picture.front() == '.'))
        r.fail("the job's result names a picture outside the gallery's folder");
    if (result.date.size() && result.date.find_first_not_of("0123456789-") != std::string::npos)
        r.fail("the job's result has a date that is not YYYY-MM-DD");
    if (!r.ok())
        return std::nullopt;
    return result;
}

} // namespace vidlume::site
