#include "page/PageEscaping.h"

#include <gtest/gtest.h>

using namespace vidlume;

TEST(EncodeFlashvarsValue, encodesOnlyWhatBreaksTheListOrTheMarkup)
{
    EXPECT_EQ(encodeFlashvarsValue("videos/my holiday's #1 (2009)=best.flv"),
              "videos/my holiday's #1 (2009)=best.flv");
    EXPECT_EQ(encodeFlashvarsValue("%&+\"<>"), "%25%26%2B%22%3C%3E");
    EXPECT_EQ(encodeFlashvarsValue("http://example.com/?a=1&b=2"), "http://example.com/?a=1%26b=2");
    EXPECT_EQ(encodeFlashvarsValue(std::string("\x00\x1F\x20\x7E\x7F", 5)), "%00%1F ~%7F");
    EXPECT_EQ(encodeFlashvarsValue("caf\xC3\xA9\xFF\x80"), "caf%C3%A9%FF%80");
    EXPECT_EQ(encodeFlashvarsValue(""), "");
}

TEST(EscapeAttributeValue, replacesTheFourMarkupCharacters)
{
    EXPECT_EQ(escapeAttributeValue("a&b\"c<d>e"), "a&amp;b&quot;c&lt;d&gt;e");
    EXPECT_EQ(escapeAttributeValue("player's/%20+\xC3\xA9"), "player's/%20+\xC3\xA9");
}
