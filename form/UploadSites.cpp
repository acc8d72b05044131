#include "form/UploadSites.h"

#include "app/SettingsFile.h"
#include "upload/UploadUrl.h"

namespace vidlume::form {

namespace {

const std::string section = "Upload Sites";

std::string keyOf(std::size_t index, const char* field)
{
    return "Site" + std::to_string(index + 1) + field;
}

const char* loginName(UploadAuth auth)
{
    switch (auth) {
    case UploadAuth::Password: return "password";
    case UploadAuth::KeyFile: return "key";
    case UploadAuth::Agent: return "agent";
    }
    return "password";
}

UploadAuth loginOf(const std::string& name)
{
    if (name == "key")
        return UploadAuth::KeyFile;
    if (name == "agent")
        return UploadAuth::Agent;
    return UploadAuth::Password;
}

bool hasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

void writeSites(const SettingsFile& file, const std::vector<UploadTarget>& sites)
{
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const UploadTarget& site = sites[i];
        file.writeString(section, keyOf(i, ""), uploadAddress(site));
        file.writeString(section, keyOf(i, "Page"), site.publicUrl);
        file.writeString(section, keyOf(i, "Login"), loginName(site.auth));
        file.writeString(section, keyOf(i, "Key"), site.auth == UploadAuth::KeyFile ? site.keyFile : "");
    }
    // Entries below the list (damaged ones passed over) are emptied, never left to come back.
    for (std::size_t i = sites.size(); i < keptUploadSites; ++i)
        if (file.readString(section, keyOf(i, "")).value_or("") != "")
            file.writeString(section, keyOf(i, ""), "");
}

} // namespace

namespace {

std::optional<UploadTarget> targetOfUrl(const std::string& address)
{
    std::string error;
    const auto url = upload::parseUploadUrl(address, error);
    if (!url || !url->tls)
        return std::nullopt;
    UploadTarget target;
    target.protocol = url->protocol == upload::Protocol::Sftp   ? UploadProtocol::Sftp
                      : url->protocol == upload::Protocol::Ftps ? UploadProtocol::Ftps
                                                                : UploadProtocol::WebDav;
    target.host = url->host;
    target.user = url->user;
    target.remoteFolder = url->path;
    target.port = url->port;
    // The protocol's own port is left for the dialog to fill in.
    UploadTarget withDefaultPort = target;
    withDefaultPort.port = 0;
    if (uploadAddress(withDefaultPort) == uploadAddress(target))
        target.port = 0;
    return target;
}

} // namespace

std::optional<UploadTarget> uploadTargetOf(const std::string& address)
{
    // Only a site that the dialog would name by the same address again: one
    // whose fields the dialog would trim or read otherwise is passed over.
    const auto first = targetOfUrl(address);
    if (!first)
        return std::nullopt;
    const std::string named = uploadAddress(*first);
    auto target = targetOfUrl(named);
    if (!target || uploadAddress(*target) != named)
        return std::nullopt;
    return target;
}

std::vector<UploadTarget> readUploadSites(const SettingsFile& file)
{
    std::vector<UploadTarget> sites;
    for (std::size_t i = 0; i < keptUploadSites; ++i) {
        const auto address = file.readString(section, keyOf(i, ""));
        if (!address)
            break;
        auto site = uploadTargetOf(*address);
        if (!site)
            continue;
        site->publicUrl = file.readString(section, keyOf(i, "Page")).value_or("");
        site->auth = loginOf(file.readString(section, keyOf(i, "Login")).value_or(""));
        if (site->auth == UploadAuth::KeyFile)
            site->keyFile = file.readString(section, keyOf(i, "Key")).value_or("");
        sites.push_back(std::move(*site));
    }
    return sites;
}

void keepUploadSite(const SettingsFile& file, const UploadTarget& target)
{
    UploadTarget kept = target;
    if (hasLineBreak(kept.publicUrl))
        kept.publicUrl.clear();
    if (hasLineBreak(kept.keyFile))
        kept.keyFile.clear();
    const auto address = uploadAddress(kept);
    if (hasLineBreak(address) || !uploadTargetOf(address))
        return;
    std::vector<UploadTarget> sites{kept};
    for (UploadTarget& site : readUploadSites(file))
        if (uploadAddress(site) != address && sites.size() < keptUploadSites)
            sites.push_back(std::move(site));
    writeSites(file, sites);
}

} // namespace vidlume::form
