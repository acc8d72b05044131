#include "upload/DavListing.h"

#include "upload/UploadUrl.h"

#include <expat.h>

#include <charconv>
#include <cstdint>
#include <cstring>

namespace vidlume::upload {

namespace {

constexpr std::size_t largestText = 8192;
constexpr int deepestElement = 64;

/// What one <response> said, as far as it is read.
struct Response
{
    std::string href;
    bool collection = false;
    std::string length;
    std::string propstatStatus;
    bool propsOk = false; // a propstat with status 200 was seen
    bool propsCollection = false;
    std::string propsLength;
};

struct Reader
{
    XML_Parser parser = nullptr;
    bool refused = false;
    int depth = 0;
    std::vector<std::string> path; // local names of open DAV: elements (others as "")
    std::string text;              // of the element whose text is wanted
    bool collectText = false;
    Response response;
    std::vector<Response> responses;
};

/// "DAV:|href" -> "href"; elements of other namespaces -> "".
std::string davName(const XML_Char* name)
{
    constexpr std::string_view prefix = "DAV:|";
    const std::string_view full(name);
    return full.substr(0, prefix.size()) == prefix ? std::string(full.substr(prefix.size())) : std::string();
}

bool within(const Reader& reader, std::initializer_list<const char*> names)
{
    if (reader.path.size() < names.size())
        return false;
    std::size_t at = reader.path.size() - names.size();
    for (const char* name : names)
        if (reader.path[at++] != name)
            return false;
    return true;
}

void refuse(Reader& reader)
{
    reader.refused = true;
    XML_StopParser(reader.parser, XML_FALSE);
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char**)
{
    auto& reader = *static_cast<Reader*>(data);
    if (++reader.depth > deepestElement)
        return refuse(reader);
    reader.path.push_back(davName(name));
    const std::string& element = reader.path.back();
    if (within(reader, {"multistatus", "response"}))
        reader.response = Response();
    else if (within(reader, {"response", "propstat"}))
        reader.response.collection = false, reader.response.length.clear(), reader.response.propstatStatus.clear();
    else if (within(reader, {"prop", "resourcetype", "collection"}))
        reader.response.collection = true;
    reader.collectText = element == "href" || element == "getcontentlength" || element == "status";
    reader.text.clear();
}

void XMLCALL onEnd(void* data, const XML_Char*)
{
    auto& reader = *static_cast<Reader*>(data);
    Response& response = reader.response;
    if (within(reader, {"response", "href"}))
        response.href = reader.text;
    else if (within(reader, {"propstat", "prop", "getcontentlength"}))
        response.length = reader.text;
    else if (within(reader, {"response", "propstat", "status"}))
        response.propstatStatus = reader.text;
    else if (within(reader, {"response", "propstat"})) {
        if (response.propstatStatus.find(" 200 ") != std::string::npos) {
            response.propsOk = true;
            response.propsCollection = response.collection;
            response.propsLength = response.length;
        }
    } else if (within(reader, {"multistatus", "response"}))
        reader.responses.push_back(response);
    reader.collectText = false;
    reader.path.pop_back();
    --reader.depth;
}

void XMLCALL onText(void* data, const XML_Char* text, int length)
{
    auto& reader = *static_cast<Reader*>(data);
    if (!reader.collectText)
        return;
    if (reader.text.size() + std::size_t(length) > largestText)
        return refuse(reader);
    reader.text.append(text, std::size_t(length));
}

void XMLCALL onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
{
    refuse(*static_cast<Reader*>(data));
}

void XMLCALL onEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                      const XML_Char*, const XML_Char*)
{
    refuse(*static_cast<Reader*>(data));
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::strchr(" \t\r\n", text.front()))
        text.remove_prefix(1);
    while (!text.empty() && std::strchr(" \t\r\n", text.back()))
        text.remove_suffix(1);
    return text;
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

/// The href's path: an absolute URL loses its scheme and server.
std::optional<std::string> hrefPath(std::string_view href)
{
    href = trimmed(href);
    for (std::string_view scheme : {"http://", "https://"}) {
        if (href.substr(0, scheme.size()) == scheme) {
            const auto slash = href.find('/', scheme.size());
            href = slash == std::string_view::npos ? std::string_view("/") : href.substr(slash);
        }
    }
    if (href.empty() || href.front() != '/')
        return std::nullopt;
    auto decoded = percentDecodedPath(href);
    if (!decoded)
        return std::nullopt;
    return withoutTrailingSlashes(*decoded);
}

} // namespace

std::optional<std::vector<RemoteEntry>> parseDavListing(std::string_view xml, const std::string& folderPath)
{
    if (xml.size() > std::size_t(INT32_MAX))
        return std::nullopt;
    Reader reader;
    reader.parser = XML_ParserCreateNS(nullptr, '|');
    if (!reader.parser)
        return std::nullopt;
    XML_SetUserData(reader.parser, &reader);
    XML_SetElementHandler(reader.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(reader.parser, onText);
    XML_SetStartDoctypeDeclHandler(reader.parser, onDoctype);
    XML_SetEntityDeclHandler(reader.parser, onEntity);
    XML_SetParamEntityParsing(reader.parser, XML_PARAM_ENTITY_PARSING_NEVER);
    const bool parsed = XML_Parse(reader.parser, xml.data(), int(xml.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(reader.parser);
    if (!parsed || reader.refused)
        return std::nullopt;

    const std::string folder = withoutTrailingSlashes(folderPath);
    const std::string prefix = folder == "/" ? folder : folder + "/";
    std::vector<RemoteEntry> entries;
    for (const Response& response : reader.responses) {
        const auto path = hrefPath(response.href);
        if (!path || *path == folder || path->compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string name = path->substr(prefix.size());
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            continue;
        RemoteEntry entry;
        entry.name = name;
        entry.isFolder = response.propsOk && response.propsCollection;
        entry.isFile = response.propsOk && !response.propsCollection;
        if (entry.isFile) {
            const std::string_view length = trimmed(response.propsLength);
            std::uint64_t size = 0;
            const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), size);
            if (length.empty() || error != std::errc() || end != length.data() + length.size())
                entry.isFile = false; // a file whose size is unknown is never taken as unchanged
            entry.size = size;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace vidlume::upload
