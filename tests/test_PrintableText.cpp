// Another program's messages on our terminal: text only, never a control.
#include "platform/PrintableText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vidlume::platform;

TEST(PrintableText, dropsEveryControlAndKeepsLettersOfAnyScript)
{
    // Window title, colour, cursor and bell, a UTF-8 C1 CSI (U+009B) and a
    // lone C1 byte; letters beyond ASCII and tabs stay.
    EXPECT_EQ(printableText("\x1b]0;owned\x07say \xc2\x9b" "31mred\x9b" "2J\r\tdone\x7f"), "]0;ownedsay 31mred2J\tdone");
    EXPECT_EQ(printableText("Größe \xe2\x80\x94 \xf0\x9f\x8e\xac ok\n"), "Größe \xe2\x80\x94 \xf0\x9f\x8e\xac ok\n");
    // Cut or malformed sequences, an overlong NUL and a surrogate go.
    EXPECT_EQ(printableText("a\xe2\x80" "b\xc0\x80" "c\xed\xa0\x80" "d\xc2"), "abcd");
}

TEST(PrintableText, theRelayHandsOnBoundedLinesAndSaysHowMuchWasLeftOut)
{
    std::vector<std::string> lines;
    ErrorTextRelay relay([](void* to, std::string_view line) { static_cast<std::vector<std::string>*>(to)->emplace_back(line); },
                         &lines);
    relay.add("first li");
    relay.add("ne\x1b[2J\nsecond");
    EXPECT_EQ(lines, (std::vector<std::string>{"first line[2J"}));
    relay.add(std::string(5000, 'x') + "\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "second" + std::string(ErrorTextRelay::lineLimit - 6, 'x'));
    for (int i = 0; i < 100; ++i)
        relay.add(std::string(1000, 'y') + "\n");
    relay.add("last, without a break");
    relay.finish();
    std::size_t handed = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        handed += lines[i].size() + 1;
    EXPECT_LE(handed, ErrorTextRelay::totalLimit);
    // Every byte is either handed on or counted: two lines, a hundred, the last.
    const std::size_t all = (13 + 1) + (ErrorTextRelay::lineLimit + 1) + 100 * 1001 + (21 + 1);
    EXPECT_EQ(lines.back(), "(" + std::to_string(all - handed) + " more bytes of messages were left out)");
}
