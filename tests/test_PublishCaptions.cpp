#include "publish/PublishCaptions.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

using namespace vidlume;
using namespace vidlume::test;

namespace {

const std::string srt = "1\n00:00:01,000 --> 00:00:02,000\nHello\n";
const std::string vtt = "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nHello\n";

std::vector<std::string> namesOf(const std::vector<CaptionSource>& sources)
{
    std::vector<std::string> names;
    for (const CaptionSource& source : sources)
        names.push_back(std::filesystem::path(source.path).filename().string() + "|" + source.language);
    return names;
}

} // namespace

TEST(FindCaptionFiles, takesTheVideosStemWithOrWithoutALanguage)
{
    ScratchFolder scratch;
    for (const char* name :
         {"holiday.flv", "holiday.srt", "holiday.en.SRT", "holiday.de.vtt", "holiday.de.srt",
          "holiday.extra.srt", "holidays.srt", "holiday.txt", "other.en.srt"})
        writeFile(scratch.path(name), srt);
    std::filesystem::create_directory(scratch.path("holiday.fr.srt"));

    EXPECT_EQ(namesOf(findCaptionFiles(scratch.path("holiday.flv"))),
              (std::vector<std::string>{"holiday.srt|", "holiday.de.vtt|de", "holiday.de.srt|de",
                                        "holiday.en.SRT|en", "holiday.fr.srt|fr"}));
    EXPECT_TRUE(findCaptionFiles(scratch.path("missing/holiday.flv")).empty());
}

TEST(NamedCaptionFile, readsTheLanguageFromItsOwnName)
{
    EXPECT_EQ(namedCaptionFile("/subs/talk.de.srt").language, "de");
    EXPECT_EQ(namedCaptionFile("/subs/talk.srt").language, "");
    EXPECT_EQ(namedCaptionFile("/subs/my.talk.srt").language, "");
}

TEST(PlaceCaptions, writesWebVttTracksAndTheListNamedAfterTheMp4)
{
    ScratchFolder scratch;
    writeFile(scratch.path("in/holiday.srt"), srt);
    writeFile(scratch.path("in/holiday.en.vtt"), "\xEF\xBB\xBF" + vtt);
    std::filesystem::create_directory(scratch.path("out"));

    const PlacedCaptions placed =
        placeCaptions({{scratch.path("in/holiday.srt"), ""}, {scratch.path("in/holiday.en.vtt"), "en"}},
                      "Holiday.mp4", scratch.path("out"));

    EXPECT_EQ(placed.files,
              (std::vector<std::string>{"Holiday.vtt", "Holiday.en.vtt", "Holiday.captions.js"}));
    EXPECT_TRUE(placed.warnings.empty());
    EXPECT_EQ(readFile(scratch.path("out/Holiday.vtt")), vtt);
    EXPECT_EQ(readFile(scratch.path("out/Holiday.en.vtt")), vtt);
    EXPECT_EQ(readFile(scratch.path("out/Holiday.captions.js")),
              "vidlumeCaptions([\n"
              "    {\"file\": \"Holiday.vtt\", \"lang\": \"\", \"vtt\": "
              "\"WEBVTT\\n\\n00:00:01.000 --> 00:00:02.000\\nHello\\n\"},\n"
              "    {\"file\": \"Holiday.en.vtt\", \"lang\": \"en\", \"vtt\": "
              "\"WEBVTT\\n\\n00:00:01.000 --> 00:00:02.000\\nHello\\n\"}\n"
              "]);\n");
}

TEST(PlaceCaptions, theListIsScriptSafeJson)
{
    ScratchFolder scratch;
    writeFile(scratch.path("a.srt"), "1\n00:00:01,000 --> 00:00:02,000\n\"q\" \\ \t \xE2\x80\xA8 \x01 end\n");
    std::filesystem::create_directory(scratch.path("out"));
    placeCaptions({{scratch.path("a.srt"), ""}}, "a.mp4", scratch.path("out"));
    const std::string list = readFile(scratch.path("out/a.captions.js"));
    EXPECT_NE(list.find(R"(\"q\" \\ \t \u2028 \u0001 end)"), std::string::npos) << list;
}

TEST(PlaceCaptions, theListIsPlainAsciiWhateverThePageEncodingIs)
{
    // Every character beyond ASCII is a \u escape; beyond U+FFFF, two of them.
    ScratchFolder scratch;
    writeFile(scratch.path("a.srt"), "1\n00:00:01,000 --> 00:00:02,000\n\xC3\x9Cn\xC3\xAF c\xC3\xB6" "d\xC3\xA9 "
                                     "\xE2\x9C\x93 \xF0\x9F\x8E\xAC \xEF\xBF\xBF\n");
    std::filesystem::create_directory(scratch.path("out"));
    placeCaptions({{scratch.path("a.srt"), ""}}, "caf\xC3\xA9 \xFF.mp4", scratch.path("out"));
    const std::string list = readFile(scratch.path("out/caf\xC3\xA9 \xFF.captions.js"));
    for (const char c : list)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << list;
    EXPECT_NE(list.find(R"(\u00dcn\u00ef c\u00f6d\u00e9 \u2713 \ud83c\udfac \uffff)"), std::string::npos) << list;
    // A name that is not UTF-8 keeps what can be read of it.
    EXPECT_NE(list.find(R"("file": "caf\u00e9 \ufffd.vtt")"), std::string::npos) << list;
}

TEST(PlaceCaptions, filesThatCannotBeUsedAreNamedAndTheListIsStillWritten)
{
    ScratchFolder scratch;
    writeFile(scratch.path("empty.srt"), "");
    writeFile(scratch.path("broken.de.srt"), "1\n00:00:0x,000 --> 00:00:02,000\nBad\n\n"
                                             "2\n00:00:03,000 --> 00:00:04,000\nGood\n");
    writeFile(scratch.path("second.de.vtt"), vtt);
    std::filesystem::create_directory(scratch.path("folder.srt"));
    std::filesystem::create_directory(scratch.path("out"));
    writeFile(scratch.path("out/v.fr.vtt"), "already here");
    writeFile(scratch.path("fr.srt"), srt);

    const PlacedCaptions placed = placeCaptions({{scratch.path("empty.srt"), ""},
                                                 {scratch.path("broken.de.srt"), "de"},
                                                 {scratch.path("second.de.vtt"), "de"},
                                                 {scratch.path("folder.srt"), "it"},
                                                 {scratch.path("missing.srt"), "es"},
                                                 {scratch.path("fr.srt"), "fr"}},
                                                "v.mp4", scratch.path("out"));

    EXPECT_EQ(placed.files, (std::vector<std::string>{"v.de.vtt", "v.captions.js"}));
    EXPECT_EQ(placed.warnings,
              (std::vector<std::string>{
                  "The caption file \"" + scratch.path("empty.srt") +
                      "\" was not used: it holds no cue that could be used.",
                  "\"broken.de.srt\": The caption cue at line 2 was left out: the timing \"00:00:0x,000 --> "
                  "00:00:02,000\" is broken.",
                  "The caption file \"" + scratch.path("second.de.vtt") +
                      "\" was not used: another caption file gives the track \"v.de.vtt\".",
                  "The caption file \"" + scratch.path("folder.srt") + "\" was not used: it is not a file.",
                  "The caption file \"" + scratch.path("missing.srt") + "\" was not used: it does not exist.",
                  "The caption file \"" + scratch.path("fr.srt") +
                      "\" was not used: a file named \"v.fr.vtt\" is already in the folder.",
              }));
    EXPECT_EQ(readFile(scratch.path("out/v.fr.vtt")), "already here");
    EXPECT_EQ(readFile(scratch.path("out/v.de.vtt")), "WEBVTT\n\n00:00:03.000 --> 00:00:04.000\nGood\n");

    // With nothing to offer the player still finds an empty list.
    std::filesystem::create_directory(scratch.path("none"));
    EXPECT_EQ(placeCaptions({}, "w.mp4", scratch.path("none")).files,
              (std::vector<std::string>{"w.captions.js"}));
    EXPECT_EQ(readFile(scratch.path("none/w.captions.js")), "vidlumeCaptions([]);\n");
}

TEST(PlaceCaptions, aPipeOfThatNameIsRefusedWithoutWaitingForAWriter)
{
    ScratchFolder scratch;
    ASSERT_EQ(::mkfifo(scratch.path("pipe.srt").c_str(), 0600), 0);
    std::filesystem::create_directory(scratch.path("out"));
    const PlacedCaptions placed =
        placeCaptions({{scratch.path("pipe.srt"), ""}}, "v.mp4", scratch.path("out"));
    ASSERT_EQ(placed.warnings.size(), 1u);
    EXPECT_NE(placed.warnings[0].find("it is not a file"), std::string::npos);
}
