#include "page/BuildPlayerPage.h"

#include "app/Error.h"
#include "app/GlobalUnit.h"
#include "page/PageEscaping.h"
#include "page/PathNames.h"
#include "page/PlayerFiles.h"
#include "page/SplitString.h"

namespace vidlume {

namespace {

// Hosts of the Flash plug-in: where a browser fetches the ActiveX control's
// cabinet file, and the page that offers the plug-in for download.
const char* const cabHost = "download.macromedia.com";
const char* const pluginPageHost = "www.macromedia.com";

const char* const lineBreak = "\r\n";

const char* const flashvarsTail =
    "&hardwarescaling=false&darkcolor=000000&brightcolor=4c4c4c&controlcolor=FFFFFF&hovercolor=67A8C1\">";

/// Every value the page uses, derived from the inputs and already escaped for
/// the place it goes. An empty width or height stands for a missing one.
struct PageValues
{
    std::string width;
    std::string height;
    std::string playerReference;
    std::string videoSource;
    std::string posterValue;
    std::string logoValue;
    std::string logoWidth;
    std::string logoLink;
    std::string autostartWord;
    std::string alphaText;
    std::string positionPiece;
};

bool endsWithSlash(const std::string& webPath)
{
    return TGlobalObject::RightText(webPath, 1) == "/";
}

std::string joinedUnder(const std::string& webPath, const std::string& name)
{
    return endsWithSlash(webPath) ? webPath + name : webPath + "/" + name;
}

// The poster and logo live beside the video, so they only get the video's web
// path; an empty image path gives an empty value, never a bare web path.
std::string imageValue(const std::string& imagePath, const std::string& videoPath, platform::PathStyle style)
{
    const std::string name = fileNameOf(imagePath, style);
    if (imagePath.empty() || videoPath.empty())
        return name;
    return joinedUnder(videoPath, name);
}

std::string positionPiece(LogoPosition position)
{
    switch (position) {
    case LogoPosition::TopLeft:
        return "&logoposition=top left";
    case LogoPosition::TopRight:
        return "&logoposition=top right";
    case LogoPosition::BottomLeft:
        return "&logoposition=bottom left";
    case LogoPosition::BottomRight:
        return "&logoposition=bottom right";
    case LogoPosition::None:
        break;
    }
    return {};
}

PageValues derivePageValues(const PageInputs& in, platform::PathStyle style)
{
    PageValues v;

    if (!in.videoSize.empty()) {
        const auto pieces = SplitString(in.videoSize, "x");
        // The size text must hold an "x": asking for a height that is not there
        // is the error the user sees.
        if (pieces.size() < 2)
            throw Error("List index out of bounds (1)");
        v.width = escapeAttributeValue(pieces[0]);
        v.height = escapeAttributeValue(pieces[1]);
    }

    v.playerReference = escapeAttributeValue(
        in.flvPlayerPath.empty() ? flashPlayerFileName : joinedUnder(in.flvPlayerPath, flashPlayerFileName));

    const std::string videoName = fileNameOf(in.videoFile, style);
    v.videoSource =
        encodeFlashvarsValue(in.videoPath.empty() ? videoName : joinedUnder(in.videoPath, videoName));
    v.posterValue = encodeFlashvarsValue(imageValue(in.thumbnailImage, in.videoPath, style));
    v.logoValue = encodeFlashvarsValue(imageValue(in.logoImage, in.videoPath, style));
    v.logoWidth = encodeFlashvarsValue(in.logoWidth);
    v.logoLink = encodeFlashvarsValue(in.logoLink);

    v.autostartWord = in.autoPlay ? "true" : "false";
    v.alphaText = std::to_string(in.logoAlpha);
    v.positionPiece = positionPiece(in.logoPosition);
    return v;
}

std::string orDefault(const std::string& value, const char* fallback)
{
    return value.empty() ? fallback : value;
}

// The object element, for browsers that host Flash as an ActiveX control: the
// settings are param elements, and the logo settings follow their texts rather
// than the logo check box.
std::string objectHalf(const PageInputs& in, const PageValues& v)
{
    std::string page;
    page += "<html><head><title></title><style type=\"text/css\"><!--";
    page += "a:link {color: #ddddff;}a:visited {color: #ffdddd;}a:active {color: #ddffdd;}"
            "a:hover {background-color: #eeeeff;color:#0000dd;}";
    page += "--></style></head><body style=\"background:#000;color:#fff;\"><p align=\"center\">"
            "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=\"http://";
    page += cabHost;
    page += "/pub/shockwave/cabs/flash/swflash.cab#version=10,0,45,2\"";
    page += " width=\"" + orDefault(v.width, "640") + "\"";
    page += " height=\"" + orDefault(v.height, "480") + "\">";

    page += "\t<param name=\"allowFullscreen\" value=\"true\">";
    page += lineBreak;
    page += "\t<param name=\"allowScriptAccess\" value=\"always\">";
    page += lineBreak;
    page += "\t<param name=\"movie\" value=\"" + v.playerReference + "\">";
    page += lineBreak;
    page += "\t<param name=\"bgcolor\" value=\"#000000\">";
    page += lineBreak;
    page += "\t<param name=\"quality\" value=\"high\">";
    page += lineBreak;
    page += "\t<param name=\"scale\" value=\"noscale\">";
    page += lineBreak;
    page += "\t<param name=\"wmode\" value=\"opaque\">";
    page += lineBreak;

    page += "\t<param name=\"flashvars\" value=\"source=" + v.videoSource;
    page += "&type=video&streamtype=file&autostart=" + v.autostartWord;
    if (in.thumbnail)
        page += "&poster=" + v.posterValue;
    if (in.logo)
        page += "&logo=" + v.logoValue;
    page += v.positionPiece;
    page += "&logoalpha=" + v.alphaText;
    if (!in.logoWidth.empty())
        page += "&logowidth=" + v.logoWidth;
    if (!in.logoLink.empty())
        page += "&logolink=" + v.logoLink;
    page += flashvarsTail;
    page += "\t<param name=\"seamlesstabbing\" value=\"false\">";
    page += lineBreak;
    return page;
}

// The embed element, for plug-in browsers: the settings are attributes, and all
// logo settings hang on the logo check box, with a fixed logo width.
std::string embedHalf(const PageInputs& in, const PageValues& v)
{
    std::string page;
    page += " \t<embed type=\"application/x-shockwave-flash\" pluginspage=\"http://";
    page += pluginPageHost;
    page += "/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash\" ";
    // Only a given width is followed by a space; the default one is not.
    page += v.width.empty() ? " width=\"640\"" : " width=\"" + v.width + "\" ";
    page += " height=\"" + orDefault(v.height, "480") + "\" ";
    page += " src=\"" + v.playerReference +
            "\" allowfullscreen=\"true\" allowscriptaccess=\"always\" bgcolor=\"#000000\" quality=\"high\""
            " scale=\"noscale\" wmode=\"opaque\" ";
    page += lineBreak;

    page += " flashvars=\"source=" + v.videoSource;
    page += "&type=video&streamtype=file&autostart=" + v.autostartWord;
    if (in.thumbnail)
        page += "&poster=" + v.posterValue;
    if (in.logo) {
        page += "&logo=" + v.logoValue;
        page += v.positionPiece;
        page += "&logoalpha=" + v.alphaText;
        page += "&logowidth=100";
        if (!in.logoLink.empty())
            page += "&logolink=" + v.logoLink;
    }
    page += flashvarsTail;
    page += lineBreak;
    page += "\t  <noembed></noembed></embed></object>";
    if (in.html5)
        page += std::string("<script src=\"") + html5PlayerScriptName + "\"></script>";
    page += "</body></html>";
    return page;
}

} // namespace

std::string BuildPlayerPage(const PageInputs& inputs, platform::PathStyle style)
{
    const PageValues values = derivePageValues(inputs, style);
    return objectHalf(inputs, values) + embedHalf(inputs, values);
}

} // namespace vidlume
