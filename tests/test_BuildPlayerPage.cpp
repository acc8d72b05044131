#include "page/BuildPlayerPage.h"

#include "app/Error.h"

#include <gtest/gtest.h>

using namespace vidlume;
using platform::PathStyle;

namespace {

const std::string CRLF = "\r\n";

const std::string line1Head =
    "<html><head><title></title><style type=\"text/css\"><!--a:link {color: #ddddff;}a:visited {color: "
    "#ffdddd;}a:active {color: #ddffdd;}a:hover {background-color: "
    "#eeeeff;color:#0000dd;}--></style></head><body "
    "style=\"background:#000;color:#fff;\"><p align=\"center\"><object "
    "classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
    "codebase=\"http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=10,0,45,2\"";
const std::string line1Tail = "\t<param name=\"allowFullscreen\" value=\"true\">";
const std::string line2 = "\t<param name=\"allowScriptAccess\" value=\"always\">";
const std::string lines4To7 =
    "\t<param name=\"bgcolor\" value=\"#000000\">" + CRLF + "\t<param name=\"quality\" value=\"high\">" +
    CRLF + "\t<param name=\"scale\" value=\"noscale\">" + CRLF + "\t<param name=\"wmode\" value=\"opaque\">";
const std::string colours =
    "&hardwarescaling=false&darkcolor=000000&brightcolor=4c4c4c&controlcolor=FFFFFF&hovercolor=67A8C1\">";
const std::string seamless = "\t<param name=\"seamlesstabbing\" value=\"false\">";
const std::string line9Head = " \t<embed type=\"application/x-shockwave-flash\" "
                              "pluginspage=\"http://www.macromedia.com/shockwave/download/"
                              "index.cgi?P1_Prod_Version=ShockwaveFlash\" ";
const std::string srcTail = "\" allowfullscreen=\"true\" allowscriptaccess=\"always\" bgcolor=\"#000000\" "
                            "quality=\"high\" scale=\"noscale\" wmode=\"opaque\" ";
const std::string line11 = "\t  <noembed></noembed></embed></object></body></html>";

PageInputs workedExample1()
{
    PageInputs in;
    in.videoFile = "C:\\Videos\\holiday.flv";
    in.videoSize = "640x480";
    in.autoPlay = true;
    in.videoPath = "videos";
    in.flvPlayerPath = "player/";
    in.thumbnail = true;
    in.thumbnailImage = "C:\\Images\\poster.jpg";
    in.logo = true;
    in.logoImage = "C:\\Images\\logo.png";
    in.logoAlpha = 75;
    in.logoPosition = LogoPosition::BottomRight;
    in.logoWidth = "120";
    in.logoLink = "about.htm";
    return in;
}

const std::string workedExample2Page =
    line1Head + " width=\"320\" height=\"240\">" + line1Tail + CRLF + line2 + CRLF +
    "\t<param name=\"movie\" value=\"flvplayer1.swf\">" + CRLF + lines4To7 + CRLF +
    "\t<param name=\"flashvars\" "
    "value=\"source=holiday.flv&type=video&streamtype=file&autostart=false&logoalpha=0" +
    colours + seamless + CRLF + line9Head + " width=\"320\"  height=\"240\"  src=\"flvplayer1.swf" + srcTail +
    CRLF + " flashvars=\"source=holiday.flv&type=video&streamtype=file&autostart=false" + colours + CRLF +
    line11;

std::vector<std::string> linesOf(const std::string& page)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (auto end = page.find(CRLF); end != std::string::npos; end = page.find(CRLF, start)) {
        lines.push_back(page.substr(start, end - start));
        start = end + CRLF.size();
    }
    lines.push_back(page.substr(start));
    return lines;
}

// The object half is lines 1 to 8, the embed half lines 9 to 11.
std::string objectHalf(const std::string& page)
{
    return page.substr(0, page.find(" \t<embed"));
}
std::string embedHalf(const std::string& page)
{
    return page.substr(page.find(" \t<embed"));
}

} // namespace

TEST(BuildPlayerPage, workedExample1ByteForByte)
{
    const std::string expected =
        line1Head + " width=\"640\" height=\"480\">" + line1Tail + CRLF + line2 + CRLF +
        "\t<param name=\"movie\" value=\"player/flvplayer1.swf\">" + CRLF + lines4To7 + CRLF +
        "\t<param name=\"flashvars\" "
        "value=\"source=videos/holiday.flv&type=video&streamtype=file&autostart=true"
        "&poster=videos/poster.jpg&logo=videos/logo.png&logoposition=bottom right&logoalpha=75&logowidth=120"
        "&logolink=about.htm" +
        colours + seamless + CRLF + line9Head +
        " width=\"640\"  height=\"480\"  src=\"player/flvplayer1.swf" + srcTail + CRLF +
        " flashvars=\"source=videos/holiday.flv&type=video&streamtype=file&autostart=true&poster=videos/"
        "poster.jpg"
        "&logo=videos/logo.png&logoposition=bottom right&logoalpha=75&logowidth=100&logolink=about.htm" +
        colours + CRLF + line11;

    EXPECT_EQ(BuildPlayerPage(workedExample1(), PathStyle::Windows), expected);
}

TEST(BuildPlayerPage, workedExample2ByteForByteInBothPathStyles)
{
    PageInputs windows;
    windows.videoFile = "C:\\Videos\\holiday.flv";
    EXPECT_EQ(BuildPlayerPage(windows, PathStyle::Windows), workedExample2Page);

    PageInputs posix;
    posix.videoFile = "/videos/holiday.flv";
    EXPECT_EQ(BuildPlayerPage(posix, PathStyle::Posix), workedExample2Page);
}

TEST(BuildPlayerPage, html5PlayerAddsOnlyItsScriptsBeforeTheBodyEnds)
{
    for (PageInputs in : {workedExample1(), PageInputs{}}) {
        const std::string flashOnly = BuildPlayerPage(in, PathStyle::Windows);
        in.html5 = true;
        const std::string withHtml5 = BuildPlayerPage(in, PathStyle::Windows);
        const std::string::size_type lastLine = flashOnly.rfind(CRLF) + CRLF.size();
        EXPECT_EQ(withHtml5.substr(0, lastLine), flashOnly.substr(0, lastLine));
        EXPECT_EQ(withHtml5.substr(lastLine),
                  "\t  <noembed></noembed></embed></object><script src=\"vidlume-html5.js\"></script>"
                  "</body></html>");
    }
}

TEST(BuildPlayerPage, alwaysElevenLinesWithFlashvarsAndSeamlessTabbingOnLineEight)
{
    std::vector<PageInputs> cases(6, workedExample1());
    cases[1].videoSize = "";
    cases[2].logo = false;
    cases[2].thumbnail = false;
    cases[3].logoLink = "a\nb\rc"; // a typed break must not add a line
    cases[4].videoSize = "320\r\nx240\n";
    cases[5].flvPlayerPath = "a\r\nb";
    for (const auto& in : cases) {
        const std::string page = BuildPlayerPage(in, PathStyle::Windows);
        const auto lines = linesOf(page);
        ASSERT_EQ(lines.size(), 11u);
        for (const auto& line : lines)
            EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_NE(lines[7].find("<param name=\"flashvars\""), std::string::npos);
        EXPECT_NE(lines[7].find(seamless), std::string::npos);
        EXPECT_EQ(lines[10], line11);
    }
}

TEST(BuildPlayerPage, sizeGivesWidthAndHeightWithTheSpacingOfEachHalf)
{
    struct Case
    {
        const char* size;
        const char* objectPart;
        const char* embedPart;
    };
    // The embed half puts a space after a given width only, never after the default one.
    const Case cases[] = {
        {"", "\" width=\"640\" height=\"480\">\t", "\"  width=\"640\" height=\"480\"  src="},
        {"x480", "\" width=\"640\" height=\"480\">\t", "\"  width=\"640\" height=\"480\"  src="},
        {"x", "\" width=\"640\" height=\"480\">\t", "\"  width=\"640\" height=\"480\"  src="},
        {"640x", "\" width=\"640\" height=\"480\">\t", "\"  width=\"640\"  height=\"480\"  src="},
        {"320x240x9", "\" width=\"320\" height=\"240\">\t", "\"  width=\"320\"  height=\"240\"  src="},
        {"320 x 240", "\" width=\"320 \" height=\" 240\">\t", "\"  width=\"320 \"  height=\" 240\"  src="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("size \"") + c.size + "\"");
        PageInputs in;
        in.videoFile = "holiday.flv";
        in.videoSize = c.size;
        const std::string page = BuildPlayerPage(in);
        EXPECT_NE(objectHalf(page).find(c.objectPart), std::string::npos) << objectHalf(page);
        EXPECT_NE(embedHalf(page).find(c.embedPart), std::string::npos) << embedHalf(page);
    }
}

TEST(BuildPlayerPage, sizeWithoutLowerCaseXFailsWithTheListIndexError)
{
    for (const char* size : {"640", "640X480", " "}) {
        PageInputs in;
        in.videoFile = "holiday.flv";
        in.videoSize = size;
        try {
            BuildPlayerPage(in);
            ADD_FAILURE() << "no error for size \"" << size << "\"";
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), "List index out of bounds (1)");
        }
    }
}

TEST(BuildPlayerPage, videoWebPathJoinsWithOneSlashUnlessItEndsInOne)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "holiday.flv"},
        {"media", "media/holiday.flv"},
        {"media/", "media/holiday.flv"},
        {"media\\", "media\\/holiday.flv"},
        {"/", "/holiday.flv"},
        {"a//", "a//holiday.flv"},
    };
    for (const auto& [videoPath, source] : cases) {
        SCOPED_TRACE(std::string("video web path \"") + videoPath + "\"");
        PageInputs in;
        in.videoFile = "/videos/holiday.flv";
        in.videoPath = videoPath;
        const std::string page = BuildPlayerPage(in, PathStyle::Posix);
        const std::string expected = std::string("source=") + source + "&type=";
        EXPECT_NE(objectHalf(page).find(expected), std::string::npos);
        EXPECT_NE(embedHalf(page).find(expected), std::string::npos);
    }
}

TEST(BuildPlayerPage, namesAreTakenBehindTheLastSeparatorOfThePathStyle)
{
    PageInputs in;
    in.videoFile = "holiday.flv";
    EXPECT_NE(BuildPlayerPage(in, PathStyle::Windows).find("source=holiday.flv&"), std::string::npos);
    in.videoFile = "C:holiday.flv";
    EXPECT_NE(BuildPlayerPage(in, PathStyle::Windows).find("source=holiday.flv&"), std::string::npos);
    in.videoFile = "C:/videos/holiday.flv";
    EXPECT_NE(BuildPlayerPage(in, PathStyle::Windows).find("source=holiday.flv&"), std::string::npos);
    in.videoFile = "/home/ann/C:\\x\\holiday.flv";
    EXPECT_NE(BuildPlayerPage(in, PathStyle::Posix).find("source=C:\\x\\holiday.flv&"), std::string::npos);
    in.videoFile = "";
    EXPECT_NE(BuildPlayerPage(in).find("source=&type="), std::string::npos);
}

TEST(BuildPlayerPage, playerWebPathAppearsInMovieParamAndSrc)
{
    PageInputs in;
    in.videoFile = "holiday.flv";
    in.flvPlayerPath = "player";
    const std::string page = BuildPlayerPage(in);
    EXPECT_NE(page.find("<param name=\"movie\" value=\"player/flvplayer1.swf\">"), std::string::npos);
    EXPECT_NE(page.find(" src=\"player/flvplayer1.swf\" "), std::string::npos);
}

TEST(BuildPlayerPage, logoSettingsFollowTheirTextsInTheObjectHalfButTheCheckBoxInTheEmbedHalf)
{
    PageInputs in;
    in.videoFile = "holiday.flv";
    in.logoImage = "/images/logo.png";
    in.logoPosition = LogoPosition::TopLeft;
    in.logoWidth = "250";
    in.logoLink = "about.htm";

    std::string page = BuildPlayerPage(in, PathStyle::Posix);
    EXPECT_NE(objectHalf(page).find("autostart=false&logoposition=top left&logoalpha=0&logowidth=250"
                                    "&logolink=about.htm&hardwarescaling"),
              std::string::npos);
    EXPECT_NE(embedHalf(page).find("autostart=false&hardwarescaling"), std::string::npos);

    in.logo = true;
    in.logoAlpha = 100;
    page = BuildPlayerPage(in, PathStyle::Posix);
    EXPECT_NE(objectHalf(page).find("&logo=logo.png&logoposition=top left&logoalpha=100&logowidth=250"
                                    "&logolink=about.htm&hardwarescaling"),
              std::string::npos);
    EXPECT_NE(embedHalf(page).find("&logo=logo.png&logoposition=top left&logoalpha=100&logowidth=100"
                                   "&logolink=about.htm&hardwarescaling"),
              std::string::npos);

    in.logoLink = "";
    in.logoWidth = "";
    in.logoPosition = LogoPosition::None;
    page = BuildPlayerPage(in, PathStyle::Posix);
    EXPECT_NE(objectHalf(page).find("&logo=logo.png&logoalpha=100&hardwarescaling"), std::string::npos);
    EXPECT_NE(embedHalf(page).find("&logo=logo.png&logoalpha=100&logowidth=100&hardwarescaling"),
              std::string::npos);
}

TEST(BuildPlayerPage, eachCornerGivesItsPositionPiece)
{
    const std::pair<LogoPosition, const char*> corners[] = {
        {LogoPosition::TopLeft, "top left"},
        {LogoPosition::TopRight, "top right"},
        {LogoPosition::BottomLeft, "bottom left"},
        {LogoPosition::BottomRight, "bottom right"},
    };
    for (const auto& [position, words] : corners) {
        PageInputs in;
        in.videoFile = "holiday.flv";
        in.logo = true;
        in.logoPosition = position;
        const std::string piece = std::string("&logoposition=") + words + "&logoalpha=0";
        const std::string page = BuildPlayerPage(in);
        EXPECT_NE(objectHalf(page).find(piece), std::string::npos) << words;
        EXPECT_NE(embedHalf(page).find(piece), std::string::npos) << words;
    }
}

TEST(BuildPlayerPage, imagesGoUnderTheVideoWebPathButAnEmptyImageStaysEmpty)
{
    PageInputs in;
    in.videoFile = "/videos/holiday.flv";
    in.videoPath = "media";
    in.thumbnail = true;
    in.logo = true;
    in.logoImage = "/images/logo.png";
    std::string page = BuildPlayerPage(in, PathStyle::Posix);
    EXPECT_NE(objectHalf(page).find("&poster=&logo=media/logo.png&"), std::string::npos);
    EXPECT_NE(embedHalf(page).find("&poster=&logo=media/logo.png&"), std::string::npos);

    in.videoPath = "";
    in.thumbnailImage = "/images/poster.jpg";
    page = BuildPlayerPage(in, PathStyle::Posix);
    EXPECT_NE(page.find("&poster=poster.jpg&logo=logo.png&"), std::string::npos);

    in.thumbnail = false;
    in.logo = false;
    page = BuildPlayerPage(in, PathStyle::Posix);
    EXPECT_EQ(page.find("poster"), std::string::npos);
    EXPECT_EQ(page.find("&logo="), std::string::npos);
}

TEST(BuildPlayerPage, safeOddCharactersReachThePageUnchanged)
{
    PageInputs in;
    in.videoFile = "/videos/my holiday's #1 (2009).flv";
    in.videoPath = "web site/clips";
    in.flvPlayerPath = "/player's";
    in.logoLink = "http://example.com/?a=1";
    const std::string page = BuildPlayerPage(in, PathStyle::Posix);
    EXPECT_NE(page.find("source=web site/clips/my holiday's #1 (2009).flv&"), std::string::npos);
    EXPECT_NE(page.find("value=\"/player's/flvplayer1.swf\""), std::string::npos);
    EXPECT_NE(page.find("&logolink=http://example.com/?a=1&"), std::string::npos);
}

TEST(BuildPlayerPage, flashvarsValuesArePercentEncodedInBothHalves)
{
    PageInputs in;
    in.videoFile = "/videos/caf\xC3\xA9 \"50%+\".flv";
    in.videoPath = "a&b";
    in.thumbnail = true;
    in.thumbnailImage = "/images/<p>.jpg";
    in.logo = true;
    in.logoImage = "/images/a&b.png";
    in.logoWidth = "1\"0";
    in.logoLink = "http://example.com/?a=1&b=2";
    const std::string page = BuildPlayerPage(in, PathStyle::Posix);

    const std::string common =
        "source=a%26b/caf%C3%A9 %2250%25%2B%22.flv&type=video&streamtype=file&autostart=false"
        "&poster=a%26b/%3Cp%3E.jpg&logo=a%26b/a%26b.png&logoalpha=0";
    EXPECT_NE(objectHalf(page).find(common + "&logowidth=1%220&logolink=http://example.com/?a=1%26b=2&hard"),
              std::string::npos)
        << objectHalf(page);
    EXPECT_NE(embedHalf(page).find(common + "&logowidth=100&logolink=http://example.com/?a=1%26b=2&hard"),
              std::string::npos)
        << embedHalf(page);
}

TEST(BuildPlayerPage, sizeAndPlayerReferenceAreEscapedAsAttributeValues)
{
    PageInputs in;
    in.videoFile = "holiday.flv";
    in.videoSize = "6\"4<0x4&8>0";
    in.flvPlayerPath = "p\"q&r";
    const std::string page = BuildPlayerPage(in);
    EXPECT_NE(objectHalf(page).find(" width=\"6&quot;4&lt;0\" height=\"4&amp;8&gt;0\">"), std::string::npos);
    EXPECT_NE(embedHalf(page).find("  width=\"6&quot;4&lt;0\"  height=\"4&amp;8&gt;0\"  "),
              std::string::npos);
    EXPECT_NE(page.find("<param name=\"movie\" value=\"p&quot;q&amp;r/flvplayer1.swf\">"), std::string::npos);

    // Line breaks typed into them become character references.
    in.videoSize = "320\r\nx240";
    in.flvPlayerPath = "a\r\nb";
    const std::string broken = BuildPlayerPage(in);
    EXPECT_NE(objectHalf(broken).find(" width=\"320&#13;&#10;\" height=\"240\">"), std::string::npos);
    EXPECT_NE(broken.find(" src=\"a&#13;&#10;b/flvplayer1.swf\" "), std::string::npos);
    EXPECT_NE(page.find(" src=\"p&quot;q&amp;r/flvplayer1.swf\" "), std::string::npos);
}
