#pragma once

#include <string>
#include <string_view>

namespace vidlume::platform {

/// Text another program wrote, made safe to show on a terminal: control
/// characters (C0 but tab, DEL, and C1 whether as a byte or in UTF-8) are
/// removed, so no escape sequence reaches the terminal; line breaks are kept.
std::string printableText(std::string_view bytes);

/// Takes what a child writes to its standard error, in pieces as they come,
/// and hands on whole lines as printable text: each line cut at lineLimit
/// bytes, and at most totalLimit bytes in all, after which one line says how
/// much more was left out.
class ErrorTextRelay
{
public:
    using Sink = void (*)(void* context, std::string_view line);

    ErrorTextRelay(Sink sink, void* context) : m_sink(sink), m_context(context) {}

    void add(std::string_view bytes);
    /// Hands on a last line without a line break, and the count of what was left out.
    void finish();

    static constexpr std::size_t lineLimit = 1024;
    static constexpr std::size_t totalLimit = 64 * 1024;

private:
    void hand(std::string_view line);

    Sink m_sink;
    void* m_context;
    std::string m_line;
    std::size_t m_handed = 0;
    std::size_t m_leftOut = 0;
};

} // namespace vidlume::platform
