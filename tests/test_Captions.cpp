#include "media/Captions.h"

#include <gtest/gtest.h>

using namespace vidlume;

TEST(SrtToWebVtt, wellFormedFileGivesWebVttWithDotsInTimestamps)
{
    const auto result = srtToWebVtt("1\n00:00:01,000 --> 00:00:02,500\nHello\n\n"
                                    "2\n00:00:03,000 --> 00:00:04,000\nTwo\nlines\n");
    EXPECT_EQ(result.vtt, "WEBVTT\n\n00:00:01.000 --> 00:00:02.500\nHello\n\n"
                          "00:00:03.000 --> 00:00:04.000\nTwo\nlines\n");
    EXPECT_EQ(result.cues, 2u);
    EXPECT_TRUE(result.warnings.empty());
}

TEST(SrtToWebVtt, lineBreaksAndByteOrderMarkAreNormalised)
{
    const std::string expected =
        "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nA\n\n00:00:03.000 --> 00:00:04.000\nB\n";
    EXPECT_EQ(srtToWebVtt("\xEF\xBB\xBF"
                          "1\r\n00:00:01,000 --> 00:00:02,000\r\nA\r\n\r\n"
                          "2\r\n00:00:03,000 --> 00:00:04,000\r\nB\r\n")
                  .vtt,
              expected);
    EXPECT_EQ(srtToWebVtt("1\r00:00:01,000 --> 00:00:02,000\rA\r\r2\r00:00:03,000 --> 00:00:04,000\rB\r").vtt,
              expected);
    // UTF-16 with its byte-order mark, as some editors save.
    const std::string srt = "1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n00:00:03,000 --> 00:00:04,000\nB\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : srt) {
        utf16 += c;
        utf16 += '\0';
    }
    EXPECT_EQ(srtToWebVtt(utf16).vtt, expected);
}

TEST(SrtToWebVtt, textEncodings)
{
    // Latin-1 bytes are turned into UTF-8; valid UTF-8 is kept as it is.
    EXPECT_EQ(srtToWebVtt("1\n00:00:01,000 --> 00:00:02,000\nCaf\xE9 cr\xE8me\n").vtt,
              "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nCaf\xC3\xA9 cr\xC3\xA8me\n");
    EXPECT_EQ(srtToWebVtt("1\n00:00:01,000 --> 00:00:02,000\nCaf\xC3\xA9\n").vtt,
              "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nCaf\xC3\xA9\n");
    // A lone continuation byte or an overlong form is not UTF-8.
    EXPECT_EQ(srtToWebVtt("1\n00:00:01,000 --> 00:00:02,000\n\xC0\xAF\n").vtt,
              "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\n\xC3\x80\xC2\xAF\n");
}

TEST(SrtToWebVtt, overlappingAndUnorderedCuesAreKeptInStartOrder)
{
    const auto result = srtToWebVtt("1\n00:00:05,000 --> 00:00:08,000\nLate\n\n"
                                    "2\n00:00:01,000 --> 00:00:06,000\nEarly, overlapping\n");
    EXPECT_EQ(result.vtt, "WEBVTT\n\n00:00:01.000 --> 00:00:06.000\nEarly, overlapping\n\n"
                          "00:00:05.000 --> 00:00:08.000\nLate\n");
    EXPECT_TRUE(result.warnings.empty());
}

TEST(SrtToWebVtt, brokenCuesAreDroppedOneByOneWithAWarningEach)
{
    const auto result = srtToWebVtt("1\n00:00:01,000 --> 00:00:02,000\nKept\n\n"
                                    "2\n00:00:0x,000 --> 00:00:03,000\nBroken digits\n\n"
                                    "3\n00:00:04,000 --> 00:00:03,000\nEnds before it starts\n\n"
                                    "4\n00:61:00,000 --> 00:62:00,000\nMinutes out of range\n\n"
                                    "5\n00:00:05,000 --> 00:00:06,000\n\n"
                                    "Stray text without timing\n\n"
                                    "6\n00:00:07,000 --> 00:00:08,000 X1:10 X2:20\nAlso kept\n");
    EXPECT_EQ(result.vtt, "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nKept\n\n"
                          "00:00:07.000 --> 00:00:08.000\nAlso kept\n");
    EXPECT_EQ(result.cues, 2u);
    ASSERT_EQ(result.warnings.size(), 5u);
    EXPECT_EQ(
        result.warnings[0],
        "The caption cue at line 6 was left out: the timing \"00:00:0x,000 --> 00:00:03,000\" is broken.");
    EXPECT_EQ(result.warnings[1], "The caption cue at line 10 was left out: it ends before it starts.");
}

TEST(SrtToWebVtt, fileWithoutCuesGivesNoText)
{
    EXPECT_EQ(srtToWebVtt("").vtt, "");
    EXPECT_EQ(srtToWebVtt("\xEF\xBB\xBF\r\n\r\n").vtt, "");
    EXPECT_EQ(srtToWebVtt("not subtitles at all\n").vtt, "");
}

TEST(SrtToWebVtt, cueTextCannotBecomeMarkupOrTiming)
{
    const auto result = srtToWebVtt("1\n00:00:01,000 --> 00:00:02,000\n"
                                    "<I>it</I> <font color=\"red\">red</font> {\\an8}top\n"
                                    "a --> b & c &amp; <script>x</script>\n");
    EXPECT_EQ(result.vtt, "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\n<i>it</i> red top\n"
                          "a --&gt; b &amp; c &amp; &lt;script&gt;x&lt;/script&gt;\n");
}

TEST(SrtToWebVtt, timestampsWithoutHoursOrWithShortFractions)
{
    EXPECT_EQ(srtToWebVtt("1\n01:02,5 --> 101:00:00.25\nx\n").vtt,
              "WEBVTT\n\n00:01:02.500 --> 101:00:00.250\nx\n");
}

TEST(NormaliseWebVtt, keepsAWebVttFileAndRefusesOthers)
{
    const auto kept = normaliseWebVtt("\xEF\xBB\xBFWEBVTT - notes\r\n\r\n00:01.000 --> 00:02.000\r\nHi");
    EXPECT_EQ(kept.vtt, "WEBVTT - notes\n\n00:01.000 --> 00:02.000\nHi\n");
    EXPECT_TRUE(kept.warnings.empty());
    EXPECT_EQ(normaliseWebVtt("WEBVTTX\n\n00:01.000 --> 00:02.000\nHi\n").vtt, "");
    EXPECT_EQ(normaliseWebVtt("1\n00:00:01,000 --> 00:00:02,000\nSRT\n").warnings.size(), 1u);
    EXPECT_EQ(normaliseWebVtt("WEBVTT\n").vtt, "");
}

TEST(CaptionLanguage, readsTheCodeBetweenStemAndExtension)
{
    EXPECT_EQ(captionLanguage("holiday.en.srt", "holiday"), "en");
    EXPECT_EQ(captionLanguage("holiday.pt-br.vtt", "holiday"), "pt-BR");
    EXPECT_EQ(captionLanguage("holiday.srt", "holiday"), "");
    EXPECT_EQ(captionLanguage("holiday.forced.srt", "holiday"), "");
    EXPECT_EQ(captionLanguage("holiday.e1.srt", "holiday"), "");
    EXPECT_EQ(captionLanguage("holidays.en.srt", "holiday"), "");
    EXPECT_EQ(captionLanguage("my.talk.de.SRT", "my.talk"), "de");
}
